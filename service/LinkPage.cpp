#include "service/LinkPage.h"

#include <cstdio>
#include <ctime>

namespace Service {
namespace LinkPage {

namespace {

std::string humanSize(uint64_t bytes)
{
    const char* units[] = {"B", "KB", "MB", "GB", "TB"};
    double v = static_cast<double>(bytes);
    int u = 0;
    while (v >= 1024 && u < 4) {
        v /= 1024;
        ++u;
    }
    char text[32];
    std::snprintf(text, sizeof text, u == 0 ? "%.0f %s" : "%.1f %s", v, units[u]);
    return text;
}

const char* kHead =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><meta name=\"viewport\" content=\"width=device-width\">"
    "<title>Trovanti</title><style>body{font-family:sans-serif;max-width:40em;margin:2em auto;padding:0 1em}"
    "li{margin:.4em 0}.size{color:#666}</style></head><body>";

}  // namespace

std::string htmlEscape(const std::string& text)
{
    std::string out;
    for (char ch : text) {
        switch (ch) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += ch;
        }
    }
    return out;
}

std::string percentEncode(const std::string& text)
{
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char ch : text) {
        if (std::isalnum(ch) || ch == '-' || ch == '.' || ch == '_' || ch == '~') {
            out += static_cast<char>(ch);
        } else {
            out += '%';
            out += hex[ch >> 4];
            out += hex[ch & 15];
        }
    }
    return out;
}

std::string render(const KeyRecord& key, bool downloadable)
{
    std::string html = kHead;
    html += "<h1>Files shared with Trovanti</h1>";
    html += "<p>Key <b>" + htmlEscape(key.key) + "</b> &middot; " + std::to_string(key.files.size()) + " file(s), " +
            humanSize(key.totalSize());
    char when[64] = "";
    const std::time_t expires = static_cast<std::time_t>(key.expires);
    std::tm tm{};
    gmtime_r(&expires, &tm);
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M UTC", &tm);
    html += " &middot; available until " + std::string(when) + "</p>";
    if (!key.usesRelay())
        html += "<p>These files go straight from the sender's device. Enter the key in Trovanti to receive them.</p>";
    else if (!downloadable)
        html += "<p>The sender is still uploading. Reload this page in a moment.</p>";
    html += "<ul>";
    for (size_t i = 0; i < key.files.size(); ++i) {
        const std::string& name = key.files[i].name;
        html += "<li>";
        if (downloadable) {
            std::string base = name.substr(name.rfind('/') == std::string::npos ? 0 : name.rfind('/') + 1);
            html += "<a href=\"/link/" + key.linkToken + "/" + std::to_string(i) + "/" + percentEncode(base) +
                    "\">" + htmlEscape(name) + "</a>";
        } else {
            html += htmlEscape(name);
        }
        html += " <span class=\"size\">" + humanSize(key.files[i].size) + "</span></li>";
    }
    html += "</ul><p class=\"size\">Downloaded " + std::to_string(key.downloads) + " time(s).</p></body></html>";
    return html;
}

std::string missing()
{
    return std::string(kHead) + "<h1>Link not found</h1><p>This link has expired or never existed.</p></body></html>";
}

}  // namespace LinkPage
}  // namespace Service
