#include "ostrel/TransferTask.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "ostrel/FileUtil.h"
#include "ostrel/HttpServer.h"
#include "ostrel/LogFunc.h"
#include "ostrel/MultiTransfer.h"
#include "ostrel/NetworkInfo.h"
#include "ostrel/StringUtil.h"

namespace Ostrel {

namespace {

constexpr unsigned long kRelayLimitDuringDirect = 102400;

std::string extensionOf(const std::wstring& name)
{
    const size_t slash = name.rfind(L'/');
    const std::wstring base = slash == std::wstring::npos ? name : name.substr(slash + 1);
    const size_t dot = base.rfind(L'.');
    if (dot == std::wstring::npos || dot == 0)
        return std::string();
    std::string ext = toUtf8(base.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

}  // namespace

long roundFileSize(unsigned long value)
{
    if (value == 0)
        return 0;
    const int e = static_cast<int>(std::floor(std::log10(static_cast<double>(value))));
    const double a = std::pow(10.0, e);
    return static_cast<long>(static_cast<long>(value / a + 0.5) * a);
}

TransferTask::TransferTask() : mainSession_(false), directSession_(true), currentSession_(&mainSession_) {}

TransferTask::TransferTask(TransferInfo& mainSession)
    : mainSession_(false), directSession_(true), currentSession_(&mainSession)
{
}

TransferTask::~TransferTask()
{
    // The last stop for a run still in progress: the channels are cancelled (the base destructor
    // would only raise the task's flag, leaving a channel retrying) and the run is over before the
    // records and sessions go. Concrete tasks do the same in their own destructors.
    stopRun();
    for (auto* record : files_)
        delete record;
}

std::string TransferTask::stateToString(int code)
{
    switch (code) {
    case STATE_TRANSFERRING: return "TRANSFERRING";
    case ERROR_FILE_NETWORK: return "ERROR_FILE_NETWORK";
    case ERROR_FILE_WRONG_PROTOCOL: return "ERROR_FILE_WRONG_PROTOCOL";
    case ERROR_FILE_BY_PEER: return "ERROR_FILE_BY_PEER";
    case PREPARING_REQUEST_KEY: return "PREPARING_REQUEST_KEY";
    case PREPARING_UPDATED_KEY: return "PREPARING_UPDATED_KEY";
    case PREPARING_REQUEST_MODE: return "PREPARING_REQUEST_MODE";
    case PREPARING_UPDATED_MODE: return "PREPARING_UPDATED_MODE";
    case PREPARING_UPDATED_FILE_LIST: return "PREPARING_UPDATED_FILE_LIST";
    case PREPARING_WAIT_NETWORK: return "PREPARING_WAIT_NETWORK";
    case TRANSFERRING_ACTIVE: return "TRANSFERRING_ACTIVE";
    case TRANSFERRING_PASSIVE: return "TRANSFERRING_PASSIVE";
    case TRANSFERRING_SERVER: return "TRANSFERRING_SERVER";
    case TRANSFERRING_START_NEW_FILE: return "TRANSFERRING_START_NEW_FILE";
    case TRANSFERRING_END_FILE: return "TRANSFERRING_END_FILE";
    case TRANSFERRING_RESUME: return "TRANSFERRING_RESUME";
    case TRANSFERRING_PAUSE: return "TRANSFERRING_PAUSE";
    default: return AuthBaseTask::stateToString(code);
    }
}

boost::any TransferTask::getValue(int key)
{
    switch (key) {
    case VALUE_KEY: return key_;
    case VALUE_FILE_LIST: return std::vector<FileState*>(fileStates_);
    case VALUE_PEER_DEVICE_ID: getValuePtr(key); return peerDeviceIdValue_;
    case VALUE_EXPIRES_TIME: return static_cast<int>(expiresTime_);
    case VALUE_MODE: return static_cast<Mode>(mode_);
    default: return AuthBaseTask::getValue(key);
    }
}

const void* TransferTask::getValuePtr(int key)
{
    switch (key) {
    case VALUE_KEY: return &key_;
    case VALUE_FILE_LIST: return &fileStates_;
    case VALUE_PEER_DEVICE_ID:
        if (!peerDeviceId_.empty())
            peerDeviceIdValue_ = peerDeviceId_;
        else if (!directSession_.peerDeviceId().empty())
            peerDeviceIdValue_ = directSession_.peerDeviceId();
        else
            peerDeviceIdValue_ = currentSession_->peerDeviceId();
        return &peerDeviceIdValue_;
    case VALUE_EXPIRES_TIME: return &expiresTime_;
    case VALUE_MODE: return &mode_;
    default: return AuthBaseTask::getValuePtr(key);
    }
}

void TransferTask::setOptionValues(BaseTask::Option* option)
{
    AuthBaseTask::setOptionValues(option);
    if (auto* own = dynamic_cast<TransferTask::Option*>(option))
        parallelWish_ = own->isUsingParallelTransfer();
}

void TransferTask::stopRun()
{
    cancel();
    BaseTask::wait();
    // A derived level may have supplied the main session; it goes before the levels above, which
    // cancel again on their way out.
    currentSession_ = &mainSession_;
}

void TransferTask::cancel()
{
    taskCancelled_ = true;
    AuthBaseTask::cancel();
    currentSession_->cancel();
    directSession_.cancel();
}

void TransferTask::run()
{
    HttpServer::startServer();
    AuthBaseTask::run();
    HttpServer::stopServer();
}

bool TransferTask::IsTransferComplete() const
{
    if (files_.empty())
        return false;
    // A file counts once its finish work was done; bytes counted on the way are no proof.
    for (const auto* record : files_)
        if (!record->skip && !(record->isComplete() && record->finished))
            return false;
    return true;
}

void TransferTask::syncFileStates()
{
    fileStates_.assign(files_.begin(), files_.end());
}

int TransferTask::updateServer()
{
    const int r = updateKey();
    if (r != 200)
        return r;
    syncFileStates();
    for (TransferInfo* session : {currentSession_, &directSession_}) {
        session->taskTime = startTime();
        session->apiKey = apiKey();
        session->setParallel(parallelWish_);
        session->setChannelRetryTime(channelRetryTime_);
    }
    NetworkInfo network;
    bool ok;
    if (mode_ == MODE_HYBRID && network.networkType != "mobile")
        ok = updateHybridFileServer(*currentSession_, directSession_);
    else
        ok = updateFileServer(*currentSession_);

    const bool cancelled = directSession_.channel()
                               ? (currentSession_->isCancelled() && directSession_.isCancelled())
                               : currentSession_->isCancelled();
    if (cancelled && !isCancelled())
        AuthBaseTask::cancel();
    if (currentSession_->isPeerFailed())
        progress(STATE_ERROR, ERROR_FILE_BY_PEER);
    return ok ? 200 : 0;
}

std::string TransferTask::updateFileList(TransferInfo& session, const char* state)
{
    std::vector<TransferInfo::LocalFile> local;
    for (const auto* record : files_) {
        TransferInfo::LocalFile file;
        file.name = record->name;
        if (record->stream) {
            file.size = record->size;
            file.time = record->time;
        } else {
            std::wstring measured;
            if (!record->tempPath.empty() && !record->isComplete() && !record->skip && File::exists(record->tempPath))
                measured = record->tempPath;
            else if (!record->path.empty() && File::exists(record->path))
                measured = record->path;
            if (!measured.empty()) {
                file.size = File::size(measured);
                file.time = static_cast<int32_t>(File::lastWriteTime(measured));
            }
        }
        if (record->skip)
            file.size = record->size;
        local.push_back(file);
    }
    progress(STATE_PREPARING, PREPARING_REQUEST_MODE);
    session.setAuthorization(*authToken_);
    const std::string result = session.update(getFileServerPath(), key_, state, local);
    progress(STATE_PREPARING, PREPARING_UPDATED_MODE);

    const auto& remote = session.remoteFiles();
    {
        std::lock_guard<std::mutex> lock(indexMutex_);
        while (files_.size() < remote.size())
            files_.push_back(new FileStateEx());
        for (size_t i = 0; i < remote.size(); ++i) {
            FileStateEx* record = files_[i];
            // A receive record keeps the name it was given on disk once placed.
            if (record->path.empty() || record->stream || record->name.empty())
                record->name = remote[i].name;
            record->size = remote[i].size;
            record->time = remote[i].time;
            urlIndex_.emplace(remote[i].url, record);
        }
    }
    syncFileStates();
    return result;
}

bool TransferTask::updateFileServer(TransferInfo& session)
{
    std::string s = updateFileList(session, TransferInfo::STATE_TRANSFER);
    if (s != TransferInfo::STATE_TRANSFER) {
        if (session.isCancelled())
            s = updateFileList(session, TransferInfo::STATE_CANCEL);
        if (s == TransferInfo::STATE_CANCEL)
            session.cancel();
        return false;
    }
    if (!fileListReported_.exchange(true))
        progress(STATE_PREPARING, PREPARING_UPDATED_FILE_LIST, &fileStates_);
    if (session.isCancelled())
        return false;
    for (int i = 0;;) {
        const bool ok = transferAllFiles(session);
        const char* chosen;
        if (!session.isCancelled() && ok && IsTransferComplete())
            chosen = TransferInfo::STATE_COMPLETE;
        else if (session.isCancelled())
            chosen = TransferInfo::STATE_CANCEL;
        else
            chosen = TransferInfo::STATE_FAIL;
        bool retryPass = false;
        if (chosen == TransferInfo::STATE_FAIL && i <= 4 && session.isRetryAllowed()) {
            chosen = TransferInfo::STATE_TRANSFER;
            retryPass = true;
        }
        const std::string t = updateFileList(session, chosen);
        if (t == TransferInfo::STATE_CANCEL) {
            session.cancel();
            return false;
        }
        if (t == TransferInfo::STATE_COMPLETE)
            return true;
        if (t == TransferInfo::STATE_TRANSFER && retryPass) {
            ++i;
            if (session.isCancelled())
                return false;
            continue;
        }
        return false;
    }
}

bool TransferTask::transferAllFiles(TransferInfo& session)
{
    Transfer* channel = session.channel();
    if (!channel)
        return false;
    channel->setProgressCallback([this, &session](const std::string& url, unsigned long position, unsigned long total,
                                                  Transfer::EventType kind) {
        transferEvent(&session, url, position, total, kind);
    });
    const bool direct = &session == &directSession_;
    if (direct)
        currentSession_->setTransferSpeedLimit(kRelayLimitDuringDirect);

    bool result = true;
    const std::vector<TransferInfo::RemoteFile> remote = session.remoteFiles();
    for (const auto& file : remote) {
        if (isCancelled() || session.isCancelled())
            break;
        FileStateEx* record = nullptr;
        {
            std::lock_guard<std::mutex> lock(indexMutex_);
            auto it = urlIndex_.find(file.url);
            if (it != urlIndex_.end())
                record = it->second;
        }
        if (!record)
            continue;
        if (file.sent >= file.size && file.completed) {
            debugLog(format("skip file: %1%\n", record->name));
            continue;
        }
        if (record->stream)
            debugLog(format("%1%: %2% (stream) ,\n", record->name, file.url));
        else
            debugLog(format("%1%: %2%\n", record->path.empty() ? record->name : record->path, file.url));
        const bool ok = transferFile(*channel, file.url, *record, static_cast<unsigned long>(file.sent));
        if (!session.isParallel() && !ok) {
            if (channel->isConnectError())
                session.addBlackList(file.url);
            result = false;
            break;
        }
    }
    if (auto* multi = dynamic_cast<MultiTransfer*>(channel)) {
        result = multi->run(static_cast<unsigned long>(std::max(1, session.parallelNumber())));
        if (!result) {
            for (const auto& file : remote) {
                if (isCancelled())
                    break;
                if (channel->isConnectError())
                    session.addBlackList(file.url);
            }
        }
    }
    if (direct)
        currentSession_->setTransferSpeedLimit(0);
    return result;
}

void TransferTask::transferEvent(TransferInfo* session, const std::string& url, unsigned long position,
                                 unsigned long total, Transfer::EventType kind)
{
    FileStateEx* record = nullptr;
    {
        std::lock_guard<std::mutex> lock(indexMutex_);
        auto it = urlIndex_.find(url);
        if (it != urlIndex_.end())
            record = it->second;
    }
    if (!record)
        return;
    if (!record->skip && position > record->transferred)
        record->transferred = position;
    int detail;
    if (kind == Transfer::EVENT_FINISH) {
        // Only the channel's final position says the file arrived; progress seen on the way (a body
        // that went out but was refused) does not finish it.
        const bool done = record->skip || (position >= record->size && record->isComplete());
        if (done) {
            for (auto& file : session->remoteFiles())
                if (file.url == url)
                    file.completed = true;
        }
        if (record->finished)
            return;
        if (done) {
            finishTransferFile(*record);
            record->finished = true;
        }
        if (record->skip)
            return;
        detail = position == total ? TRANSFERRING_END_FILE : TRANSFERRING_PAUSE;
    } else {
        if (record->finished || record->skip)
            return;
        if (kind == Transfer::EVENT_PROGRESS) {
            if (hasPendingEvents())
                return;
            detail = session->isRelay() ? TRANSFERRING_SERVER
                                        : (session->isPassive() ? TRANSFERRING_PASSIVE : TRANSFERRING_ACTIVE);
        } else if (record->started) {
            detail = TRANSFERRING_RESUME;
        } else {
            startTransferFile(*record);
            detail = TRANSFERRING_START_NEW_FILE;
            record->started = true;
        }
    }
    progress(STATE_TRANSFERRING, detail, static_cast<FileState*>(record));
}

void TransferTask::startTransferFile(FileStateEx&) const {}

void TransferTask::finishTransferFile(FileStateEx&) const {}

void TransferTask::analyticsEvent(int state, int detail)
{
    const std::string category = getAnalyticsCategory();
    const char* cat = category.c_str();
    if (state == STATE_ERROR) {
        std::string name = stateToString(detail);
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        analytics(cat, "task_error", name.c_str(), 0);
        flAnalytics(cat, {{"error", name}});
        return;
    }
    if (state != STATE_FINISHED)
        return;
    std::map<std::string, std::string> params;
    const char* action = "transfer_success";
    if (detail == FINISHED_SUCCESS) {
        params["result"] = "success";
    } else if (detail == FINISHED_CANCEL) {
        action = "transfer_cancel";
        params["result"] = "cancel";
    } else if (detail == FINISHED_ERROR) {
        action = "transfer_fail";
        params["result"] = "fail";
    }
    const unsigned long count = files_.size();
    analytics(cat, action, "transfer_file_number", static_cast<long long>(count));
    params["number"] = std::to_string(count);
    unsigned long total = 0;
    std::map<std::string, long long> types;
    for (const auto* record : files_) {
        total += record->size;
        ++types[extensionOf(record->name)];
    }
    analytics(cat, action, "transfer_file_size", static_cast<long long>(total));
    params["size"] = std::to_string(total);
    params["size_round"] = std::to_string(roundFileSize(total));
    std::string typeText;
    for (const auto& type : types) {
        analytics(cat, action, ("transfer_file_type_" + type.first).c_str(), type.second);
        if (!typeText.empty())
            typeText += ",";
        typeText += type.first + ":" + std::to_string(type.second);
    }
    params["type"] = typeText;
    const TransferInfo& session = directSession_.channel() ? directSession_ : *currentSession_;
    if (session.duration() != 0) {
        const long speed = static_cast<long>(static_cast<double>(total) * 1000.0 / session.duration());
        analytics(cat, action, "transfer_file_speed", speed);
        params["speed"] = std::to_string(speed);
        params["speed_round"] = std::to_string(roundFileSize(static_cast<unsigned long>(speed)));
    }
    if (session.isRelay()) {
        analytics(cat, action, "transfer_mode_server", 0);
        params["mode"] = "server";
    } else if (session.isPassive()) {
        analytics(cat, action, "transfer_mode_passive", 0);
        params["mode"] = "passive";
    } else {
        analytics(cat, action, "transfer_mode_active", 0);
        params["mode"] = "active";
    }
    if (!session.networkType().empty()) {
        analytics(cat, action, ("transfer_network_" + session.networkType()).c_str(), 0);
        params["network"] = session.networkType();
    }
    if (!fileServer_.empty())
        flAnalytics(cat, params);
}

}  // namespace Ostrel
