#include "CliProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <json/reader.h>

namespace CliTest {

namespace {

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

CliProcess::CliProcess(const std::string& workDir, const std::string& name)
    : outPath_(workDir + "/" + name + ".out"), errPath_(workDir + "/" + name + ".err"),
      inPath_(workDir + "/" + name + ".in")
{
}

CliProcess::~CliProcess()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

void CliProcess::start(const std::vector<std::string>& args, const std::string& input)
{
    if (pid_ > 0)
        throw std::logic_error("process already running");
    {
        std::ofstream in(inPath_, std::ios::binary | std::ios::trunc);
        in << input;
    }
    std::vector<std::string> full = {TROVANTI_CLI_BIN};
    full.insert(full.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : full)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        const int in = ::open(input.empty() ? "/dev/null" : inPath_.c_str(), O_RDONLY);
        const int out = ::open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0)
            _exit(127);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        // Settings must come from the command line of the test alone.
        for (const char* name : {"TROVANTI_API_URL", "TROVANTI_PUSH_URL", "TROVANTI_DATA_DIR", "TROVANTI_API_KEY",
                                 "TROVANTI_PEER_PORT", "TROVANTI_PROFILE_NAME"})
            ::unsetenv(name);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execv(argv[0], argv.data());
        _exit(127);
    }
    pid_ = pid;
    status_ = -1;
}

int CliProcess::wait(int timeoutMs)
{
    if (pid_ <= 0)
        return status_;
    int status = 0;
    const bool done = waitUntil(
        [&] {
            const pid_t r = ::waitpid(pid_, &status, WNOHANG);
            return r == pid_ || r < 0;
        },
        timeoutMs);
    if (!done) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
        status_ = -1;
        return -1;
    }
    pid_ = -1;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
    return status_;
}

void CliProcess::signal(int sig)
{
    if (pid_ > 0)
        ::kill(pid_, sig);
}

bool CliProcess::running()
{
    if (pid_ <= 0)
        return false;
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == 0)
        return true;
    pid_ = -1;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
    return false;
}

std::string CliProcess::out() const { return readAll(outPath_); }
std::string CliProcess::err() const { return readAll(errPath_); }

std::vector<std::string> CliProcess::outLines() const
{
    std::vector<std::string> lines;
    std::istringstream in(out());
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

std::vector<Json::Value> CliProcess::events() const
{
    std::vector<Json::Value> result;
    for (const auto& line : outLines()) {
        Json::Value v;
        Json::Reader reader;
        if (!line.empty() && line[0] == '{' && reader.parse(line, v) && v.isObject())
            result.push_back(v);
    }
    return result;
}

std::string CliProcess::waitForLine(const std::function<bool(const std::string&)>& match, int timeoutMs)
{
    std::string found;
    waitUntil(
        [&] {
            // Asked first: once the child is gone, the scan below sees all it ever wrote.
            const bool alive = running();
            // A complete line only: the writer may be in the middle of one.
            const std::string text = out();
            size_t from = 0;
            for (size_t nl; (nl = text.find('\n', from)) != std::string::npos; from = nl + 1) {
                const std::string line = text.substr(from, nl - from);
                if (match(line)) {
                    found = line;
                    return true;
                }
            }
            return !alive;
        },
        timeoutMs);
    return found;
}

std::string CliProcess::waitForKey(int timeoutMs)
{
    const std::string line =
        waitForLine([](const std::string& l) { return l.compare(0, 5, "key: ") == 0; }, timeoutMs);
    return line.empty() ? std::string() : line.substr(5);
}

}  // namespace CliTest
