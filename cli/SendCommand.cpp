#include "SendCommand.h"

#include <unistd.h>

#include <cstdio>
#include <memory>

#include <boost/any.hpp>
#include <boost/filesystem.hpp>

#include "ostrel/PushKeyTask.h"
#include "ostrel/StringUtil.h"
#include "CliContext.h"
#include "CliUploadTask.h"
#include "FailureText.h"
#include "HumanFormat.h"
#include "ProgressPrinter.h"
#include "TaskRunner.h"
#include "TransferMonitor.h"

namespace fs = boost::filesystem;
using Ostrel::TransferTask;

int SendCommand::run()
{
    const CliOptions& o = context_.options;
    ProgressPrinter printer(context_.output);
    if (o.positional().empty())
        throw CliOptions::UsageError("send needs at least one PATH");
    const std::string target = o.value("to");
    const std::string modeText = o.value("mode", target.empty() ? "direct" : "hybrid");
    TransferTask::Mode mode;
    if (modeText == "direct")
        mode = TransferTask::MODE_DIRECT;
    else if (modeText == "upload")
        mode = TransferTask::MODE_UPLOAD;
    else if (modeText == "hybrid")
        mode = TransferTask::MODE_HYBRID;
    else
        throw CliOptions::UsageError("--mode must be direct, upload or hybrid, not '" + modeText + "'");
    const unsigned long rate = static_cast<unsigned long>(o.bytes("limit-rate", 0));

    std::vector<std::wstring> paths;
    for (const auto& p : o.positional()) {
        boost::system::error_code ec;
        const fs::file_status st = fs::status(p, ec);
        if (!fs::exists(st))
            return printer.fail("no such file or folder: " + p);
        if (!fs::is_directory(st) && !fs::is_regular_file(st))
            return printer.fail("not a regular file or folder: " + p);
        if (::access(p.c_str(), fs::is_directory(st) ? (R_OK | X_OK) : R_OK) != 0)
            return printer.fail("cannot read " + p + " (permission denied)");
        std::string absolute = fs::absolute(p).lexically_normal().string();
        if (absolute.size() > 1 && absolute.back() == '/')
            absolute.pop_back();
        paths.push_back(Ostrel::fromUtf8(absolute));
    }
    std::string reason;
    if (!context_.prepare(reason))
        return printer.fail(reason);

    CliUploadTask task(paths, mode, rate);
    TransferMonitor monitor(task.tap());
    TaskRunner runner(context_);
    std::mutex keyMutex;
    std::wstring key;
    std::atomic<int> pushFinish{0};
    std::unique_ptr<Ostrel::PushKeyTask> push;
    bool pushReported = false;

    auto onEvent = [&](int state, int detail, const void* data) {
        printer.fileNotice(monitor.onEvent(state, detail, data), false);
        if (state != TransferTask::STATE_PREPARING)
            return;
        if (detail == TransferTask::PREPARING_UPDATED_KEY && data) {
            const std::wstring k = *static_cast<const std::wstring*>(data);
            const std::string link = boost::any_cast<std::string>(task.getValue(Ostrel::UploadTask::VALUE_LINK));
            const int validity = boost::any_cast<int>(task.getValue(Ostrel::UploadTask::VALUE_VALIDITY));
            {
                std::lock_guard<std::mutex> lock(keyMutex);
                if (key == k)
                    return;
                key = k;
            }
            Json::Value v(Json::objectValue);
            v["event"] = "key";
            v["key"] = Ostrel::toUtf8(k);
            v["link"] = link.empty() ? Json::Value() : Json::Value(link);
            v["mode"] = modeText;
            v["expires_in"] = validity;
            printer.event(v);
            printer.line("key: " + Ostrel::toUtf8(k), true);
            if (!link.empty())
                printer.line("link: " + link, true);
            if (validity > 0)
                printer.line("valid for " + HumanFormat::duration(validity) +
                             (mode == TransferTask::MODE_UPLOAD ? "; uploading to the relay..."
                                                                : "; waiting for the receiver..."));
        }
    };
    auto pushStep = [&] {
        std::wstring k;
        {
            std::lock_guard<std::mutex> lock(keyMutex);
            k = key;
        }
        if (!target.empty() && !k.empty() && !push) {
            // Pushed beside the transfer; the key works whether or not the push arrives.
            push.reset(new Ostrel::PushKeyTask(k, target, L"", ""));
            context_.attach(*push);
            push->setCallback([&](int state, int detail, const void*) {
                if (state == Ostrel::BaseTask::STATE_FINISHED)
                    pushFinish = detail;
            });
            push->start();
        }
        if (push && pushFinish != 0 && !pushReported) {
            pushReported = true;
            if (pushFinish == Ostrel::BaseTask::FINISHED_SUCCESS) {
                printer.line("pushed the key to " + target);
            } else {
                printer.clearLine();
                std::fprintf(stderr, "trovanti-cli: warning: could not push the key to device %s\n", target.c_str());
            }
            Json::Value v(Json::objectValue);
            v["event"] = "pushed";
            v["to"] = target;
            v["ok"] = pushFinish == Ostrel::BaseTask::FINISHED_SUCCESS;
            printer.event(v);
        }
    };
    auto onTick = [&] {
        printer.progress(monitor.snapshot());
        pushStep();
    };

    const TaskRunner::Result result = runner.run(task, onEvent, onTick);
    // A quick upload can end before the first tick; the key is pushed all the same.
    if (result.finish == Ostrel::BaseTask::FINISHED_SUCCESS)
        pushStep();
    if (push) {
        push->wait();
        pushStep();
    }
    const TransferMonitor::Snapshot snap = monitor.snapshot();
    if (result.finish == Ostrel::BaseTask::FINISHED_SUCCESS) {
        monitor.markComplete(task.finalRoute());
        printer.clearLine();
        printer.finish(monitor.snapshot(), false);
        return 0;
    }
    if (result.interrupted)
        return printer.fail("cancelled", 130);
    FailureText::Situation situation;
    situation.key = Ostrel::toUtf8(key);
    situation.apiUrl = context_.engine.apiUrl;
    situation.listed = snap.listed;
    situation.moving = snap.moving;
    return printer.fail(FailureText::transfer(result, situation));
}
