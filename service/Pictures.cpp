#include "service/Pictures.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace Service {

namespace {

bool cleanName(const std::string& s)
{
    if (s.empty() || s.size() > 64)
        return false;
    for (char ch : s)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            return false;
    return true;
}

bool writeFile(const std::string& path, const std::string& bytes)
{
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    const std::string temp = path + ".part";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !ok)
        return false;
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

}  // namespace

Response Pictures::put(const Request& request)
{
    const std::string prefix = "/picture/v1/upload/";
    const std::string rest = request.path.substr(prefix.size());
    const size_t slash = rest.find('/');
    const std::string kind = rest.substr(0, slash);
    const std::string token = slash == std::string::npos ? "" : rest.substr(slash + 1);
    if (!cleanName(token))
        return Response::empty(404);
    const std::string dir = ctx_.options.dataDir + "/pictures/";
    if (kind == "device") {
        const auto rows = ctx_.store.query("SELECT device_id FROM devices WHERE picture_token=?", {token});
        if (rows.empty())
            return Response::empty(404);
        if (!writeFile(dir + "device/" + rows[0][0].str() + ".jpg", request.body))
            return errorAnswer(507, "cannot store");
        ctx_.store.exec("UPDATE devices SET picture=picture+1 WHERE device_id=?", {rows[0][0].str()});
        return jsonAnswer(200, Json::Value(Json::objectValue));
    }
    if (kind == "key") {
        const auto rows =
            ctx_.store.query("SELECT key FROM keys WHERE thumb_token=? AND expires>?", {token, ServiceContext::now()});
        if (rows.empty())
            return Response::empty(404);
        if (!writeFile(dir + "key/" + token + ".jpg", request.body))
            return errorAnswer(507, "cannot store");
        ctx_.store.exec("UPDATE keys SET has_thumb=1 WHERE key=?", {rows[0][0].str()});
        return jsonAnswer(200, Json::Value(Json::objectValue));
    }
    return Response::empty(404);
}

Response Pictures::get(const Request& request)
{
    const std::string rest = request.path.substr(std::string("/picture/v1/").size());
    const size_t slash = rest.find('/');
    if (slash == std::string::npos)
        return Response::empty(404);
    const std::string kind = rest.substr(0, slash);
    std::string name = rest.substr(slash + 1);
    if ((kind != "device" && kind != "key") || name.size() < 5 || name.compare(name.size() - 4, 4, ".jpg") != 0)
        return Response::empty(404);
    name.resize(name.size() - 4);
    if (!cleanName(name))
        return Response::empty(404);
    const std::string path = ctx_.options.dataDir + "/pictures/" + kind + "/" + name + ".jpg";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        if (fd >= 0)
            ::close(fd);
        return Response::empty(404);
    }
    Response r;
    r.contentType = "image/jpeg";
    r.fd = fd;
    r.fdLength = static_cast<uint64_t>(st.st_size);
    return r;
}

}  // namespace Service
