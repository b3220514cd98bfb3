#pragma once

#include <string>

#include "service/KeyRecord.h"

namespace Service {

// The plain web page behind a key's link: the files with download links, so a link works in any
// browser without the application.
namespace LinkPage {

std::string render(const KeyRecord& key, bool downloadable);
std::string missing();
std::string htmlEscape(const std::string& text);
std::string percentEncode(const std::string& text);

}  // namespace LinkPage
}  // namespace Service
