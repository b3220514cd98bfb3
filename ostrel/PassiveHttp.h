#pragma once

#include <string>

#include "ostrel/Transfer.h"

namespace Ostrel {

// The channel in which the peer is the HTTP client: a file is registered with the embedded server
// and the call waits until the peer moved its bytes (or stalled).
class PassiveHttp : public Transfer {
public:
    using Transfer::recv;
    using Transfer::send;

    bool recv(const std::string& url, unsigned long size, const WriteFunction& write, unsigned long offset) override;
    bool send(const ReadFunction& read, unsigned long offset, unsigned long size, const std::string& url) override;

protected:
    ProgressFunction forwarder();
};

}  // namespace Ostrel
