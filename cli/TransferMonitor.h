#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "ostrel/TransferTask.h"

class TransferTap;

// Follows the events of a send or receive task (on the event thread) and keeps the batch totals
// that the progress output shows (on the main thread).
class TransferMonitor {
public:
    struct Notice {
        enum Kind { None, FileStarted, FileDone } kind = None;
        std::string name;
        std::string path;
        uint64_t size = 0;
        uint64_t offset = 0;  // where the file started in this run (resumed bytes)
    };

    struct Snapshot {
        bool listed = false;        // the file list is known (a peer or the relay is ready)
        bool moving = false;        // bytes have started to move
        size_t files = 0;           // files in the transfer (skipped ones left out)
        size_t filesDone = 0;
        uint64_t totalBytes = 0;
        uint64_t doneBytes = 0;     // held on the receiving side, resumed bytes included
        uint64_t movedBytes = 0;    // moved in this run
        uint64_t resumedBytes = 0;  // already there when this run started
        double rate = 0;            // bytes per second over the last seconds
        double eta = -1;            // seconds, -1 when unknown
        double elapsed = 0;         // seconds since the first byte moved
        std::string route;          // "direct", "relay" or empty
    };

    explicit TransferMonitor(const TransferTap& tap);

    // Event thread. Returns what the output may want to say about a single file.
    Notice onEvent(int state, int detail, const void* data);
    // Main thread; also samples the rate.
    Snapshot snapshot();
    // After a successful end every file counts as done (some are settled without events).
    void markComplete(const std::string& route);

private:
    struct Entry {
        std::string name;
        std::string path;
        uint64_t size = 0;
        uint64_t transferred = 0;
        bool skip = false;
        bool done = false;
    };

    Entry& entryFor(const Ostrel::TransferTask::FileState* record);
    Snapshot snapshotLocked();

    const TransferTap& tap_;
    std::mutex mutex_;
    std::vector<const Ostrel::TransferTask::FileState*> order_;
    std::map<const Ostrel::TransferTask::FileState*, Entry> entries_;
    bool listed_ = false;
    bool moving_ = false;
    std::string route_;
    std::chrono::steady_clock::time_point firstByte_;
    std::chrono::steady_clock::time_point finishedAt_;
    bool finished_ = false;
    std::deque<std::pair<std::chrono::steady_clock::time_point, uint64_t>> samples_;
};
