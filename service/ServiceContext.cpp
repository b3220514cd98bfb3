#include "service/ServiceContext.h"

#include <ctime>

#include "service/Crypto.h"
#include "service/Json.h"

namespace Service {

int64_t ServiceContext::now() { return static_cast<int64_t>(std::time(nullptr)); }

std::string ServiceContext::baseUrl(const Request& request) const
{
    if (!options.publicUrl.empty())
        return options.publicUrl;
    std::string host = request.header("host");
    // A Host header is client data: accept only characters of a host and port.
    bool clean = !host.empty() && host.size() < 256;
    for (char ch : host)
        if (!(std::isalnum(static_cast<unsigned char>(ch)) || ch == '.' || ch == ':' || ch == '-' || ch == '[' ||
              ch == ']'))
            clean = false;
    if (!clean)
        host = options.bind + ":" + std::to_string(options.port);
    return "http://" + host;
}

std::string ServiceContext::partnerBaseUrl() const
{
    if (!options.partnerPublicUrl.empty())
        return options.partnerPublicUrl;
    const std::string host = options.bind == "0.0.0.0" ? "127.0.0.1" : options.bind;
    return "http://" + host + ":" + std::to_string(options.partnerPort);
}

bool ServiceContext::apiKeyOk(const Request& request) const
{
    const auto it = request.headers.find("ostrel-key");
    return it != request.headers.end() && Crypto::constantTimeEquals(it->second, options.apiKey);
}

Caller ServiceContext::authenticateBasic(const Request& request) const
{
    Caller caller;
    const std::string auth = request.header("authorization");
    if (auth.compare(0, 6, "Basic ") != 0)
        return caller;
    std::string decoded;
    if (!Crypto::fromBase64(auth.substr(6), decoded))
        return caller;
    const size_t colon = decoded.find(':');
    if (colon == std::string::npos)
        return caller;
    const std::string id = decoded.substr(0, colon);
    const auto rows = store.query("SELECT salt, hash, user_id FROM devices WHERE device_id=?", {id});
    if (rows.empty() || !Crypto::verifySecret(rows[0][0].str(), rows[0][1].str(), decoded.substr(colon + 1)))
        return caller;
    caller.ok = true;
    caller.deviceId = id;
    return caller;
}

Caller ServiceContext::authenticate(const Request& request) const
{
    const std::string auth = request.header("authorization");
    if (auth.compare(0, 7, "Bearer ") == 0) {
        Caller caller;
        const auto rows = store.query("SELECT t.device_id, t.user_id FROM tokens t JOIN devices d ON "
                                      "d.device_id=t.device_id WHERE t.token=? AND t.expires>?",
                                      {auth.substr(7), now()});
        if (!rows.empty()) {
            caller.ok = true;
            caller.deviceId = rows[0][0].str();
            caller.userId = rows[0][1].str();
        }
        return caller;
    }
    return authenticateBasic(request);
}

std::string ServiceContext::issueToken(const std::string& deviceId, const std::string& userId) const
{
    const std::string token = Crypto::randomHex(24);
    store.exec("DELETE FROM tokens WHERE expires<=?", {now()});
    store.exec("INSERT INTO tokens(token, device_id, user_id, expires) VALUES(?,?,?,?)",
               {token, deviceId, userId.empty() ? Cell() : Cell(userId), now() + options.tokenTtl});
    return token;
}

Json::Value ServiceContext::deviceObject(const Request& request, const std::string& deviceId) const
{
    const auto rows = store.query(
        "SELECT device_id, profile_name, device_name, os_type, push_id, picture FROM devices WHERE device_id=?",
        {deviceId});
    if (rows.empty())
        return Json::Value();
    const Row& r = rows[0];
    Json::Value d(Json::objectValue);
    d["device_id"] = r[0].str();
    d["profile_name"] = r[1].str();
    d["device_name"] = r[2].str();
    d["os_type"] = r[3].str();
    d["has_pushid"] = !r[4].str().empty();
    if (r[5].asInt() > 0)
        d["profile_url"] = baseUrl(request) + "/picture/v1/device/" + r[0].str() + ".jpg?v=" +
                           std::to_string(r[5].asInt());
    return d;
}

Response jsonAnswer(int status, const Json::Value& value) { return Response::json(status, JsonIo::write(value)); }

Response errorAnswer(int status, const std::string& error)
{
    Json::Value v(Json::objectValue);
    v["error"] = error;
    return jsonAnswer(status, v);
}

}  // namespace Service
