#pragma once

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CliProcess.h"
#include "ostrel/FileUtil.h"
#include "ostrel/HashUtil.h"
#include "support/FreePort.h"
#include "support/ServiceProcess.h"
#include "support/TempDir.h"
#include "support/TestFiles.h"

namespace CliTest {

// One device of a test: its own data directory and peer port.
struct Device {
    std::string dataDir;
    int port = 0;
};

using TestSupport::randomBytes;
using TestSupport::readFile;
using TestSupport::writeFile;

// Writes `mib` MiB of pseudo-random bytes quickly, one MiB at a time.
inline void writeRandomFile(const std::string& path, size_t mib, unsigned seed)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (size_t i = 0; i < mib; ++i)
        out << randomBytes(1 << 20, seed + static_cast<unsigned>(i));
}

// Byte-for-byte comparison in blocks, for files too big to hold twice in memory.
inline bool sameContent(const std::string& a, const std::string& b)
{
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    if (!fa || !fb)
        return false;
    std::vector<char> ba(1 << 20), bb(1 << 20);
    for (;;) {
        fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
        fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
        if (fa.gcount() != fb.gcount() || std::memcmp(ba.data(), bb.data(), static_cast<size_t>(fa.gcount())) != 0)
            return false;
        if (!fa || !fb)
            return fa.eof() && fb.eof();
    }
}

inline bool isFile(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

inline uint64_t fileSize(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

// The first event of the given kind, or null.
inline Json::Value findEvent(const std::vector<Json::Value>& events, const std::string& kind)
{
    for (const auto& e : events)
        if (e.get("event", "").asString() == kind)
            return e;
    return Json::Value();
}

// The real service on free loopback ports and two devices with data directories of their own.
class CliFixture : public ::testing::Test {
protected:
    explicit CliFixture(std::vector<std::string> serviceArgs = {})
        : service(TestSupport::ServiceProcess::Options{std::move(serviceArgs), "", ""})
    {
        a.dataDir = temp.file("deviceA");
        b.dataDir = temp.file("deviceB");
        a.port = TestSupport::freePort();
        do
            b.port = TestSupport::freePort();
        while (b.port == a.port);
    }

    // The common flags of one device followed by the command's own arguments.
    std::vector<std::string> args(const Device& d, const std::string& command, std::vector<std::string> rest) const
    {
        std::vector<std::string> all = {command,  "--api-url",  service.apiUrl(), "--push-url",
                                        service.pushUrl(), "--data-dir", d.dataDir, "--port",
                                        std::to_string(d.port)};
        all.insert(all.end(), rest.begin(), rest.end());
        return all;
    }

    std::unique_ptr<CliProcess> process(const std::string& name)
    {
        return std::make_unique<CliProcess>(temp.path(), name);
    }

    TestSupport::ServiceProcess service;
    TestSupport::TempDir temp{"trovanti-cli-test"};
    Device a;
    Device b;
};

}  // namespace CliTest
