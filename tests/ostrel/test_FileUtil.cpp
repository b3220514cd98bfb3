#include <gtest/gtest.h>

#include <fcntl.h>

#include "ChannelTestUtil.h"
#include "ostrel/FileUtil.h"
#include "support/TempDir.h"

using namespace Ostrel;
using namespace ChannelTest;

TEST(FileUtil, CreateExistsSizeRemove)
{
    TestSupport::TempDir dir;
    const std::string path = dir.file("a.bin");
    EXPECT_FALSE(File::exists(path));
    writeFile(path, pattern(300));
    EXPECT_TRUE(File::exists(path));
    EXPECT_EQ(File::size(path), 300u);
    EXPECT_TRUE(File::createFile(path));  // truncates
    EXPECT_EQ(File::size(path), 0u);
    EXPECT_TRUE(File::remove(path));
    EXPECT_FALSE(File::exists(path));
    EXPECT_FALSE(File::createFile(dir.file("missing/x")));
    EXPECT_TRUE(File::createDirectories(dir.file("x/y/z")));
    EXPECT_TRUE(File::exists(dir.file("x/y/z")));
    EXPECT_GT(File::availableSpace(dir.path()), 0u);
}

TEST(FileUtil, RenameReplacesTargetAndReportsFailure)
{
    TestSupport::TempDir dir;
    writeFile(dir.file("from"), "new");
    writeFile(dir.file("to"), "old contents");
    EXPECT_TRUE(File::rename(dir.file("from"), dir.file("to")));
    EXPECT_EQ(readFile(dir.file("to")), "new");
    EXPECT_FALSE(File::exists(dir.file("from")));

    // Onto a non-empty directory: fails, both stay.
    writeFile(dir.file("keep"), "keep");
    File::createDirectories(dir.file("dir/inner"));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(File::rename(dir.file("keep"), dir.file("dir")));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("File::rename failed: ", 0), 0u) << err;
    EXPECT_EQ(readFile(dir.file("keep")), "keep");
    EXPECT_TRUE(File::exists(dir.file("dir/inner")));

    std::error_code ec;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(File::rename(dir.file("nothing"), dir.file("else"), ec));
    EXPECT_TRUE(testing::internal::GetCapturedStderr().empty());
    EXPECT_TRUE(static_cast<bool>(ec));
}

TEST(FileUtil, LastWriteTimeRoundTrip)
{
    TestSupport::TempDir dir;
    writeFile(dir.file("t"), "x");
    EXPECT_TRUE(File::lastWriteTime(dir.file("t"), 1500000000));
    EXPECT_EQ(File::lastWriteTime(dir.file("t")), 1500000000);
    testing::internal::CaptureStderr();
    EXPECT_EQ(File::lastWriteTime(dir.file("none")), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr().rfind("File::lastWriteTime failed: ", 0), 0u);
}

TEST(FileUtil, OpenWidePathWritesUtf8Name)
{
    TestSupport::TempDir dir;
    const std::wstring wide = fromUtf8(dir.path()) + L"/caf\u00e9 \U0001F600.txt";
    const int fd = File::open(wide, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(File::write(fd, "abc", 3), 3);
    EXPECT_EQ(File::lseek(fd, 0, SEEK_CUR), 3);
    EXPECT_EQ(File::close(fd), 0);
    EXPECT_EQ(readFile(dir.path() + "/caf\xc3\xa9 \xf0\x9f\x98\x80.txt"), "abc");
    EXPECT_TRUE(File::exists(wide));
}
