#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "ostrel/Transfer.h"

namespace Ostrel {

// Path and query of a URL (the text after the port, or after the host); empty when the URL does
// not parse or has no host. Files are registered with the embedded server under this key.
std::string extractPath(const std::string& url);

// The process-wide embedded HTTP server through which peers fetch (GET) and deliver (PUT) the files
// this device registered. Every transfer task starts it and stops it; it runs while any task needs it.
class HttpServer {
public:
    static void startServer();
    static void stopServer();
    static uint16_t getListenPort();
    static bool isRunning();
    static int startCount();

    static void addSend(const Transfer::ReadFunction& read, unsigned long offset, unsigned long size,
                        const std::string& url, const Transfer::ProgressFunction& progress,
                        const std::atomic<bool>* cancel);
    static void addRecv(const std::string& url, unsigned long size, const Transfer::WriteFunction& write,
                        unsigned long offset, const Transfer::ProgressFunction& progress,
                        const std::atomic<bool>* cancel);
    // Waits until the files of urls moved completely, or stalled, then drops their registrations.
    static bool waitComplete(const std::list<std::string>& urls);
    // Drops registrations without waiting; their callbacks never run again once this returns.
    static void removeFiles(const std::list<std::string>& urls);

    // The ports tried in order: 8080, 8000, 8888, 8668, 3882.
    static std::vector<uint16_t> defaultPorts();
    // Lets tests that run side by side use ports of their own; takes effect at the next start.
    static void setPortCandidates(const std::vector<uint16_t>& ports);
};

}  // namespace Ostrel
