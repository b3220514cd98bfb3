#pragma once

#include <string>

namespace TestSupport {

// A directory under the system temporary folder, removed with everything in it on destruction.
class TempDir {
public:
    explicit TempDir(const std::string& prefix = "trovanti-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // Path of a child entry; the entry itself is not created.
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace TestSupport
