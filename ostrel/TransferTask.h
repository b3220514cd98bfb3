#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "ostrel/AuthBaseTask.h"
#include "ostrel/Transfer.h"
#include "ostrel/TransferInfo.h"

namespace Ostrel {

// Common base of the tasks that move files: key registration or lookup, then one or two transfer
// sessions driven until the files are complete, with per-file events for the application.
class TransferTask : public AuthBaseTask {
public:
    enum Mode { MODE_NONE = 0, MODE_DIRECT = 1, MODE_UPLOAD = 2, MODE_HYBRID = 3 };

    enum {
        STATE_TRANSFERRING = 100,
        ERROR_FILE_NETWORK = 522,
        ERROR_FILE_WRONG_PROTOCOL = 523,
        ERROR_FILE_BY_PEER = 524,
        PREPARING_REQUEST_KEY = 2570,
        PREPARING_UPDATED_KEY = 2571,
        PREPARING_REQUEST_MODE = 2572,
        PREPARING_UPDATED_MODE = 2573,
        PREPARING_UPDATED_FILE_LIST = 2574,
        PREPARING_WAIT_NETWORK = 2575,
        TRANSFERRING_ACTIVE = 25601,
        TRANSFERRING_PASSIVE = 25602,
        TRANSFERRING_SERVER = 25603,
        TRANSFERRING_START_NEW_FILE = 25604,
        TRANSFERRING_END_FILE = 25605,
        TRANSFERRING_RESUME = 25606,
        TRANSFERRING_PAUSE = 25607,
    };

    enum Value {
        VALUE_KEY = 256,
        VALUE_FILE_LIST = 257,
        VALUE_PEER_DEVICE_ID = 258,
        VALUE_EXPIRES_TIME = 259,
        VALUE_MODE = 260,
    };

    struct FileState {
        std::wstring name;
        std::wstring path;
        uint64_t size = 0;
        uint64_t transferred = 0;
        bool skip = false;
        int32_t time = 0;
        bool isComplete() const { return transferred >= size; }
    };

    struct FileStateEx : FileState {
        Transfer::ReadFunction stream;
        std::wstring tempPath;
        bool started = false;
        bool finished = false;
        // Set by the receive side for a file it refuses to write (an unsafe name).
        bool refused = false;
    };

    class Option : public virtual AuthBaseTask::Option {
    public:
        virtual bool isUsingParallelTransfer() { return true; }
    };

    TransferTask();
    explicit TransferTask(TransferInfo& mainSession);
    ~TransferTask() override;

    std::string stateToString(int code) override;
    boost::any getValue(int key) override;
    const void* getValuePtr(int key) override;
    void setOptionValues(BaseTask::Option* option) override;
    void cancel() override;

    bool IsTransferComplete() const;

    // How long the channels retry a failed file request before the pass counts as failed, in
    // milliseconds; ten seconds by default, 0 allows one attempt. Set before start (tests use it to
    // run many failed passes quickly).
    void setChannelRetryTime(int milliseconds) { channelRetryTime_ = milliseconds; }

protected:
    void run() override;
    int updateServer() override;
    void analyticsEvent(int state, int detail) override;

    virtual int updateKey() = 0;
    virtual std::string updateFileList(TransferInfo& session, const char* state);
    virtual bool updateFileServer(TransferInfo& session);
    virtual bool updateHybridFileServer(TransferInfo& main, TransferInfo& direct) = 0;
    virtual std::string getFileServerPath() = 0;
    virtual bool transferFile(Transfer& channel, const std::string& url, const FileStateEx& record,
                              unsigned long offset) = 0;
    virtual void startTransferFile(FileStateEx& record) const;
    virtual void finishTransferFile(FileStateEx& record) const;

    bool transferAllFiles(TransferInfo& session);
    void transferEvent(TransferInfo* session, const std::string& url, unsigned long position, unsigned long total,
                       Transfer::EventType kind);
    bool isTaskCancelled() const { return isCancelled(); }
    // Cancels a run still in progress and waits for it. Every destructor down the hierarchy calls it
    // first, because the run and the channels' threads call overrides and use members of each level.
    void stopRun();

    std::vector<FileStateEx*> files_;
    // The same records as files_, as the application sees them (value 257, event 2574).
    std::vector<FileState*> fileStates_;
    std::map<std::string, FileStateEx*> urlIndex_;
    std::mutex indexMutex_;
    int mode_ = MODE_NONE;
    std::wstring key_;
    std::string peerDeviceId_;
    std::string fileServer_;
    int32_t expiresTime_ = 0;
    bool parallelWish_ = true;
    TransferInfo mainSession_;
    TransferInfo directSession_;
    TransferInfo* currentSession_;
    std::atomic<bool> fileListReported_{false};
    std::atomic<bool> taskCancelled_{false};
    std::string peerDeviceIdValue_;
    int channelRetryTime_ = Transfer::kDefaultRetryTime;

private:
    void syncFileStates();
};

// Rounds to one significant decimal digit, half up (1234 -> 1000, 1500 -> 2000, 87 -> 90).
long roundFileSize(unsigned long value);

}  // namespace Ostrel
