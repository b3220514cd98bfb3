#include "ProgressPrinter.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

#include <json/writer.h>

#include "HumanFormat.h"

using Clock = std::chrono::steady_clock;

namespace {

int terminalWidth()
{
    winsize ws{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 10)
        return ws.ws_col;
    return 80;
}

int percent(const TransferMonitor::Snapshot& s)
{
    if (s.totalBytes == 0)
        return s.files > 0 && s.filesDone == s.files ? 100 : 0;
    return static_cast<int>(s.doneBytes * 100 / s.totalBytes);
}

}  // namespace

ProgressPrinter::ProgressPrinter(CliContext::Output output) : output_(output) {}

std::string ProgressPrinter::compact(const Json::Value& object)
{
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    builder["precision"] = 3;
    builder["precisionType"] = "decimal";
    return Json::writeString(builder, object);
}

void ProgressPrinter::write(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void ProgressPrinter::clearLine()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (drawn_) {
        write("\r\033[K");
        drawn_ = false;
    }
}

int ProgressPrinter::fail(const std::string& reason, int code)
{
    clearLine();
    std::fprintf(stderr, "trovanti-cli: %s\n", reason.c_str());
    if (json()) {
        Json::Value v(Json::objectValue);
        v["event"] = code == 130 ? "cancelled" : "error";
        v["reason"] = reason;
        event(v);
    }
    return code;
}

void ProgressPrinter::line(const std::string& text, bool essential)
{
    if (output_ == CliContext::Output::Json || (output_ == CliContext::Output::Quiet && !essential))
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    write((drawn_ ? "\r\033[K" : "") + text + "\n");
    drawn_ = false;
}

void ProgressPrinter::event(const Json::Value& object)
{
    if (output_ != CliContext::Output::Json)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    write(compact(object) + "\n");
}

std::string ProgressPrinter::describe(const TransferMonitor::Snapshot& s)
{
    char head[32];
    std::snprintf(head, sizeof(head), "%3d%%", percent(s));
    std::string text = std::string(head) + "  " + HumanFormat::bytes(s.doneBytes) + " / " +
                       HumanFormat::bytes(s.totalBytes) + "  " + std::to_string(s.filesDone) + "/" +
                       std::to_string(s.files) + " files  " + HumanFormat::rate(s.rate);
    if (s.eta >= 0 && s.doneBytes < s.totalBytes)
        text += "  ETA " + HumanFormat::duration(s.eta);
    if (!s.route.empty())
        text += "  " + s.route;
    return text;
}

Json::Value ProgressPrinter::progressObject(const TransferMonitor::Snapshot& s)
{
    Json::Value v(Json::objectValue);
    v["event"] = "progress";
    v["percent"] = percent(s);
    v["bytes"] = Json::UInt64(s.doneBytes);
    v["total"] = Json::UInt64(s.totalBytes);
    v["moved"] = Json::UInt64(s.movedBytes);
    v["files_done"] = Json::UInt64(s.filesDone);
    v["files"] = Json::UInt64(s.files);
    v["rate"] = Json::UInt64(static_cast<uint64_t>(s.rate));
    v["eta"] = s.eta >= 0 ? Json::Value(static_cast<Json::Int64>(s.eta + 0.5)) : Json::Value();
    v["route"] = s.route.empty() ? Json::Value() : Json::Value(s.route);
    return v;
}

void ProgressPrinter::progress(const TransferMonitor::Snapshot& s)
{
    if (output_ == CliContext::Output::Quiet || !s.moving)
        return;
    const Clock::time_point now = Clock::now();
    const double since = std::chrono::duration<double>(now - lastPrint_).count();
    if (output_ == CliContext::Output::Terminal) {
        if (printedOnce_ && since < 0.2)
            return;
        std::string text = describe(s);
        const size_t width = static_cast<size_t>(terminalWidth() - 1);
        if (text.size() > width)
            text.resize(width);
        std::lock_guard<std::mutex> lock(mutex_);
        write("\r\033[K" + text);
        drawn_ = true;
    } else if (output_ == CliContext::Output::Plain) {
        if (printedOnce_ && since < 2.0)
            return;
        line("progress: " + describe(s));
    } else {
        if (printedOnce_ && since < 1.0)
            return;
        event(progressObject(s));
    }
    printedOnce_ = true;
    lastPrint_ = now;
}

void ProgressPrinter::fileNotice(const TransferMonitor::Notice& notice, bool receiving)
{
    if (notice.kind == TransferMonitor::Notice::None)
        return;
    if (output_ == CliContext::Output::Json) {
        Json::Value v(Json::objectValue);
        v["event"] = notice.kind == TransferMonitor::Notice::FileStarted ? "file_start" : "file_done";
        v["name"] = notice.name;
        v["size"] = Json::UInt64(notice.size);
        if (notice.kind == TransferMonitor::Notice::FileStarted)
            v["offset"] = Json::UInt64(notice.offset);
        else if (receiving)
            v["path"] = notice.path;
        event(v);
        return;
    }
    if (notice.kind == TransferMonitor::Notice::FileStarted) {
        if (notice.offset > 0 && notice.offset < notice.size)
            line("resuming " + notice.name + " at " + HumanFormat::bytes(notice.offset) + " of " +
                 HumanFormat::bytes(notice.size));
        return;
    }
    line((receiving ? "received " : "sent ") + notice.name + " (" + HumanFormat::bytes(notice.size) + ")");
}

void ProgressPrinter::finish(const TransferMonitor::Snapshot& s, bool receiving)
{
    if (output_ == CliContext::Output::Json) {
        Json::Value v = progressObject(s);
        v["event"] = "done";
        v["result"] = "success";
        v["resumed"] = Json::UInt64(s.resumedBytes);
        v["seconds"] = s.elapsed;
        event(v);
        return;
    }
    std::string text = std::string(receiving ? "Received " : "Sent ") + std::to_string(s.files) +
                       (s.files == 1 ? " file, " : " files, ") + HumanFormat::bytes(s.totalBytes) + " in " +
                       HumanFormat::duration(s.elapsed);
    if (s.elapsed > 0 && s.movedBytes > 0)
        text += " (" + HumanFormat::rate(s.rate) + ")";
    if (!s.route.empty())
        text += ", " + s.route;
    if (s.resumedBytes > 0)
        text += "; " + HumanFormat::bytes(s.resumedBytes) + " were already there";
    line(text);
}
