#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace TestSupport {

class TempDir;

// Runs the real trovanti-service binary on free loopback ports with its own data directory
// (unless one is given), waits for its "listening on" line and stops it with SIGTERM when
// destroyed. Its request log (standard error) goes to a file beside the data directory.
class ServiceProcess {
public:
    struct Options {
        std::vector<std::string> extraArgs;  // further flags, e.g. {"--key-ttl", "2"}
        std::string apiKey;                  // empty: the binary's built-in default
        std::string dataDir;                 // empty: a fresh temporary directory
    };

    ServiceProcess();
    explicit ServiceProcess(Options options);
    ~ServiceProcess();
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    // Stops (SIGTERM) and starts again on the same ports and data directory.
    void restart();
    // SIGTERM and wait; returns the exit status (-1 when it had to be killed).
    int stop();
    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    int port() const { return port_; }
    int partnerPort() const { return partnerPort_; }
    std::string baseUrl() const;     // http://127.0.0.1:PORT
    std::string apiUrl() const;      // .../api/v1/
    std::string pushUrl() const;     // .../push/v1/
    std::string partnerUrl() const;  // http://127.0.0.1:PARTNER/
    const std::string& apiKey() const { return apiKey_; }
    const std::string& dataDir() const { return dataDir_; }
    // Everything the service wrote to standard error so far.
    std::string log() const;

private:
    void launch();

    Options options_;
    std::unique_ptr<TempDir> temp_;
    std::string dataDir_;
    std::string logPath_;
    std::string apiKey_;
    int port_ = 0;
    int partnerPort_ = 0;
    pid_t pid_ = -1;
};

}  // namespace TestSupport
