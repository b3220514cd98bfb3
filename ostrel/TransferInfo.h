#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <json/value.h>

#include "ostrel/AuthTokenValue.h"
#include "ostrel/ServerInfo.h"
#include "ostrel/Transfer.h"

namespace Ostrel {

// One transfer session with the service's file server about one key: each report tells the file
// server this device's state and files, each reply says what to do next and where the bytes go.
// The session owns the byte channel chosen from the last "transfer" reply.
class TransferInfo : public ServerInfo {
public:
    static const char* const STATE_NO_REQUEST;
    static const char* const STATE_WRONG_KEY;
    static const char* const STATE_FAIL;
    static const char* const STATE_CANCEL;
    static const char* const STATE_COMPLETE;
    static const char* const STATE_TRANSFER;
    static const char* const STATE_QUERY;

    struct LocalFile {
        std::wstring name;
        uint64_t size = 0;
        int32_t time = 0;
    };

    struct RemoteFile {
        std::wstring name;
        uint64_t size = 0;
        int32_t time = 0;
        std::string url;
        uint64_t sent = 0;
        bool completed = false;
    };

    explicit TransferInfo(bool direct);
    ~TransferInfo() override;

    // Sends one report and returns the state of the reply ("fail" when there was no valid reply).
    virtual std::string update(const std::string& path, const std::wstring& key, const char* state,
                               const std::vector<LocalFile>& files);

    std::string getTransferURL(const std::string& path, const std::string& url) const;
    void addBlackList(const std::string& url);
    void completedFile(const std::wstring& name);
    void setTransferSpeedLimit(unsigned long bytesPerSecond);
    // Retry time handed to every channel this session creates (see Transfer::setRetryTime).
    void setChannelRetryTime(int milliseconds) { channelRetryTime_ = milliseconds; }
    int channelRetryTime() const { return channelRetryTime_; }
    void cancel();
    // Waits one second at a time, at most `seconds`, stopping early once cancelled.
    void sleep(int seconds) const;
    int getDataRetry(const std::string& path, Json::Value& request, Json::Value& reply);

    // The device credentials used for reports; only the device id and secret are kept, so reports
    // always authenticate with the Basic scheme.
    void setAuthorization(const AuthTokenValue& token);

    bool isCancelled() const { return cancelled_.load(); }
    // Forgets an earlier cancellation (a new run of the owning task).
    void resetCancel() { cancelled_ = false; cancelFlag = false; }

    std::vector<RemoteFile>& remoteFiles() { return remoteFiles_; }
    const std::vector<RemoteFile>& remoteFiles() const { return remoteFiles_; }
    Transfer* channel() const { return channel_.get(); }
    bool isDirect() const { return direct_; }
    bool isParallel() const { return parallel_; }
    // The wish sent with every report; the reply's "parallel_transfer" decides the channel.
    void setParallel(bool parallel) { parallelWish_ = parallel_ = parallel; }
    int parallelNumber() const { return parallelNumber_; }
    bool isRetryAllowed() const { return retryAllowed_; }
    bool isPassive() const { return passive_; }
    bool isRelay() const { return relay_; }
    bool isPeerFailed() const { return peerFailed_; }
    const std::set<std::string>& blackList() const { return blackList_; }
    unsigned long speedLimit() const { return speedLimit_.load(); }
    const std::string& networkType() const { return networkType_; }
    const std::string& peerDeviceId() const { return peerDeviceId_; }
    int64_t duration() const { return duration_; }

protected:
    // Reads a 200 reply into the session and acts on its state.
    std::string readReply(const std::string& path, const char* state, const Json::Value& reply);

    std::unique_ptr<Transfer> channel_;
    std::vector<RemoteFile> remoteFiles_;
    const bool direct_;
    bool parallel_ = true;
    bool parallelWish_ = true;
    int parallelNumber_ = 5;
    bool retryAllowed_ = true;
    bool passive_ = false;
    bool relay_ = false;
    bool peerFailed_ = false;
    std::set<std::string> blackList_;
    std::atomic<unsigned long> speedLimit_{0};
    int channelRetryTime_ = Transfer::kDefaultRetryTime;
    std::string networkType_;
    std::string peerDeviceId_;
    bool started_ = false;
    std::chrono::steady_clock::time_point startTime_;
    int64_t duration_ = 0;
    AuthTokenValue reportToken_;
    std::atomic<bool> cancelled_{false};
    // Guards channel_ against a cancel or speed limit arriving from another thread.
    mutable std::mutex channelMutex_;
};

// Host, or host:port, of a URL; empty when the URL does not parse.
std::string uriAuthority(const std::string& url);

}  // namespace Ostrel
