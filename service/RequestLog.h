#pragma once

#include <string>

namespace Service {

// One line per request (and a few service events), to standard error and optionally a file.
namespace RequestLog {

void setFile(const std::string& path);
void line(const std::string& text);

}  // namespace RequestLog
}  // namespace Service
