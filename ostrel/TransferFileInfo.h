#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "ostrel/Transfer.h"

namespace Ostrel {

// One file registered with the embedded server. Connection threads read and write it; the waiting
// channel reads the position and done flag.
struct TransferFileInfo {
    std::string url;
    Transfer::WriteFunction write;  // set for files the peer PUTs to this device
    Transfer::ReadFunction read;    // set for files the peer GETs from this device
    uint64_t offset = 0;
    uint64_t size = 0;
    std::atomic<uint64_t> position{0};
    Transfer::ProgressFunction progress;
    const std::atomic<bool>* cancel = nullptr;
    std::atomic<bool> done{false};

    // Serialises the callbacks of concurrent requests for the file and the removal of the
    // registration: once removed, no callback of the registering channel runs again.
    std::mutex mutex;
    bool removed = false;

    bool isCancelled() const { return cancel && cancel->load(); }
};

}  // namespace Ostrel
