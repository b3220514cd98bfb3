#include "ostrel/HttpImage.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "LogCapture.h"
#include "support/FreePort.h"
#include "support/HttpDouble.h"
#include "support/TempDir.h"

using namespace Ostrel;
using TestSupport::HttpDouble;
using Bytes = std::vector<unsigned char>;

TEST(HttpImage, LoadImageReadsWholeFilesOnly)
{
    TestSupport::TempDir dir;
    const std::string content("\x89PNG\0\1\2", 7);
    {
        std::ofstream out(dir.file("pic.png"), std::ios::binary);
        out << content;
    }
    { std::ofstream empty(dir.file("empty")); }
    Bytes bytes{9, 9, 9};
    ASSERT_TRUE(loadImage(fromUtf8(dir.file("pic.png")), bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), content);

    Bytes untouched{1, 2, 3};
    EXPECT_FALSE(loadImage(fromUtf8(dir.file("missing.png")), untouched));
    EXPECT_FALSE(loadImage(fromUtf8(dir.path()), untouched));  // a directory is no picture
    EXPECT_EQ(untouched, (Bytes{1, 2, 3}));
    EXPECT_TRUE(loadImage(fromUtf8(dir.file("empty")), untouched));
    EXPECT_TRUE(untouched.empty());
}

TEST(HttpImage, UploadPutsJpegAndNeeds200)
{
    HttpDouble server;
    ASSERT_TRUE(server.isRunning());
    const Bytes picture{0xFF, 0xD8, 0x00, 0x41, 0xFF, 0xD9};
    struct Case { int status; bool ok; };
    for (const Case& c : std::vector<Case>{{200, true}, {201, false}, {500, false}, {403, false}}) {
        server.clearRequests();
        server.answer("/up", {c.status, ""});
        EXPECT_EQ(uploadImage(server.url("/up"), picture), c.ok) << c.status;
        const auto requests = server.requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].method, "PUT");
        EXPECT_EQ(requests[0].header("Content-Type"), "image/jpeg");
        EXPECT_EQ(requests[0].header("Content-Length"), "6");
        EXPECT_FALSE(requests[0].hasHeader("Authorization"));
        EXPECT_EQ(requests[0].body, std::string(picture.begin(), picture.end()));
    }
    // Redirects are followed and the body is sent again.
    server.answer("/moved", {307, "", 0, {{"Location", "/up"}}});
    server.answer("/up", {200, ""});
    server.clearRequests();
    EXPECT_TRUE(uploadImage(server.url("/moved"), picture));
    const auto redirected = server.requests("/up");
    ASSERT_EQ(redirected.size(), 1u);
    EXPECT_EQ(redirected[0].body, std::string(picture.begin(), picture.end()));

    LogCapture log;
    EXPECT_FALSE(uploadImage("http://127.0.0.1:" + std::to_string(TestSupport::freePort()) + "/", picture));
    EXPECT_EQ(log.countStartingWith("upload picture failed: "), 1u);
}

TEST(HttpImage, DownloadAppendsOn200AndEmptiesOtherwise)
{
    HttpDouble server;
    ASSERT_TRUE(server.isRunning());
    server.answer("/pic", {200, "JPEGDATA"});
    server.answer("/gone", {404, "not here"});
    server.answer("/moved", {302, "", 0, {{"Location", "/pic"}}});

    struct Case { std::string path; bool ok; std::string bytes; std::string code; };
    const std::vector<Case> cases = {
        {"/pic", true, "xJPEGDATA", "200"},
        {"/moved", true, "xJPEGDATA", "200"},
        {"/gone", false, "", "404"},
    };
    for (const Case& c : cases) {
        LogCapture log;
        Bytes bytes{'x'};
        EXPECT_EQ(downloadImage(server.url(c.path), bytes), c.ok) << c.path;
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), c.bytes) << c.path;
        EXPECT_EQ(log.lines(), (std::vector<std::string>{"responseCode: " + c.code + "\n"})) << c.path;
    }
    LogCapture log;
    Bytes bytes{'x'};
    EXPECT_FALSE(downloadImage("http://127.0.0.1:" + std::to_string(TestSupport::freePort()) + "/", bytes));
    EXPECT_TRUE(bytes.empty());
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("download picture failed: ", 0), 0u);
    EXPECT_EQ(lines[1], "responseCode: 0\n");
}
