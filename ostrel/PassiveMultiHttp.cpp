#include "ostrel/PassiveMultiHttp.h"

#include "ostrel/HttpServer.h"

namespace Ostrel {

bool PassiveMultiHttp::action(unsigned long)
{
    auto forward = [this](const std::string& url, unsigned long position, unsigned long total, EventType kind) {
        progress(url, position, total, kind);
    };
    std::list<std::string> urls;
    for (const FileInfo& file : queue_) {
        if (file.read)
            HttpServer::addSend(file.read, file.offset, file.size, file.url, forward, cancelFlag());
        else
            HttpServer::addRecv(file.url, file.size, file.write, file.offset, forward, cancelFlag());
        urls.push_back(file.url);
    }
    if (urls.empty())
        return true;
    return HttpServer::waitComplete(urls);
}

}  // namespace Ostrel
