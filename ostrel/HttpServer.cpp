#include "ostrel/HttpServer.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>

#include <microhttpd.h>
#include <uriparser/Uri.h>

#include "ostrel/HttpRange.h"
#include "ostrel/LogFunc.h"
#include "ostrel/TransferFileInfo.h"

namespace Ostrel {

namespace {

// A GET body is produced in blocks of this size; large blocks keep the per-block overhead small.
constexpr size_t kBlockSize = 256 * 1024;
// Per-connection buffer; it bounds the size of the PUT chunks handed to the write function.
constexpr size_t kConnectionMemory = 4 * 1024 * 1024;

using InfoPtr = std::shared_ptr<TransferFileInfo>;

struct ServerState {
    std::mutex serverMutex;  // start and stop from several task threads
    MHD_Daemon* daemon = nullptr;
    uint16_t port = 0;
    int startCount = 0;
    std::vector<uint16_t> ports = HttpServer::defaultPorts();

    std::mutex tableMutex;
    std::map<std::string, InfoPtr> table;

    std::mutex completionMutex;
    std::condition_variable completion;
};

ServerState& state()
{
    static ServerState s;
    return s;
}

void notifyWaiters()
{
    ServerState& s = state();
    std::lock_guard<std::mutex> lock(s.completionMutex);
    s.completion.notify_all();
}

struct RequestContext {
    InfoPtr info;
    bool put = false;
    bool responded = false;
    uint64_t offset = 0;
    uint64_t position = 0;
};

MHD_Result queueStatus(MHD_Connection* connection, unsigned int status, const char* body = "",
                       const char* contentRange = nullptr)
{
    MHD_Response* response =
        MHD_create_response_from_buffer(strlen(body), const_cast<char*>(body), MHD_RESPMEM_PERSISTENT);
    if (!response)
        return MHD_NO;
    if (contentRange)
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_RANGE, contentRange);
    const MHD_Result r = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return r;
}

// MHD hands the handler the path without the query; peers' URLs may carry one, so it is put back
// from the (unescaped-as-is) arguments in their original order.
MHD_Result appendArgument(void* cls, MHD_ValueKind, const char* key, const char* value)
{
    auto* text = static_cast<std::string*>(cls);
    text->push_back(text->empty() ? '?' : '&');
    text->append(key ? key : "");
    if (value) {
        text->push_back('=');
        text->append(value);
    }
    return MHD_YES;
}

// Keys are the raw paths of the transfer URLs, so the request path is left exactly as sent.
size_t keepEscaped(void*, MHD_Connection*, char* s)
{
    return strlen(s);
}

ssize_t readStream(void* cls, uint64_t pos, char* buffer, size_t max)
{
    auto* ctx = static_cast<RequestContext*>(cls);
    TransferFileInfo& info = *ctx->info;
    std::lock_guard<std::mutex> lock(info.mutex);
    if (info.removed || info.isCancelled() || !info.read)
        return MHD_CONTENT_READER_END_WITH_ERROR;
    const uint64_t at = ctx->offset + pos;
    if (at >= info.size)
        return MHD_CONTENT_READER_END_OF_STREAM;
    const size_t want = static_cast<size_t>(std::min<uint64_t>(max, info.size - at));
    const long n = info.read(buffer, static_cast<unsigned long>(at), want);
    if (n < 1)
        return MHD_CONTENT_READER_END_WITH_ERROR;
    ctx->position = at + static_cast<uint64_t>(n);
    info.position = ctx->position;
    if (info.progress)
        info.progress(info.url, static_cast<unsigned long>(ctx->position), static_cast<unsigned long>(info.size),
                      Transfer::EVENT_PROGRESS);
    return n;
}

void freeNothing(void*) {}

// A small body goes out with the headers in one write; streamed in a second packet it would wait
// for the peer's delayed acknowledgement, which makes many small files crawl.
MHD_Response* smallResponse(RequestContext& ctx, uint64_t length)
{
    TransferFileInfo& info = *ctx.info;
    char* buffer = static_cast<char*>(malloc(length ? length : 1));
    if (!buffer)
        return nullptr;
    std::lock_guard<std::mutex> lock(info.mutex);
    uint64_t done = 0;
    while (done < length) {
        if (info.removed || info.isCancelled() || !info.read)
            break;
        const long n = info.read(buffer + done, static_cast<unsigned long>(ctx.offset + done),
                                 static_cast<unsigned long>(length - done));
        if (n < 1)
            break;
        done += static_cast<uint64_t>(n);
        ctx.position = ctx.offset + done;
        info.position = ctx.position;
        if (info.progress)
            info.progress(info.url, static_cast<unsigned long>(ctx.position), static_cast<unsigned long>(info.size),
                          Transfer::EVENT_PROGRESS);
    }
    if (done < length) {
        free(buffer);
        return nullptr;
    }
    return MHD_create_response_from_buffer(length, buffer, MHD_RESPMEM_MUST_FREE);
}

MHD_Result requestGet(RequestContext& ctx, MHD_Connection* connection)
{
    ctx.responded = true;
    const uint64_t length = ctx.info->size - ctx.offset;
    bool cancelled;
    {
        std::lock_guard<std::mutex> lock(ctx.info->mutex);
        cancelled = ctx.info->removed || ctx.info->isCancelled();
    }
    MHD_Response* response = nullptr;
    if (length <= kBlockSize && !cancelled) {
        response = smallResponse(ctx, length);
        if (!response)
            return MHD_NO;  // the file could not be read: break the connection
    } else {
        response = MHD_create_response_from_callback(length, kBlockSize, &readStream, &ctx, &freeNothing);
    }
    if (!response)
        return MHD_NO;
    MHD_Result r;
    if (cancelled) {
        r = MHD_queue_response(connection, MHD_HTTP_PARTIAL_CONTENT, response);
    } else if (ctx.offset > 0) {
        const std::string range = formatContentRange(ctx.offset, ctx.info->size);
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_RANGE, range.c_str());
        r = MHD_queue_response(connection, MHD_HTTP_PARTIAL_CONTENT, response);
    } else {
        r = MHD_queue_response(connection, MHD_HTTP_OK, response);
    }
    MHD_destroy_response(response);
    return r;
}

MHD_Result requestPut(RequestContext& ctx, MHD_Connection* connection, const char* data, size_t* dataSize)
{
    TransferFileInfo& info = *ctx.info;
    std::unique_lock<std::mutex> lock(info.mutex);
    if (*dataSize == 0 || info.isCancelled()) {
        lock.unlock();
        *dataSize = 0;
        ctx.responded = true;
        return queueStatus(connection, MHD_HTTP_OK, " ");
    }
    if (info.removed || !info.write)
        return MHD_NO;
    // The registered size is a hard bound: a peer cannot make this device store more.
    if (ctx.position >= info.size || *dataSize > info.size - ctx.position) {
        debugLog(format("requestPut refused: %1% bytes at %2% past %3%\n", *dataSize, ctx.position, info.size));
        return MHD_NO;
    }
    const long n = info.write(data, static_cast<unsigned long>(ctx.position), *dataSize);
    if (n < 1)
        return MHD_NO;
    ctx.position += static_cast<uint64_t>(n);
    info.position = ctx.position;
    if (info.progress)
        info.progress(info.url, static_cast<unsigned long>(ctx.position), static_cast<unsigned long>(info.size),
                      Transfer::EVENT_PROGRESS);
    *dataSize -= std::min(*dataSize, static_cast<size_t>(n));
    return MHD_YES;
}

// Checks the range headers of a new request against the registration. Returns 0 when the request
// may go on (ctx.offset set), else the status to refuse it with.
unsigned int acceptRanges(MHD_Connection* connection, TransferFileInfo& info, bool put, RequestContext& ctx)
{
    ctx.offset = info.offset;
    if (!put) {
        const char* range = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_RANGE);
        if (range) {
            uint64_t start = 0;
            if (!parseRangeStart(range, start))
                return MHD_HTTP_BAD_REQUEST;
            if (start > info.size)
                return MHD_HTTP_RANGE_NOT_SATISFIABLE;
            ctx.offset = start;
        }
    } else {
        const char* range = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_RANGE);
        if (range) {
            uint64_t start = 0;
            if (!parseContentRangeStart(range, start))
                return MHD_HTTP_BAD_REQUEST;
            if (start > info.size)
                return MHD_HTTP_RANGE_NOT_SATISFIABLE;
            ctx.offset = start;
            debugLog(format("requestPut start: %1%\n", start));
        }
        const char* length =
            MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
        if (length) {
            uint64_t value = 0;
            if (!parseDecimal(length, value))
                return MHD_HTTP_BAD_REQUEST;
            if (value > info.size - ctx.offset)
                return MHD_HTTP_CONTENT_TOO_LARGE;
        }
    }
    if (ctx.offset > info.size)
        return MHD_HTTP_RANGE_NOT_SATISFIABLE;
    return 0;
}

MHD_Result newSession(void*, MHD_Connection* connection, const char* url, const char* method, const char*,
                      const char* uploadData, size_t* uploadDataSize, void** perRequest)
{
    auto* ctx = static_cast<RequestContext*>(*perRequest);
    if (ctx) {
        if (ctx->responded) {
            *uploadDataSize = 0;  // body bytes after the answer are dropped
            return MHD_YES;
        }
        if (!ctx->put)
            return requestGet(*ctx, connection);
        return requestPut(*ctx, connection, uploadData, uploadDataSize);
    }

    std::string path = url ? url : "";
    std::string query;
    MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, &appendArgument, &query);
    path += query;
    const bool get = strcmp(method, MHD_HTTP_METHOD_GET) == 0;
    const bool put = strcmp(method, MHD_HTTP_METHOD_PUT) == 0;

    ServerState& s = state();
    InfoPtr info;
    unsigned int refusal = MHD_HTTP_NOT_FOUND;
    auto context = std::make_unique<RequestContext>();
    {
        std::lock_guard<std::mutex> tableLock(s.tableMutex);
        auto it = s.table.find(path);
        if (it != s.table.end()) {
            std::lock_guard<std::mutex> lock(it->second->mutex);
            TransferFileInfo& candidate = *it->second;
            if (!candidate.removed && ((get && candidate.read) || (put && candidate.write))) {
                refusal = acceptRanges(connection, candidate, put, *context);
                if (refusal == 0) {
                    info = it->second;
                    candidate.offset = context->offset;
                    candidate.position = context->offset;
                    candidate.done = false;
                    if (candidate.progress)
                        candidate.progress(candidate.url, static_cast<unsigned long>(context->offset),
                                           static_cast<unsigned long>(candidate.size), Transfer::EVENT_START);
                }
            }
        }
    }
    notifyWaiters();
    if (!info)
        return queueStatus(connection, refusal);
    context->info = info;
    context->put = put;
    context->position = context->offset;
    *perRequest = context.release();
    return MHD_YES;
}

void finishSession(void*, MHD_Connection*, void** perRequest, MHD_RequestTerminationCode)
{
    auto* ctx = static_cast<RequestContext*>(*perRequest);
    *perRequest = nullptr;
    if (!ctx)
        return;
    {
        TransferFileInfo& info = *ctx->info;
        std::lock_guard<std::mutex> lock(info.mutex);
        if (!info.removed) {
            if (info.progress)
                info.progress(info.url, static_cast<unsigned long>(info.position.load()),
                              static_cast<unsigned long>(info.size), Transfer::EVENT_FINISH);
            info.done = true;
        }
    }
    delete ctx;
    notifyWaiters();
}

InfoPtr registration(const std::string& url)
{
    ServerState& s = state();
    const std::string path = extractPath(url);
    std::lock_guard<std::mutex> lock(s.tableMutex);
    InfoPtr& slot = s.table[path];
    if (!slot)
        slot = std::make_shared<TransferFileInfo>();
    return slot;
}

void fill(TransferFileInfo& info, const std::string& url, unsigned long offset, unsigned long size,
          const Transfer::ProgressFunction& progress, const std::atomic<bool>* cancel)
{
    info.url = url;
    info.offset = offset;
    info.size = size;
    info.position = offset;
    info.progress = progress;
    info.cancel = cancel;
    info.done = false;
    info.removed = false;
}

}  // namespace

std::string extractPath(const std::string& url)
{
    UriUriA uri;
    const char* errorPos = nullptr;
    if (uriParseSingleUriA(&uri, url.c_str(), &errorPos) != URI_SUCCESS)
        return std::string();
    std::string result;
    if (uri.hostText.first && uri.hostText.afterLast != uri.hostText.first) {
        const char* rest = uri.portText.first ? uri.portText.afterLast : uri.hostText.afterLast;
        if (!uri.portText.first && *rest == ']')
            ++rest;
        const char* end = url.c_str() + url.size();
        const char* hash = std::find(rest, end, '#');
        result.assign(rest, hash);
    }
    uriFreeUriMembersA(&uri);
    return result;
}

std::vector<uint16_t> HttpServer::defaultPorts()
{
    return {8080, 8000, 8888, 8668, 3882};
}

void HttpServer::setPortCandidates(const std::vector<uint16_t>& ports)
{
    ServerState& s = state();
    std::lock_guard<std::mutex> lock(s.serverMutex);
    s.ports = ports;
}

void HttpServer::startServer()
{
    ServerState& s = state();
    std::lock_guard<std::mutex> lock(s.serverMutex);
    ++s.startCount;
    if (s.daemon) {
        debugLog("daemon is running\n");
        return;
    }
    for (uint16_t port : s.ports) {
        s.daemon = MHD_start_daemon(
            MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD, port, nullptr, nullptr, &newSession,
            nullptr, MHD_OPTION_CONNECTION_TIMEOUT, 10u, MHD_OPTION_NOTIFY_COMPLETED, &finishSession, nullptr,
            MHD_OPTION_UNESCAPE_CALLBACK, &keepEscaped, nullptr, MHD_OPTION_CONNECTION_MEMORY_LIMIT,
            kConnectionMemory, MHD_OPTION_END);
        if (s.daemon) {
            debugLog(format("Listen port: %1%\n", port));
            s.port = port;
            return;
        }
    }
    std::cerr << "MHD_start_daemon failed!" << std::endl;
}

void HttpServer::stopServer()
{
    ServerState& s = state();
    std::lock_guard<std::mutex> lock(s.serverMutex);
    // The count goes down even when no port could be had, so a later start is not kept alive forever.
    if (s.startCount > 0)
        --s.startCount;
    if (!s.daemon) {
        debugLog("daemon is not running\n");
        return;
    }
    if (s.startCount >= 1) {
        debugLog("daemon is still running\n");
        return;
    }
    debugLog("Stop daemon\n");
    MHD_stop_daemon(s.daemon);
    s.daemon = nullptr;
}

uint16_t HttpServer::getListenPort()
{
    ServerState& s = state();
    std::lock_guard<std::mutex> lock(s.serverMutex);
    return s.port;
}

bool HttpServer::isRunning()
{
    ServerState& s = state();
    std::lock_guard<std::mutex> lock(s.serverMutex);
    return s.daemon != nullptr;
}

int HttpServer::startCount()
{
    ServerState& s = state();
    std::lock_guard<std::mutex> lock(s.serverMutex);
    return s.startCount;
}

void HttpServer::addSend(const Transfer::ReadFunction& read, unsigned long offset, unsigned long size,
                         const std::string& url, const Transfer::ProgressFunction& progress,
                         const std::atomic<bool>* cancel)
{
    InfoPtr info = registration(url);
    std::lock_guard<std::mutex> lock(info->mutex);
    fill(*info, url, offset, size, progress, cancel);
    info->read = read;
}

void HttpServer::addRecv(const std::string& url, unsigned long size, const Transfer::WriteFunction& write,
                         unsigned long offset, const Transfer::ProgressFunction& progress,
                         const std::atomic<bool>* cancel)
{
    InfoPtr info = registration(url);
    std::lock_guard<std::mutex> lock(info->mutex);
    fill(*info, url, offset, size, progress, cancel);
    info->write = write;
}

void HttpServer::removeFiles(const std::list<std::string>& urls)
{
    ServerState& s = state();
    std::vector<InfoPtr> removed;
    {
        std::lock_guard<std::mutex> lock(s.tableMutex);
        for (const std::string& url : urls) {
            auto it = s.table.find(extractPath(url));
            if (it != s.table.end()) {
                removed.push_back(it->second);
                s.table.erase(it);
            }
        }
    }
    for (const InfoPtr& info : removed) {
        Transfer::ReadFunction read;
        Transfer::WriteFunction write;
        Transfer::ProgressFunction progress;
        {
            // From here on no connection thread calls into the registering channel.
            std::lock_guard<std::mutex> lock(info->mutex);
            info->removed = true;
            read.swap(info->read);
            write.swap(info->write);
            progress.swap(info->progress);
            info->cancel = nullptr;
        }
    }
}

bool HttpServer::waitComplete(const std::list<std::string>& urls)
{
    using Clock = std::chrono::steady_clock;
    ServerState& s = state();
    std::vector<InfoPtr> infos;
    {
        std::lock_guard<std::mutex> lock(s.tableMutex);
        for (const std::string& url : urls) {
            auto it = s.table.find(extractPath(url));
            if (it != s.table.end() && std::find(infos.begin(), infos.end(), it->second) == infos.end())
                infos.push_back(it->second);
        }
    }
    if (infos.empty())
        return false;

    auto allDone = [&] {
        return std::all_of(infos.begin(), infos.end(), [](const InfoPtr& i) { return i->done.load(); });
    };
    auto allCancelled = [&] {
        return std::all_of(infos.begin(), infos.end(), [](const InfoPtr& i) {
            std::lock_guard<std::mutex> lock(i->mutex);
            return i->isCancelled();
        });
    };
    auto moved = [&] {
        uint64_t sum = 0;
        for (const InfoPtr& i : infos)
            sum += i->position.load();
        return sum;
    };

    // Gives up once no byte of these files moved for a whole stall period.
    const auto stall = std::chrono::seconds(15 + static_cast<long>(urls.size() / 200) + 1);
    uint64_t lastSum = moved();
    auto lastChange = Clock::now();
    while (!allDone() && !allCancelled()) {
        {
            std::unique_lock<std::mutex> lock(s.completionMutex);
            s.completion.wait_for(lock, std::chrono::milliseconds(250));
        }
        const uint64_t sum = moved();
        if (sum != lastSum) {
            lastSum = sum;
            lastChange = Clock::now();
        } else if (Clock::now() - lastChange > stall) {
            break;
        }
    }

    uint64_t positions = 0, sizes = 0;
    for (const InfoPtr& info : infos) {
        positions += info->position.load();
        sizes += info->size;
    }
    removeFiles(urls);
    return positions == sizes;
}

}  // namespace Ostrel
