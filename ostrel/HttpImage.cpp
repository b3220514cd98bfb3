#include "ostrel/HttpImage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

#include <curl/curl.h>
#include <sys/stat.h>

#include "ostrel/LogFunc.h"
#include "ostrel/StringUtil.h"

namespace Ostrel {

namespace {

struct CurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

struct UploadSource {
    const std::vector<unsigned char>* bytes;
    std::size_t offset;
};

size_t readUpload(char* buffer, size_t size, size_t count, void* user)
{
    UploadSource* source = static_cast<UploadSource*>(user);
    const std::size_t left = source->bytes->size() - source->offset;
    const std::size_t n = std::min(left, size * count);
    if (n > 0)
        std::memcpy(buffer, source->bytes->data() + source->offset, n);
    source->offset += n;
    return n;
}

// Lets libcurl rewind the body when a redirect makes it send the PUT again.
int seekUpload(void* user, curl_off_t offset, int origin)
{
    UploadSource* source = static_cast<UploadSource*>(user);
    if (origin != SEEK_SET || offset < 0 || static_cast<std::size_t>(offset) > source->bytes->size())
        return CURL_SEEKFUNC_CANTSEEK;
    source->offset = static_cast<std::size_t>(offset);
    return CURL_SEEKFUNC_OK;
}

size_t appendBody(char* data, size_t size, size_t count, void* user)
{
    auto* bytes = static_cast<std::vector<unsigned char>*>(user);
    bytes->insert(bytes->end(), data, data + size * count);
    return size * count;
}

}  // namespace

bool loadImage(const std::wstring& path, std::vector<unsigned char>& bytes)
{
    const std::string name = toUtf8(path);
    struct stat info;
    if (::stat(name.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    std::ifstream in(name, std::ios::binary);
    if (!in)
        return false;
    std::vector<unsigned char> data(static_cast<std::size_t>(info.st_size));
    if (!data.empty() && !in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size())))
        return false;
    bytes.swap(data);
    return true;
}

bool uploadImage(const std::string& url, const std::vector<unsigned char>& bytes)
{
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl)
        return false;
    CURL* h = curl.get();
    UploadSource source{&bytes, 0};
    // The empty "Expect:" keeps libcurl from waiting for a 100-continue before the body.
    std::unique_ptr<curl_slist, SlistDeleter> headers(
        curl_slist_append(curl_slist_append(nullptr, "Content-Type: image/jpeg"), "Expect:"));
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(h, CURLOPT_READFUNCTION, readUpload);
    curl_easy_setopt(h, CURLOPT_READDATA, &source);
    curl_easy_setopt(h, CURLOPT_SEEKFUNCTION, seekUpload);
    curl_easy_setopt(h, CURLOPT_SEEKDATA, &source);
    curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(bytes.size()));
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    const CURLcode code = curl_easy_perform(h);
    if (code != CURLE_OK) {
        debugLog(format("upload picture failed: %1%\n", curl_easy_strerror(code)));
        return false;
    }
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    return status == 200;
}

bool downloadImage(const std::string& url, std::vector<unsigned char>& bytes)
{
    long status = 0;
    if (CURL* h = curl_easy_init()) {
        std::unique_ptr<CURL, CurlDeleter> curl(h);
        curl_easy_setopt(h, CURLOPT_URL, url.c_str());
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, appendBody);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, &bytes);
        curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        const CURLcode code = curl_easy_perform(h);
        if (code != CURLE_OK)
            debugLog(format("download picture failed: %1%\n", curl_easy_strerror(code)));
        curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    }
    debugLog(format("responseCode: %1%\n", status));
    if (status == 200)
        return true;
    bytes.clear();
    return false;
}

}  // namespace Ostrel
