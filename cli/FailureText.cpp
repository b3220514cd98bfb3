#include "FailureText.h"

#include "ostrel/AuthBaseTask.h"
#include "ostrel/DownloadTask.h"
#include "ostrel/UploadTask.h"

using Ostrel::AuthBaseTask;
using Ostrel::BaseTask;
using Ostrel::DownloadTask;
using Ostrel::TransferTask;
using Ostrel::UploadTask;

namespace FailureText {

std::string common(const TaskRunner::Result& r, const std::string& apiUrl)
{
    if (r.hasError(BaseTask::ERROR_SERVER_NETWORK))
        return "cannot reach the service at " + apiUrl + " (is trovanti-service running? see --api-url)";
    if (r.hasError(BaseTask::ERROR_WRONG_API_KEY))
        return "the service refused the application key (see --api-key)";
    if (r.hasError(BaseTask::ERROR_SERVER_WRONG_PROTOCOL))
        return "the service at " + apiUrl + " gave an answer that is not understood";
    if (r.hasError(BaseTask::ERROR_PROXY_AUTHENTICATION))
        return "the proxy asks for a user name and password";
    if (r.hasError(AuthBaseTask::ERROR_REQUIRED_LOGIN))
        return "this needs a signed-in user: run 'trovanti-cli login USER_ID' first";
    if (r.hasError(AuthBaseTask::ERROR_SERVER_AUTHENTICATION))
        return "the service rejected the credentials of this device or user";
    return std::string();
}

std::string transfer(const TaskRunner::Result& r, const Situation& s)
{
    if (s.receiving) {
        if (r.hasError(DownloadTask::ERROR_NO_EXIST_KEY))
            return "unknown key " + s.key + ": it does not exist, has expired or was already received";
        if (r.hasError(DownloadTask::ERROR_FILE_NO_DOWNLOAD_PATH))
            return "receive folder not writable: cannot create " + s.folder;
        if (r.hasError(DownloadTask::ERROR_FILE_NO_DISK_SPACE))
            return "disk full: no space left in " + s.folder + " (partial files are kept)";
        if (r.hasError(DownloadTask::ERROR_FILE_UNSAFE_NAME))
            return "refused a file whose name points outside the receive folder; the others were received";
    } else {
        if (r.hasError(UploadTask::ERROR_NO_EXIST_FILE))
            return "a file to send disappeared before the key was made";
        if (r.hasError(UploadTask::ERROR_NO_REQUEST))
            return "nobody received key " + s.key + " before it expired";
    }
    const std::string shared = common(r, s.apiUrl);
    if (!shared.empty())
        return shared;
    const std::string peer = s.receiving ? "sender" : "receiver";
    if (r.hasError(TransferTask::ERROR_FILE_BY_PEER))
        return "no route to peer: the " + peer + " stopped answering or gave up" +
               (s.receiving && s.moving ? "; run the same command again to resume" : "");
    if (r.finish == BaseTask::FINISHED_CANCEL)
        return "cancelled by the " + peer;
    if (r.hasError(TransferTask::ERROR_FILE_NETWORK))
        return "network error while moving the files";
    if (!s.moving)
        return "no route to peer: the " + peer + " did not connect" +
               (s.receiving ? " (is the sending side still running?)" : "");
    return "no route to peer: the connection to the " + peer + " was lost" +
           (s.receiving ? "; run the same command again to resume" : "");
}

}  // namespace FailureText
