#include "ostrel/LocalDeviceInfo.h"

#include <fstream>
#include <map>

#include "ostrel/HashUtil.h"
#include "ostrel/JsonUtil.h"
#include "ostrel/LocalInfo.h"
#include "ostrel/MACAddressUtility.h"

namespace Ostrel {

namespace {

std::string trim(const std::string& text)
{
    const char* blanks = " \t\r\n\v\f";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// Reads the top-level keys of an INI file. Like a strict INI reader it gives up (false) on a line
// that is neither a comment, a section header nor a key=value pair, and on a repeated key.
bool readIniRoot(const std::string& path, std::map<std::string, std::string>& values)
{
    std::ifstream in(path);
    if (!in)
        return false;
    std::string line;
    bool inSection = false;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line[0] == '[') {
            if (line.back() != ']')
                return false;
            inSection = true;
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            return false;
        const std::string key = trim(line.substr(0, eq));
        if (key.empty())
            return false;
        if (inSection)
            continue;
        if (!values.emplace(key, trim(line.substr(eq + 1))).second)
            return false;
    }
    return !in.bad();
}

bool fileExists(const std::string& path)
{
    std::ifstream in(path);
    return static_cast<bool>(in);
}

}  // namespace

LocalDeviceInfo::LocalDeviceInfo()
{
    init();
}

LocalDeviceInfo::~LocalDeviceInfo() = default;

std::string LocalDeviceInfo::readOsRelease(const std::string& lsbPath, const std::string& redhatPath)
{
    if (fileExists(lsbPath)) {
        std::map<std::string, std::string> values;
        if (!readIniRoot(lsbPath, values))
            return std::string();
        auto it = values.find("DISTRIB_DESCRIPTION");
        if (it == values.end())
            return std::string();
        std::string value = it->second;
        const auto first = value.find_first_not_of('"');
        if (first == std::string::npos)
            return std::string();
        return value.substr(first, value.find_last_not_of('"') - first + 1);
    }
    if (fileExists(redhatPath)) {
        std::ifstream in(redhatPath);
        std::string line;
        std::getline(in, line);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        return line;
    }
    return std::string();
}

void LocalDeviceInfo::init()
{
    BaseInfo::init();
    macAddress = MACAddressUtility::getMACAddress();
    osVersion = readOsRelease();
    appName = "Trovanti";
    // A machine without a readable hardware address gets the digest of the empty text; it is
    // still stable for that machine.
    deviceUid = md5(macAddress);
    modelNumber.clear();
    manufacturer = "Linux";
    appVersion.clear();
    deviceLanguage.clear();
}

void LocalDeviceInfo::toJson(Json::Value& request) const
{
    setJsonValue(request, "os_type", osType);
    setJsonValue(request, "os_version", osVersion);
    setJsonValue(request, "device_uid", deviceUid);
    setJsonValue(request, "model_number", modelNumber);
    setJsonValue(request, "manufacturer", manufacturer);
    setJsonValue(request, "mac_address", macAddress);
    setJsonValue(request, "carrier", carrier);
    setJsonValue(request, "network_country", networkCountry);
    setJsonValue(request, "phone_number_hash", phoneNumberHash);
    setJsonValue(request, "app_version", appVersion);
    setJsonValue(request, "device_language", deviceLanguage);
    setJsonValue(request, "app_name", appName);
    setJsonValue(request, "package_name", packageName);
    setJsonValue(request, "os_version", LocalInfo::osVersion);
    setJsonValue(request, "device_language", LocalInfo::osLanguage);
    setJsonValue(request, "app_name", LocalInfo::appName);
    setJsonValue(request, "app_version", LocalInfo::appVersion);
}

}  // namespace Ostrel
