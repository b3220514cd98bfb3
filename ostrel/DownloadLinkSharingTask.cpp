#include "ostrel/DownloadLinkSharingTask.h"

#include <cctype>

#include <uriparser/Uri.h>

#include "ostrel/ActiveMultiHttp.h"
#include "ostrel/JsonUtil.h"
#include "ostrel/LocalDeviceInfo.h"
#include "ostrel/LogFunc.h"
#include "ostrel/StringUtil.h"
#include "ostrel/URLEncodeUtil.h"

namespace Ostrel {

const char* const DownloadLinkSharingTask::LSTransferInfo::RCODE_EXPIRED_ACCESS = "4000400112";
const char* const DownloadLinkSharingTask::LSTransferInfo::RCODE_WRONG_KEY = "4000201016";

namespace {

const char kPrefAuthKey[] = "auth_key";
const char kPrefDeviceId[] = "device_id";
const char kPrefShareServer[] = "share_server";
const char kPrefUid[] = "velora_uid";
const char kPrefRefreshToken[] = "refresh_token";
const char kPrefAccessToken[] = "access_token";

std::string withoutTrailingSlash(std::string url)
{
    while (!url.empty() && url.back() == '/')
        url.pop_back();
    return url;
}

// Host part of a URL (without port), empty when it does not parse.
std::string hostOf(const std::string& url)
{
    UriUriA uri;
    const char* errorPos = nullptr;
    if (uriParseSingleUriA(&uri, url.c_str(), &errorPos) != URI_SUCCESS)
        return std::string();
    std::string host;
    if (uri.hostText.first)
        host.assign(uri.hostText.first, uri.hostText.afterLast);
    uriFreeUriMembersA(&uri);
    return host;
}

// Spaces are "%20" rather than "+" in a path segment.
std::string encodePathSegment(const std::wstring& text)
{
    std::string spaced;
    for (char c : URLEncode(text)) {
        if (c == '+')
            spaced += "%20";
        else
            spaced += c;
    }
    return spaced;
}

std::string withoutDashes(const std::string& text)
{
    std::string result;
    for (char c : text)
        if (c != '-')
            result += c;
    return result;
}

}  // namespace

namespace {
// A partner that stops answering must not hold the task forever.
constexpr int kPartnerRequestTimeout = 60;

bool isHttpUrl(const std::string& url)
{
    std::string scheme = url.substr(0, url.find("://"));
    for (auto& c : scheme)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return url.find("://") != std::string::npos && (scheme == "http" || scheme == "https");
}
}  // namespace

DownloadLinkSharingTask::LSTransferInfo::LSTransferInfo() : TransferInfo(false)
{
    timeout = kPartnerRequestTimeout;
    // A cancel that lands just before a request starts still stops it.
    ownerCancelFlag = &cancelled_;
}

std::string DownloadLinkSharingTask::LSTransferInfo::partnerURL() const
{
    const std::string configured = option_ ? option_->getPartnerURL() : std::string();
    return withoutTrailingSlash(configured.empty() ? std::string(Defaults::kPartnerUrl) : configured);
}

void DownloadLinkSharingTask::LSTransferInfo::savePrefValue(const std::string& name, const std::string& value)
{
    if (option_)
        option_->savePrefValue(name, value);
}

std::string DownloadLinkSharingTask::LSTransferInfo::loadPrefValue(const std::string& name)
{
    return option_ ? option_->loadPrefValue(name) : std::string();
}

void DownloadLinkSharingTask::LSTransferInfo::loadInfo(const std::string& authorizationKey, Option* option)
{
    option_ = option;
    shareServer_ = withoutTrailingSlash(loadPrefValue(kPrefShareServer));
    refreshToken_ = loadPrefValue(kPrefRefreshToken);
    accessToken_ = loadPrefValue(kPrefAccessToken);
    partnerUid_ = loadPrefValue(kPrefUid);
    authorizationKey_ = authorizationKey;
}

int DownloadLinkSharingTask::LSTransferInfo::registerDevice()
{
    extraHeaders.clear();
    extraHeaders["Authorization"] = authorizationKey_;

    Json::Value request(Json::objectValue);
    Json::Value& user = request["ext_user_info"];
    user["ext_uid"] = withoutDashes(LocalDeviceInfo().deviceUid);
    user["ext_did"] = deviceId_;
    user["ext_dvc_type"] = 5;
    user["ext_os_type"] = 10;
    request["pkg"]["pv"] = "0.0.1";
    request["pkg"]["vc"] = "001";

    const std::string base = partnerURL();
    Json::Value reply;
    const int status = getData(base + "/register", request, reply);
    if (status != 200)
        return status;
    partnerUid_ = getJsonValue(reply, "uid", "");
    refreshToken_ = getJsonValue(reply, "refresh_token", "");
    accessToken_ = getJsonValue(reply, "access_token", "");
    if (reply.isObject() && reply["urls"].isArray() && !reply["urls"].empty()) {
        const Json::Value& first = reply["urls"][0];
        shareServer_ = format("%1%://%2%:%3%", getJsonValue(first, "scheme", "https"),
                              getJsonValue(first, "address", hostOf(base).c_str()), getJsonValue(first, "port", 443));
    }
    // Neither named nor stored: the registration host serves the shares too.
    if (shareServer_.empty())
        shareServer_ = base;
    savePrefValue(kPrefUid, partnerUid_);
    savePrefValue(kPrefRefreshToken, refreshToken_);
    savePrefValue(kPrefAccessToken, accessToken_);
    savePrefValue(kPrefShareServer, shareServer_);
    return status;
}

int DownloadLinkSharingTask::LSTransferInfo::login()
{
    extraHeaders.clear();
    extraHeaders["Authorization"] = authorizationKey_;
    extraHeaders["Uid"] = partnerUid_;
    extraHeaders["Refresh-Token"] = refreshToken_;
    Json::Value request(Json::objectValue);
    Json::Value reply;
    const int status = getData(shareServer_ + "/authorization", request, reply);
    if (status == 200) {
        accessToken_ = getJsonValue(reply, "access_token", "");
        savePrefValue(kPrefAccessToken, accessToken_);
    } else if (status == 400) {
        // The partner no longer knows this identity: register again on the next attempt.
        partnerUid_.clear();
        refreshToken_.clear();
    }
    return status;
}

std::string DownloadLinkSharingTask::LSTransferInfo::update(const std::string&, const std::wstring& key,
                                                            const char* state, const std::vector<LocalFile>&)
{
    const std::string requested = state;
    if (requested != STATE_TRANSFER && requested != STATE_QUERY) {
        if (requested == STATE_COMPLETE && started_)
            duration_ = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                              startTime_)
                            .count();
        return requested;
    }

    // The partner gets neither the service's application key nor its credentials.
    deviceId_ = reportToken_.deviceId;
    apiKey.clear();
    authTokenValue = nullptr;
    reportToken_.deviceId.clear();
    reportToken_.devicePassword.clear();
    taskTime = 0;

    for (int attempt = 0; attempt < 2; ++attempt) {
        if (isCancelled())
            break;
        if (shareServer_.empty() || partnerUid_.empty() || refreshToken_.empty()) {
            const int status = registerDevice();
            if (status != 200) {
                debugLog(format("partner registration failed: %1%\n", status));
                continue;
            }
        }
        if (accessToken_.empty()) {
            const int status = login();
            if (status != 200) {
                debugLog(format("partner login failed: %1%\n", status));
                continue;
            }
        }
        std::string result;
        if (fetchDownloadList(key, result))
            return requested;
        if (!result.empty())
            return result;
    }
    return STATE_FAIL;
}

bool DownloadLinkSharingTask::LSTransferInfo::fetchDownloadList(const std::wstring& key, std::string& result)
{
    extraHeaders.clear();
    extraHeaders["Authorization"] = authorizationKey_;
    extraHeaders["Uid"] = partnerUid_;
    extraHeaders["Access-Token"] = accessToken_;

    std::wstring upper = key;
    for (auto& c : upper)
        if (c < 128)
            c = static_cast<wchar_t>(std::toupper(static_cast<int>(c)));
    Json::Value request(Json::objectValue);
    Json::Value reply;
    const int status = getData(shareServer_ + "/download/" + encodePathSegment(upper), request, reply, true);
    const std::string rcode = getJsonValue(reply, "rcode", "");
    if (status == 400 || rcode == RCODE_EXPIRED_ACCESS)
        accessToken_.clear();
    if (rcode == RCODE_WRONG_KEY) {
        result = STATE_WRONG_KEY;
        return false;
    }
    if (status != 200 || !reply.isObject() || !reply.isMember("contents") || !reply["contents"].isArray())
        return false;

    const Json::Value& contents = reply["contents"];
    // The byte channel would follow any scheme it knows, local files included.
    for (const auto& item : contents) {
        const std::string url = getJsonValue(item, "original", "");
        if (!isHttpUrl(url)) {
            debugLog(format("partner file URL refused: %1%\n", url));
            return false;
        }
    }
    const std::vector<RemoteFile> previous = remoteFiles_;
    remoteFiles_.assign(contents.size(), RemoteFile());
    for (Json::ArrayIndex i = 0; i < contents.size(); ++i) {
        RemoteFile& file = remoteFiles_[i];
        file.name = getJsonValue(contents[i], "name", L"");
        file.url = getJsonValue(contents[i], "original", "");
        file.size = getJsonValue(contents[i], "size", 0ULL);
        // A file this device already finished stays finished: fetching it again would leave a second
        // copy under its temporary name.
        if (i < previous.size() && previous[i].completed && previous[i].name == file.name &&
            previous[i].size == file.size) {
            file.completed = true;
            file.sent = file.size;
        }
    }
    if (!started_) {
        started_ = true;
        startTime_ = std::chrono::steady_clock::now();
    }
    parallel_ = true;
    installChannel();
    return true;
}

void DownloadLinkSharingTask::LSTransferInfo::installChannel()
{
    std::unique_ptr<Transfer> channel(new ActiveMultiHttp());
    channel->setTransferSpeedLimit(speedLimit_);
    std::lock_guard<std::mutex> lock(channelMutex_);
    channel_ = std::move(channel);
    if (cancelled_)
        channel_->cancel();
}

// The session member is only referred to here, not used, before it is constructed.
DownloadLinkSharingTask::DownloadLinkSharingTask(const std::wstring& key, const std::wstring& directory)
    : DownloadTask(session_, key, directory)
{
    resume_ = false;
}

DownloadLinkSharingTask::~DownloadLinkSharingTask()
{
    stopRun();
}

void DownloadLinkSharingTask::setOptionValues(BaseTask::Option* option)
{
    DownloadTask::setOptionValues(option);
    resume_ = false;
    if (auto* own = dynamic_cast<DownloadLinkSharingTask::Option*>(option))
        option_ = own;
}

int DownloadLinkSharingTask::updateKey()
{
    progress(STATE_PREPARING, PREPARING_REQUEST_KEY);
    if (option_) {
        authorizationKey_ = option_->loadPrefValue(kPrefAuthKey);
        peerDeviceId_ = option_->loadPrefValue(kPrefDeviceId);
    }
    if (authorizationKey_.empty()) {
        Json::Value request(Json::objectValue);
        Json::Value response;
        const int r = getServerData(getApiPath("key/search", encodePathSegment(key_)), request, response);
        if (r == 404 || (r == 200 && !getJsonValue(response, "is_link_sharing", false))) {
            progress(STATE_ERROR, ERROR_NO_EXIST_KEY);
            return 404;
        }
        // Without an answer there is no authorization key, and the partner would only refuse.
        if (r != 200)
            return r;
        authorizationKey_ = getJsonValue(response, "authz_key", "");
        peerDeviceId_ = getJsonValue(response, "device_id", "");
        if (option_) {
            option_->savePrefValue(kPrefAuthKey, authorizationKey_);
            option_->savePrefValue(kPrefDeviceId, peerDeviceId_);
        }
    }
    mode_ = MODE_UPLOAD;
    session_.loadInfo(authorizationKey_, option_);
    progress(STATE_PREPARING, PREPARING_UPDATED_KEY, &key_);
    return 200;
}

}  // namespace Ostrel
