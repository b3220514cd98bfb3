#pragma once

#include <map>
#include <string>

namespace Ostrel {
struct AuthTokenValue;
}

// The small INI file "cli.ini" in the data directory: [settings] (api_url, push_url, api_key,
// profile_name, peer_port) and [device] (device_id, device_password, user_id, user_password).
// It holds secrets, so it is written with mode 0600, through a temporary file and a rename.
class CliConfig {
public:
    explicit CliConfig(const std::string& dataDir);

    // Empty string when the key is absent.
    std::string get(const std::string& section, const std::string& key) const;
    void set(const std::string& section, const std::string& key, const std::string& value);

    // Creates the data directory if needed, then reads the file; a missing file is an empty config.
    // False (with a reason) when the directory cannot be created or the file cannot be read.
    bool load(std::string& error);
    bool save(std::string& error) const;

    void loadCredentials(Ostrel::AuthTokenValue& token) const;
    // Copies the credential fields in and saves when any changed; true when nothing failed.
    bool storeCredentials(const Ostrel::AuthTokenValue& token, std::string& error);

    const std::string& dataDir() const { return dataDir_; }
    std::string filePath() const { return dataDir_ + "/cli.ini"; }

    // --data-dir, else TROVANTI_DATA_DIR, else $XDG_DATA_HOME/trovanti-cli, else ~/.local/share/trovanti-cli.
    static std::string resolveDataDir(const std::string& flag);

private:
    std::string dataDir_;
    std::map<std::string, std::map<std::string, std::string>> sections_;
};
