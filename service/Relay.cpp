#include "service/Relay.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "ostrel/HttpRange.h"
#include "service/LinkPage.h"
#include "service/PushHub.h"

namespace Service {

namespace {

bool cleanToken(const std::string& token)
{
    if (token.empty() || token.size() > 64)
        return false;
    for (char ch : token)
        if (!std::isxdigit(static_cast<unsigned char>(ch)))
            return false;
    return true;
}

// Receives one file's bytes at the offset the Content-Range named.
class RelaySink : public UploadSink {
public:
    RelaySink(int fd, uint64_t offset, uint64_t limit, const Relay& relay)
        : fd_(fd), position_(offset), limit_(limit), relay_(relay)
    {
    }
    ~RelaySink() override
    {
        if (fd_ >= 0)
            ::close(fd_);
        relay_.notifyChanged();
    }
    bool write(const char* data, size_t length) override
    {
        if (position_ + length > limit_) {
            failure_ = 413;
            return false;
        }
        while (length > 0) {
            const ssize_t n = ::pwrite(fd_, data, length, static_cast<off_t>(position_));
            if (n <= 0) {
                failure_ = 507;
                return false;
            }
            data += n;
            length -= static_cast<size_t>(n);
            position_ += static_cast<uint64_t>(n);
        }
        return true;
    }
    Response finish() override
    {
        if (failure_)
            return errorAnswer(failure_, failure_ == 413 ? "more bytes than announced" : "storage failed");
        ::close(fd_);
        fd_ = -1;
        relay_.notifyChanged();
        return Response::text(200, " ");
    }

private:
    int fd_;
    uint64_t position_;
    uint64_t limit_;
    const Relay& relay_;
    int failure_ = 0;
};

}  // namespace

bool splitTokenIndex(const std::string& rest, std::string& token, size_t& index, std::string& tail)
{
    const size_t slash = rest.find('/');
    if (slash == std::string::npos)
        return false;
    token = rest.substr(0, slash);
    const size_t end = rest.find('/', slash + 1);
    const std::string number = rest.substr(slash + 1, end == std::string::npos ? std::string::npos : end - slash - 1);
    uint64_t value = 0;
    if (!cleanToken(token) || !Ostrel::parseDecimal(number, value) || value > 1000000)
        return false;
    index = static_cast<size_t>(value);
    tail = end == std::string::npos ? "" : rest.substr(end + 1);
    return true;
}

std::string Relay::directory(const std::string& relayToken) const
{
    return ctx_.options.dataDir + "/relay/" + relayToken;
}

uint64_t Relay::storedSize(const KeyRecord& key, size_t index) const
{
    struct stat st {};
    if (::stat((directory(key.relayToken) + "/" + std::to_string(index)).c_str(), &st) != 0)
        return 0;
    return static_cast<uint64_t>(st.st_size);
}

bool Relay::complete(const KeyRecord& key) const
{
    for (size_t i = 0; i < key.files.size(); ++i)
        if (key.files[i].size > 0 && storedSize(key, i) < key.files[i].size)
            return false;
    return true;
}

void Relay::removeFiles(const std::string& relayToken) const
{
    if (!cleanToken(relayToken))
        return;
    std::error_code ec;
    std::filesystem::remove_all(directory(relayToken), ec);
}

std::unique_ptr<UploadSink> Relay::openPut(const Request& request, Response& refusal)
{
    std::string token, tail;
    size_t index = 0;
    KeyRecord key;
    if (!splitTokenIndex(request.path.substr(std::string("/relay/v1/").size()), token, index, tail) ||
        !tail.empty() || !KeyRecord::loadByColumn(ctx_.store, "relay_token", token, ServiceContext::now(), key) ||
        !key.usesRelay() || index >= key.files.size()) {
        refusal = Response::empty(404);
        return nullptr;
    }
    const uint64_t size = key.files[index].size;
    uint64_t offset = 0, length = 0;
    const std::string range = request.header("content-range");
    const std::string declared = request.header("content-length");
    if ((!range.empty() && !Ostrel::parseContentRangeStart(range, offset)) ||
        (!declared.empty() && !Ostrel::parseDecimal(declared, length))) {
        refusal = errorAnswer(400, "malformed range");
        return nullptr;
    }
    const uint64_t stored = storedSize(key, index);
    if (offset > stored || offset > size) {
        // Starting past the bytes held would leave a hole; the sender must resume at "sent".
        refusal = errorAnswer(416, "resume offset beyond stored bytes");
        refusal.headers.push_back({"Content-Range", "bytes */" + std::to_string(size)});
        return nullptr;
    }
    if (offset + length > size) {
        refusal = errorAnswer(413, "more bytes than announced");
        return nullptr;
    }
    std::error_code ec;
    std::filesystem::create_directories(directory(token), ec);
    const int fd = ::open((directory(token) + "/" + std::to_string(index)).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC,
                          0600);
    if (fd < 0) {
        refusal = errorAnswer(507, "cannot store");
        return nullptr;
    }
    return std::make_unique<RelaySink>(fd, offset, size, *this);
}

Response Relay::serveFile(const Request& request, const KeyRecord& key, size_t index, bool attachment)
{
    const uint64_t size = key.files[index].size;
    uint64_t offset = 0;
    const std::string range = request.header("range");
    if (!range.empty() && (!Ostrel::parseRangeStart(range, offset) || offset > size)) {
        Response r = errorAnswer(416, "bad range");
        r.headers.push_back({"Content-Range", "bytes */" + std::to_string(size)});
        return r;
    }
    int fd = -1;
    if (size > 0) {
        fd = ::open((directory(key.relayToken) + "/" + std::to_string(index)).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return Response::empty(404);
    }
    Response r;
    r.status = offset > 0 ? 206 : 200;
    r.contentType = "application/octet-stream";
    if (fd >= 0) {
        r.fd = fd;
        r.fdOffset = offset;
        r.fdLength = size - offset;
    }
    if (offset > 0)
        r.headers.push_back({"Content-Range", Ostrel::formatContentRange(offset, size)});
    if (attachment) {
        std::string base = key.files[index].name;
        const size_t slash = base.rfind('/');
        if (slash != std::string::npos)
            base = base.substr(slash + 1);
        r.headers.push_back({"Content-Disposition", "attachment; filename*=UTF-8''" + LinkPage::percentEncode(base)});
        if (offset == 0) {
            // A browser download of a whole file counts as one receipt for the sender.
            ServiceContext& ctx = ctx_;
            PushHub& push = push_;
            const std::string k = key.key, owner = key.owner;
            r.onComplete = [&ctx, &push, k, owner](bool completed) {
                if (!completed)
                    return;
                ctx.store.exec("UPDATE keys SET downloads=downloads+1 WHERE key=?", {k});
                push.post(owner, k, "peer_recv_completed", "web");
            };
        }
    }
    return r;
}

Response Relay::get(const Request& request)
{
    std::string token, tail;
    size_t index = 0;
    KeyRecord key;
    if (!splitTokenIndex(request.path.substr(std::string("/relay/v1/").size()), token, index, tail) ||
        !tail.empty() || !KeyRecord::loadByColumn(ctx_.store, "relay_token", token, ServiceContext::now(), key) ||
        !key.usesRelay() || index >= key.files.size())
        return Response::empty(404);
    if (!complete(key))
        return errorAnswer(409, "upload not complete");
    return serveFile(request, key, index, false);
}

Response Relay::link(const Request& request)
{
    const std::string rest = request.path.substr(std::string("/link/").size());
    const size_t slash = rest.find('/');
    const std::string token = rest.substr(0, slash);
    KeyRecord key;
    if (!cleanToken(token) || !KeyRecord::loadByColumn(ctx_.store, "link_token", token, ServiceContext::now(), key))
        return Response::text(404, LinkPage::missing(), "text/html; charset=utf-8");
    if (slash == std::string::npos || slash + 1 == rest.size())
        return Response::text(200, LinkPage::render(key, key.usesRelay() && complete(key)),
                              "text/html; charset=utf-8");
    std::string t, tail;
    size_t index = 0;
    if (!splitTokenIndex(rest, t, index, tail) || index >= key.files.size() || !key.usesRelay())
        return Response::text(404, LinkPage::missing(), "text/html; charset=utf-8");
    if (!complete(key))
        return Response::text(409, LinkPage::render(key, false), "text/html; charset=utf-8");
    return serveFile(request, key, index, true);
}

}  // namespace Service
