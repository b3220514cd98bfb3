#pragma once

#include <string>
#include <vector>

#include "ostrel/DeviceInfo.h"

class CliContext;
namespace Ostrel {
class BaseTask;
}

// The short account and device commands: login, logout, register, whoami, devices, nearby.
class AccountCommands {
public:
    explicit AccountCommands(CliContext& context) : context_(context) {}

    int login();
    int logout();
    int registerUser();
    int whoami();
    int devices();
    int nearby();

private:
    // Runs a task to its end; on failure prints the reason and returns false.
    bool runTask(Ostrel::BaseTask& task, std::string& failure, std::vector<int>* errors = nullptr);
    bool readPassword(const std::string& prompt, std::string& password);
    int printDevices(const std::vector<Ostrel::DeviceInfo>& list, const char* none);
    int report(const std::string& reason, int code = 1);

    CliContext& context_;
};
