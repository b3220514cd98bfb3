#include "ListenCommand.h"

#include <chrono>
#include <cstdio>

#include "ostrel/PushListenerTask.h"
#include "ostrel/StringUtil.h"
#include "CliContext.h"
#include "FailureText.h"
#include "ProgressPrinter.h"
#include "TaskRunner.h"

using Ostrel::PushListenerTask;

namespace {

// A listener that ends later than this after its start was working; it is started again.
constexpr int kHealthySeconds = 10;
constexpr int kRestartDelayMs = 5000;

const char* actionOf(int detail)
{
    switch (detail) {
    case PushListenerTask::NOTIFICATION_RECEIVE_KEY:
    case PushListenerTask::NOTIFICATION_RECEIVE_KEY_REALTIME: return "recv_key";
    case PushListenerTask::NOTIFICATION_REQUEST_UPLOAD: return "upload";
    case PushListenerTask::NOTIFICATION_REQUESTD_DOWNLOAD: return "download";
    case PushListenerTask::NOTIFICATION_PEER_RECEIVE_COMPLETEED: return "peer_recv_completed";
    default: return nullptr;
    }
}

}  // namespace

int ListenCommand::run()
{
    const CliOptions& o = context_.options;
    ProgressPrinter printer(context_.output);
    if (!o.positional().empty())
        throw CliOptions::UsageError("listen takes no arguments");
    std::string reason;
    if (!context_.prepare(reason)) {
        std::fprintf(stderr, "trovanti-cli: %s\n", reason.c_str());
        return 1;
    }
    const bool once = o.has("once");
    auto onEvent = [&](int state, int detail, const void* data) {
        const char* action = actionOf(detail);
        if (state != PushListenerTask::STATE_NOTIFICATION || !action || !data)
            return;
        Json::Value v(Json::objectValue);
        v["event"] = "push";
        v["action"] = action;
        std::string text;
        if (detail == PushListenerTask::NOTIFICATION_PEER_RECEIVE_COMPLETEED) {
            const auto* info = static_cast<const PushListenerTask::ReceivedPeerInfo*>(data);
            v["key"] = Ostrel::toUtf8(info->key);
            v["peer_device_id"] = info->peerDeviceId;
            text = "received by " + info->peerDeviceId + ": key " + Ostrel::toUtf8(info->key);
        } else {
            const std::string key = Ostrel::toUtf8(*static_cast<const std::wstring*>(data));
            v["key"] = key;
            text = std::string(detail == PushListenerTask::NOTIFICATION_REQUEST_UPLOAD ? "upload requested: "
                               : detail == PushListenerTask::NOTIFICATION_REQUESTD_DOWNLOAD ? "download requested: "
                                                                                             : "key: ") +
                   key;
        }
        printer.event(v);
        printer.line(text, true);
    };

    if (!once && !printer.json())
        printer.line("listening for keys pushed to device " +
                     (context_.token.deviceId.empty() ? std::string("(new)") : context_.token.deviceId) +
                     "; Ctrl-C stops");
    for (bool first = true;; first = false) {
        PushListenerTask task(!once);
        TaskRunner runner(context_);
        const auto started = std::chrono::steady_clock::now();
        const TaskRunner::Result result = runner.run(task, onEvent);
        if (result.interrupted)
            return 130;
        if (once) {
            if (result.finish == Ostrel::BaseTask::FINISHED_SUCCESS)
                return 0;
        }
        std::string why = FailureText::common(result, context_.engine.apiUrl);
        if (why.empty())
            why = "the push service ended the connection";
        const bool healthy = std::chrono::steady_clock::now() - started > std::chrono::seconds(kHealthySeconds);
        if (once || (first && !healthy)) {
            std::fprintf(stderr, "trovanti-cli: %s\n", why.c_str());
            return 1;
        }
        std::fprintf(stderr, "trovanti-cli: %s; listening again in %d s\n", why.c_str(), kRestartDelayMs / 1000);
        if (!TaskRunner::pause(kRestartDelayMs))
            return 130;
    }
}
