#include "ostrel/NetworkInfo.h"

#include "ostrel/HttpServer.h"
#include "ostrel/JsonUtil.h"
#include "ostrel/NetworkUtil.h"

namespace Ostrel {

NetworkInfo::NetworkInfo()
{
    init();
}

NetworkInfo::~NetworkInfo() = default;

void NetworkInfo::init()
{
    BaseInfo::init();
    deviceIp = GetLocalIp();
    bssid = GetBSSID();
    networkType = bssid.empty() ? "ethernet" : "wifi";
    listenPort = HttpServer::getListenPort();
}

void NetworkInfo::toJson(Json::Value& request) const
{
    setJsonValue(request, "os_type", osType);
    setJsonValue(request, "network_type", networkType);
    setJsonValue(request, "device_ip", deviceIp);
    setJsonValue(request, "bssid", bssid);
    request["listen_port"] = listenPort;
}

}  // namespace Ostrel
