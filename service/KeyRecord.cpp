#include "service/KeyRecord.h"

#include <cctype>
#include <sstream>

#include "service/Json.h"

namespace Service {

uint64_t KeyRecord::totalSize() const
{
    uint64_t total = 0;
    for (const auto& f : files)
        total += f.size;
    return total;
}

std::string KeyRecord::filesToJson(const std::vector<File>& files)
{
    Json::Value list(Json::arrayValue);
    for (const auto& f : files) {
        Json::Value e(Json::objectValue);
        e["name"] = f.name;
        e["size"] = Json::UInt64(f.size);
        list.append(e);
    }
    return JsonIo::write(list);
}

bool KeyRecord::loadByColumn(Store& store, const std::string& column, const std::string& value, int64_t now,
                             KeyRecord& out)
{
    const auto rows = store.query("SELECT key, owner, mode, files, created, expires, link_token, relay_token, "
                                  "finished, downloads, thumb_token, has_thumb FROM keys WHERE " +
                                      column + "=? AND expires>?",
                                  {value, now});
    if (rows.empty())
        return false;
    const Row& r = rows[0];
    out = KeyRecord();
    out.key = r[0].str();
    out.owner = r[1].str();
    out.mode = r[2].str();
    Json::Value files;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::istringstream in(r[3].str());
    if (Json::parseFromStream(builder, in, &files, &errors) && files.isArray())
        for (const auto& f : files)
            out.files.push_back({f["name"].asString(), f["size"].asUInt64()});
    out.created = r[4].asInt();
    out.expires = r[5].asInt();
    out.linkToken = r[6].str();
    out.relayToken = r[7].str();
    out.finished = r[8].asInt() != 0;
    out.downloads = r[9].asInt();
    out.thumbToken = r[10].str();
    out.hasThumb = r[11].asInt() != 0;
    return true;
}

bool KeyRecord::loadLive(Store& store, const std::string& key, int64_t now, KeyRecord& out)
{
    return loadByColumn(store, "key", key, now, out);
}

std::string canonicalKey(const std::string& typed)
{
    std::string out;
    for (unsigned char ch : typed) {
        if (std::isspace(ch) || ch == '-')
            continue;
        out += static_cast<char>(std::toupper(ch));
    }
    return out.size() > 64 ? std::string() : out;
}

}  // namespace Service
