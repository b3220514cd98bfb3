#pragma once

#include <atomic>
#include <string>

#include "ostrel/Transfer.h"

namespace Ostrel {

// The channel in which this device is the HTTP client: GET fetches a file from the peer's embedded
// server or the relay, PUT delivers one. Requests run on the calling thread.
class ActiveHttp : public Transfer {
public:
    using Transfer::recv;
    using Transfer::send;

    ActiveHttp();
    ~ActiveHttp() override;

    bool recv(const std::string& url, unsigned long size, const WriteFunction& write, unsigned long offset) override;
    bool send(const ReadFunction& read, unsigned long offset, unsigned long size, const std::string& url) override;
    bool isConnectError() const override { return connectError_.load(); }
    bool isFileError() const override { return fileError_.load(); }

    struct Request;

private:
    long requestPerform(Request& request);
    void* takeHandle();

    void* handle_ = nullptr;

    std::atomic<bool> connectError_{false};
    std::atomic<bool> fileError_{false};
};

}  // namespace Ostrel
