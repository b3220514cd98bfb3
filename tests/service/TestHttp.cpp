#include "TestHttp.h"

#include <curl/curl.h>

#include <memory>
#include <stdexcept>

namespace TestHttp {

namespace {

struct Transfer {
    Result result;
    std::function<void(const char*, size_t)> consume;
    std::function<size_t(char*, size_t)> produce;
};

size_t onBody(char* data, size_t size, size_t n, void* user)
{
    auto* t = static_cast<Transfer*>(user);
    if (t->consume)
        t->consume(data, size * n);
    else
        t->result.body.append(data, size * n);
    return size * n;
}

size_t onHeader(char* data, size_t size, size_t n, void* user)
{
    auto* t = static_cast<Transfer*>(user);
    std::string line(data, size * n);
    const size_t colon = line.find(':');
    if (colon != std::string::npos) {
        std::string name = line.substr(0, colon);
        for (auto& ch : name)
            ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        std::string value = line.substr(colon + 1);
        while (!value.empty() && (value.front() == ' '))
            value.erase(0, 1);
        while (!value.empty() && (value.back() == '\r' || value.back() == '\n'))
            value.pop_back();
        t->result.headers[name] = value;
    }
    return size * n;
}

size_t onRead(char* buffer, size_t size, size_t n, void* user)
{
    return static_cast<Transfer*>(user)->produce(buffer, size * n);
}

Result perform(const std::string& method, const std::string& url, const std::string* body, Transfer& t,
               const Headers& headers, long timeoutSeconds, int64_t streamLength)
{
    CURL* curl = curl_easy_init();
    if (!curl)
        throw std::runtime_error("curl_easy_init failed");
    curl_slist* list = nullptr;
    for (const auto& h : headers)
        list = curl_slist_append(list, h.c_str());
    list = curl_slist_append(list, "Expect:");
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, timeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &t);
    if (streamLength >= 0) {
        curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(curl, CURLOPT_READFUNCTION, &onRead);
        curl_easy_setopt(curl, CURLOPT_READDATA, &t);
        curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(streamLength));
    } else if (method == "GET") {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    } else {
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method.c_str());
        if (body) {
            curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body->data());
            curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
        }
    }
    if (curl_easy_perform(curl) == CURLE_OK)
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &t.result.status);
    curl_slist_free_all(list);
    curl_easy_cleanup(curl);
    return t.result;
}

}  // namespace

Json::Value parse(const std::string& text)
{
    Json::Value v;
    Json::CharReaderBuilder b;
    std::unique_ptr<Json::CharReader> r(b.newCharReader());
    std::string errors;
    if (!r->parse(text.data(), text.data() + text.size(), &v, &errors))
        return Json::Value();
    return v;
}

Json::Value Result::json() const { return parse(body); }

Result request(const std::string& method, const std::string& url, const std::string& body, const Headers& headers,
               long timeoutSeconds)
{
    Transfer t;
    return perform(method, url, method == "GET" ? nullptr : &body, t, headers, timeoutSeconds, -1);
}

Result putStream(const std::string& url, uint64_t length, const std::function<size_t(char*, size_t)>& produce,
                 const Headers& headers)
{
    Transfer t;
    t.produce = produce;
    return perform("PUT", url, nullptr, t, headers, 300, static_cast<int64_t>(length));
}

Result getStream(const std::string& url, const std::function<void(const char*, size_t)>& consume,
                 const Headers& headers)
{
    Transfer t;
    t.consume = consume;
    return perform("GET", url, nullptr, t, headers, 300, -1);
}

std::string basic(const std::string& id, const std::string& password)
{
    static const char* k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::string in = id + ":" + password;
    std::string out;
    unsigned v = 0;
    int bits = 0;
    for (unsigned char c : in) {
        v = (v << 8) | c;
        bits += 8;
        while (bits >= 6) {
            bits -= 6;
            out += k[(v >> bits) & 63];
        }
    }
    if (bits > 0)
        out += k[(v << (6 - bits)) & 63];
    return "Authorization: Basic " + out;  // no "=" padding, as the client sends it
}

static std::string compact(const Json::Value& v)
{
    Json::StreamWriterBuilder b;
    b["indentation"] = "";
    return Json::writeString(b, v);
}

Result Client::api(const std::string& path, const Json::Value& body, const std::string& token,
                   long timeoutSeconds) const
{
    Headers h = {"Content-Type: application/json", "Ostrel-Key: " + service_.apiKey()};
    if (!token.empty())
        h.push_back("Authorization: Bearer " + token);
    return request("POST", service_.apiUrl() + path, body.isNull() ? "" : compact(body), h, timeoutSeconds);
}

Result Client::apiBasic(const std::string& path, const Json::Value& body, const Device& d) const
{
    Headers h = {"Content-Type: application/json", "Ostrel-Key: " + service_.apiKey(), basic(d.id, d.password)};
    return request("POST", service_.apiUrl() + path, compact(body), h);
}

Result Client::session(const std::string& server, bool send, const Json::Value& body, const Device& d,
                       long timeoutSeconds) const
{
    Headers h = {"Content-Type: application/json", basic(d.id, d.password)};
    return request("POST", server + (send ? "send" : "recv"), compact(body), h, timeoutSeconds);
}

Result Client::push(const std::string& what, const std::string& token, long timeoutSeconds) const
{
    return request("POST", service_.pushUrl() + what, "", {"Authorization: Bearer " + token}, timeoutSeconds);
}

Device Client::newDevice(const std::string& name) const
{
    Json::Value body;
    body["profile_name"] = name;
    body["os_type"] = "linux";
    const Result created = api("device/create", body, "");
    if (created.status != 200)
        throw std::runtime_error("device/create failed: " + std::to_string(created.status));
    Device d;
    d.id = created.json()["device_id"].asString();
    d.password = created.json()["password"].asString();
    Json::Value login;
    login["device_uid"] = "uid-" + name;
    const Result auth = apiBasic("auth/device", login, d);
    if (auth.status != 200)
        throw std::runtime_error("auth/device failed: " + std::to_string(auth.status));
    d.token = auth.json()["access_token"].asString();
    return d;
}

}  // namespace TestHttp
