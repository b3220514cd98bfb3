#include "service/Json.h"

#include <memory>

namespace Service {
namespace JsonIo {

bool parseObject(const std::string& body, Json::Value& out)
{
    size_t first = body.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        out = Json::Value(Json::objectValue);
        return true;
    }
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    builder["strictRoot"] = true;
    builder["stackLimit"] = 64;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    Json::Value value;
    try {
        // jsoncpp throws when the nesting limit is hit.
        if (!reader->parse(body.data(), body.data() + body.size(), &value, &errors) || !value.isObject())
            return false;
    } catch (const std::exception&) {
        return false;
    }
    out = std::move(value);
    return true;
}

std::string write(const Json::Value& value)
{
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    return Json::writeString(builder, value);
}

}  // namespace JsonIo
}  // namespace Service
