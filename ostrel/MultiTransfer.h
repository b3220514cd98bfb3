#pragma once

#include <cstdint>
#include <list>
#include <string>

#include "ostrel/Transfer.h"

namespace Ostrel {

// A channel that moves several files at once: recv/send only queue a file, run() moves the queue.
class MultiTransfer : public Transfer {
public:
    struct FileInfo {
        std::string url;
        WriteFunction write;  // receive
        ReadFunction read;    // send
        uint64_t offset = 0;
        uint64_t size = 0;
    };

    using Transfer::recv;
    using Transfer::send;

    bool recv(const std::string& url, unsigned long size, const WriteFunction& write, unsigned long offset) override;
    bool send(const ReadFunction& read, unsigned long offset, unsigned long size, const std::string& url) override;

    // Moves every queued file with at most n at once; the queue is empty afterwards.
    bool run(unsigned long n);
    virtual bool action(unsigned long n) = 0;

    const std::list<FileInfo>& queue() const { return queue_; }

protected:
    std::list<FileInfo> queue_;
};

}  // namespace Ostrel
