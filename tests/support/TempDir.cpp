#include "support/TempDir.h"

#include <cstdlib>
#include <stdexcept>
#include <vector>

#include <boost/filesystem.hpp>

namespace TestSupport {

TempDir::TempDir(const std::string& prefix)
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/" + prefix + "-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        throw std::runtime_error("mkdtemp failed for " + pattern);
    path_ = buf.data();
}

TempDir::~TempDir()
{
    boost::system::error_code ec;
    boost::filesystem::remove_all(path_, ec);
}

}  // namespace TestSupport
