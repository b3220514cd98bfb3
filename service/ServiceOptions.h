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

    // Parses argv; on failure or --help fills message and returns false (exitCode says which).
    bool parse(int argc, char** argv, std::string& message, int& exitCode);
    static std::string usage();
};

}  // namespace Service
