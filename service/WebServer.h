#pragma once

#include <functional>
#include <memory>
#include <string>

#include "service/HttpTypes.h"

struct MHD_Daemon;

namespace Service {

// An HTTP listener on libmicrohttpd with one thread per connection, so handlers may block
// (long polls, paired session reports). Small bodies are buffered up to a limit; uploads that
// the router claims are streamed to an UploadSink.
class WebServer {
public:
    struct Routes {
        std::function<Response(Request&)> handle;
        // Called once the headers are in. Returns a sink to stream the body into, or null: then
        // `refusal.status` != 0 answers at once, otherwise the body is buffered for handle().
        std::function<std::unique_ptr<UploadSink>(Request&, Response& refusal)> openUpload;
    };

    WebServer(std::string name, Routes routes, size_t maxBody);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    bool start(const std::string& bindAddress, int port, std::string& error);
    void stop();

    // Internal callbacks; public only for the C trampolines.
    struct Context;
    int onRequest(void* connection, const char* url, const char* method, const char* data, size_t* size,
                  void** ctx);
    void onCompleted(void** ctx, int reason);

private:
    int queue(void* connection, Context& c, Response r);

    std::string name_;
    Routes routes_;
    size_t maxBody_;
    MHD_Daemon* daemon_ = nullptr;
};

}  // namespace Service
