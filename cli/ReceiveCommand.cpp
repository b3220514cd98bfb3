#include "ReceiveCommand.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <regex>

#include <boost/any.hpp>
#include <boost/filesystem.hpp>

#include "ostrel/FileUtil.h"
#include "ostrel/StringUtil.h"
#include "CliContext.h"
#include "CliDownloadTask.h"
#include "FailureText.h"
#include "HumanFormat.h"
#include "ProgressPrinter.h"
#include "TaskRunner.h"
#include "TransferMonitor.h"

namespace fs = boost::filesystem;
using Ostrel::TransferTask;

namespace {

const char* modeWord(int mode)
{
    switch (mode) {
    case TransferTask::MODE_DIRECT: return "direct";
    case TransferTask::MODE_UPLOAD: return "upload";
    case TransferTask::MODE_HYBRID: return "hybrid";
    default: return "";
    }
}

// Creates the folder when missing and checks that files can be made in it.
bool prepareFolder(const std::string& folder, std::string& reason)
{
    boost::system::error_code ec;
    if (!fs::exists(folder, ec)) {
        fs::create_directories(folder, ec);
        if (ec) {
            reason = "receive folder not writable: cannot create " + folder + " (" + ec.message() + ")";
            return false;
        }
    }
    if (!fs::is_directory(folder, ec)) {
        reason = "receive folder not writable: " + folder + " is not a folder";
        return false;
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        reason = "receive folder not writable: " + folder + " (" + std::strerror(errno) + ")";
        return false;
    }
    return true;
}

}  // namespace

int ReceiveCommand::run()
{
    const CliOptions& o = context_.options;
    ProgressPrinter printer(context_.output);
    if (o.positional().size() != 1)
        throw CliOptions::UsageError(o.positional().empty() ? "receive needs a KEY" : "receive takes one KEY");
    const std::string key = o.positional()[0];

    std::wstring pattern = Ostrel::fromUtf8(o.value("pattern"));
    if (!pattern.empty()) {
        try {
            std::wregex check(pattern, std::regex::ECMAScript);
        } catch (const std::regex_error& e) {
            throw CliOptions::UsageError("--pattern is not a valid regular expression: " + std::string(e.what()));
        }
    }
    std::vector<std::wstring> only;
    for (const auto& name : o.values("only"))
        only.push_back(Ostrel::fromUtf8(name));
    const unsigned long rate = static_cast<unsigned long>(o.bytes("limit-rate", 0));

    std::string folder = o.value("output", ".");
    boost::system::error_code ec;
    folder = fs::absolute(folder).lexically_normal().string();
    if (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    std::string reason;
    if (!prepareFolder(folder, reason))
        return printer.fail(reason);
    if (!context_.prepare(reason))
        return printer.fail(reason);

    context_.engine.downloadPath = Ostrel::fromUtf8(folder);
    context_.engine.rename = !o.has("overwrite");
    context_.engine.resume = !o.has("no-resume");

    CliDownloadTask task(Ostrel::fromUtf8(key), Ostrel::fromUtf8(folder), only, pattern, rate);
    TransferMonitor monitor(task.tap());
    TaskRunner runner(context_);
    std::atomic<bool> diskShort{false};
    std::string shortText;
    bool announcedWait = false;

    auto onEvent = [&](int state, int detail, const void* data) {
        printer.fileNotice(monitor.onEvent(state, detail, data), true);
        if (state != TransferTask::STATE_PREPARING)
            return;
        if (detail == TransferTask::PREPARING_UPDATED_KEY) {
            const int mode = boost::any_cast<TransferTask::Mode>(task.getValue(TransferTask::VALUE_MODE));
            Json::Value v(Json::objectValue);
            v["event"] = "key";
            v["key"] = key;
            v["mode"] = modeWord(mode);
            printer.event(v);
            if (!announcedWait) {
                announcedWait = true;
                printer.line(mode == TransferTask::MODE_UPLOAD
                                 ? "key " + key + " found; waiting until the sender's upload is complete..."
                                 : "key " + key + " found; connecting to the sender...");
            }
        } else if (detail == TransferTask::PREPARING_UPDATED_FILE_LIST && data) {
            uint64_t needed = 0, total = 0;
            size_t count = 0;
            for (const auto* record : *static_cast<const std::vector<TransferTask::FileState*>*>(data)) {
                if (!record || record->skip)
                    continue;
                ++count;
                total += record->size;
                const std::wstring temp = record->path + Ostrel::DownloadTask::TEMP_SUFFIX;
                const uint64_t have = Ostrel::File::exists(temp) ? Ostrel::File::size(temp) : 0;
                needed += record->size > have ? record->size - have : 0;
            }
            const uint64_t free = Ostrel::File::availableSpace(folder);
            if (needed > free) {
                shortText = "disk full: the files need " + HumanFormat::bytes(needed) + " but only " +
                            HumanFormat::bytes(free) + " are free in " + folder;
                diskShort = true;
                runner.requestCancel();
                return;
            }
            Json::Value v(Json::objectValue);
            v["event"] = "files";
            v["files"] = Json::UInt64(count);
            v["bytes"] = Json::UInt64(total);
            printer.event(v);
            printer.line("receiving " + std::to_string(count) + (count == 1 ? " file, " : " files, ") +
                         HumanFormat::bytes(total) + " into " + folder);
        }
    };
    auto onTick = [&] { printer.progress(monitor.snapshot()); };

    const TaskRunner::Result result = runner.run(task, onEvent, onTick);
    const TransferMonitor::Snapshot snap = monitor.snapshot();
    if (result.finish == Ostrel::BaseTask::FINISHED_SUCCESS && !diskShort) {
        monitor.markComplete(task.finalRoute());
        printer.clearLine();
        printer.finish(monitor.snapshot(), true);
        return 0;
    }
    if (result.interrupted)
        return printer.fail("cancelled; partial files are kept, run the same command again to resume", 130);
    if (diskShort)
        return printer.fail(shortText);
    if (result.hasError(Ostrel::DownloadTask::ERROR_LINK_SHARING_KEY)) {
        const std::string terms = boost::any_cast<std::string>(task.getValue(Ostrel::DownloadTask::VALUE_TERMS_URL));
        return printer.fail("key " + key + " is a partner link share; read the terms at " +
                                 (terms.empty() ? std::string("the partner's site") : terms) +
                                 " and rerun with --accept-terms to accept them and receive the files");
    }
    FailureText::Situation situation;
    situation.receiving = true;
    situation.key = key;
    situation.folder = folder;
    situation.apiUrl = context_.engine.apiUrl;
    situation.listed = snap.listed;
    situation.moving = snap.moving;
    return printer.fail(FailureText::transfer(result, situation));
}
