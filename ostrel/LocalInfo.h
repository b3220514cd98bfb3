#pragma once

#include <string>

// Process-wide values the host application sets once at start-up; each replaces the value the
// engine would otherwise report when it is non-empty (or non-zero).
namespace Ostrel {
namespace LocalInfo {

extern std::string osVersion;
extern std::string osLanguage;
extern std::string appName;
extern std::string appVersion;
extern double latitude;
extern double longitude;

}  // namespace LocalInfo
}  // namespace Ostrel
