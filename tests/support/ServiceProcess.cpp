#include "support/ServiceProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "ostrel/Defaults.h"
#include "support/FreePort.h"
#include "support/TempDir.h"

namespace TestSupport {

ServiceProcess::ServiceProcess() : ServiceProcess(Options()) {}

ServiceProcess::ServiceProcess(Options options) : options_(std::move(options))
{
    temp_ = std::make_unique<TempDir>("trovanti-service");
    dataDir_ = options_.dataDir.empty() ? temp_->file("data") : options_.dataDir;
    logPath_ = temp_->file("service.log");
    apiKey_ = options_.apiKey.empty() ? Ostrel::Defaults::kApiKey : options_.apiKey;
    // A port picked free can be taken by someone else before the service binds it: try again.
    for (int attempt = 0;; ++attempt) {
        port_ = freePort();
        partnerPort_ = freePort();
        if (partnerPort_ == port_)
            continue;
        try {
            launch();
            return;
        } catch (const std::exception&) {
            if (attempt >= 3)
                throw;
        }
    }
}

ServiceProcess::~ServiceProcess() { stop(); }

std::string ServiceProcess::baseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }
std::string ServiceProcess::apiUrl() const { return baseUrl() + "/api/v1/"; }
std::string ServiceProcess::pushUrl() const { return baseUrl() + "/push/v1/"; }
std::string ServiceProcess::partnerUrl() const { return "http://127.0.0.1:" + std::to_string(partnerPort_) + "/"; }

std::string ServiceProcess::log() const
{
    std::ifstream in(logPath_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void ServiceProcess::launch()
{
    std::vector<std::string> args = {TROVANTI_SERVICE_BIN, "--bind", "127.0.0.1", "--port", std::to_string(port_),
                                     "--partner-port", std::to_string(partnerPort_), "--data-dir", dataDir_};
    if (!options_.apiKey.empty()) {
        args.push_back("--api-key");
        args.push_back(options_.apiKey);
    }
    args.insert(args.end(), options_.extraArgs.begin(), options_.extraArgs.end());
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::dup2(out[1], 1);
        const int err = ::open(logPath_.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (err >= 0)
            ::dup2(err, 2);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(&a[0]);
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    pid_ = pid;
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (text.find("listening on") == std::string::npos || text.find('\n') == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        pollfd p{out[0], POLLIN, 0};
        char buffer[256];
        ssize_t n = 0;
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0 || (n = ::read(out[0], buffer, sizeof buffer)) <= 0) {
            ::close(out[0]);
            stop();
            throw std::runtime_error("trovanti-service did not start: " + log());
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(out[0]);
}

int ServiceProcess::stop()
{
    if (pid_ <= 0)
        return -1;
    ::kill(pid_, SIGTERM);
    int status = 0;
    int result = -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            result = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    pid_ = -1;
    return result;
}

void ServiceProcess::restart()
{
    stop();
    launch();
}

}  // namespace TestSupport
