#include "service/AccountApi.h"

#include <cmath>

#include "service/Crypto.h"
#include "service/Json.h"

namespace Service {

namespace {

std::string str(const Json::Value& body, const char* name)
{
    const Json::Value& v = body[name];
    return v.isString() ? v.asString() : std::string();
}

bool validUserId(const std::string& id)
{
    if (id.size() < 3 || id.size() > 64)
        return false;
    for (unsigned char ch : id)
        if (!(std::isalnum(ch) || ch == '.' || ch == '_' || ch == '-' || ch == '@' || ch == '+'))
            return false;
    return true;
}

bool validPassword(const std::string& pw) { return pw.size() >= 6 && pw.size() <= 128; }

Json::Value tokenAnswer(const std::string& token, int ttl)
{
    Json::Value v(Json::objectValue);
    v["access_token"] = token;
    v["expires_in"] = ttl;
    return v;
}

double number(const Json::Value& body, const char* name)
{
    const Json::Value& v = body[name];
    return v.isNumeric() ? v.asDouble() : 0.0;
}

}  // namespace

void AccountApi::addEndpoints(std::vector<Endpoint>& t)
{
    auto bind = [this](Response (AccountApi::*fn)(const ApiCall&)) {
        return [this, fn](const ApiCall& call) { return (this->*fn)(call); };
    };
    t.push_back({"device/create", AuthLevel::None, bind(&AccountApi::createDevice)});
    t.push_back({"auth/device", AuthLevel::Basic, bind(&AccountApi::loginDevice)});
    t.push_back({"auth/user", AuthLevel::Device, bind(&AccountApi::loginUser)});
    t.push_back({"device/update", AuthLevel::Device, bind(&AccountApi::updateDevice)});
    t.push_back({"auth/logout", AuthLevel::Device, bind(&AccountApi::logout)});
    t.push_back({"user/register", AuthLevel::Device, bind(&AccountApi::registerUser)});
    t.push_back({"user/unregister", AuthLevel::User, bind(&AccountApi::unregisterUser)});
    t.push_back({"user/update", AuthLevel::User, bind(&AccountApi::updateUser)});
    t.push_back({"user/device/list", AuthLevel::User, bind(&AccountApi::deviceList)});
    t.push_back({"friend/search", AuthLevel::Device, bind(&AccountApi::friendSearch)});
    t.push_back({"device/upload/profile", AuthLevel::Device, bind(&AccountApi::uploadProfile)});
    t.push_back({"device/nearby/publish", AuthLevel::Device, bind(&AccountApi::publishNearby)});
    t.push_back({"device/nearby/search", AuthLevel::Device, bind(&AccountApi::searchNearby)});
    t.push_back({"device/nearby/close", AuthLevel::Device, bind(&AccountApi::closeNearby)});
}

void AccountApi::storeDeviceInfo(const std::string& deviceId, const Json::Value& body)
{
    Json::Value info(Json::objectValue);
    for (const char* name : {"os_type", "os_version", "device_uid", "model_number", "manufacturer", "mac_address",
                             "app_version", "device_language", "app_name", "package_name"})
        if (body[name].isString())
            info[name] = body[name];
    std::string deviceName = str(body, "device_name");
    if (deviceName.empty())
        deviceName = str(body, "model_number");
    if (deviceName.empty())
        deviceName = str(body, "os_version");
    if (deviceName.empty())
        deviceName = str(body, "manufacturer");
    std::string osType = str(body, "os_type");
    ctx_.store.exec("UPDATE devices SET profile_name=?, push_id=?, device_name=?, os_type=?, info=?, updated=? "
                    "WHERE device_id=?",
                    {str(body, "profile_name"), str(body, "push_id"), deviceName, osType, JsonIo::write(info),
                     ServiceContext::now(), deviceId});
}

Response AccountApi::createDevice(const ApiCall& call)
{
    const std::string id = Crypto::randomHex(10);
    const std::string password = Crypto::randomHex(16);
    const std::string salt = Crypto::randomHex(8);
    if (!ctx_.store.exec("INSERT INTO devices(device_id, salt, hash, created, updated) VALUES(?,?,?,?,?)",
                         {id, salt, Crypto::hashSecret(salt, password), ServiceContext::now(), ServiceContext::now()}))
        return errorAnswer(500, "storage");
    storeDeviceInfo(id, call.body);
    Json::Value v(Json::objectValue);
    v["device_id"] = id;
    v["password"] = password;
    return jsonAnswer(200, v);
}

Response AccountApi::loginDevice(const ApiCall& call)
{
    return jsonAnswer(200, tokenAnswer(ctx_.issueToken(call.caller.deviceId, ""), ctx_.options.tokenTtl));
}

Response AccountApi::loginUser(const ApiCall& call)
{
    const std::string userId = str(call.body, "user_id");
    const auto rows = ctx_.store.query("SELECT salt, hash, user_name FROM users WHERE user_id=?", {userId});
    if (rows.empty() || !Crypto::verifySecret(rows[0][0].str(), rows[0][1].str(), str(call.body, "password")))
        return errorAnswer(401, "wrong_user");
    ctx_.store.exec("UPDATE devices SET user_id=? WHERE device_id=?", {userId, call.caller.deviceId});
    Json::Value v = tokenAnswer(ctx_.issueToken(call.caller.deviceId, userId), ctx_.options.tokenTtl);
    v["user_id"] = userId;
    v["user_name"] = rows[0][2].str();
    return jsonAnswer(200, v);
}

Response AccountApi::updateDevice(const ApiCall& call)
{
    storeDeviceInfo(call.caller.deviceId, call.body);
    Json::Value v = ctx_.deviceObject(call.request, call.caller.deviceId);
    v["user_id"] = call.caller.userId;
    v["required_version"] = "";
    v["update_message"] = "";
    v["need_update"] = false;
    return jsonAnswer(200, v);
}

Response AccountApi::logout(const ApiCall& call)
{
    const std::string auth = call.request.header("authorization");
    if (auth.compare(0, 7, "Bearer ") == 0)
        ctx_.store.exec("DELETE FROM tokens WHERE token=?", {auth.substr(7)});
    return jsonAnswer(200, Json::Value(Json::objectValue));
}

Response AccountApi::registerUser(const ApiCall& call)
{
    const std::string userId = str(call.body, "user_id");
    const std::string password = str(call.body, "password");
    Json::Value v(Json::objectValue);
    if (!validUserId(userId)) {
        v["error"] = "invalid_user_id";
    } else if (!validPassword(password)) {
        v["error"] = "invalid_password";
    } else {
        const std::string salt = Crypto::randomHex(8);
        const int64_t added = ctx_.store.execChanges(
            "INSERT OR IGNORE INTO users(user_id, salt, hash, user_name, created) VALUES(?,?,?,?,?)",
            {userId, salt, Crypto::hashSecret(salt, password), str(call.body, "user_name"), ServiceContext::now()});
        if (added < 0)
            return errorAnswer(500, "storage");
        if (added == 0)
            v["error"] = "exist_user_id";
    }
    return jsonAnswer(200, v);
}

Response AccountApi::unregisterUser(const ApiCall& call)
{
    const auto rows = ctx_.store.query("SELECT salt, hash FROM users WHERE user_id=?", {call.caller.userId});
    if (rows.empty() || !Crypto::verifySecret(rows[0][0].str(), rows[0][1].str(), str(call.body, "password")))
        return errorAnswer(401, "wrong_password");
    ctx_.store.exec("DELETE FROM users WHERE user_id=?", {call.caller.userId});
    ctx_.store.exec("UPDATE devices SET user_id=NULL WHERE user_id=?", {call.caller.userId});
    // Every token of the account falls back to its device, so the caller stays signed in as the device.
    ctx_.store.exec("UPDATE tokens SET user_id=NULL WHERE user_id=?", {call.caller.userId});
    return jsonAnswer(200, Json::Value(Json::objectValue));
}

Response AccountApi::updateUser(const ApiCall& call)
{
    const std::string password = str(call.body, "password");
    if (!password.empty()) {
        if (!validPassword(password))
            return errorAnswer(400, "invalid_password");
        const std::string salt = Crypto::randomHex(8);
        ctx_.store.exec("UPDATE users SET salt=?, hash=? WHERE user_id=?",
                        {salt, Crypto::hashSecret(salt, password), call.caller.userId});
    }
    const std::string name = str(call.body, "user_name");
    if (!name.empty())
        ctx_.store.exec("UPDATE users SET user_name=? WHERE user_id=?", {name, call.caller.userId});
    return jsonAnswer(200, Json::Value(Json::objectValue));
}

Response AccountApi::deviceList(const ApiCall& call)
{
    Json::Value v(Json::objectValue);
    v["device"] = Json::Value(Json::arrayValue);
    for (const Row& r : ctx_.store.query("SELECT device_id FROM devices WHERE user_id=? ORDER BY created",
                                         {call.caller.userId}))
        v["device"].append(ctx_.deviceObject(call.request, r[0].str()));
    return jsonAnswer(200, v);
}

Response AccountApi::friendSearch(const ApiCall& call)
{
    Json::Value v(Json::objectValue);
    v["device"] = Json::Value(Json::arrayValue);
    const Json::Value& ids = call.body["device"];
    if (ids.isArray())
        for (Json::ArrayIndex i = 0; i < ids.size() && i < 500; ++i)
            if (ids[i].isString()) {
                Json::Value d = ctx_.deviceObject(call.request, ids[i].asString());
                if (!d.isNull())
                    v["device"].append(d);
            }
    return jsonAnswer(200, v);
}

Response AccountApi::uploadProfile(const ApiCall& call)
{
    const std::string token = Crypto::randomHex(16);
    ctx_.store.exec("UPDATE devices SET picture_token=? WHERE device_id=?", {token, call.caller.deviceId});
    Json::Value v(Json::objectValue);
    v["upload_url"] = ctx_.baseUrl(call.request) + "/picture/v1/upload/device/" + token;
    return jsonAnswer(200, v);
}

Response AccountApi::publishNearby(const ApiCall& call)
{
    ctx_.store.exec("INSERT OR REPLACE INTO nearby(device_id, expires, source, bssid, device_ip, latitude, longitude) "
                    "VALUES(?,?,?,?,?,?,?)",
                    {call.caller.deviceId, ServiceContext::now() + ctx_.options.nearbyTtl, call.request.peerAddress,
                     str(call.body, "bssid"), str(call.body, "device_ip"),
                     std::to_string(number(call.body, "latitude")), std::to_string(number(call.body, "longitude"))});
    Json::Value v(Json::objectValue);
    v["timeout"] = ctx_.options.nearbyTtl;
    return jsonAnswer(200, v);
}

Response AccountApi::searchNearby(const ApiCall& call)
{
    const std::string bssid = str(call.body, "bssid");
    const double lat = number(call.body, "latitude"), lon = number(call.body, "longitude");
    std::vector<std::string> preferred;
    if (call.body["prefer_ids"].isArray())
        for (const auto& id : call.body["prefer_ids"])
            if (id.isString())
                preferred.push_back(id.asString());
    std::vector<std::string> near, others;
    for (const Row& r : ctx_.store.query("SELECT device_id, source, bssid, latitude, longitude FROM nearby "
                                         "WHERE expires>? AND device_id<>?",
                                         {ServiceContext::now(), call.caller.deviceId})) {
        // Same public address (one home network behind one router), same access point, or within about a km.
        bool isNear = r[1].str() == call.request.peerAddress || (!bssid.empty() && r[2].str() == bssid);
        const double plat = std::atof(r[3].str().c_str()), plon = std::atof(r[4].str().c_str());
        if ((lat != 0 || lon != 0) && (plat != 0 || plon != 0) && std::fabs(plat - lat) < 0.01 &&
            std::fabs(plon - lon) < 0.01)
            isNear = true;
        if (!isNear)
            continue;
        bool prefer = false;
        for (const auto& p : preferred)
            prefer = prefer || p == r[0].str();
        (prefer ? near : others).push_back(r[0].str());
    }
    near.insert(near.end(), others.begin(), others.end());
    Json::Value v(Json::objectValue);
    v["device"] = Json::Value(Json::arrayValue);
    for (const auto& id : near) {
        Json::Value d = ctx_.deviceObject(call.request, id);
        if (!d.isNull())
            v["device"].append(d);
    }
    return jsonAnswer(200, v);
}

Response AccountApi::closeNearby(const ApiCall& call)
{
    ctx_.store.exec("DELETE FROM nearby WHERE device_id=?", {call.caller.deviceId});
    return jsonAnswer(200, Json::Value(Json::objectValue));
}

}  // namespace Service
