#include "ostrel/NetworkUtil.h"

#include <cstdio>
#include <cstring>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/wireless.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Ostrel {

std::string GetLocalIp()
{
    struct ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return std::string();
    std::string result;
    for (struct ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        char text[INET_ADDRSTRLEN] = {0};
        const auto* address = reinterpret_cast<const struct sockaddr_in*>(entry->ifa_addr);
        if (!inet_ntop(AF_INET, &address->sin_addr, text, sizeof(text)))
            continue;
        result = text;
        if (result != "127.0.0.1")
            break;
    }
    freeifaddrs(list);
    return result;
}

std::string GetBSSID()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return std::string();
    struct iwreq request;
    std::memset(&request, 0, sizeof(request));
    std::strncpy(request.ifr_name, "wlan0", IFNAMSIZ - 1);
    const int rc = ::ioctl(fd, SIOCGIWAP, &request);
    ::close(fd);
    if (rc < 0)
        return std::string();
    const unsigned char* mac = reinterpret_cast<const unsigned char*>(request.u.ap_addr.sa_data);
    // The driver reports all zeros (or all ones) while not associated.
    bool allZero = true, allOnes = true;
    for (int i = 0; i < 6; ++i) {
        allZero = allZero && mac[i] == 0x00;
        allOnes = allOnes && mac[i] == 0xFF;
    }
    if (allZero || allOnes)
        return std::string();
    char text[18];
    std::snprintf(text, sizeof(text), "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4],
                  mac[5]);
    return text;
}

}  // namespace Ostrel
