#pragma once

#include <functional>
#include <memory>
#include <string>

#include "service/KeyRecord.h"
#include "service/ServiceContext.h"

namespace Service {

class PushHub;

// The relay file server: senders PUT the files of upload and hybrid keys (resuming with
// Content-Range), receivers GET them (with Range) once all have arrived. Bytes are streamed
// to and from files under DATA/relay/TOKEN/, never beyond the size the key announced.
// Also the key's web link page and its browser downloads.
class Relay {
public:
    Relay(ServiceContext& context, PushHub& push) : ctx_(context), push_(push) {}

    void setChangedCallback(std::function<void()> callback) { changed_ = std::move(callback); }

    std::string directory(const std::string& relayToken) const;
    uint64_t storedSize(const KeyRecord& key, size_t index) const;
    bool complete(const KeyRecord& key) const;
    void removeFiles(const std::string& relayToken) const;

    // PUT /relay/v1/TOKEN/INDEX: a sink, or null with the refusal filled in.
    std::unique_ptr<UploadSink> openPut(const Request& request, Response& refusal);
    // GET /relay/v1/TOKEN/INDEX
    Response get(const Request& request);
    // GET /link/TOKEN and /link/TOKEN/INDEX/NAME
    Response link(const Request& request);

    void notifyChanged() const
    {
        if (changed_)
            changed_();
    }

private:
    Response serveFile(const Request& request, const KeyRecord& key, size_t index, bool attachment);

    ServiceContext& ctx_;
    PushHub& push_;
    std::function<void()> changed_;
};

// Splits "/prefix/TOKEN/INDEX..." after the prefix; false when it is not that shape.
bool splitTokenIndex(const std::string& rest, std::string& token, size_t& index, std::string& tail);

}  // namespace Service
