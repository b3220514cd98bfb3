// The two sides of an end-to-end transfer through trovanti-service, and the launcher that runs them
// as separate processes so each side's peak RSS is its own (bench/transfer/run.sh drives it):
//   bench_transfer send API PORT MODE PATH...   sends under a new key, prints "key K" once it has one
//   bench_transfer receive API PORT KEY DIR     receives the key's files into DIR
//   bench_transfer pair API MODE DIR PATH...    runs both, prints "name value" lines
// MODE is "direct" or "upload". In upload mode the receiver starts once the upload has ended, so
// the figures are the two hops through the relay's disk one after the other.
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include <boost/any.hpp>

#include "ostrel/Defaults.h"
#include "ostrel/DownloadTask.h"
#include "ostrel/HttpServer.h"
#include "ostrel/StringUtil.h"
#include "ostrel/UploadTask.h"

using namespace Ostrel;

namespace {

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

class BenchOption : public UploadTask::Option, public DownloadTask::Option {
public:
    std::string api;
    std::string getApiServer() override { return api; }
    std::string getPushId() override { return std::string(); }
    std::wstring getProfileName() override { return L"bench"; }
};

// What one side saw, taken on the task's event thread.
struct Timeline {
    std::mutex mutex;
    double firstStart = 0;  // first byte of the first file may move
    double lastEnd = 0;     // last file complete
    int finished = 0;       // detail of the FINISHED event
    std::vector<int> errors;
};

void watch(BaseTask& task, Timeline& timeline, bool printKey)
{
    task.setCallback([&timeline, printKey](int state, int detail, const void* data) {
        std::lock_guard<std::mutex> lock(timeline.mutex);
        if (detail == TransferTask::TRANSFERRING_START_NEW_FILE && timeline.firstStart == 0)
            timeline.firstStart = now();
        else if (detail == TransferTask::TRANSFERRING_END_FILE)
            timeline.lastEnd = now();
        else if (detail == TransferTask::PREPARING_UPDATED_KEY && printKey && data) {
            std::printf("key %s\n", toUtf8(*static_cast<const std::wstring*>(data)).c_str());
            std::fflush(stdout);
        } else if (state == BaseTask::STATE_ERROR)
            timeline.errors.push_back(detail);
        else if (state == BaseTask::STATE_FINISHED)
            timeline.finished = detail;
    });
}

// Runs the task to its end and prints the side's own figures; exit status 0 only on success.
int runSide(TransferTask& task, const std::vector<TransferTask::FileStateEx*>& records, const std::string& api,
            bool printKey)
{
    BenchOption option;
    option.api = api;
    AuthTokenValue token;
    Timeline timeline;
    BaseTask::setApiKey(Defaults::kApiKey);
    task.setAuthTokenValue(&token);
    task.setOptionValues(&option);
    watch(task, timeline, printKey);
    const double t0 = now();
    task.start();
    task.wait();
    const double t1 = now();
    uint64_t bytes = 0;
    for (const auto* r : records)
        bytes += r->size;
    std::lock_guard<std::mutex> lock(timeline.mutex);
    std::printf("elapsed_s %.3f\n", t1 - t0);
    std::printf("data_s %.3f\n", timeline.firstStart > 0 ? timeline.lastEnd - timeline.firstStart : 0.0);
    std::printf("files %zu\n", records.size());
    std::printf("bytes %llu\n", static_cast<unsigned long long>(bytes));
    std::printf("finished %d\n", timeline.finished);
    for (int e : timeline.errors)
        std::fprintf(stderr, "bench_transfer: error event %d (%s)\n", e, task.stateToString(e).c_str());
    return timeline.finished == BaseTask::FINISHED_SUCCESS && timeline.errors.empty() ? 0 : 1;
}

TransferTask::Mode parseMode(const std::string& word)
{
    if (word == "direct")
        return TransferTask::MODE_DIRECT;
    if (word == "upload")
        return TransferTask::MODE_UPLOAD;
    return TransferTask::MODE_NONE;
}

int sendRole(const std::string& api, int port, const std::string& modeWord, const std::vector<std::string>& paths)
{
    const TransferTask::Mode mode = parseMode(modeWord);
    if (mode == TransferTask::MODE_NONE)
        return 2;
    HttpServer::setPortCandidates({static_cast<uint16_t>(port)});
    std::vector<std::wstring> sources;
    for (const auto& p : paths)
        sources.push_back(fromUtf8(p));
    UploadTask task(sources, mode);
    return runSide(task, task.records(), api, true);
}

int receiveRole(const std::string& api, int port, const std::string& key, const std::string& dir)
{
    HttpServer::setPortCandidates({static_cast<uint16_t>(port)});
    DownloadTask task(fromUtf8(key), fromUtf8(dir));
    return runSide(task, task.records(), api, false);
}

// ---- launcher ----

int freePort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    int port = 0;
    if (s >= 0 && ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &length) == 0)
        port = ntohs(a.sin_port);
    if (s >= 0)
        ::close(s);
    return port;
}

struct Child {
    pid_t pid = -1;
    FILE* out = nullptr;  // the child's standard output
    double started = 0;
    double ended = 0;
    long rssKiB = 0;
    int status = -1;
    std::vector<std::string> lines;

    bool spawn(std::vector<std::string> args)
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return false;
        started = now();
        pid = ::fork();
        if (pid < 0)
            return false;
        if (pid == 0) {
            ::dup2(fds[1], 1);
            ::close(fds[0]);
            ::close(fds[1]);
            std::vector<char*> argv;
            for (auto& a : args)
                argv.push_back(&a[0]);
            argv.push_back(nullptr);
            ::execv("/proc/self/exe", argv.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        out = ::fdopen(fds[0], "r");
        return out != nullptr;
    }
    // Reads lines until one starts with prefix (returned) or the output ends (empty result).
    std::string readUntil(const std::string& prefix)
    {
        char buffer[4096];
        while (out && std::fgets(buffer, sizeof buffer, out)) {
            std::string line(buffer);
            while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
                line.pop_back();
            lines.push_back(line);
            if (!prefix.empty() && line.compare(0, prefix.size(), prefix) == 0)
                return line;
        }
        return std::string();
    }
    void finish()
    {
        readUntil(std::string());
        if (out)
            std::fclose(out);
        out = nullptr;
        int st = 0;
        rusage usage{};
        if (pid > 0 && ::wait4(pid, &st, 0, &usage) == pid) {
            ended = now();
            rssKiB = usage.ru_maxrss;  // KiB on Linux
            status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + (WIFSIGNALED(st) ? WTERMSIG(st) : 0);
        }
        pid = -1;
    }
    void print(const char* side) const
    {
        for (const auto& l : lines)
            if (l.compare(0, 4, "key ") != 0)
                std::printf("%s_%s\n", side, l.c_str());
        std::printf("%s_wall_s %.3f\n", side, ended - started);
        std::printf("%s_rss_kib %ld\n", side, rssKiB);
        std::printf("%s_exit %d\n", side, status);
    }
};

int pairRole(const std::string& api, const std::string& mode, const std::string& dir,
             const std::vector<std::string>& paths)
{
    const int sendPort = freePort();
    int recvPort = freePort();
    while (recvPort == sendPort)
        recvPort = freePort();
    Child sender, receiver;
    std::vector<std::string> sendArgs = {"bench_transfer", "send", api, std::to_string(sendPort), mode};
    sendArgs.insert(sendArgs.end(), paths.begin(), paths.end());
    if (!sender.spawn(sendArgs))
        return 1;
    const std::string keyLine = sender.readUntil("key ");
    if (keyLine.empty()) {
        sender.finish();
        sender.print("send");
        std::fprintf(stderr, "bench_transfer: the sender got no key\n");
        return 1;
    }
    if (mode == "upload")
        sender.finish();  // the relay must hold every byte before the receiver is answered
    if (!receiver.spawn({"bench_transfer", "receive", api, std::to_string(recvPort), keyLine.substr(4), dir})) {
        sender.finish();
        return 1;
    }
    receiver.finish();
    sender.finish();
    sender.print("send");
    receiver.print("recv");
    return sender.status == 0 && receiver.status == 0 ? 0 : 1;
}

int usage(const char* self)
{
    std::fprintf(stderr,
                 "usage: %s send API PORT MODE PATH...\n"
                 "       %s receive API PORT KEY DIR\n"
                 "       %s pair API MODE DIR PATH...\n",
                 self, self, self);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv, argv + argc);
    if (argc >= 6 && args[1] == "send")
        return sendRole(args[2], std::atoi(argv[3]), args[4], std::vector<std::string>(args.begin() + 5, args.end()));
    if (argc == 6 && args[1] == "receive")
        return receiveRole(args[2], std::atoi(argv[3]), args[4], args[5]);
    if (argc >= 6 && args[1] == "pair")
        return pairRole(args[2], args[3], args[4], std::vector<std::string>(args.begin() + 5, args.end()));
    return usage(argv[0]);
}
