#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ostrel/AuthTokenValue.h"
#include "ostrel/DownloadTask.h"
#include "ostrel/UploadTask.h"

// The other device of a transfer test: a bare engine task with credentials of its own, so the
// application's device and the peer are two devices to the service.
class TransferPeer
{
public:
    struct PeerOption : Ostrel::UploadTask::Option, Ostrel::DownloadTask::Option {
        std::string api;
        std::wstring downloadPath;
        std::string getApiServer() override { return api; }
        std::string getPushId() override { return std::string(); }
        std::wstring getProfileName() override { return L"peer"; }
        std::wstring getDownloadPath() override { return downloadPath; }
    };

    explicit TransferPeer(const std::string& api) { option_.api = api; }
    ~TransferPeer()
    {
        if (task_) {
            task_->cancel();
            task_->wait();
        }
    }

    void upload(const std::vector<std::wstring>& paths, Ostrel::TransferTask::Mode mode)
    {
        start(new Ostrel::UploadTask(paths, mode));
    }
    void download(const std::wstring& key, const std::wstring& directory)
    {
        option_.downloadPath = directory;
        start(new Ostrel::DownloadTask(key, directory));
    }

    bool keyKnown() const { return keyKnown_; }
    bool finished() const { return finish_ != 0; }
    int finish() const { return finish_; }
    std::wstring key() const
    {
        std::lock_guard<std::mutex> hold(mutex_);
        return key_;
    }
    // Set once the peer's first task registered it with the service.
    std::string deviceId() const { return token_.deviceId; }

private:
    void start(Ostrel::BaseTask* task)
    {
        if (task_)
            task_->wait();
        finish_ = 0;
        keyKnown_ = false;
        task_.reset(task);
        task->setAuthTokenValue(&token_);
        task->setOptionValues(&option_);
        task->setCallback([this](int state, int detail, const void* data) {
            if (state == 10 && detail == Ostrel::TransferTask::PREPARING_UPDATED_KEY && data) {
                std::lock_guard<std::mutex> hold(mutex_);
                key_ = *static_cast<const std::wstring*>(data);
                keyKnown_ = true;
            }
            if (state == 1)
                finish_ = detail;
        });
        task->start();
    }

    PeerOption option_;
    Ostrel::AuthTokenValue token_;
    std::unique_ptr<Ostrel::BaseTask> task_;
    mutable std::mutex mutex_;
    std::wstring key_;
    std::atomic<bool> keyKnown_{false};
    std::atomic<int> finish_{0};
};
