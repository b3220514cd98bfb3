#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <random>

#include "ChannelTestUtil.h"
#include "ostrel/ActiveHttp.h"
#include "ostrel/FileCallback.h"
#include "ostrel/HttpServer.h"
#include "ostrel/StringUtil.h"
#include "support/TempDir.h"

#include <dirent.h>

using namespace Ostrel;
using namespace ChannelTest;

namespace {

std::vector<std::string> listDir(const std::string& path)
{
    std::vector<std::string> names;
    DIR* d = opendir(path.c_str());
    while (dirent* e = d ? readdir(d) : nullptr)
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
            names.emplace_back(e->d_name);
    if (d)
        closedir(d);
    return names;
}

}  // namespace

// Random and mutated requests against the server: it keeps answering, never writes outside the
// registered file and never past its size.
TEST(HttpServerFuzz, RandomRequestsNeverHarmTheServerOrTheFiles)
{
    TestSupport::TempDir dir;
    ServerScope server;
    const uint64_t size = 4096;
    const std::string data = pattern(size, 21);
    writeFile(dir.file("src"), data);
    ActiveHttp owner;  // owns the file callbacks' open-file table
    auto forward = [&owner](const std::string& u, unsigned long p, unsigned long t, Transfer::EventType k) {
        owner.progress(u, p, t, k);
    };
    const std::string getUrl = server.url("/fz/get");
    const std::string putUrl = server.url("/fz/put?id=1");
    HttpServer::addSend(FileCallback::makeReader(owner, getUrl, fromUtf8(dir.file("src")), size), 0, size, getUrl,
                        forward, nullptr);
    HttpServer::addRecv(putUrl, size, FileCallback::makeWriter(owner, putUrl, fromUtf8(dir.file("dst")), size), 0,
                        forward, nullptr);

    std::mt19937 rng(20261211);
    auto pick = [&](const std::vector<std::string>& v) { return v[rng() % v.size()]; };
    auto number = [&]() -> std::string {
        switch (rng() % 8) {
        case 0: return std::to_string(rng() % (size + 2));
        case 1: return std::to_string(size);
        case 2: return "18446744073709551616";
        case 3: return "9223372036854775807";
        case 4: return "-" + std::to_string(rng() % 100);
        case 5: return std::to_string(rng() % 10) + "e3";
        case 6: return "";
        default: return " " + std::to_string(rng() % size);
        }
    };
    const std::vector<std::string> methods = {"GET", "PUT", "PUT", "GET", "POST", "HEAD", "DELETE", "G\x01T", ""};
    const std::vector<std::string> paths = {"/fz/get", "/fz/put?id=1", "/fz/put", "/fz/get?x", "/", "/fz/%2e%2e/src",
                                            "/../../etc/passwd", std::string(3000, 'a'), "*", "/fz/get#x"};
    auto mutate = [&](std::string s) {
        const int edits = static_cast<int>(rng() % 4);
        for (int i = 0; i < edits && !s.empty(); ++i) {
            const size_t at = rng() % s.size();
            switch (rng() % 3) {
            case 0: s[at] = static_cast<char>(rng() % 256); break;
            case 1: s.erase(at, 1); break;
            default: s.insert(at, 1, "0123456789-/ \r\n:"[rng() % 16]); break;
            }
        }
        return s;
    };

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int sent = 0, answered = 0;
    for (; sent < 2000 && std::chrono::steady_clock::now() < deadline; ++sent) {
        std::string request = pick(methods) + " " + pick(paths) + " HTTP/1." + (rng() % 2 ? "1" : "0") + "\r\n";
        request += "Host: 127.0.0.1\r\n";
        const int headers = static_cast<int>(rng() % 4);
        size_t bodySize = rng() % (size + 2000);
        for (int h = 0; h < headers; ++h) {
            switch (rng() % 4) {
            case 0: request += "Range: bytes=" + number() + "-" + (rng() % 2 ? number() : "") + "\r\n"; break;
            case 1:
                request += "Content-Range: bytes " + number() + "-" + number() + "/" + number() + "\r\n";
                break;
            case 2: request += "Content-Length: " + (rng() % 2 ? std::to_string(bodySize) : number()) + "\r\n"; break;
            default: request += "Transfer-Encoding: chunked\r\n"; break;
            }
        }
        request += "\r\n";
        if (rng() % 3 == 0)
            request = mutate(request);
        request += std::string(bodySize, static_cast<char>('A' + rng() % 26));
        const RawReply reply = rawRequest(server.port(), request, 1500);
        if (reply.answered) {
            ++answered;
            EXPECT_TRUE(reply.status >= 200 && reply.status < 600) << reply.status;
        }
        if (fileExists(dir.file("dst"))) {
            ASSERT_LE(readFile(dir.file("dst")).size(), size) << "after request " << sent;
        }
        if (sent % 100 == 0) {
            const RawReply check = rawRequest(server.port(),
                                              "GET /fz/get HTTP/1.1\r\nHost: x\r\nRange: bytes=100-\r\n\r\n", 3000);
            ASSERT_EQ(check.status, 206) << "server stopped answering after request " << sent;
            ASSERT_TRUE(check.body == data.substr(100));
        }
    }
    EXPECT_GE(sent, 300);
    EXPECT_GT(answered, sent / 2);
    HttpServer::removeFiles({getUrl, putUrl});
    // Only the two registered files exist, and the source is unchanged.
    for (const std::string& name : listDir(dir.path()))
        EXPECT_TRUE(name == "src" || name == "dst") << name;
    EXPECT_TRUE(readFile(dir.file("src")) == data);
    EXPECT_EQ(owner.openFileCount(), 0u);
}
