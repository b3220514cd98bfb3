#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>

namespace Ostrel {

// A byte channel of a transfer session: fetches (recv) or delivers (send) single files addressed
// by their transfer URL, starting at a resume offset, reporting start/progress/finish per file.
class Transfer {
public:
    enum EventType { EVENT_START = 0, EVENT_PROGRESS = 1, EVENT_FINISH = 2 };
    static constexpr int kDefaultRetryTime = 10000;

    // Fills buffer with up to length bytes from offset; a result below 1 means failure or end.
    using ReadFunction = std::function<long(char* buffer, unsigned long offset, unsigned long length)>;
    // Stores length bytes at offset; returns the count handled, below 1 on failure.
    using WriteFunction = std::function<long(const char* data, unsigned long offset, unsigned long length)>;
    using ProgressFunction =
        std::function<void(const std::string& url, unsigned long position, unsigned long total, EventType kind)>;

    Transfer() = default;
    virtual ~Transfer();
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    virtual bool recv(const std::string& url, unsigned long size, const WriteFunction& write,
                      unsigned long offset) = 0;
    virtual bool recv(const std::string& url, unsigned long size, const std::wstring& path, unsigned long offset);
    virtual bool send(const ReadFunction& read, unsigned long offset, unsigned long size, const std::string& url) = 0;
    virtual bool send(const std::wstring& path, unsigned long offset, const std::string& url);
    virtual void cancel();
    virtual bool isConnectError() const { return false; }
    virtual bool isFileError() const { return false; }
    virtual void setTransferSpeedLimit(unsigned long bytesPerSecond);
    // How long a failed request is retried, in milliseconds (ten seconds unless changed; 0 allows a
    // single attempt). Tests of the pass loop shorten it so a failed pass does not take ten seconds.
    void setRetryTime(int milliseconds) { retryTime_ = milliseconds; }
    int retryTime() const { return retryTime_.load(); }
    virtual void progress(const std::string& url, unsigned long position, unsigned long total, EventType kind);

    // Installed by the owning task before each pass; runs on whatever thread moves the bytes.
    void setProgressCallback(const ProgressFunction& callback);

    bool isCancelled() const { return cancelled_.load(); }
    uint64_t speedLimit() const { return speedLimit_.load(); }
    const std::atomic<bool>* cancelFlag() const { return &cancelled_; }

    // Open-file table shared by the file callbacks of this channel; the finish event of a URL closes
    // its descriptor. Used from several threads by the multi-connection and passive channels.
    void registerOpenFile(const std::string& url, int fd);
    // Closes and forgets the descriptor of url only when it is still fd (another reader or writer may
    // have replaced it meanwhile).
    void closeOpenFile(const std::string& url, int fd);
    bool isOpenFile(const std::string& url, int fd) const;
    size_t openFileCount() const;

protected:
    std::atomic<bool> cancelled_{false};

private:
    std::atomic<uint64_t> speedLimit_{0};
    std::atomic<int> retryTime_{kDefaultRetryTime};
    mutable std::mutex mutex_;
    std::map<std::string, int> openFiles_;
    ProgressFunction callback_;
};

}  // namespace Ostrel
