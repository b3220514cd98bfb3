#include "service/FileServer.h"

#include <chrono>
#include <thread>

#include "service/Json.h"
#include "service/PushHub.h"
#include "service/RateLimiter.h"
#include "service/Relay.h"

namespace Service {

namespace {

using Clock = std::chrono::steady_clock;

// The active side of a direct round answers a moment after the passive side, so the files are
// registered on the passive side's server before the first request reaches it.
constexpr auto kActiveDelay = std::chrono::milliseconds(400);
constexpr int kParallelNumber = 5;

Clock::time_point deadlineFor(int64_t expiresEpochSeconds)
{
    const int64_t left = expiresEpochSeconds - ServiceContext::now();
    return Clock::now() + std::chrono::seconds(left > 0 ? left : 0);
}

bool ended(const std::string& state) { return state == "cancel" || state == "fail" || state == "complete"; }

}  // namespace

Response stateAnswer(const std::string& state, bool noRetry)
{
    Json::Value v(Json::objectValue);
    v["state"] = state;
    v["no_retry"] = noRetry;
    return jsonAnswer(200, v);
}

FileServer::FileServer(ServiceContext& context, PushHub& push, RateLimiter& limiter, Relay& relay)
    : ctx_(context), push_(push), limiter_(limiter), relay_(relay)
{
}

void FileServer::forget(const std::string& key)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = keys_.find(key);
    if (it == keys_.end())
        return;
    // Waiting reports of the old registration end with "cancel".
    KeyState& ks = *it->second;
    ks.removed = true;
    for (Pair* p : {&ks.main, &ks.direct})
        for (Side* s : {&p->sender, &p->receiver})
            if (s->present)
                s->state = "cancel";
    ks.relaySenderState = "cancel";
    changed_.notify_all();
    keys_.erase(it);
}

void FileServer::relayChanged()
{
    std::lock_guard<std::mutex> lock(mutex_);
    changed_.notify_all();
}

void FileServer::shutdown()
{
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    changed_.notify_all();
}

Response FileServer::report(const Request& request, bool sendSide)
{
    const Caller caller = ctx_.authenticate(request);
    if (!caller.ok)
        return errorAnswer(401, "unauthorized");
    Json::Value body;
    if (!JsonIo::parseObject(request.body, body))
        return errorAnswer(400, "malformed json");
    Report r;
    r.key = canonicalKey(body["key"].isString() ? body["key"].asString() : "");
    r.state = body["state"].isString() ? body["state"].asString() : "";
    r.direct = body["mode"].isString() && body["mode"].asString() == "direct";
    r.parallel = !body["parallel_transfer"].isBool() || body["parallel_transfer"].asBool();
    if (body["file"].isArray())
        for (const auto& f : body["file"]) {
            LocalFile lf;
            if (f.isObject()) {
                lf.size = f["size"].isUInt64() ? f["size"].asUInt64() : 0;
                lf.time = f["time"].isInt64() ? f["time"].asInt64() : 0;
            }
            r.files.push_back(lf);
        }
    if (body["black_list"].isArray())
        for (const auto& b : body["black_list"])
            if (b.isString())
                r.blackList.insert(b.asString());
    r.host = request.peerAddress;
    if (ctx_.options.trustDeviceIp && body["device_ip"].isString() && !body["device_ip"].asString().empty())
        r.host = body["device_ip"].asString();
    r.port = body["listen_port"].isInt() ? body["listen_port"].asInt() : 0;
    if (r.port < 0 || r.port > 65535)
        r.port = 0;
    static const std::set<std::string> kStates = {"query", "transfer", "complete", "cancel", "fail"};
    if (!kStates.count(r.state))
        return errorAnswer(400, "unknown state");

    if (limiter_.blocked(caller.deviceId, request.peerAddress))
        return errorAnswer(429, "too many unknown keys");
    KeyRecord key;
    if (r.key.empty() || !KeyRecord::loadLive(ctx_.store, r.key, ServiceContext::now(), key) ||
        key.mode == "link_sharing" || (sendSide && key.owner != caller.deviceId)) {
        limiter_.failure(caller.deviceId, request.peerAddress);
        return stateAnswer("wrong_key", true);
    }

    std::unique_lock<std::mutex> lock(mutex_);
    std::shared_ptr<KeyState>& slot = keys_[key.key];
    if (!slot)
        slot = std::make_shared<KeyState>();
    const std::shared_ptr<KeyState> hold = slot;  // keeps the state alive while this report waits
    KeyState& ks = *hold;
    if (sendSide && !r.files.empty()) {
        ks.senderTimes.clear();
        for (const auto& f : r.files)
            ks.senderTimes.push_back(f.time);
    }
    const bool directRoute = r.direct || key.mode == "direct";
    if (!directRoute)
        return relayReport(lock, key, ks, r, caller, sendSide);
    return directReport(lock, key, ks, r.direct ? ks.direct : ks.main, r, caller, sendSide, r.direct);
}

Json::Value FileServer::fileList(const KeyRecord& key, const KeyState& ks) const
{
    Json::Value list(Json::arrayValue);
    for (size_t i = 0; i < key.files.size(); ++i) {
        Json::Value f(Json::objectValue);
        f["name"] = key.files[i].name;
        f["size"] = Json::UInt64(key.files[i].size);
        f["time"] = Json::Int64(i < ks.senderTimes.size() ? ks.senderTimes[i] : 0);
        list.append(f);
    }
    return list;
}

void FileServer::assign(Pair& p)
{
    auto listed = [](const Side& by, const Side& target) {
        return target.port <= 0 || by.blackList.count(target.host + ":" + std::to_string(target.port)) ||
               by.blackList.count(target.host);
    };
    p.routeFailed = false;
    if (!listed(p.receiver, p.sender))
        p.senderPassive = true;
    else if (!listed(p.sender, p.receiver))
        p.senderPassive = false;  // the receiver could not reach the sender: turn the roles around
    else
        p.routeFailed = true;
    ++p.epoch;
    p.sender.ready = p.receiver.ready = false;
}

Response FileServer::directAnswer(const KeyRecord& key, const KeyState& ks, const Pair& p, bool sendSide) const
{
    if (p.routeFailed)
        return stateAnswer("fail", true);
    const Side& passive = p.senderPassive ? p.sender : p.receiver;
    Json::Value v(Json::objectValue);
    v["state"] = "transfer";
    v["passive"] = sendSide == p.senderPassive;
    v["parallel_transfer"] = p.sender.parallel && p.receiver.parallel;
    v["parallel_number"] = kParallelNumber;
    v["no_retry"] = false;
    v["peer_device_id"] = sendSide ? p.receiver.deviceId : p.sender.deviceId;
    Json::Value files = fileList(key, ks);
    const std::string base = "http://" + passive.host + ":" + std::to_string(passive.port) + "/ostrel/" +
                             key.relayToken + "/";
    for (Json::ArrayIndex i = 0; i < files.size(); ++i) {
        files[i]["url"] = base + std::to_string(i);
        uint64_t sent = i < p.receiver.files.size() ? p.receiver.files[i].size : 0;
        files[i]["sent"] = Json::UInt64(std::min<uint64_t>(sent, key.files[i].size));
    }
    v["file"] = files;
    return jsonAnswer(200, v);
}

Response FileServer::directReport(std::unique_lock<std::mutex>& lock, const KeyRecord& key, KeyState& ks, Pair& p,
                                  const Report& r, const Caller& caller, bool sendSide, bool directSession)
{
    Side& me = sendSide ? p.sender : p.receiver;
    Side& other = sendSide ? p.receiver : p.sender;
    if (!sendSide && p.receiver.present && p.receiver.deviceId != caller.deviceId) {
        if (!ended(p.receiver.state) || p.receiver.state == "complete")
            return stateAnswer(key.finished ? "wrong_key" : "fail", true);  // another device has this key
        p.receiver = Side();  // the earlier receiver gave up; a new one may take over
    }
    if (!sendSide && key.finished && !(p.receiver.present && p.receiver.deviceId == caller.deviceId))
        return stateAnswer("wrong_key", true);

    if (r.state == "query") {
        Json::Value v(Json::objectValue);
        v["state"] = "query";
        v["peer_device_id"] = other.deviceId.empty() ? (sendSide ? "" : key.owner) : other.deviceId;
        v["file"] = fileList(key, ks);
        return jsonAnswer(200, v);
    }
    me.present = true;
    me.deviceId = caller.deviceId;
    if (r.state != "transfer") {
        me.state = r.state;
        me.ready = false;
        changed_.notify_all();
        lock.unlock();
        if (r.state == "complete" && !sendSide)
            receiverCompleted(key, caller, key.mode == "direct");
        return stateAnswer(r.state);
    }

    // A "transfer" report: this side is ready for a round; the round starts once both are.
    me.state = "transfer";
    me.files = r.files;
    me.blackList = r.blackList;
    me.host = r.host;
    me.port = r.port;
    me.parallel = r.parallel;
    me.ready = true;
    const uint64_t generation = ++me.generation;
    const uint64_t epoch = p.epoch;
    changed_.notify_all();
    const bool firstWait = sendSide && !other.present;
    const auto deadline =
        firstWait ? deadlineFor(key.expires) : Clock::now() + std::chrono::seconds(ctx_.options.pairTimeout);
    for (;;) {
        if (p.epoch != epoch)
            break;
        if (other.ready) {
            assign(p);
            changed_.notify_all();
            break;
        }
        if (stopping_)
            return errorAnswer(503, "stopping");
        if (sendSide && !other.present && ServiceContext::now() >= key.expires)
            return stateAnswer("no_request", true);  // nobody asked for the key in its lifetime
        if (ks.removed)
            return stateAnswer("cancel");
        if (me.generation != generation || me.state != "transfer")
            return stateAnswer(me.state == "cancel" ? "cancel" : "fail");
        if (other.present && ended(other.state)) {
            me.ready = false;
            if (other.state == "complete")
                return stateAnswer(sendSide ? "complete" : "fail", !sendSide);
            // A hybrid's direct session ends quietly: the receiver falls back to the main route.
            if (other.state == "cancel" && !(directSession && !sendSide))
                return stateAnswer("cancel");
            return stateAnswer("fail", directSession);
        }
        if (changed_.wait_until(lock, deadline) == std::cv_status::timeout && p.epoch == epoch && !other.ready) {
            me.ready = false;
            me.state = "fail";
            if (sendSide && !other.present)
                return stateAnswer("no_request", true);
            return stateAnswer("fail", true);
        }
    }
    Response answer = directAnswer(key, ks, p, sendSide);
    const bool active = !p.routeFailed && (sendSide != p.senderPassive);
    lock.unlock();
    if (active)
        std::this_thread::sleep_for(kActiveDelay);
    return answer;
}

Response FileServer::relayAnswer(const KeyRecord& key, const KeyState& ks, const Report& r, bool sendSide) const
{
    Json::Value v(Json::objectValue);
    v["state"] = "transfer";
    v["passive"] = false;
    v["parallel_transfer"] = r.parallel;
    v["parallel_number"] = kParallelNumber;
    v["no_retry"] = false;
    v["peer_device_id"] = sendSide ? "" : key.owner;
    Json::Value files = fileList(key, ks);
    for (Json::ArrayIndex i = 0; i < files.size(); ++i) {
        files[i]["url"] = "http://{SERVER_IP}/relay/v1/" + key.relayToken + "/" + std::to_string(i);
        uint64_t sent = sendSide ? relay_.storedSize(key, i) : (i < r.files.size() ? r.files[i].size : 0);
        files[i]["sent"] = Json::UInt64(std::min<uint64_t>(sent, key.files[i].size));
    }
    v["file"] = files;
    return jsonAnswer(200, v);
}

Response FileServer::relayReport(std::unique_lock<std::mutex>& lock, const KeyRecord& key, KeyState& ks,
                                 const Report& r, const Caller& caller, bool sendSide)
{
    if (r.state == "query") {
        Json::Value v(Json::objectValue);
        v["state"] = "query";
        v["peer_device_id"] = sendSide ? "" : key.owner;
        v["file"] = fileList(key, ks);
        return jsonAnswer(200, v);
    }
    if (sendSide) {
        ks.relaySenderState = r.state;
        changed_.notify_all();
        if (r.state == "transfer")
            return relayAnswer(key, ks, r, true);
        if (r.state == "complete" && !relay_.complete(key))
            return relayAnswer(key, ks, r, true);  // bytes are missing: the sender is told what to resend
        return stateAnswer(r.state);
    }
    if (r.state == "complete") {
        lock.unlock();
        receiverCompleted(key, caller, false);
        return stateAnswer("complete");
    }
    if (r.state != "transfer")
        return stateAnswer(r.state);
    // A receiver of a relayed key fetches once every file has arrived.
    const auto deadline = deadlineFor(key.expires);
    while (!relay_.complete(key)) {
        if (stopping_)
            return errorAnswer(503, "stopping");
        if (ks.relaySenderState == "cancel")
            return stateAnswer("cancel");
        if (ks.relaySenderState == "fail")
            return stateAnswer("fail", true);
        if (changed_.wait_until(lock, deadline) == std::cv_status::timeout && !relay_.complete(key))
            return stateAnswer("fail", true);
        if (ks.removed)
            return stateAnswer("cancel");
    }
    return relayAnswer(key, ks, r, false);
}

void FileServer::receiverCompleted(const KeyRecord& key, const Caller& caller, bool finishesKey)
{
    if (finishesKey)
        ctx_.store.exec("UPDATE keys SET finished=1 WHERE key=?", {key.key});
    ctx_.store.exec("UPDATE keys SET downloads=downloads+1 WHERE key=?", {key.key});
    push_.post(key.owner, key.key, "peer_recv_completed", caller.deviceId);
}

}  // namespace Service
