#pragma once

#include <string>

#include <json/json.h>

namespace Service {
namespace JsonIo {

// Parses a request body: empty means {}, anything but an object is refused.
bool parseObject(const std::string& body, Json::Value& out);
std::string write(const Json::Value& value);

}  // namespace JsonIo
}  // namespace Service
