#include "service/PushHub.h"

#include <chrono>

namespace Service {

void PushHub::post(const std::string& deviceId, const std::string& key, const std::string& action,
                   const std::string& peerDeviceId)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ctx_.store.exec("INSERT INTO push_events(device_id, key, action, peer_device_id, created) VALUES(?,?,?,?,?)",
                    {deviceId, key, action, peerDeviceId.empty() ? Cell() : Cell(peerDeviceId),
                     ServiceContext::now()});
    ++version_[deviceId];
    wake_.notify_all();
}

Response PushHub::subscribe(const Caller& caller)
{
    std::unique_lock<std::mutex> lock(mutex_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(ctx_.options.pushTimeout);
    for (;;) {
        const auto rows = ctx_.store.query(
            "SELECT key FROM push_events WHERE device_id=? ORDER BY id DESC LIMIT 1", {caller.deviceId});
        if (!rows.empty()) {
            Json::Value v(Json::objectValue);
            v["key"] = rows[0][0].str();
            return jsonAnswer(200, v);
        }
        const uint64_t seen = version_[caller.deviceId];
        if (!wake_.wait_until(lock, deadline, [&] { return stopping_ || version_[caller.deviceId] != seen; }))
            return errorAnswer(504, "timeout");
        if (stopping_)
            return errorAnswer(503, "stopping");
    }
}

Response PushHub::fetch(const Caller& caller)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto rows = ctx_.store.query(
        "SELECT id, key, action, peer_device_id FROM push_events WHERE device_id=? ORDER BY id", {caller.deviceId});
    Json::Value list(Json::arrayValue);
    int64_t last = 0;
    for (const Row& r : rows) {
        Json::Value e(Json::objectValue);
        e["key"] = r[1].str();
        e["action"] = r[2].str();
        if (!r[3].isNull)
            e["peer_device_id"] = r[3].str();
        list.append(e);
        last = r[0].asInt();
    }
    if (last > 0)
        ctx_.store.exec("DELETE FROM push_events WHERE device_id=? AND id<=?", {caller.deviceId, last});
    return jsonAnswer(200, list);
}

void PushHub::shutdown()
{
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    wake_.notify_all();
}

}  // namespace Service
