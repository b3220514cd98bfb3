#pragma once

#include <string>

#include "TaskRunner.h"

// Turns the end of a task into one plain sentence naming the cause.
namespace FailureText {

struct Situation {
    bool receiving = false;
    std::string key;
    std::string folder;    // receive folder
    std::string apiUrl;
    bool listed = false;   // the file list was known
    bool moving = false;   // bytes had started to move
};

// Reasons shared by every task: the service, the application key, the credentials.
std::string common(const TaskRunner::Result& result, const std::string& apiUrl);
// The reason a send or receive failed.
std::string transfer(const TaskRunner::Result& result, const Situation& situation);

}  // namespace FailureText
