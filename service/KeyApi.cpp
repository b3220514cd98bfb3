#include "service/KeyApi.h"

#include "service/Crypto.h"
#include "service/FileServer.h"
#include "service/PushHub.h"
#include "service/RateLimiter.h"
#include "service/Relay.h"

namespace Service {

namespace {

constexpr size_t kMaxFiles = 20000;

std::string str(const Json::Value& body, const char* name)
{
    const Json::Value& v = body[name];
    return v.isString() ? v.asString() : std::string();
}

// Keys never contain "/"; the rest of a push path holds the key and then the device id.
std::string firstPart(const std::string& rest, std::string* second = nullptr)
{
    const size_t slash = rest.find('/');
    if (second)
        *second = slash == std::string::npos ? "" : rest.substr(slash + 1);
    return canonicalKey(rest.substr(0, slash));
}

}  // namespace

void KeyApi::addEndpoints(std::vector<Endpoint>& t)
{
    auto bind = [this](Response (KeyApi::*fn)(const ApiCall&)) {
        return [this, fn](const ApiCall& call) { return (this->*fn)(call); };
    };
    t.push_back({"key/create", AuthLevel::Device, bind(&KeyApi::create)});
    t.push_back({"key/update/", AuthLevel::Device, bind(&KeyApi::update)});
    t.push_back({"key/search/", AuthLevel::Device, bind(&KeyApi::search)});
    t.push_back({"key/delete/", AuthLevel::Device, bind(&KeyApi::remove)});
    t.push_back({"key/push/query/", AuthLevel::Device, bind(&KeyApi::queryPush)});
    t.push_back({"key/push/reply/", AuthLevel::Device, bind(&KeyApi::replyPush)});
    t.push_back({"key/push/", AuthLevel::Device, bind(&KeyApi::pushKey)});
}

std::string KeyApi::newKey()
{
    const int64_t now = ServiceContext::now();
    for (int attempt = 0; attempt < 200; ++attempt) {
        const std::string key = Crypto::randomDigits(6);
        // An expired key that the sweeper has not reached yet frees its number now.
        const auto rows = ctx_.store.query("SELECT expires, relay_token FROM keys WHERE key=?", {key});
        if (!rows.empty()) {
            if (rows[0][0].asInt() > now)
                continue;
            relay_.removeFiles(rows[0][1].str());
            ctx_.store.exec("DELETE FROM keys WHERE key=?", {key});
            files_.forget(key);
        }
        return key;
    }
    return "";
}

Response KeyApi::registerKey(const ApiCall& call, const std::string& existing)
{
    std::string mode = str(call.body, "mode");
    if (mode.empty())
        mode = "direct";
    if (mode != "direct" && mode != "upload" && mode != "hybrid")
        return errorAnswer(400, "unknown mode");
    const Json::Value& list = call.body["file"];
    if (!list.isArray() || list.empty() || list.size() > kMaxFiles)
        return errorAnswer(400, "file list missing");
    std::vector<KeyRecord::File> files;
    for (const auto& f : list) {
        if (!f.isObject() || !f["name"].isString() || f["name"].asString().empty() ||
            f["name"].asString().size() > 4096 || !f["size"].isUInt64() || f["size"].asUInt64() > (1ULL << 50))
            return errorAnswer(400, "bad file entry");
        files.push_back({f["name"].asString(), f["size"].asUInt64()});
    }
    const int64_t now = ServiceContext::now();
    int64_t ttl = ctx_.options.keyTtl;
    if (mode == "upload") {
        ttl = ctx_.options.uploadKeyTtl;
        const Json::Value& timeout = call.body["timeout"];
        if (timeout.isInt64() && timeout.asInt64() > 0)
            ttl = std::min<int64_t>(timeout.asInt64(), ctx_.options.maxUploadKeyTtl);
    }
    KeyRecord record;
    if (existing.empty()) {
        record.key = newKey();
        if (record.key.empty())
            return errorAnswer(503, "no free key");
        record.linkToken = Crypto::randomHex(12);
        record.relayToken = Crypto::randomHex(16);
        record.thumbToken = Crypto::randomHex(16);
        if (!ctx_.store.exec("INSERT INTO keys(key, owner, mode, files, created, expires, link_token, relay_token, "
                             "region, thumb_token) VALUES(?,?,?,?,?,?,?,?,?,?)",
                             {record.key, call.caller.deviceId, mode, KeyRecord::filesToJson(files), now, now + ttl,
                              record.linkToken, record.relayToken, str(call.body, "region"), record.thumbToken}))
            return errorAnswer(500, "storage");
    } else {
        if (!KeyRecord::loadLive(ctx_.store, existing, now, record) || record.owner != call.caller.deviceId ||
            record.mode == "link_sharing")
            return errorAnswer(404, "no such key");
        // New contents: the old relayed bytes and sessions no longer apply.
        relay_.removeFiles(record.relayToken);
        files_.forget(record.key);
        record.relayToken = Crypto::randomHex(16);
        ctx_.store.exec("UPDATE keys SET mode=?, files=?, created=?, expires=?, relay_token=?, finished=0 "
                        "WHERE key=?",
                        {mode, KeyRecord::filesToJson(files), now, now + ttl, record.relayToken, record.key});
    }
    const std::string base = ctx_.baseUrl(call.request);
    Json::Value v(Json::objectValue);
    v["key"] = record.key;
    v["mode"] = mode;
    v["server"] = base + "/file/v1/";
    v["link"] = base + "/link/" + record.linkToken;
    v["created_time"] = Json::Int64(now);
    v["expires_time"] = Json::Int64(now + ttl);
    v["thumbnail_url"] = base + "/picture/v1/upload/key/" + record.thumbToken;
    return jsonAnswer(200, v);
}

Response KeyApi::create(const ApiCall& call) { return registerKey(call, ""); }

Response KeyApi::update(const ApiCall& call)
{
    const std::string key = firstPart(call.rest);
    if (key.empty())
        return errorAnswer(404, "no such key");
    return registerKey(call, key);
}

Response KeyApi::search(const ApiCall& call)
{
    const std::string& address = call.request.peerAddress;
    if (limiter_.blocked(call.caller.deviceId, address))
        return errorAnswer(429, "too many unknown keys");
    const std::string key = firstPart(call.rest);
    KeyRecord record;
    if (key.empty() || !KeyRecord::loadLive(ctx_.store, key, ServiceContext::now(), record) ||
        (record.mode == "direct" && record.finished)) {
        limiter_.failure(call.caller.deviceId, address);
        return errorAnswer(404, "no such key");
    }
    Json::Value v(Json::objectValue);
    v["key"] = record.key;
    v["expires_time"] = Json::Int64(record.expires);
    v["created_time"] = Json::Int64(record.created);
    if (record.mode == "link_sharing") {
        // The partner's files: the client registers with the partner using this authorization.
        const std::string authz = Crypto::randomHex(16);
        ctx_.store.exec("INSERT INTO partner_auth(authz_key, device_id, created) VALUES(?,?,?)",
                        {authz, call.caller.deviceId, ServiceContext::now()});
        v["is_link_sharing"] = true;
        v["authz_key"] = authz;
        v["device_id"] = record.owner;
        v["terms_url"] = ctx_.partnerBaseUrl() + "/terms";
        return jsonAnswer(200, v);
    }
    const std::string base = ctx_.baseUrl(call.request);
    v["is_link_sharing"] = false;
    v["mode"] = record.mode;
    v["server"] = base + "/file/v1/";
    v["device_id"] = record.owner;
    v["link"] = base + "/link/" + record.linkToken;
    v["file_number"] = static_cast<Json::UInt64>(record.files.size());
    v["file_size"] = Json::UInt64(record.totalSize());
    v["download_count"] = Json::Int64(record.downloads);
    return jsonAnswer(200, v);
}

Response KeyApi::remove(const ApiCall& call)
{
    const std::string key = firstPart(call.rest);
    KeyRecord record;
    if (key.empty() || !KeyRecord::loadLive(ctx_.store, key, ServiceContext::now(), record) ||
        record.owner != call.caller.deviceId)
        return errorAnswer(404, "no such key");
    ctx_.store.exec("DELETE FROM keys WHERE key=?", {key});
    ctx_.store.exec("DELETE FROM pushes WHERE key=?", {key});
    relay_.removeFiles(record.relayToken);
    files_.forget(key);
    return jsonAnswer(200, Json::Value(Json::objectValue));
}

Response KeyApi::pushKey(const ApiCall& call)
{
    std::string target;
    const std::string key = firstPart(call.rest, &target);
    KeyRecord record;
    if (key.empty() || !KeyRecord::loadLive(ctx_.store, key, ServiceContext::now(), record) ||
        record.mode == "link_sharing" || (record.mode == "direct" && record.finished))
        return errorAnswer(404, "no such key");
    if (target.empty() || ctx_.store.query("SELECT 1 FROM devices WHERE device_id=?", {target}).empty())
        return errorAnswer(404, "no such device");
    const std::string thumbnail = str(call.body, "thumbnail");
    std::string decoded;
    if (!thumbnail.empty() && !Crypto::fromBase64(thumbnail, decoded))
        return errorAnswer(400, "thumbnail is not base64");
    ctx_.store.exec("INSERT OR REPLACE INTO pushes(key, target, sender, comment, thumbnail, sent_time) "
                    "VALUES(?,?,?,?,?,?)",
                    {key, target, call.caller.deviceId, str(call.body, "comment"), thumbnail, ServiceContext::now()});
    push_.post(target, key, "recv_key", call.caller.deviceId);
    Json::Value v(Json::objectValue);
    v["received_device_id"] = target;
    v["key"] = key;
    return jsonAnswer(200, v);
}

Response KeyApi::queryPush(const ApiCall& call)
{
    const std::string key = firstPart(call.rest);
    KeyRecord record;
    if (key.empty() || !KeyRecord::loadLive(ctx_.store, key, ServiceContext::now(), record) ||
        record.mode == "link_sharing")
        return errorAnswer(404, "no such key");
    const auto pushes = ctx_.store.query("SELECT comment, thumbnail, sent_time FROM pushes WHERE key=? AND target=?",
                                         {key, call.caller.deviceId});
    Json::Value v(Json::objectValue);
    v["key"] = record.key;
    v["expires_time"] = Json::Int64(record.expires);
    v["file_number"] = static_cast<Json::UInt64>(record.files.size());
    v["file_size"] = Json::UInt64(record.totalSize());
    v["comment"] = pushes.empty() ? "" : pushes[0][0].str();
    v["thumbnail"] = pushes.empty() ? "" : pushes[0][1].str();
    v["sent_time"] = Json::Int64(pushes.empty() ? record.created : pushes[0][2].asInt());
    if (record.hasThumb)
        v["thumbnail_url"] = ctx_.baseUrl(call.request) + "/picture/v1/key/" + record.thumbToken + ".jpg";
    Json::Value sender = ctx_.deviceObject(call.request, record.owner);
    v["device_id"] = record.owner;
    v["device_name"] = sender.isObject() ? sender["device_name"].asString() : "";
    v["profile_name"] = sender.isObject() ? sender["profile_name"].asString() : "";
    v["os_type"] = sender.isObject() ? sender["os_type"].asString() : "";
    return jsonAnswer(200, v);
}

Response KeyApi::replyPush(const ApiCall& call)
{
    const std::string key = firstPart(call.rest);
    const std::string status = str(call.body, "status");
    if (status != "accept" && status != "ignore")
        return errorAnswer(400, "status must be accept or ignore");
    if (ctx_.store.execChanges("UPDATE pushes SET reply=? WHERE key=? AND target=?",
                               {status, key, call.caller.deviceId}) <= 0)
        return errorAnswer(404, "no such push");
    return jsonAnswer(200, Json::Value(Json::objectValue));
}

int KeyApi::sweep()
{
    const int64_t now = ServiceContext::now();
    const auto rows = ctx_.store.query("SELECT key, relay_token, thumb_token FROM keys WHERE expires<=?", {now});
    for (const Row& r : rows) {
        relay_.removeFiles(r[1].str());
        std::error_code ec;
        ctx_.store.exec("DELETE FROM keys WHERE key=? AND expires<=?", {r[0].str(), now});
        ctx_.store.exec("DELETE FROM pushes WHERE key=?", {r[0].str()});
        std::remove((ctx_.options.dataDir + "/pictures/key/" + r[2].str() + ".jpg").c_str());
        files_.forget(r[0].str());
    }
    ctx_.store.exec("DELETE FROM tokens WHERE expires<=?", {now});
    ctx_.store.exec("DELETE FROM nearby WHERE expires<=?", {now});
    ctx_.store.exec("DELETE FROM partner_tokens WHERE expires<=?", {now});
    return static_cast<int>(rows.size());
}

}  // namespace Service
