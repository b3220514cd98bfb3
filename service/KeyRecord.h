#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "service/Store.h"

namespace Service {

// A transfer key as stored: its files, route, lifetime and the secrets behind its URLs.
struct KeyRecord {
    struct File {
        std::string name;
        uint64_t size = 0;
    };

    std::string key;
    std::string owner;  // device id of the sender
    std::string mode;   // "direct", "upload", "hybrid" or "link_sharing"
    std::vector<File> files;
    int64_t created = 0;
    int64_t expires = 0;
    std::string linkToken;
    std::string relayToken;
    bool finished = false;  // a direct transfer completed; the key cannot be used again
    int64_t downloads = 0;
    std::string thumbToken;
    bool hasThumb = false;

    bool usesRelay() const { return mode == "upload" || mode == "hybrid"; }
    uint64_t totalSize() const;

    // Loads a key that is still usable (not expired); false when there is none.
    static bool loadLive(Store& store, const std::string& key, int64_t now, KeyRecord& out);
    static bool loadByColumn(Store& store, const std::string& column, const std::string& value, int64_t now,
                             KeyRecord& out);
    static std::string filesToJson(const std::vector<File>& files);
};

// Keys are typed by people: blanks are dropped and letters (partner keys) upper-cased.
std::string canonicalKey(const std::string& typed);

}  // namespace Service
