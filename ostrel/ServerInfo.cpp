#include "ostrel/ServerInfo.h"

#include <memory>

#include <curl/curl.h>
#include <json/reader.h>
#include <json/writer.h>

#include "ostrel/AuthTokenValue.h"
#include "ostrel/Base64Util.h"
#include "ostrel/LogFunc.h"

namespace Ostrel {

namespace {

size_t collectBody(char* data, size_t size, size_t count, void* user)
{
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

int checkCancel(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const ServerInfo* info = static_cast<const ServerInfo*>(user);
    const bool cancelled = info->cancelFlag || (info->ownerCancelFlag && *info->ownerCancelFlag);
    return cancelled ? 1 : 0;
}

std::string compactJson(const Json::Value& request)
{
    if (request.empty())
        return std::string();
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["commentStyle"] = "None";
    builder["emitUTF8"] = true;
    return Json::writeString(builder, request) + "\n";
}

bool mentionsProxyAuth(const std::string& text)
{
    return text.find("proxy") != std::string::npos &&
           (text.find("407") != std::string::npos || text.find("resolve") != std::string::npos);
}

struct CurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

}  // namespace

int ServerInfo::getData(const std::string& url, Json::Value& request, Json::Value& response, bool noBody)
{
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl)
        return 0;
    CURL* h = curl.get();
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    if (timeout > 0)
        curl_easy_setopt(h, CURLOPT_TIMEOUT, static_cast<long>(timeout));
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);

    std::string credential;
    curl_slist* headers = nullptr;
    headers = curl_slist_append(headers, "User-Agent: ostrel/1.0");
    headers = curl_slist_append(headers, "Content-Type: application/json");
    if (!apiKey.empty())
        headers = curl_slist_append(headers, ("Ostrel-Key: " + apiKey).c_str());
    if (authTokenValue) {
        const AuthTokenValue& token = *authTokenValue;
        if (!token.authToken.empty()) {
            headers = curl_slist_append(headers, ("Authorization: Bearer " + token.authToken).c_str());
            credential = token.authToken;
        } else if (!token.deviceId.empty() && !token.devicePassword.empty()) {
            headers = curl_slist_append(
                headers, ("Authorization: Basic " + toBase64(token.deviceId + ":" + token.devicePassword)).c_str());
            credential = token.deviceId;
        }
    }
    for (const auto& header : extraHeaders)
        headers = curl_slist_append(headers, (header.first + ": " + header.second).c_str());
    std::unique_ptr<curl_slist, SlistDeleter> headerList(headers);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);

    if (taskTime != 0)
        request["task_time"] = Json::Value(static_cast<Json::UInt64>(taskTime));
    const std::string body = compactJson(request);
    if (!noBody) {
        curl_easy_setopt(h, CURLOPT_POST, 1L);
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.c_str());
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    }

    std::string text;
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, collectBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &text);
    cancelFlag = false;
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, checkCancel);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    char errorText[CURL_ERROR_SIZE] = {0};
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText);

    debugLog(format("[REQ] %1% [%3%] => %2%\n", url, body, credential));

    const CURLcode code = curl_easy_perform(h);
    lastCurlCode = static_cast<int>(code);
    if (code != CURLE_OK) {
        // A proxy refusing a tunnel is a failure, not a status: the CONNECT answer code tells it too.
        long connectCode = 0;
        curl_easy_getinfo(h, CURLINFO_HTTP_CONNECTCODE, &connectCode);
        const std::string detail = std::string(errorText) + " " + curl_easy_strerror(code);
        if (connectCode == 407 || code == CURLE_COULDNT_RESOLVE_PROXY || mentionsProxyAuth(detail)) {
            debugLog("proxy auth required\n");
            return -3;
        }
        debugLog(format("server failed: %1%\n", curl_easy_strerror(code)));
        return -1;
    }

    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    debugLog(format("[RES] %1% (%3%) => %2%\n", url, text, status));
    if (status >= 200 && status <= 299 && !text.empty()) {
        Json::CharReaderBuilder builder;
        std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        Json::Value parsed;
        std::string errors;
        if (!reader->parse(text.data(), text.data() + text.size(), &parsed, &errors))
            return -2;
        response = std::move(parsed);
    }
    if (status == 407)
        return -3;
    return static_cast<int>(status);
}

}  // namespace Ostrel
