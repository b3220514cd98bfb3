#include "AccountCommands.h"

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include <boost/any.hpp>
#include <json/value.h>

#include "ostrel/GetDeviceListTask.h"
#include "ostrel/LoginUserTask.h"
#include "ostrel/LogoutUserTask.h"
#include "ostrel/PublishNearbyTask.h"
#include "ostrel/RegisterUserTask.h"
#include "ostrel/SearchNearbyTask.h"
#include "ostrel/StringUtil.h"
#include "ostrel/UpdateDeviceTask.h"
#include "CliContext.h"
#include "FailureText.h"
#include "ProgressPrinter.h"
#include "TaskRunner.h"

namespace {

int g_ttyFd = -1;
termios g_savedTty;

// Ctrl-C at the prompt must not leave the terminal without echo.
void restoreTtyAndExit(int)
{
    if (g_ttyFd >= 0)
        ::tcsetattr(g_ttyFd, TCSAFLUSH, &g_savedTty);
    const char nl = '\n';
    if (::write(g_ttyFd >= 0 ? g_ttyFd : STDERR_FILENO, &nl, 1) < 0) {
    }
    _exit(130);
}

}  // namespace

int AccountCommands::report(const std::string& reason, int code)
{
    std::fprintf(stderr, "trovanti-cli: %s\n", reason.c_str());
    return code;
}

bool AccountCommands::runTask(Ostrel::BaseTask& task, std::string& failure, std::vector<int>* errors)
{
    if (!context_.prepare(failure))
        return false;
    TaskRunner runner(context_);
    const TaskRunner::Result result = runner.run(task, TaskRunner::EventHandler());
    if (errors)
        *errors = result.errors;
    if (result.finish == Ostrel::BaseTask::FINISHED_SUCCESS)
        return true;
    if (result.interrupted) {
        failure = "cancelled";
        return false;
    }
    failure = FailureText::common(result, context_.engine.apiUrl);
    if (failure.empty())
        failure = "the service did not accept the request";
    return false;
}

bool AccountCommands::readPassword(const std::string& prompt, std::string& password)
{
    if (context_.options.has("password-stdin")) {
        if (!std::getline(std::cin, password))
            return false;
        if (!password.empty() && password.back() == '\r')
            password.pop_back();
        return !password.empty();
    }
    const int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (fd < 0 || ::tcgetattr(fd, &g_savedTty) != 0) {
        if (fd >= 0)
            ::close(fd);
        std::fprintf(stderr, "trovanti-cli: no terminal to ask for the password; use --password-stdin\n");
        return false;
    }
    g_ttyFd = fd;
    signal(SIGINT, restoreTtyAndExit);
    signal(SIGTERM, restoreTtyAndExit);
    termios quiet = g_savedTty;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(fd, TCSAFLUSH, &quiet);
    if (::write(fd, prompt.data(), prompt.size()) < 0) {
    }
    std::string line;
    char c;
    while (::read(fd, &c, 1) == 1 && c != '\n')
        line += c;
    ::tcsetattr(fd, TCSAFLUSH, &g_savedTty);
    if (::write(fd, "\n", 1) < 0) {
    }
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    g_ttyFd = -1;
    ::close(fd);
    password = line;
    return !password.empty();
}

int AccountCommands::login()
{
    const auto& args = context_.options.positional();
    if (args.size() != 1)
        throw CliOptions::UsageError("login needs one USER_ID");
    std::string password;
    if (!readPassword("Password for " + args[0] + ": ", password))
        return report("no password given");
    Ostrel::LoginUserTask task(args[0], password);
    std::string failure;
    std::vector<int> errors;
    if (!runTask(task, failure, &errors)) {
        for (int e : errors)
            if (e == Ostrel::AuthBaseTask::ERROR_SERVER_AUTHENTICATION)
                failure = "wrong user id or password";
        return report("login failed: " + failure);
    }
    if (context_.token.userId != args[0])
        return report("login failed: wrong user id or password");
    ProgressPrinter printer(context_.output);
    printer.line("signed in as " + args[0] + " on device " + context_.token.deviceId, true);
    Json::Value v(Json::objectValue);
    v["event"] = "login";
    v["user_id"] = args[0];
    v["device_id"] = context_.token.deviceId;
    printer.event(v);
    return 0;
}

int AccountCommands::logout()
{
    if (!context_.options.positional().empty())
        throw CliOptions::UsageError("logout takes no arguments");
    Ostrel::LogoutUserTask task;
    std::string failure;
    const bool hadUser = !context_.config.get("device", "user_id").empty();
    if (!runTask(task, failure))
        return report("logout failed: " + failure);
    ProgressPrinter printer(context_.output);
    printer.line(hadUser ? "signed out" : "no user was signed in", true);
    return 0;
}

int AccountCommands::registerUser()
{
    const auto& args = context_.options.positional();
    if (args.size() != 1)
        throw CliOptions::UsageError("register needs one USER_ID");
    std::string password;
    if (!readPassword("New password for " + args[0] + ": ", password))
        return report("no password given");
    Ostrel::RegisterUserTask task(args[0], password, Ostrel::fromUtf8(context_.options.value("name")));
    std::string failure;
    std::vector<int> errors;
    if (!runTask(task, failure, &errors)) {
        for (int e : errors) {
            if (e == Ostrel::RegisterUserTask::ERROR_EXIST_USER_ID)
                failure = "the user id is taken";
            else if (e == Ostrel::RegisterUserTask::ERROR_EXIST_USER_EMAIL)
                failure = "the e-mail address is taken";
            else if (e == Ostrel::RegisterUserTask::ERROR_INVALID_USER_ID)
                failure = "the user id is not valid (3-64 letters, digits or ._@+-)";
            else if (e == Ostrel::RegisterUserTask::ERROR_INVALID_USER_PASSWORD)
                failure = "the password is not valid (6-128 characters)";
        }
        return report("register failed: " + failure);
    }
    ProgressPrinter(context_.output).line("registered " + args[0] + "; sign in with 'trovanti-cli login " + args[0] + "'", true);
    return 0;
}

int AccountCommands::whoami()
{
    if (!context_.options.positional().empty())
        throw CliOptions::UsageError("whoami takes no arguments");
    Ostrel::UpdateDeviceTask task;
    std::string failure;
    if (!runTask(task, failure))
        return report(failure);
    const std::string profile = Ostrel::toUtf8(context_.engine.profileName);
    if (context_.json()) {
        Json::Value v(Json::objectValue);
        v["device_id"] = context_.token.deviceId;
        v["profile_name"] = profile;
        v["user_id"] = context_.token.userId;
        std::printf("%s\n", ProgressPrinter::compact(v).c_str());
    } else {
        std::printf("device id:    %s\nprofile name: %s\nuser:         %s\n", context_.token.deviceId.c_str(),
                    profile.c_str(), context_.token.userId.empty() ? "(none)" : context_.token.userId.c_str());
    }
    std::fflush(stdout);
    return 0;
}

int AccountCommands::printDevices(const std::vector<Ostrel::DeviceInfo>& list, const char* none)
{
    if (context_.json()) {
        for (const auto& d : list) {
            Json::Value v(Json::objectValue);
            v["device_id"] = d.deviceId;
            v["profile_name"] = Ostrel::toUtf8(d.profileName);
            v["device_name"] = d.deviceName;
            v["os_type"] = d.osType;
            v["has_push_id"] = d.hasPushId;
            std::printf("%s\n", ProgressPrinter::compact(v).c_str());
        }
    } else if (list.empty()) {
        std::printf("%s\n", none);
    } else {
        for (const auto& d : list)
            std::printf("%-40s  %s  (%s, %s)\n", d.deviceId.c_str(), Ostrel::toUtf8(d.profileName).c_str(),
                        d.deviceName.c_str(), d.osType.c_str());
    }
    std::fflush(stdout);
    return 0;
}

int AccountCommands::devices()
{
    if (!context_.options.positional().empty())
        throw CliOptions::UsageError("devices takes no arguments");
    Ostrel::GetDeviceListTask task(false);
    std::string failure;
    if (!runTask(task, failure))
        return report(failure);
    return printDevices(boost::any_cast<std::vector<Ostrel::DeviceInfo>>(
                            task.getValue(Ostrel::GetDeviceListTask::VALUE_DEVICE_LIST)),
                        "no devices");
}

int AccountCommands::nearby()
{
    if (!context_.options.positional().empty())
        throw CliOptions::UsageError("nearby takes no arguments");
    std::string failure;
    if (context_.options.has("publish")) {
        Ostrel::PublishNearbyTask publish;
        if (!runTask(publish, failure))
            return report("publishing failed: " + failure);
        const int timeout = boost::any_cast<int>(publish.getValue(256));
        if (!context_.json())
            std::fprintf(stderr, "visible to nearby devices for %d s\n", timeout);
    }
    Ostrel::SearchNearbyTask task(false);
    if (!runTask(task, failure))
        return report(failure);
    return printDevices(boost::any_cast<std::vector<Ostrel::DeviceInfo>>(
                            task.getValue(Ostrel::SearchNearbyTask::VALUE_DEVICE_LIST)),
                        "no devices nearby");
}
