#include "ostrel/LocalInfo.h"

namespace Ostrel {
namespace LocalInfo {

std::string osVersion;
std::string osLanguage;
std::string appName;
std::string appVersion;
double latitude = 0;
double longitude = 0;

}  // namespace LocalInfo
}  // namespace Ostrel
