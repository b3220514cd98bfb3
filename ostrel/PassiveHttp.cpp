#include "ostrel/PassiveHttp.h"

#include "ostrel/HttpServer.h"

namespace Ostrel {

Transfer::ProgressFunction PassiveHttp::forwarder()
{
    return [this](const std::string& url, unsigned long position, unsigned long total, EventType kind) {
        progress(url, position, total, kind);
    };
}

bool PassiveHttp::send(const ReadFunction& read, unsigned long offset, unsigned long size, const std::string& url)
{
    HttpServer::addSend(read, offset, size, url, forwarder(), cancelFlag());
    return HttpServer::waitComplete({url});
}

bool PassiveHttp::recv(const std::string& url, unsigned long size, const WriteFunction& write, unsigned long offset)
{
    HttpServer::addRecv(url, size, write, offset, forwarder(), cancelFlag());
    return HttpServer::waitComplete({url});
}

}  // namespace Ostrel
