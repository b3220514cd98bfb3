#include "ostrel/Transfer.h"

#include "ostrel/FileCallback.h"
#include "ostrel/FileUtil.h"

namespace Ostrel {

Transfer::~Transfer() = default;

bool Transfer::recv(const std::string& url, unsigned long size, const std::wstring& path, unsigned long offset)
{
    return recv(url, size, FileCallback::makeWriter(*this, url, path, size), offset);
}

bool Transfer::send(const std::wstring& path, unsigned long offset, const std::string& url)
{
    if (!File::exists(path))
        return false;
    const uint64_t size = File::size(path);
    return send(FileCallback::makeReader(*this, url, path, size), offset, size, url);
}

void Transfer::cancel()
{
    cancelled_ = true;
}

void Transfer::setTransferSpeedLimit(unsigned long bytesPerSecond)
{
    speedLimit_ = bytesPerSecond;
}

void Transfer::setProgressCallback(const ProgressFunction& callback)
{
    callback_ = callback;
}

void Transfer::progress(const std::string& url, unsigned long position, unsigned long total, EventType kind)
{
    if (kind == EVENT_FINISH) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = openFiles_.find(url);
        if (it != openFiles_.end()) {
            File::close(it->second);
            openFiles_.erase(it);
        }
    }
    if (callback_)
        callback_(url, position, total, kind);
}

void Transfer::registerOpenFile(const std::string& url, int fd)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = openFiles_.find(url);
    if (it != openFiles_.end() && it->second != fd)
        File::close(it->second);
    openFiles_[url] = fd;
}

void Transfer::closeOpenFile(const std::string& url, int fd)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = openFiles_.find(url);
    if (it != openFiles_.end() && it->second == fd) {
        File::close(fd);
        openFiles_.erase(it);
    }
}

bool Transfer::isOpenFile(const std::string& url, int fd) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = openFiles_.find(url);
    return it != openFiles_.end() && it->second == fd;
}

size_t Transfer::openFileCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return openFiles_.size();
}

}  // namespace Ostrel
