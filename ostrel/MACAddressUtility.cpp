#include "ostrel/MACAddressUtility.h"

#include <cstdio>
#include <cstring>

#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Ostrel {

std::string MACAddressUtility::format(const unsigned char bytes[6])
{
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", bytes[0], bytes[1], bytes[2], bytes[3],
                  bytes[4], bytes[5]);
    return text;
}

std::string MACAddressUtility::getMACAddress()
{
    int sock = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (sock < 0)
        return std::string();

    // A 1024-byte list bounds the number of interfaces examined; the order is the kernel's.
    char buffer[1024];
    struct ifconf conf;
    std::memset(&conf, 0, sizeof conf);
    conf.ifc_len = sizeof buffer;
    conf.ifc_buf = buffer;
    std::string result;
    if (::ioctl(sock, SIOCGIFCONF, &conf) == 0) {
        const int count = conf.ifc_len / static_cast<int>(sizeof(struct ifreq));
        struct ifreq* entries = conf.ifc_req;
        for (int i = 0; i < count && result.empty(); ++i) {
            struct ifreq request;
            std::memset(&request, 0, sizeof request);
            std::strncpy(request.ifr_name, entries[i].ifr_name, IFNAMSIZ - 1);
            if (::ioctl(sock, SIOCGIFFLAGS, &request) != 0 || (request.ifr_flags & IFF_LOOPBACK))
                continue;
            if (::ioctl(sock, SIOCGIFHWADDR, &request) != 0)
                continue;
            result = format(reinterpret_cast<const unsigned char*>(request.ifr_hwaddr.sa_data));
        }
    }
    ::close(sock);
    return result;
}

}  // namespace Ostrel
