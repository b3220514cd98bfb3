#include "ostrel/TransferInfo.h"

#include <thread>

#include <uriparser/Uri.h>

#include "ostrel/ActiveHttp.h"
#include "ostrel/ActiveMultiHttp.h"
#include "ostrel/JsonUtil.h"
#include "ostrel/NetworkInfo.h"
#include "ostrel/PassiveHttp.h"
#include "ostrel/PassiveMultiHttp.h"
#include "ostrel/StringUtil.h"
#include "ostrel/Transfer.h"

namespace Ostrel {

const char* const TransferInfo::STATE_NO_REQUEST = "no_request";
const char* const TransferInfo::STATE_WRONG_KEY = "wrong_key";
const char* const TransferInfo::STATE_FAIL = "fail";
const char* const TransferInfo::STATE_CANCEL = "cancel";
const char* const TransferInfo::STATE_COMPLETE = "complete";
const char* const TransferInfo::STATE_TRANSFER = "transfer";
const char* const TransferInfo::STATE_QUERY = "query";

namespace {
const char kPlaceholder[] = "{SERVER_IP}";
}

std::string uriAuthority(const std::string& url)
{
    UriUriA uri;
    const char* errorPos = nullptr;
    if (uriParseSingleUriA(&uri, url.c_str(), &errorPos) != URI_SUCCESS)
        return std::string();
    std::string result;
    if (uri.hostText.first) {
        const char* end = uri.portText.first ? uri.portText.afterLast : uri.hostText.afterLast;
        result.assign(uri.hostText.first, end);
    }
    uriFreeUriMembersA(&uri);
    return result;
}

TransferInfo::TransferInfo(bool direct) : direct_(direct) {}

TransferInfo::~TransferInfo() = default;

std::string TransferInfo::getTransferURL(const std::string& path, const std::string& url) const
{
    UriUriA uri;
    const char* errorPos = nullptr;
    if (uriParseSingleUriA(&uri, path.c_str(), &errorPos) != URI_SUCCESS)
        return url;
    uriFreeUriMembersA(&uri);
    const std::string authority = uriAuthority(path);
    std::string result;
    const size_t n = sizeof(kPlaceholder) - 1;
    size_t from = 0;
    for (;;) {
        const size_t at = url.find(kPlaceholder, from);
        if (at == std::string::npos)
            break;
        result.append(url, from, at - from);
        result += authority;
        from = at + n;
    }
    result.append(url, from, std::string::npos);
    return result;
}

void TransferInfo::addBlackList(const std::string& url)
{
    const std::string authority = uriAuthority(url);
    if (!authority.empty())
        blackList_.insert(authority);
}

void TransferInfo::completedFile(const std::wstring& name)
{
    for (auto& file : remoteFiles_) {
        if (file.name == name) {
            file.completed = true;
            return;
        }
    }
}

void TransferInfo::setTransferSpeedLimit(unsigned long bytesPerSecond)
{
    speedLimit_ = bytesPerSecond;
    std::lock_guard<std::mutex> lock(channelMutex_);
    if (channel_)
        channel_->setTransferSpeedLimit(bytesPerSecond);
}

void TransferInfo::cancel()
{
    cancelled_ = true;
    ServerInfo::cancel();
    std::lock_guard<std::mutex> lock(channelMutex_);
    if (channel_)
        channel_->cancel();
}

void TransferInfo::sleep(int seconds) const
{
    for (int i = 0; i < seconds && !isCancelled(); ++i)
        std::this_thread::sleep_for(std::chrono::seconds(1));
}

int TransferInfo::getDataRetry(const std::string& path, Json::Value& request, Json::Value& reply)
{
    int status = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        sleep(attempt);
        if (isCancelled())
            break;
        reply = Json::Value();
        status = getData(path, request, reply);
        if ((status >= 200 && status <= 299) || (status >= 400 && status <= 499))
            break;
    }
    return status;
}

void TransferInfo::setAuthorization(const AuthTokenValue& token)
{
    reportToken_.deviceId = token.deviceId;
    reportToken_.devicePassword = token.devicePassword;
    reportToken_.userId.clear();
    reportToken_.userPassword.clear();
    reportToken_.authToken.clear();
}

std::string TransferInfo::update(const std::string& path, const std::wstring& key, const char* state,
                                 const std::vector<LocalFile>& files)
{
    Json::Value request(Json::objectValue);
    setJsonValue(request, "key", key);
    request["state"] = state;
    // The wish, not the last reply's value: a "query" answer carries no "parallel_transfer", and
    // reporting its default (false) would talk the service out of parallel connections.
    request["parallel_transfer"] = parallelWish_;
    if (direct_)
        request["mode"] = "direct";
    for (const auto& file : files) {
        Json::Value item(Json::objectValue);
        item["name"] = toUtf8(file.name);
        item["size"] = Json::UInt64(file.size);
        item["time"] = Json::Int(file.time);
        request["file"].append(item);
    }
    for (const auto& host : blackList_)
        request["black_list"].append(host);
    NetworkInfo network;
    network.toJson(request);
    networkType_ = network.networkType;

    authTokenValue = &reportToken_;
    Json::Value reply;
    int status;
    if (std::string(state) == STATE_CANCEL) {
        cancelFlag = false;
        status = getData(path, request, reply);
    } else {
        status = isCancelled() ? 0 : getDataRetry(path, request, reply);
    }
    if (status != 200)
        return STATE_FAIL;
    return readReply(path, state, reply);
}

std::string TransferInfo::readReply(const std::string& path, const char* state, const Json::Value& reply)
{
    const std::string result = getJsonValue(reply, "state", "");
    retryAllowed_ = !getJsonValue(reply, "no_retry", false);
    peerDeviceId_ = getJsonValue(reply, "peer_device_id", peerDeviceId_.c_str());
    parallel_ = getJsonValue(reply, "parallel_transfer", false);
    parallelNumber_ = getJsonValue(reply, "parallel_number", 5);
    peerFailed_ = result == STATE_FAIL && std::string(state) != STATE_FAIL;

    if (reply.isObject() && reply.isMember("file") && reply["file"].isArray()) {
        const Json::Value& list = reply["file"];
        remoteFiles_.resize(list.size());
        for (Json::ArrayIndex i = 0; i < list.size(); ++i) {
            RemoteFile& file = remoteFiles_[i];
            const Json::Value& item = list[i];
            file.name = getJsonValue(item, "name", L"");
            file.url = getTransferURL(path, getJsonValue(item, "url", ""));
            file.size = getJsonValue(item, "size", 0ULL);
            file.time = getJsonValue(item, "time", 0);
            const long long sent = getJsonValue(item, "sent", -1LL);
            file.sent = sent < 0 ? 0 : static_cast<uint64_t>(sent);
        }
        if (!list.empty()) {
            passive_ = getJsonValue(reply, "passive", false);
            if (getJsonValue(list[0], "url", "").find(kPlaceholder) != std::string::npos)
                relay_ = true;
        }
    }

    if (result == STATE_TRANSFER) {
        if (!started_) {
            started_ = true;
            startTime_ = std::chrono::steady_clock::now();
        }
        std::unique_ptr<Transfer> channel;
        if (passive_ && parallel_)
            channel.reset(new PassiveMultiHttp());
        else if (passive_)
            channel.reset(new PassiveHttp());
        else if (parallel_)
            channel.reset(new ActiveMultiHttp());
        else
            channel.reset(new ActiveHttp());
        channel->setTransferSpeedLimit(speedLimit_);
        channel->setRetryTime(channelRetryTime_);
        std::lock_guard<std::mutex> lock(channelMutex_);
        channel_ = std::move(channel);
        if (cancelled_)
            channel_->cancel();
    } else if (result == STATE_COMPLETE) {
        duration_ = started_ ? std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now() - startTime_)
                                   .count()
                             : 0;
    } else if (result == STATE_CANCEL || result == STATE_FAIL) {
        std::lock_guard<std::mutex> lock(channelMutex_);
        channel_.reset();
    }
    return result;
}

}  // namespace Ostrel
