#include "ostrel/DeviceInfo.h"
#include "ostrel/HashUtil.h"
#include "ostrel/LocalDeviceInfo.h"
#include "ostrel/LocalInfo.h"
#include "ostrel/LocationInfo.h"
#include "ostrel/MACAddressUtility.h"
#include "ostrel/NetworkInfo.h"
#include "ostrel/NetworkUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>

#include "support/HttpDouble.h"
#include "support/TempDir.h"

using namespace Ostrel;
using TestSupport::TempDir;

namespace {

void writeFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// Restores the process-wide overrides whatever a test sets.
class LocalInfoGuard {
public:
    ~LocalInfoGuard()
    {
        LocalInfo::osVersion.clear();
        LocalInfo::osLanguage.clear();
        LocalInfo::appName.clear();
        LocalInfo::appVersion.clear();
        LocalInfo::latitude = 0;
        LocalInfo::longitude = 0;
    }
};

}  // namespace

TEST(OsRelease, ReadsTheDescriptionOrTheFirstLine)
{
    TempDir dir;
    const std::string lsb = dir.file("lsb-release");
    const std::string redhat = dir.file("redhat-release");
    const std::string missing = dir.file("missing");
    struct Case {
        const char* lsbText;  // null: no such file
        const char* redhatText;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"DISTRIB_ID=Debian\nDISTRIB_DESCRIPTION=\"Debian GNU/Linux 12 (bookworm)\"\n", nullptr,
         "Debian GNU/Linux 12 (bookworm)"},
        {"DISTRIB_DESCRIPTION = Plain Text \r\n", nullptr, "Plain Text"},
        {"; comment\n# another\nDISTRIB_DESCRIPTION=\"x\"\n[extra]\nDISTRIB_DESCRIPTION=y\n", nullptr, "x"},
        // An lsb file that cannot be read as INI, or lacks the key, gives nothing; redhat is not consulted.
        {"garbage line\nDISTRIB_DESCRIPTION=\"x\"\n", "Fedora release 39\n", ""},
        {"DISTRIB_ID=Debian\n", "Fedora release 39\n", ""},
        {"DISTRIB_DESCRIPTION=a\nDISTRIB_DESCRIPTION=b\n", nullptr, ""},
        {nullptr, "Fedora release 39 (Thirty Nine)\nsecond line\n", "Fedora release 39 (Thirty Nine)"},
        {nullptr, nullptr, ""},
    };
    for (const auto& c : cases) {
        std::remove(lsb.c_str());
        std::remove(redhat.c_str());
        if (c.lsbText)
            writeFile(lsb, c.lsbText);
        if (c.redhatText)
            writeFile(redhat, c.redhatText);
        EXPECT_EQ(LocalDeviceInfo::readOsRelease(lsb, redhat), c.expected) << (c.lsbText ? c.lsbText : "(none)");
    }
    EXPECT_EQ(LocalDeviceInfo::readOsRelease(missing, missing), "");
}

TEST(MACAddress, FormatsUpperCasePairs)
{
    const unsigned char bytes[6] = {0x00, 0x1a, 0x2B, 0xc3, 0xff, 0x09};
    EXPECT_EQ(MACAddressUtility::format(bytes), "00:1A:2B:C3:FF:09");
}

TEST(LocalDeviceInfo, DescribesThisMachine)
{
    LocalDeviceInfo info;
    const std::string mac = MACAddressUtility::getMACAddress();
    EXPECT_EQ(info.macAddress, mac);
    if (!mac.empty()) {
        ASSERT_EQ(mac.size(), 17u);
        for (std::size_t i = 0; i < mac.size(); ++i) {
            if (i % 3 == 2)
                EXPECT_EQ(mac[i], ':');
            else
                EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(mac[i])) || (mac[i] >= 'A' && mac[i] <= 'F'));
        }
    }
    EXPECT_EQ(info.deviceUid, md5(mac));
    EXPECT_EQ(info.osVersion, LocalDeviceInfo::readOsRelease());

    Json::Value request(Json::objectValue);
    request["kept"] = 1;
    info.toJson(request);
    EXPECT_EQ(request["kept"].asInt(), 1);
    EXPECT_EQ(request["os_type"].asString(), "linux");
    EXPECT_EQ(request["manufacturer"].asString(), "Linux");
    EXPECT_EQ(request["app_name"].asString(), "Trovanti");
    EXPECT_EQ(request["device_uid"].asString(), md5(mac));
    // Empty fields are not sent at all.
    for (const char* absent : {"model_number", "carrier", "network_country", "phone_number_hash", "app_version",
                               "device_language", "package_name"})
        EXPECT_FALSE(request.isMember(absent)) << absent;
    EXPECT_EQ(request.isMember("mac_address"), !mac.empty());
    if (mac.empty()) {
        EXPECT_EQ(request["device_uid"].asString(), "d41d8cd98f00b204e9800998ecf8427e");
    }
}

TEST(LocalDeviceInfo, ProcessWideOverridesReplaceTheGatheredValues)
{
    LocalInfoGuard guard;
    LocalInfo::appName = "Trovanti Desktop V2";
    LocalInfo::appVersion = "2.1.0";
    LocalInfo::osVersion = "Debian 12";
    LocalInfo::osLanguage = "ko";
    Json::Value request(Json::objectValue);
    LocalDeviceInfo().toJson(request);
    EXPECT_EQ(request["app_name"].asString(), "Trovanti Desktop V2");
    EXPECT_EQ(request["app_version"].asString(), "2.1.0");
    EXPECT_EQ(request["os_version"].asString(), "Debian 12");
    EXPECT_EQ(request["device_language"].asString(), "ko");
}

TEST(NetworkInfo, ReportsAddressAccessPointAndPort)
{
    NetworkInfo info;
    EXPECT_EQ(info.deviceIp, GetLocalIp());
    EXPECT_EQ(info.bssid, GetBSSID());
    EXPECT_EQ(info.networkType, info.bssid.empty() ? "ethernet" : "wifi");

    Json::Value request(Json::objectValue);
    info.toJson(request);
    EXPECT_EQ(request["os_type"].asString(), "linux");
    EXPECT_EQ(request["network_type"].asString(), info.networkType);
    EXPECT_EQ(request.isMember("bssid"), !info.bssid.empty());
    ASSERT_TRUE(request["listen_port"].isInt());
    EXPECT_EQ(request["listen_port"].asInt(), info.listenPort);

    NetworkInfo wired;
    wired.bssid.clear();
    wired.networkType = "ethernet";
    wired.deviceIp.clear();
    Json::Value body(Json::objectValue);
    wired.toJson(body);
    EXPECT_FALSE(body.isMember("bssid"));
    EXPECT_FALSE(body.isMember("device_ip"));
    EXPECT_EQ(body["network_type"].asString(), "ethernet");
}

TEST(LocationInfo, WritesOnlyKnownCoordinates)
{
    LocalInfoGuard guard;
    {
        Json::Value request(Json::objectValue);
        LocationInfo().toJson(request);
        EXPECT_TRUE(request.empty());
    }
    {
        LocationInfo info;
        info.latitude = 37.5;
        info.longitude = std::numeric_limits<double>::quiet_NaN();
        Json::Value request(Json::objectValue);
        info.toJson(request);
        EXPECT_DOUBLE_EQ(request["latitude"].asDouble(), 37.5);
        EXPECT_TRUE(request.isMember("longitude"));
        EXPECT_FALSE(request.isMember("os_type"));
    }
    {
        LocalInfo::longitude = 127.0;
        LocationInfo info;
        info.longitude = 1.0;
        Json::Value request(Json::objectValue);
        info.toJson(request);
        EXPECT_FALSE(request.isMember("latitude"));
        EXPECT_DOUBLE_EQ(request["longitude"].asDouble(), 127.0);
    }
}

TEST(DeviceInfo, MissingOrMistypedMembersGiveDefaults)
{
    DeviceInfo info;
    info.deviceId = "left over";
    info.set(Json::Value(Json::objectValue), true);
    EXPECT_TRUE(info.profileName.empty());
    EXPECT_TRUE(info.picture.empty());
    EXPECT_TRUE(info.profileUrl.empty());
    EXPECT_TRUE(info.deviceName.empty());
    EXPECT_TRUE(info.deviceId.empty());
    EXPECT_TRUE(info.osType.empty());
    EXPECT_FALSE(info.hasPushId);

    Json::Value odd(Json::objectValue);
    odd["device_id"] = Json::Value(Json::arrayValue);
    odd["has_pushid"] = "maybe";
    info.set(odd, false);
    EXPECT_TRUE(info.deviceId.empty());
    EXPECT_FALSE(info.hasPushId);
}

TEST(DeviceInfo, ReadsTheMembersAndFetchesThePictureOnlyWhenAsked)
{
    TestSupport::HttpDouble server;
    server.answer("/pic/dev-2.jpg", {200, std::string("\xFF\xD8jpeg", 6)});
    Json::Value object(Json::objectValue);
    object["profile_name"] = "Bob's PC \xE2\x82\xAC";
    object["profile_url"] = server.url("/pic/dev-2.jpg");
    object["device_name"] = "bob-laptop";
    object["device_id"] = "dev-2";
    object["os_type"] = "linux";
    object["has_pushid"] = true;

    DeviceInfo info;
    info.set(object, false);
    EXPECT_EQ(info.profileName, L"Bob's PC \u20ac");
    EXPECT_EQ(info.profileUrl, server.url("/pic/dev-2.jpg"));
    EXPECT_EQ(info.deviceName, "bob-laptop");
    EXPECT_EQ(info.deviceId, "dev-2");
    EXPECT_EQ(info.osType, "linux");
    EXPECT_TRUE(info.hasPushId);
    EXPECT_TRUE(info.picture.empty());
    EXPECT_EQ(server.requests().size(), 0u);

    info.set(object, true);
    EXPECT_EQ(std::string(info.picture.begin(), info.picture.end()), std::string("\xFF\xD8jpeg", 6));

    // A failed download leaves the picture empty; the record is still filled.
    object["profile_url"] = server.url("/pic/missing.jpg");
    info.set(object, true);
    EXPECT_TRUE(info.picture.empty());
    EXPECT_EQ(info.deviceId, "dev-2");
}
