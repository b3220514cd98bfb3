#include "ostrel/FileCallback.h"

#include <fcntl.h>

#include <chrono>
#include <thread>

#include "ostrel/FileUtil.h"

namespace Ostrel {

namespace {

int64_t nowMicroseconds()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

FileCallback::FileCallback(Transfer& owner, const std::string& url, const std::wstring& path, uint64_t size)
    : owner_(owner), url_(url), path_(path), size_(size)
{
}

FileCallback::~FileCallback()
{
    // A finish event normally closed the file already; this only catches a pass that never ended one.
    if (fd_ >= 0)
        owner_.closeOpenFile(url_, fd_);
}

bool FileCallback::ensureOpen(int flags)
{
    // The finish event of the URL closes the descriptor through the channel's table; a later request
    // for the same file (a peer's retry) must then open it again instead of using a stale number.
    if (fd_ >= 0 && owner_.isOpenFile(url_, fd_))
        return true;
    fd_ = File::open(path_, flags, 0644);
    if (fd_ < 0)
        return false;
    position_ = 0;
    owner_.registerOpenFile(url_, fd_);
    return true;
}

long FileCallback::readFunc(char* buffer, unsigned long offset, unsigned long length)
{
    // A cancelled channel also lifts its throttle; without this the rest of the file would rush
    // through before the transport notices the cancel.
    if (owner_.isCancelled())
        return -1;
    if (!ensureOpen(O_RDONLY))
        return -1;
    if (offset != position_) {
        const int64_t at = File::lseek(fd_, static_cast<int64_t>(offset), SEEK_SET);
        if (at < 0)
            return -1;
        position_ = static_cast<uint64_t>(at);
    }
    const long count = File::read(fd_, buffer, length);
    if (count > 0)
        position_ += static_cast<uint64_t>(count);
    throttle();
    return count;
}

long FileCallback::writeFunc(const char* data, unsigned long offset, unsigned long length)
{
    if (owner_.isCancelled())
        return -1;
    // Nothing is ever stored past the announced size, whatever the other end sends.
    if (offset > size_ || length > size_ - offset)
        return -1;
    if (!path_.empty() && !ensureOpen(O_WRONLY | O_CREAT | (offset == 0 ? O_TRUNC : 0)))
        return -1;
    if (offset != position_) {
        if (!path_.empty()) {
            const int64_t at = File::lseek(fd_, static_cast<int64_t>(offset), SEEK_SET);
            if (at < 0)
                return -1;
            position_ = static_cast<uint64_t>(at);
        } else {
            position_ = offset;
        }
    }
    long count = static_cast<long>(length);
    if (!path_.empty()) {
        unsigned long done = 0;
        while (done < length) {
            const long n = File::write(fd_, data + done, length - done);
            if (n <= 0)
                break;
            done += static_cast<unsigned long>(n);
        }
        count = done > 0 ? static_cast<long>(done) : -1;
    }
    if (count > 0)
        position_ += static_cast<uint64_t>(count);
    throttle();
    return count;
}

void FileCallback::throttle()
{
    const uint64_t limit = owner_.speedLimit();
    if (limit == 0) {
        throttling_ = false;
        throttleStartPosition_ = 0;
        return;
    }
    if (!throttling_) {
        throttling_ = true;
        throttleStartTime_ = nowMicroseconds();
        throttleStartPosition_ = position_;
    }
    for (int i = 0; i < 100 && !owner_.isCancelled(); ++i) {
        const int64_t elapsedMs = (nowMicroseconds() - throttleStartTime_) / 1000;
        if (elapsedMs <= 0)
            return;
        const uint64_t moved = position_ >= throttleStartPosition_ ? position_ - throttleStartPosition_ : 0;
        if (limit >= moved / static_cast<uint64_t>(elapsedMs) * 1000)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

Transfer::ReadFunction FileCallback::makeReader(Transfer& owner, const std::string& url, const std::wstring& path,
                                                uint64_t size)
{
    auto state = std::make_shared<FileCallback>(owner, url, path, size);
    return [state](char* buffer, unsigned long offset, unsigned long length) {
        return state->readFunc(buffer, offset, length);
    };
}

Transfer::WriteFunction FileCallback::makeWriter(Transfer& owner, const std::string& url, const std::wstring& path,
                                                 uint64_t size)
{
    auto state = std::make_shared<FileCallback>(owner, url, path, size);
    return [state](const char* data, unsigned long offset, unsigned long length) {
        return state->writeFunc(data, offset, length);
    };
}

}  // namespace Ostrel
