#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <system_error>

#include <sys/types.h>

#include "ostrel/StringUtil.h"

namespace Ostrel {

// File helpers of the transfer code. Narrow paths are UTF-8; the wide overloads convert strictly
// (invalid code points are dropped) so a path never depends on the process locale.
namespace File {

uint64_t availableSpace(const std::string& path);
bool createDirectories(const std::string& path);
bool createFile(const std::string& path);
bool exists(const std::string& path);
uint64_t size(const std::string& path);
bool rename(const std::string& from, const std::string& to);
bool rename(const std::string& from, const std::string& to, std::error_code& error);
bool remove(const std::string& path);
std::time_t lastWriteTime(const std::string& path);
bool lastWriteTime(const std::string& path, std::time_t time);

inline uint64_t availableSpace(const std::wstring& path) { return availableSpace(toUtf8(path)); }
inline bool createDirectories(const std::wstring& path) { return createDirectories(toUtf8(path)); }
inline bool createFile(const std::wstring& path) { return createFile(toUtf8(path)); }
inline bool exists(const std::wstring& path) { return exists(toUtf8(path)); }
inline uint64_t size(const std::wstring& path) { return size(toUtf8(path)); }
inline bool rename(const std::wstring& from, const std::wstring& to) { return rename(toUtf8(from), toUtf8(to)); }
inline bool rename(const std::wstring& from, const std::wstring& to, std::error_code& error)
{
    return rename(toUtf8(from), toUtf8(to), error);
}
inline bool remove(const std::wstring& path) { return remove(toUtf8(path)); }
inline std::time_t lastWriteTime(const std::wstring& path) { return lastWriteTime(toUtf8(path)); }
inline bool lastWriteTime(const std::wstring& path, std::time_t time) { return lastWriteTime(toUtf8(path), time); }

int open(const std::wstring& path, int flags, int mode = 0644);
long read(int fd, void* buffer, unsigned long length);
long write(int fd, const void* data, unsigned long length);
int close(int fd);
int64_t lseek(int fd, int64_t offset, int whence);

}  // namespace File
}  // namespace Ostrel
