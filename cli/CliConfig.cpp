#include "CliConfig.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include <boost/filesystem.hpp>

#include "ostrel/AuthTokenValue.h"

namespace {

std::string trim(const std::string& s)
{
    const size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos)
        return std::string();
    const size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

const char* const kCredentialKeys[] = {"device_id", "device_password", "user_id", "user_password"};

}  // namespace

CliConfig::CliConfig(const std::string& dataDir) : dataDir_(dataDir) {}

std::string CliConfig::resolveDataDir(const std::string& flag)
{
    if (!flag.empty())
        return flag;
    if (const char* env = std::getenv("TROVANTI_DATA_DIR"))
        if (*env)
            return env;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"))
        if (*xdg)
            return std::string(xdg) + "/trovanti-cli";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/share/trovanti-cli";
}

std::string CliConfig::get(const std::string& section, const std::string& key) const
{
    auto s = sections_.find(section);
    if (s == sections_.end())
        return std::string();
    auto k = s->second.find(key);
    return k == s->second.end() ? std::string() : k->second;
}

void CliConfig::set(const std::string& section, const std::string& key, const std::string& value)
{
    sections_[section][key] = value;
}

bool CliConfig::load(std::string& error)
{
    boost::system::error_code ec;
    boost::filesystem::create_directories(dataDir_, ec);
    if (ec || !boost::filesystem::is_directory(dataDir_)) {
        error = "cannot create the data directory " + dataDir_ + ": " + (ec ? ec.message() : "not a directory");
        return false;
    }
    std::ifstream in(filePath());
    if (!in) {
        if (errno == ENOENT || !boost::filesystem::exists(filePath()))
            return true;
        error = "cannot read " + filePath() + ": " + std::strerror(errno);
        return false;
    }
    std::string line;
    std::string section;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == '#' || line[0] == ';')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            section = trim(line.substr(1, line.size() - 2));
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        sections_[section][trim(line.substr(0, eq))] = trim(line.substr(eq + 1));
    }
    return true;
}

bool CliConfig::save(std::string& error) const
{
    std::ostringstream text;
    text << "# trovanti-cli settings and device credentials; keep this file private.\n";
    for (const auto& s : sections_) {
        text << "[" << s.first << "]\n";
        for (const auto& kv : s.second)
            text << kv.first << "=" << kv.second << "\n";
    }
    const std::string tmp = filePath() + ".tmp" + std::to_string(::getpid());
    const mode_t old = ::umask(077);
    FILE* f = std::fopen(tmp.c_str(), "w");
    ::umask(old);
    if (!f) {
        error = "cannot write " + tmp + ": " + std::strerror(errno);
        return false;
    }
    const std::string body = text.str();
    const bool written = std::fwrite(body.data(), 1, body.size(), f) == body.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed || std::rename(tmp.c_str(), filePath().c_str()) != 0) {
        error = "cannot write " + filePath() + ": " + std::strerror(errno);
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

void CliConfig::loadCredentials(Ostrel::AuthTokenValue& token) const
{
    token.deviceId = get("device", "device_id");
    token.devicePassword = get("device", "device_password");
    token.userId = get("device", "user_id");
    token.userPassword = get("device", "user_password");
}

bool CliConfig::storeCredentials(const Ostrel::AuthTokenValue& token, std::string& error)
{
    const std::string values[] = {token.deviceId, token.devicePassword, token.userId, token.userPassword};
    bool changed = false;
    for (size_t i = 0; i < 4; ++i) {
        if (get("device", kCredentialKeys[i]) != values[i]) {
            set("device", kCredentialKeys[i], values[i]);
            changed = true;
        }
    }
    return !changed || save(error);
}
