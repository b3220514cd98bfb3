#include "service/RequestLog.h"

#include <cstdio>
#include <ctime>
#include <mutex>

#include <sys/time.h>

namespace Service {
namespace RequestLog {

namespace {
std::mutex gMutex;
std::FILE* gFile = nullptr;
}  // namespace

void setFile(const std::string& path)
{
    std::lock_guard<std::mutex> lock(gMutex);
    if (gFile)
        std::fclose(gFile);
    gFile = path.empty() ? nullptr : std::fopen(path.c_str(), "a");
}

void line(const std::string& text)
{
    timeval tv{};
    gettimeofday(&tv, nullptr);
    std::tm tm{};
    gmtime_r(&tv.tv_sec, &tm);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(tv.tv_usec / 1000));
    std::lock_guard<std::mutex> lock(gMutex);
    std::fprintf(stderr, "%s %s\n", stamp, text.c_str());
    if (gFile) {
        std::fprintf(gFile, "%s %s\n", stamp, text.c_str());
        std::fflush(gFile);
    }
}

}  // namespace RequestLog
}  // namespace Service
