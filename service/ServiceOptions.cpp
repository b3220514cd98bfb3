#include "service/ServiceOptions.h"

#include <cstdlib>

#include "ostrel/HttpRange.h"

namespace Service {

std::string ServiceOptions::usage()
{
    return "usage: trovanti-service [options]\n"
           "  --bind ADDR          address to listen on (default 127.0.0.1)\n"
           "  --port N             port of the API, push, file and relay server (default 8470)\n"
           "  --partner-port N     port of the partner-cloud double (default 8471)\n"
           "  --data-dir DIR       where state and relayed files live\n"
           "  --api-key KEY        application key clients must send (default: the client's built-in key)\n"
           "  --token-ttl SECONDS  lifetime of access tokens (default 3600)\n"
           "  --public-url URL     address written into links when it differs from the bind address\n"
           "  --help               this text\n";
}

bool ServiceOptions::parse(int argc, char** argv, std::string& message, int& exitCode)
{
    auto number = [&](const std::string& flag, const char* text, int& out) {
        uint64_t v = 0;
        if (!text || !Ostrel::parseDecimal(text, v) || v > 65535 * 1000ULL) {
            message = "trovanti-service: " + flag + " needs a number\n" + usage();
            exitCode = 2;
            return false;
        }
        out = static_cast<int>(v);
        return true;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--help" || arg == "-h") {
            message = usage();
            exitCode = 0;
            return false;
        }
        bool takesValue = true;
        if (arg == "--bind" && next) {
            bind = next;
        } else if (arg == "--port") {
            if (!number(arg, next, port))
                return false;
        } else if (arg == "--partner-port") {
            if (!number(arg, next, partnerPort))
                return false;
        } else if (arg == "--data-dir" && next) {
            dataDir = next;
        } else if (arg == "--api-key" && next) {
            apiKey = next;
        } else if (arg == "--token-ttl") {
            if (!number(arg, next, tokenTtl))
                return false;
        } else if (arg == "--public-url" && next) {
            publicUrl = next;
        } else {
            takesValue = false;
        }
        if (!takesValue) {
            message = "trovanti-service: unknown or incomplete option " + arg + "\n" + usage();
            exitCode = 2;
            return false;
        }
        ++i;
    }
    if (dataDir.empty()) {
        const char* xdg = std::getenv("XDG_DATA_HOME");
        const char* home = std::getenv("HOME");
        dataDir = (xdg && *xdg) ? std::string(xdg) + "/trovanti-service"
                                : std::string(home ? home : ".") + "/.local/share/trovanti-service";
    }
    return true;
}

}  // namespace Service
