#include "ostrel/ActiveHttp.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <chrono>
#include <mutex>
#include <thread>

#include <curl/curl.h>

#include "ostrel/HttpRange.h"
#include "ostrel/LogFunc.h"

namespace Ostrel {

namespace {

// Large blocks keep the per-block cost (callbacks, syscalls) far below the cost of the bytes.
constexpr long kBufferSize = 512 * 1024;

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string trim(const char* begin, const char* end)
{
    while (begin < end && (*begin == ' ' || *begin == '\t'))
        ++begin;
    while (end > begin && (end[-1] == '\r' || end[-1] == '\n' || end[-1] == ' ' || end[-1] == '\t'))
        --end;
    return std::string(begin, end);
}

bool headerIs(const char* line, size_t length, const char* name, std::string& value)
{
    const size_t n = strlen(name);
    if (length <= n || line[n] != ':' || strncasecmp(line, name, n) != 0)
        return false;
    value = trim(line + n + 1, line + length);
    return true;
}

}  // namespace

struct ActiveHttp::Request {
    ActiveHttp* channel = nullptr;
    CURL* handle = nullptr;
    std::string url;
    const Transfer::WriteFunction* write = nullptr;
    const Transfer::ReadFunction* read = nullptr;
    uint64_t offset = 0;
    uint64_t size = 0;
    uint64_t position = 0;
    curl_off_t lastReported = -1;
    // Per attempt: what the answer announced, whether its body is ours to store.
    bool headersChecked = false;
    bool storeBody = false;
    bool protocolError = false;
    bool fileError = false;
    bool haveContentLength = false;
    uint64_t contentLength = 0;
    bool haveContentRange = false;
    bool contentRangeValid = false;
    bool encoded = false;
    uint64_t contentRangeStart = 0;

    void resetAttempt()
    {
        position = offset;
        lastReported = -1;
        headersChecked = storeBody = protocolError = fileError = false;
        resetHeaders();
    }
    void resetHeaders()
    {
        haveContentLength = haveContentRange = contentRangeValid = encoded = false;
        contentLength = contentRangeStart = 0;
    }
};

namespace {

size_t onHeader(char* line, size_t size, size_t count, void* user)
{
    auto* r = static_cast<ActiveHttp::Request*>(user);
    const size_t length = size * count;
    std::string value;
    if (length >= 5 && strncmp(line, "HTTP/", 5) == 0) {
        r->resetHeaders();  // a new answer (for example after "100 Continue")
    } else if (headerIs(line, length, "Content-Length", value)) {
        r->haveContentLength = parseDecimal(value, r->contentLength);
        if (!r->haveContentLength)
            r->protocolError = true;
    } else if (headerIs(line, length, "Content-Range", value)) {
        r->haveContentRange = true;
        r->contentRangeValid = parseContentRangeStart(value, r->contentRangeStart);
    } else if (headerIs(line, length, "Content-Encoding", value)) {
        r->encoded = strcasecmp(value.c_str(), "identity") != 0;
    }
    return r->protocolError ? 0 : length;
}

// Decides once per answer whether the body belongs into the file: an error page never does, and a
// body that would land at the wrong offset or run past the size is refused before a byte is stored.
bool checkAnswer(ActiveHttp::Request& r)
{
    r.headersChecked = true;
    long status = 0;
    curl_easy_getinfo(r.handle, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299) {
        r.storeBody = false;
        return true;
    }
    r.storeBody = true;
    if (status == 206) {
        if (r.offset == 0 || !r.haveContentRange || !r.contentRangeValid || r.contentRangeStart != r.offset)
            r.protocolError = true;
    } else if (r.haveContentLength && !r.encoded && r.contentLength != r.size - r.offset) {
        // A whole file answered to a range request would be written at the resume offset.
        r.protocolError = true;
    }
    if (r.haveContentLength && !r.encoded && r.contentLength > r.size - r.offset)
        r.protocolError = true;
    if (r.protocolError)
        debugLog(format("file transfer refused answer %1% for %2%\n", status, r.url));
    return !r.protocolError;
}

size_t onBody(char* data, size_t size, size_t count, void* user)
{
    auto* r = static_cast<ActiveHttp::Request*>(user);
    const size_t length = size * count;
    if (!r->headersChecked && !checkAnswer(*r))
        return 0;
    if (!r->storeBody)
        return length;
    if (length > r->size - r->position) {
        r->protocolError = true;  // more bytes than the file has
        debugLog(format("file transfer got more than %1% bytes for %2%\n", r->size, r->url));
        return 0;
    }
    size_t done = 0;
    while (done < length) {
        const long n = (*r->write)(data + done, static_cast<unsigned long>(r->position), length - done);
        if (n < 1) {
            r->fileError = true;
            return 0;
        }
        done += static_cast<size_t>(n);
        r->position += static_cast<uint64_t>(n);
    }
    return length;
}

size_t onDiscard(char*, size_t size, size_t count, void*)
{
    return size * count;
}

size_t onUpload(char* buffer, size_t size, size_t count, void* user)
{
    auto* r = static_cast<ActiveHttp::Request*>(user);
    const uint64_t left = r->size - r->position;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(left, size * count));
    if (want == 0)
        return 0;
    const long n = (*r->read)(buffer, static_cast<unsigned long>(r->position), want);
    if (n < 1) {
        r->fileError = true;
        return CURL_READFUNC_ABORT;
    }
    r->position += static_cast<uint64_t>(n);
    return static_cast<size_t>(n);
}

int onProgress(void* user, curl_off_t /*dltotal*/, curl_off_t /*dlnow*/, curl_off_t ultotal, curl_off_t ulnow)
{
    auto* r = static_cast<ActiveHttp::Request*>(user);
    if (r->channel->isCancelled())
        return 1;
    const bool upload = r->read != nullptr;
    // A download reports the bytes stored in the file, not the bytes that arrived: an error page or
    // a refused answer must never count towards the file.
    const curl_off_t now = upload ? ulnow : static_cast<curl_off_t>(r->position - r->offset);
    const curl_off_t total = upload ? ultotal : 0;
    if (now != r->lastReported) {
        r->lastReported = now;
        r->channel->progress(r->url, static_cast<unsigned long>(r->offset + static_cast<uint64_t>(now)),
                             total > 0 ? static_cast<unsigned long>(total) : static_cast<unsigned long>(r->size),
                             Transfer::EVENT_PROGRESS);
    }
    return 0;
}

void setCommonOptions(CURL* h, ActiveHttp::Request& r)
{
    curl_easy_setopt(h, CURLOPT_URL, r.url.c_str());
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, 10L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 10L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, 10L);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_BUFFERSIZE, kBufferSize);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &r);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &r);
}

}  // namespace

ActiveHttp::ActiveHttp()
{
    initCurlOnce();
}

ActiveHttp::~ActiveHttp()
{
    if (handle_)
        curl_easy_cleanup(static_cast<CURL*>(handle_));
}

void* ActiveHttp::takeHandle()
{
    // One handle per channel: a reset keeps its open connection, so the next file to the same peer
    // skips the connection set-up (and the server its new connection thread).
    if (handle_)
        curl_easy_reset(static_cast<CURL*>(handle_));
    else
        handle_ = curl_easy_init();
    return handle_;
}

bool ActiveHttp::recv(const std::string& url, unsigned long size, const WriteFunction& write, unsigned long offset)
{
    if (offset > size)
        return false;
    CURL* h = takeHandle();
    if (!h)
        return false;
    Request r;
    r.channel = this;
    r.handle = h;
    r.url = url;
    r.write = &write;
    r.offset = offset;
    r.size = size;
    setCommonOptions(h, r);
    curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &r);
    curl_slist* headers = curl_slist_append(nullptr, "User-Agent: ostrel/1.0");
    if (offset > 0)
        headers = curl_slist_append(headers, ("Range: bytes=" + std::to_string(offset) + "-").c_str());
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);

    progress(url, offset, size, EVENT_START);
    const long status = requestPerform(r);
    progress(url, static_cast<unsigned long>(r.position), size, EVENT_FINISH);
    curl_slist_free_all(headers);
    if (r.protocolError)
        return false;
    return (status == 200 && r.position == size) || (offset > 0 && status == 206 && r.position == size);
}

bool ActiveHttp::send(const ReadFunction& read, unsigned long offset, unsigned long size, const std::string& url)
{
    if (offset > size)
        return false;
    CURL* h = takeHandle();
    if (!h)
        return false;
    Request r;
    r.channel = this;
    r.handle = h;
    r.url = url;
    r.read = &read;
    r.offset = offset;
    r.size = size;
    setCommonOptions(h, r);
    curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size - offset));
    curl_easy_setopt(h, CURLOPT_UPLOAD_BUFFERSIZE, kBufferSize);
    curl_easy_setopt(h, CURLOPT_READFUNCTION, onUpload);
    curl_easy_setopt(h, CURLOPT_READDATA, &r);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, onDiscard);
    curl_slist* headers = curl_slist_append(nullptr, "User-Agent: ostrel/1.0");
    if (offset > 0)
        headers = curl_slist_append(headers, ("Content-Range: " + formatContentRange(offset, size)).c_str());
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);

    progress(url, offset, size, EVENT_START);
    const long status = requestPerform(r);
    const bool ok = status == 200 && r.position == size;
    // Bytes the peer did not accept are not delivered, however many of them went out.
    progress(url, ok ? static_cast<unsigned long>(r.position) : offset, size, EVENT_FINISH);
    curl_slist_free_all(headers);
    return ok;
}

long ActiveHttp::requestPerform(Request& r)
{
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    long status = 0;
    for (int attempt = 1; !isCancelled(); ++attempt) {
        r.resetAttempt();
        connectError_ = false;
        fileError_ = false;
        const CURLcode rc = curl_easy_perform(r.handle);
        long code = 0;
        curl_easy_getinfo(r.handle, CURLINFO_RESPONSE_CODE, &code);
        if (code != 0)
            status = code;
        if (rc != CURLE_OK) {
            char* effective = nullptr;
            curl_easy_getinfo(r.handle, CURLINFO_EFFECTIVE_URL, &effective);
            debugLog(format("file transfer failed (%1%): %2% (%3%)\n", static_cast<int>(rc), curl_easy_strerror(rc),
                            effective ? effective : ""));
            if (r.protocolError)
                break;  // the peer answers wrongly; asking again gives the same answer
            if (r.fileError || rc == CURLE_WRITE_ERROR || rc == CURLE_READ_ERROR) {
                fileError_ = true;
                break;
            }
            if (rc == CURLE_COULDNT_CONNECT || rc == CURLE_OPERATION_TIMEDOUT || rc == CURLE_SSL_CONNECT_ERROR)
                connectError_ = true;
        } else if (code >= 200 && code <= 299) {
            break;
        }
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        const int budget = retryTime();
        if (budget <= 0 || elapsed > budget || attempt >= 20)
            break;
        const auto pause = std::chrono::milliseconds(attempt <= 5 ? 200 : 1000);
        const auto until = Clock::now() + pause;
        while (!isCancelled() && Clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return status;
}

}  // namespace Ostrel
