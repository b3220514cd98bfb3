#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ostrel/Transfer.h"

namespace Ostrel {

// The state behind the read and write functions made for one local file of a channel. The
// functions own it (shared), so a queued or registered function keeps its file alive.
class FileCallback {
public:
    FileCallback(Transfer& owner, const std::string& url, const std::wstring& path, uint64_t size);
    ~FileCallback();
    FileCallback(const FileCallback&) = delete;
    FileCallback& operator=(const FileCallback&) = delete;

    long readFunc(char* buffer, unsigned long offset, unsigned long length);
    long writeFunc(const char* data, unsigned long offset, unsigned long length);

    static Transfer::ReadFunction makeReader(Transfer& owner, const std::string& url, const std::wstring& path,
                                             uint64_t size);
    // An empty path counts the bytes without storing them.
    static Transfer::WriteFunction makeWriter(Transfer& owner, const std::string& url, const std::wstring& path,
                                              uint64_t size);

private:
    bool ensureOpen(int flags);
    void throttle();

    Transfer& owner_;
    const std::string url_;
    const std::wstring path_;
    const uint64_t size_;
    int fd_ = -1;
    uint64_t position_ = 0;
    bool throttling_ = false;
    uint64_t throttleStartPosition_ = 0;
    int64_t throttleStartTime_ = 0;
};

}  // namespace Ostrel
