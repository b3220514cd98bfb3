#include "ostrel/NetworkUtil.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

using namespace Ostrel;

namespace {

bool looksLikeIpv4(const std::string& text)
{
    unsigned a, b, c, d;
    char tail;
    return std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) == 4 && a < 256 && b < 256 &&
           c < 256 && d < 256;
}

std::string runCommand(const std::string& command, int& status)
{
    std::string output;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        status = -1;
        return output;
    }
    std::array<char, 256> buffer;
    while (std::fgets(buffer.data(), buffer.size(), pipe))
        output += buffer.data();
    status = ::pclose(pipe);
    return output;
}

std::string selfPath()
{
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof(path) - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

// Extracts "NETPROBE ip=[...] bssid=[...]" printed by the probe run inside the namespace.
bool parseProbe(const std::string& output, std::string& ip, std::string& bssid)
{
    const auto at = output.find("NETPROBE ip=[");
    if (at == std::string::npos)
        return false;
    const auto ipEnd = output.find("] bssid=[", at);
    const auto bssidEnd = output.find("]", ipEnd + 9);
    if (ipEnd == std::string::npos || bssidEnd == std::string::npos)
        return false;
    ip = output.substr(at + 13, ipEnd - at - 13);
    bssid = output.substr(ipEnd + 9, bssidEnd - ipEnd - 9);
    return true;
}

}  // namespace

TEST(NetworkUtil, LocalIpAndBssidHaveTheirShapes)
{
    const std::string ip = GetLocalIp();
    EXPECT_TRUE(ip.empty() || looksLikeIpv4(ip)) << ip;
    const std::string bssid = GetBSSID();
    if (!bssid.empty()) {
        ASSERT_EQ(bssid.size(), 17u);
        for (std::size_t i = 0; i < bssid.size(); ++i) {
            if (i % 3 == 2)
                EXPECT_EQ(bssid[i], ':');
            else
                EXPECT_NE(std::string("0123456789abcdef").find(bssid[i]), std::string::npos) << bssid;
        }
    }
}

// Helper run inside a fresh network namespace by the test below; prints what the lookups see there.
TEST(NetworkUtil, NamespaceProbe)
{
    if (!std::getenv("TROVANTI_NETNS_PROBE"))
        GTEST_SKIP() << "only runs inside the network namespace set up by LoopbackOnlyNamespace";
    std::printf("NETPROBE ip=[%s] bssid=[%s]\n", GetLocalIp().c_str(), GetBSSID().c_str());
}

TEST(NetworkUtil, LoopbackOnlyNamespace)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "unshare --net needs root";
    int status = 0;
    runCommand("unshare --net true 2>/dev/null", status);
    if (status != 0)
        GTEST_SKIP() << "unshare --net is not permitted here";
    const std::string self = selfPath();
    ASSERT_FALSE(self.empty());
    struct Case { std::string setup; std::string ip; };
    // With lo up the only IPv4 address is 127.0.0.1; with lo down there is no IPv4 address at all.
    const std::vector<Case> cases = {{"ip link set lo up; ", "127.0.0.1"}, {"", ""}};
    for (const Case& c : cases) {
        const std::string command = "unshare --net sh -c '" + c.setup + "TROVANTI_NETNS_PROBE=1 \"" + self +
                                    "\" --gtest_filter=NetworkUtil.NamespaceProbe' 2>&1";
        const std::string output = runCommand(command, status);
        std::string ip, bssid;
        ASSERT_TRUE(parseProbe(output, ip, bssid)) << output;
        EXPECT_EQ(ip, c.ip) << c.setup;
        EXPECT_EQ(bssid, "") << "no wlan0 in a fresh namespace";
    }
}
