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
#include "support/TestFiles.h"

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

using TestSupport::randomBytes;
using TestSupport::readFile;
using TestSupport::writeFile;

inline bool isFile(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace TaskTest
