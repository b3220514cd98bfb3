#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include <json/value.h>

namespace CliTest {

// One trovanti-cli child process. Standard output and error go to files in `workDir`, so a test
// can read them while the child runs; standard input comes from `input` (empty: /dev/null).
// Every wait is bounded, and the destructor SIGKILLs a child that is still running.
class CliProcess {
public:
    CliProcess(const std::string& workDir, const std::string& name);
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    void start(const std::vector<std::string>& args, const std::string& input = std::string());
    // Exit status (128 + signal for a signalled child); -1 after a timeout, when the child is killed.
    int wait(int timeoutMs);
    void signal(int sig);
    bool running();
    pid_t pid() const { return pid_; }

    std::string out() const;
    std::string err() const;
    std::vector<std::string> outLines() const;
    // Output lines that parse as JSON objects.
    std::vector<Json::Value> events() const;
    // Waits until an output line satisfies `match`; returns it, or an empty string on timeout or exit.
    std::string waitForLine(const std::function<bool(const std::string&)>& match, int timeoutMs);
    // The value after "key: " on the first such line, waiting up to timeoutMs.
    std::string waitForKey(int timeoutMs);

private:
    std::string outPath_;
    std::string errPath_;
    std::string inPath_;
    pid_t pid_ = -1;
    int status_ = -1;
};

// Polls `condition` every 20 ms until it holds or the time is up.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs);

}  // namespace CliTest
