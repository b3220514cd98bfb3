#pragma once

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "ostrel/TransferTask.h"

namespace Ostrel {

// Sends files and folders (and in-memory streams) under a new or re-used key.
class UploadTask : public TransferTask {
public:
    struct FileInfo {
        std::wstring name;
        std::wstring path;
        uint64_t size = 0;
        int32_t time = 0;
        Transfer::ReadFunction read;
    };

    class Option : public virtual TransferTask::Option {
    public:
        virtual int getSaveToServerTimeout() { return 0; }
        virtual int getKeyType() { return 0; }
        virtual std::string getRegion() { return std::string(); }
        virtual bool isWatchReceivedFile() { return false; }
    };

    enum { ERROR_NO_REQUEST = 532, ERROR_NO_EXIST_FILE = 533 };
    enum { VALUE_LINK = 4096, VALUE_CREATED_TIME = 4097, VALUE_VALIDITY = 4098 };

    UploadTask(const std::vector<std::wstring>& paths, const std::vector<FileInfo>& infos, const std::wstring& key,
               bool upload, bool unused);
    UploadTask(const std::vector<std::wstring>& paths, const std::vector<FileInfo>& infos, Mode mode,
               const std::wstring& thumbnailPath, const std::wstring& key);
    UploadTask(const std::vector<std::wstring>& paths, Mode mode, const std::wstring& key = std::wstring());
    UploadTask(const std::vector<std::wstring>& paths, const std::vector<FileInfo>& infos, Mode mode,
               const std::wstring& key = std::wstring());
    UploadTask(const std::vector<std::wstring>& paths, Mode mode, const std::wstring& thumbnailPath,
               const std::wstring& key);
    UploadTask(const std::vector<std::wstring>& paths, const std::vector<FileInfo>& infos, Mode mode,
               const std::vector<unsigned char>& thumbnail, const std::wstring& key);
    UploadTask(const std::vector<std::wstring>& paths, Mode mode, const std::vector<unsigned char>& thumbnail,
               const std::wstring& key);
    ~UploadTask() override;

    std::string stateToString(int code) override;
    boost::any getValue(int key) override;
    const void* getValuePtr(int key) override;
    void setOptionValues(BaseTask::Option* option) override;
    void wait() override;

    // Builds the records from paths (folders recursively) or caller descriptions; public for tests.
    void setUploadFileList(const std::vector<std::wstring>& paths);
    void setUploadFileList(const std::vector<FileInfo>& infos);
    void removeDuplicatedName();
    const std::vector<FileStateEx*>& records() const { return files_; }

protected:
    int updateKey() override;
    std::string updateFileList(TransferInfo& session, const char* state) override;
    bool updateHybridFileServer(TransferInfo& main, TransferInfo& direct) override;
    std::string getFileServerPath() override { return fileServer_ + "send"; }
    bool transferFile(Transfer& channel, const std::string& url, const FileStateEx& record,
                      unsigned long offset) override;
    std::string getAnalyticsCategory() override;
    void analyticsEvent(int state, int detail) override;

private:
    std::vector<std::wstring> paths_;
    std::vector<FileInfo> infos_;
    int saveToServerTimeout_ = 0;
    int keyType_ = 0;
    std::string region_;
    bool watch_ = false;
    std::string link_;
    int32_t createdTime_ = 0;
    int32_t validity_ = 0;
    std::vector<unsigned char> thumbnail_;
    std::thread thumbnailThread_;
};

}  // namespace Ostrel
