#include "service/PartnerCloud.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "ostrel/HttpRange.h"
#include "service/Crypto.h"
#include "service/Json.h"
#include "service/KeyRecord.h"
#include "service/Relay.h"

namespace Service {

namespace {

const char* kOk = "0000000000";
const char* kExpiredAccess = "4000400112";
const char* kWrongKey = "4000201016";
const char* kBadRefresh = "4000400101";

Response rcode(int status, const char* code)
{
    Json::Value v(Json::objectValue);
    v["rcode"] = code;
    return jsonAnswer(status, v);
}

bool loopback(const std::string& address) { return address.compare(0, 4, "127.") == 0 || address == "::1"; }

}  // namespace

bool PartnerCloud::knownAuthorization(const Request& request) const
{
    const std::string authz = request.header("authorization");
    return !authz.empty() && !ctx_.store.query("SELECT 1 FROM partner_auth WHERE authz_key=?", {authz}).empty();
}

std::string PartnerCloud::issueAccess(const std::string& uid)
{
    const std::string token = Crypto::randomHex(16);
    ctx_.store.exec("INSERT INTO partner_tokens(token, uid, expires) VALUES(?,?,?)",
                    {token, uid, ServiceContext::now() + ctx_.options.tokenTtl});
    return token;
}

Response PartnerCloud::handle(Request& request)
{
    const std::string& path = request.path;
    if (request.method == "GET" && path.compare(0, 10, "/download/") == 0)
        return download(request);
    if (request.method == "GET" && path.compare(0, 7, "/files/") == 0)
        return file(request);
    if (request.method == "GET" && path == "/terms")
        return Response::text(200,
                              "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Velora terms</title></head>"
                              "<body><h1>Velora link sharing</h1><p>Files shared by link are provided by their "
                              "owner. Receiving them means accepting that the owner is responsible for them.</p>"
                              "</body></html>",
                              "text/html; charset=utf-8");
    if (request.method != "POST" || (path != "/register" && path != "/authorization" && path != "/share"))
        return Response::empty(404);
    Json::Value body;
    if (!JsonIo::parseObject(request.body, body))
        return errorAnswer(400, "malformed json");
    if (path == "/share")
        return share(request, body);
    if (!knownAuthorization(request))
        return rcode(401, "4010000001");
    return path == "/register" ? registerDevice(request, body) : authorize(request);
}

Response PartnerCloud::registerDevice(const Request& request, const Json::Value& body)
{
    const Json::Value& info = body["ext_user_info"];
    if (!info.isObject() || !info["ext_did"].isString())
        return rcode(400, "4000000001");
    const std::string uid = Crypto::randomHex(8);
    const std::string refresh = Crypto::randomHex(16);
    ctx_.store.exec("INSERT INTO partner_users(uid, authz_key, refresh_token, ext_did) VALUES(?,?,?,?)",
                    {uid, request.header("authorization"), refresh, info["ext_did"].asString()});
    Json::Value v(Json::objectValue);
    v["rcode"] = kOk;
    v["uid"] = uid;
    v["refresh_token"] = refresh;
    v["access_token"] = issueAccess(uid);
    const std::string base = ctx_.partnerBaseUrl();  // scheme://address:port
    const size_t scheme = base.find("://");
    const size_t colon = base.rfind(':');
    Json::Value url(Json::objectValue);
    url["scheme"] = base.substr(0, scheme);
    url["address"] = base.substr(scheme + 3, colon - scheme - 3);
    url["port"] = std::atoi(base.substr(colon + 1).c_str());
    v["urls"].append(url);
    return jsonAnswer(200, v);
}

Response PartnerCloud::authorize(const Request& request)
{
    const std::string uid = request.header("uid");
    const auto rows = ctx_.store.query("SELECT refresh_token FROM partner_users WHERE uid=?", {uid});
    if (rows.empty() || !Crypto::constantTimeEquals(rows[0][0].str(), request.header("refresh-token")))
        return rcode(400, kBadRefresh);
    Json::Value v(Json::objectValue);
    v["rcode"] = kOk;
    v["access_token"] = issueAccess(uid);
    return jsonAnswer(200, v);
}

Response PartnerCloud::download(const Request& request)
{
    if (!knownAuthorization(request))
        return rcode(401, "4010000001");
    const std::string uid = request.header("uid");
    if (ctx_.store
            .query("SELECT 1 FROM partner_tokens WHERE token=? AND uid=? AND expires>?",
                   {request.header("access-token"), uid, ServiceContext::now()})
            .empty())
        return rcode(200, kExpiredAccess);
    KeyRecord key;
    const std::string typed = canonicalKey(request.path.substr(10));
    if (typed.empty() || !KeyRecord::loadLive(ctx_.store, typed, ServiceContext::now(), key) ||
        key.mode != "link_sharing")
        return rcode(200, kWrongKey);
    Json::Value v(Json::objectValue);
    v["rcode"] = kOk;
    v["contents"] = Json::Value(Json::arrayValue);
    for (size_t i = 0; i < key.files.size(); ++i) {
        Json::Value f(Json::objectValue);
        f["name"] = key.files[i].name;
        f["size"] = Json::UInt64(key.files[i].size);
        f["original"] = ctx_.partnerBaseUrl() + "/files/" + key.relayToken + "/" + std::to_string(i);
        v["contents"].append(f);
    }
    return jsonAnswer(200, v);
}

Response PartnerCloud::share(const Request& request, const Json::Value& body)
{
    if (!loopback(request.peerAddress))
        return Response::empty(403);
    const Json::Value& list = body["files"];
    if (!list.isArray() || list.empty())
        return errorAnswer(400, "files missing");
    const std::string token = Crypto::randomHex(16);
    const std::string dir = ctx_.options.dataDir + "/partner/" + token;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    std::vector<KeyRecord::File> files;
    for (Json::ArrayIndex i = 0; i < list.size(); ++i) {
        std::string bytes;
        if (!list[i]["name"].isString() || list[i]["name"].asString().empty() || !list[i]["data"].isString() ||
            !Crypto::fromBase64(list[i]["data"].asString(), bytes)) {
            std::filesystem::remove_all(dir, ec);
            return errorAnswer(400, "bad file entry");
        }
        std::FILE* f = std::fopen((dir + "/" + std::to_string(i)).c_str(), "wb");
        if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
            if (f)
                std::fclose(f);
            std::filesystem::remove_all(dir, ec);
            return errorAnswer(507, "cannot store");
        }
        std::fclose(f);
        files.push_back({list[i]["name"].asString(), bytes.size()});
    }
    const int64_t now = ServiceContext::now();
    std::string key;
    for (int attempt = 0; attempt < 50 && key.empty(); ++attempt) {
        const std::string candidate = "V" + Crypto::randomDigits(7);
        if (ctx_.store.execChanges("INSERT OR IGNORE INTO keys(key, owner, mode, files, created, expires, link_token, "
                                   "relay_token, link_sharing) VALUES(?,?,?,?,?,?,?,?,1)",
                                   {candidate, "velora", "link_sharing", KeyRecord::filesToJson(files), now,
                                    now + ctx_.options.uploadKeyTtl, Crypto::randomHex(12), token}) == 1)
            key = candidate;
    }
    if (key.empty())
        return errorAnswer(503, "no free key");
    Json::Value v(Json::objectValue);
    v["key"] = key;
    return jsonAnswer(200, v);
}

Response PartnerCloud::file(const Request& request)
{
    std::string token, tail;
    size_t index = 0;
    KeyRecord key;
    if (!splitTokenIndex(request.path.substr(7), token, index, tail) || !tail.empty() ||
        !KeyRecord::loadByColumn(ctx_.store, "relay_token", token, ServiceContext::now(), key) ||
        key.mode != "link_sharing" || index >= key.files.size())
        return Response::empty(404);
    const uint64_t size = key.files[index].size;
    uint64_t offset = 0;
    const std::string range = request.header("range");
    if (!range.empty() && (!Ostrel::parseRangeStart(range, offset) || offset > size))
        return Response::empty(416);
    Response r;
    r.contentType = "application/octet-stream";
    r.status = offset > 0 ? 206 : 200;
    if (offset > 0)
        r.headers.push_back({"Content-Range", Ostrel::formatContentRange(offset, size)});
    if (size > offset) {
        const int fd = ::open((ctx_.options.dataDir + "/partner/" + token + "/" + std::to_string(index)).c_str(),
                              O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return Response::empty(404);
        r.fd = fd;
        r.fdOffset = offset;
        r.fdLength = size - offset;
    }
    return r;
}

void PartnerCloud::sweep()
{
    const auto rows = ctx_.store.query("SELECT relay_token FROM keys WHERE mode='link_sharing' AND expires<=?",
                                       {ServiceContext::now()});
    std::error_code ec;
    for (const Row& r : rows)
        if (!r[0].str().empty() && r[0].str().find('/') == std::string::npos)
            std::filesystem::remove_all(ctx_.options.dataDir + "/partner/" + r[0].str(), ec);
}

}  // namespace Service
