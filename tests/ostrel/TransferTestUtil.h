#pragma once

#include <sys/stat.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "ostrel/DownloadTask.h"
#include "ostrel/FileUtil.h"
#include "ostrel/HashUtil.h"
#include "ostrel/UploadTask.h"
#include "TaskTestUtil.h"

namespace TaskTest {

// Options for both transfer tasks, pointed at a test server.
class TransferOption : public TestOption, public Ostrel::UploadTask::Option, public Ostrel::DownloadTask::Option {
public:
    std::wstring downloadPath;
    bool rename = true;
    bool resume = true;
    bool parallel = true;

    std::string getApiServer() override { return TestOption::getApiServer(); }
    std::string getPushId() override { return TestOption::getPushId(); }
    std::wstring getProfileName() override { return TestOption::getProfileName(); }
    bool isUsingParallelTransfer() override { return parallel; }
    bool isRenameOfDuplicated() override { return rename; }
    bool isResumeOfIncompleted() override { return resume; }
    std::wstring getDownloadPath() override { return downloadPath; }
};

inline void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string randomBytes(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string bytes(n, '\0');
    for (auto& c : bytes)
        c = static_cast<char>(gen() & 0xff);
    return bytes;
}

inline bool isFile(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace TaskTest
