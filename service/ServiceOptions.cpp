#include "service/ServiceOptions.h"

#include <cstdlib>

#include "ostrel/HttpRange.h"

namespace Service {

std::string ServiceOptions::usage()
{
    return "usage: trovanti-service [options]\n"
           "  --bind ADDR            IPv4 address to listen on (default 127.0.0.1; 0.0.0.0 for a home network)\n"
           "  --port N               port of the API, push, file and relay server and link pages (default 8470)\n"
           "  --partner-port N       port of the partner-cloud double, 0 to disable it (default 8471)\n"
           "  --data-dir DIR         state database, relayed files, pictures and log "
           "(default $XDG_DATA_HOME/trovanti-service)\n"
           "  --api-key KEY          application key clients must send as Ostrel-Key (default: the client's "
           "built-in key)\n"
           "  --token-ttl SECONDS    lifetime of access tokens (default 3600)\n"
           "  --public-url URL       base address written into answers and links, e.g. http://192.168.1.5:8470\n"
           "                         (default: the Host the client used)\n"
           "  --partner-public-url URL  the same for the partner double (default http://BIND:PARTNER-PORT)\n"
           "  --key-ttl SECONDS      lifetime of direct and hybrid keys (default 600)\n"
           "  --upload-key-ttl SECONDS  lifetime of upload keys without their own timeout (default 86400)\n"
           "  --push-timeout SECONDS how long a push \"sub\" is held before 504 (default 55)\n"
           "  --pair-timeout SECONDS how long one side of a direct transfer waits for the other (default 30)\n"
           "  --nearby-ttl SECONDS   how long a nearby publication lasts (default 600)\n"
           "  --sweep-interval SECONDS  how often expired keys and their files are removed (default 30)\n"
           "  --lookup-limit N       unknown-key lookups allowed per device and per address ... (default 20)\n"
           "  --lookup-window SECONDS  ... within this window, then 429 (default 60)\n"
           "  --max-body BYTES       largest JSON or picture body accepted, else 413 (default 4194304)\n"
           "  --trust-device-ip      direct URLs use the address a device claims instead of its source address\n"
           "  --log-file PATH        also append the request log to this file (always on standard error)\n"
           "  --help                 this text\n";
}

bool ServiceOptions::parse(int argc, char** argv, std::string& message, int& exitCode)
{
    auto number = [&](const std::string& flag, const char* text, int& out, uint64_t max) {
        uint64_t v = 0;
        if (!text || !Ostrel::parseDecimal(text, v) || v > max) {
            message = "trovanti-service: " + flag + " needs a number up to " + std::to_string(max) + "\n" + usage();
            exitCode = 2;
            return false;
        }
        out = static_cast<int>(v);
        return true;
    };
    const uint64_t kSeconds = 10ULL * 365 * 86400;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--help" || arg == "-h") {
            message = usage();
            exitCode = 0;
            return false;
        }
        if (arg == "--trust-device-ip") {
            trustDeviceIp = true;
            continue;
        }
        bool ok = true;
        if (arg == "--bind" && next)
            bind = next;
        else if (arg == "--port")
            ok = number(arg, next, port, 65535);
        else if (arg == "--partner-port")
            ok = number(arg, next, partnerPort, 65535);
        else if (arg == "--data-dir" && next)
            dataDir = next;
        else if (arg == "--api-key" && next)
            apiKey = next;
        else if (arg == "--token-ttl")
            ok = number(arg, next, tokenTtl, kSeconds);
        else if (arg == "--public-url" && next)
            publicUrl = next;
        else if (arg == "--partner-public-url" && next)
            partnerPublicUrl = next;
        else if (arg == "--key-ttl")
            ok = number(arg, next, keyTtl, kSeconds);
        else if (arg == "--upload-key-ttl")
            ok = number(arg, next, uploadKeyTtl, kSeconds);
        else if (arg == "--push-timeout")
            ok = number(arg, next, pushTimeout, 3600);
        else if (arg == "--pair-timeout")
            ok = number(arg, next, pairTimeout, 3600);
        else if (arg == "--nearby-ttl")
            ok = number(arg, next, nearbyTtl, kSeconds);
        else if (arg == "--sweep-interval")
            ok = number(arg, next, sweepInterval, 86400);
        else if (arg == "--lookup-limit")
            ok = number(arg, next, lookupLimit, 1000000);
        else if (arg == "--lookup-window")
            ok = number(arg, next, lookupWindow, 86400);
        else if (arg == "--max-body")
            ok = number(arg, next, maxBody, 1024ULL * 1024 * 1024);
        else if (arg == "--log-file" && next)
            logFile = next;
        else {
            message = "trovanti-service: unknown or incomplete option " + arg + "\n" + usage();
            exitCode = 2;
            return false;
        }
        if (!ok)
            return false;
        ++i;
    }
    if (tokenTtl < 1 || keyTtl < 1 || uploadKeyTtl < 1 || pushTimeout < 1 || sweepInterval < 1) {
        message = "trovanti-service: time values must be at least 1 second\n";
        exitCode = 2;
        return false;
    }
    while (!publicUrl.empty() && publicUrl.back() == '/')
        publicUrl.pop_back();
    while (!partnerPublicUrl.empty() && partnerPublicUrl.back() == '/')
        partnerPublicUrl.pop_back();
    if (dataDir.empty()) {
        const char* xdg = std::getenv("XDG_DATA_HOME");
        const char* home = std::getenv("HOME");
        dataDir = (xdg && *xdg) ? std::string(xdg) + "/trovanti-service"
                                : std::string(home ? home : ".") + "/.local/share/trovanti-service";
    }
    return true;
}

}  // namespace Service
