#include "ostrel/FileUtil.h"

#include <fcntl.h>
#include <unistd.h>

#include <iostream>

#include <boost/filesystem.hpp>

namespace fs = boost::filesystem;

namespace Ostrel {
namespace File {

uint64_t availableSpace(const std::string& path)
{
    boost::system::error_code ec;
    const fs::space_info info = fs::space(path, ec);
    return ec ? 0 : static_cast<uint64_t>(info.available);
}

bool createDirectories(const std::string& path)
{
    boost::system::error_code ec;
    fs::create_directories(path, ec);
    return !ec;
}

bool createFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool exists(const std::string& path)
{
    boost::system::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    return fs::status_known(status) && status.type() != fs::file_not_found;
}

uint64_t size(const std::string& path)
{
    boost::system::error_code ec;
    const auto value = fs::file_size(path, ec);
    return ec ? 0 : static_cast<uint64_t>(value);
}

bool rename(const std::string& from, const std::string& to)
{
    boost::system::error_code ec;
    fs::rename(from, to, ec);
    if (ec) {
        std::cerr << "File::rename failed: " << ec.value() << ", " << ec.message() << std::endl;
        return false;
    }
    return true;
}

bool rename(const std::string& from, const std::string& to, std::error_code& error)
{
    boost::system::error_code ec;
    fs::rename(from, to, ec);
    error = ec ? std::error_code(ec.value(), std::generic_category()) : std::error_code();
    return !ec;
}

bool remove(const std::string& path)
{
    boost::system::error_code ec;
    return fs::remove(path, ec) && !ec;
}

std::time_t lastWriteTime(const std::string& path)
{
    boost::system::error_code ec;
    const std::time_t t = fs::last_write_time(path, ec);
    if (ec) {
        std::cerr << "File::lastWriteTime failed: " << ec.value() << ", " << ec.message() << std::endl;
        return 0;
    }
    return t;
}

bool lastWriteTime(const std::string& path, std::time_t time)
{
    boost::system::error_code ec;
    fs::last_write_time(path, time, ec);
    if (ec) {
        std::cerr << "File::lastWriteTime failed: " << ec.value() << ", " << ec.message() << std::endl;
        return false;
    }
    return true;
}

int open(const std::wstring& path, int flags, int mode)
{
    return ::open(toUtf8(path).c_str(), flags | O_CLOEXEC, mode);
}

long read(int fd, void* buffer, unsigned long length)
{
    return static_cast<long>(::read(fd, buffer, length));
}

long write(int fd, const void* data, unsigned long length)
{
    return static_cast<long>(::write(fd, data, length));
}

int close(int fd)
{
    return ::close(fd);
}

int64_t lseek(int fd, int64_t offset, int whence)
{
    return static_cast<int64_t>(::lseek(fd, static_cast<off_t>(offset), whence));
}

}  // namespace File
}  // namespace Ostrel
