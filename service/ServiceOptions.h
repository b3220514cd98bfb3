#pragma once

#include <string>

namespace Service {

// Command-line settings of trovanti-service.
struct ServiceOptions {
    std::string bind = "127.0.0.1";
    int port = 8470;
    int partnerPort = 8471;
    std::string dataDir;
    std::string apiKey;
    int tokenTtl = 3600;
    std::string publicUrl;

    // Parses argv; on failure or --help fills message and returns false (exitCode says which).
    bool parse(int argc, char** argv, std::string& message, int& exitCode);
    static std::string usage();
};

}  // namespace Service
