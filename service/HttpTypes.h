#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Service {

// One request as the handlers see it. Header names are lower-cased.
struct Request {
    std::string method;
    std::string path;  // without the query
    std::map<std::string, std::string> query;
    std::map<std::string, std::string> headers;
    std::string peerAddress;  // source address of the connection
    std::string body;         // buffered body (not used by streaming uploads)

    std::string header(const std::string& lowerName) const
    {
        auto it = headers.find(lowerName);
        return it == headers.end() ? std::string() : it->second;
    }
};

struct Response {
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    // A file body: when fd >= 0 the response streams fdLength bytes from fdOffset and closes fd.
    int fd = -1;
    uint64_t fdOffset = 0;
    uint64_t fdLength = 0;
    // Runs once the response has ended; the flag tells whether it reached the client completely.
    std::function<void(bool completed)> onComplete;

    static Response json(int status, const std::string& body);
    static Response empty(int status);
    static Response text(int status, const std::string& body, const std::string& type = "text/plain; charset=utf-8");
};

// Receives the body of a streamed upload piece by piece, so a large PUT never sits in memory.
class UploadSink {
public:
    virtual ~UploadSink() = default;
    // Stores the next piece; false aborts the request with the response from finish().
    virtual bool write(const char* data, size_t length) = 0;
    // Called once the body is complete (or write failed); the answer to send.
    virtual Response finish() = 0;
};

}  // namespace Service
