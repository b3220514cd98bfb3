#pragma once

#include <string>
#include <vector>

#include "ostrel/TransferTask.h"

namespace Ostrel {

// Receives the files of a key into a folder: names de-duplicated, partial files resumed, each file
// written to a temporary ".trovanti" file and moved into place only once complete.
class DownloadTask : public TransferTask {
public:
    class Option : public virtual TransferTask::Option {
    public:
        virtual bool isRenameOfDuplicated() { return true; }
        virtual bool isResumeOfIncompleted() { return true; }
        virtual bool isPreserveOriginalTimeStamp() { return true; }
        virtual std::wstring getDownloadPath() { return std::wstring(); }
    };

    enum {
        ERROR_NO_EXIST_KEY = 532,
        ERROR_FILE_NO_DOWNLOAD_PATH = 533,
        ERROR_FILE_NO_DISK_SPACE = 534,
        ERROR_FILE_UNSAFE_NAME = 535,
        ERROR_LINK_SHARING_KEY = 536,
    };
    enum { VALUE_TERMS_URL = 4096 };

    static const wchar_t* const TEMP_SUFFIX;

    DownloadTask(const std::wstring& key, const std::wstring& directory);
    DownloadTask(TransferInfo& session, const std::wstring& key, const std::wstring& directory);
    DownloadTask(const std::wstring& key, const std::vector<std::wstring>& selected, const std::wstring& pattern);
    // Stops a run still in progress before the members it uses are gone.
    ~DownloadTask() override;

    std::string stateToString(int code) override;
    boost::any getValue(int key) override;
    const void* getValuePtr(int key) override;
    void setOptionValues(BaseTask::Option* option) override;

    bool checkDownloadDir();
    bool checkDiskSpace();
    bool checkExcludingFile(const std::wstring& name) const;
    std::wstring renamePath(const std::wstring& directory, const std::wstring& name) const;
    void setFilePath();
    // A received name is safe when it is relative, has no empty, "." or ".." component, no NUL or
    // backslash, and no component that is an existing symlink or non-directory under `directory`.
    static bool isSafeName(const std::wstring& directory, const std::wstring& name);
    const std::vector<FileStateEx*>& records() const { return files_; }

protected:
    int updateServer() override;
    int updateKey() override;
    std::string updateFileList(TransferInfo& session, const char* state) override;
    bool updateHybridFileServer(TransferInfo& main, TransferInfo& direct) override;
    std::string getFileServerPath() override { return fileServer_ + "recv"; }
    bool transferFile(Transfer& channel, const std::string& url, const FileStateEx& record,
                      unsigned long offset) override;
    void startTransferFile(FileStateEx& record) const override;
    void finishTransferFile(FileStateEx& record) const override;
    std::string getAnalyticsCategory() override { return "recv"; }

    std::wstring directory() const;

    std::wstring downloadDir_;
    std::wstring defaultDir_ = L"/tmp";
    bool rename_ = true;
    bool resume_ = true;
    bool preserveTime_ = true;
    std::vector<std::wstring> selected_;
    std::wstring pattern_;
    std::string termsUrl_;
};

}  // namespace Ostrel
