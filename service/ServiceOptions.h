#pragma once

#include <string>

#include "ostrel/Defaults.h"

namespace Service {

// Command-line settings of trovanti-service.
struct ServiceOptions {
    std::string bind = "127.0.0.1";
    int port = Ostrel::Defaults::kServicePort;
    int partnerPort = Ostrel::Defaults::kPartnerPort;
    std::string dataDir;
    std::string apiKey = Ostrel::Defaults::kApiKey;
    int tokenTtl = 3600;
    std::string publicUrl;
    std::string partnerPublicUrl;
    int keyTtl = 600;            // direct and hybrid keys
    int uploadKeyTtl = 86400;    // upload keys without their own "timeout"
    int maxUploadKeyTtl = 7 * 86400;
    int pushTimeout = 55;        // server side end of a "sub" long poll (504)
    int pairTimeout = 30;        // how long one side of a direct pair waits for the other
    int nearbyTtl = 600;
    int sweepInterval = 30;      // seconds between removals of expired keys and their files
    int lookupLimit = 20;        // unknown-key lookups allowed per device and per address ...
    int lookupWindow = 60;       // ... within this many seconds
    int maxBody = 4 * 1024 * 1024;
    bool trustDeviceIp = false;  // use the "device_ip" a peer claims instead of its source address
    std::string logFile;

    // Parses argv; on failure or --help fills message and returns false (exitCode says which).
    bool parse(int argc, char** argv, std::string& message, int& exitCode);
    static std::string usage();
};

}  // namespace Service
