// Moves a large file through ActiveHttp GET and PUT against the embedded server, then many small
// files through ActiveMultiHttp, and prints one "name value" line per figure.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ostrel/ActiveHttp.h"
#include "ostrel/ActiveMultiHttp.h"
#include "ostrel/FileCallback.h"
#include "ostrel/FileUtil.h"
#include "ostrel/HttpServer.h"
#include "ostrel/StringUtil.h"

using namespace Ostrel;

namespace {

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

long peakRssKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s SOURCE_FILE WORK_DIR PORT [SMALL_FILES]\n", argv[0]);
        return 2;
    }
    const std::string source = argv[1];
    const std::string work = argv[2];
    const uint16_t port = static_cast<uint16_t>(std::atoi(argv[3]));
    const int smallCount = argc > 4 ? std::atoi(argv[4]) : 2000;
    const uint64_t size = File::size(source);
    const double mb = static_cast<double>(size) / 1e6;

    HttpServer::setPortCandidates({port});
    HttpServer::startServer();
    if (!HttpServer::isRunning())
        return 1;
    const std::string base = "http://127.0.0.1:" + std::to_string(port);
    ActiveHttp serverSide;  // owns the files the server reads and writes
    auto forward = [&serverSide](const std::string& u, unsigned long p, unsigned long t, Transfer::EventType k) {
        serverSide.progress(u, p, t, k);
    };
    std::printf("rss_start_kib %ld\n", peakRssKiB());

    // GET: the embedded server reads the source, ActiveHttp writes the copy.
    {
        const std::string url = base + "/bench/get";
        HttpServer::addSend(FileCallback::makeReader(serverSide, url, fromUtf8(source), size), 0, size, url, forward,
                            nullptr);
        ActiveHttp client;
        const double t0 = now();
        const bool ok = client.recv(url, size, fromUtf8(work + "/ostrel_get.bin"), 0);
        const double t = now() - t0;
        HttpServer::removeFiles({url});
        if (!ok || File::size(work + "/ostrel_get.bin") != size)
            return 1;
        std::printf("ostrel_get_MBps %.1f\n", mb / t);
        std::printf("rss_after_get_kib %ld\n", peakRssKiB());
    }
    // PUT: ActiveHttp reads the source, the embedded server writes the copy.
    {
        const std::string url = base + "/bench/put";
        HttpServer::addRecv(url, size, FileCallback::makeWriter(serverSide, url, fromUtf8(work + "/ostrel_put.bin"), size),
                            0, forward, nullptr);
        ActiveHttp client;
        const double t0 = now();
        const bool ok = client.send(fromUtf8(source), 0, url);
        const double t = now() - t0;
        HttpServer::removeFiles({url});
        if (!ok || File::size(work + "/ostrel_put.bin") != size)
            return 1;
        std::printf("ostrel_put_MBps %.1f\n", mb / t);
        std::printf("rss_after_put_kib %ld\n", peakRssKiB());
    }
    // Many small files: GET of 16 KiB files, five connections.
    {
        const uint64_t small = 16384;
        const std::string smallSource = work + "/small.bin";
        {
            FILE* f = std::fopen(smallSource.c_str(), "wb");
            std::vector<char> bytes(small, 'z');
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
        File::createDirectories(work + "/small");
        std::list<std::string> urls;
        ActiveMultiHttp channel;
        for (int i = 0; i < smallCount; ++i) {
            const std::string url = base + "/bench/small/" + std::to_string(i);
            HttpServer::addSend(FileCallback::makeReader(serverSide, url, fromUtf8(smallSource), small), 0, small, url,
                                forward, nullptr);
            channel.recv(url, small, fromUtf8(work + "/small/" + std::to_string(i)), 0);
            urls.push_back(url);
        }
        const double t0 = now();
        const bool ok = channel.run(5);
        const double t = now() - t0;
        HttpServer::removeFiles(urls);
        if (!ok)
            return 1;
        std::printf("multi_files_per_s %.0f\n", smallCount / t);
    }
    std::printf("rss_peak_kib %ld\n", peakRssKiB());
    HttpServer::stopServer();
    return 0;
}
