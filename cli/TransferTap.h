#pragma once

#include <cstdint>
#include <map>
#include <mutex>

#include "ostrel/TransferTask.h"

// Remembers, per file record, the offset its first transfer started from in this run, so the
// client can tell how many bytes a resume saved. Written from the channels' threads.
class TransferTap {
public:
    void noteStart(const Ostrel::TransferTask::FileState* record, uint64_t offset);
    // False when the file has not started in this run.
    bool firstOffset(const Ostrel::TransferTask::FileState* record, uint64_t& offset) const;

private:
    mutable std::mutex mutex_;
    std::map<const Ostrel::TransferTask::FileState*, uint64_t> offsets_;
};
