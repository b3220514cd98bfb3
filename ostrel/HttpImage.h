#pragma once

#include <string>
#include <vector>

namespace Ostrel {

// Reads the whole file into `bytes` (resized to the file size); false and `bytes` untouched when the
// file cannot be read.
bool loadImage(const std::wstring& path, std::vector<unsigned char>& bytes);
// PUT of the bytes as "image/jpeg", redirects followed, no authentication; true only on status 200.
bool uploadImage(const std::string& url, const std::vector<unsigned char>& bytes);
// GET appending the body to `bytes`; on any status but 200 `bytes` is emptied and false returned.
bool downloadImage(const std::string& url, std::vector<unsigned char>& bytes);

}  // namespace Ostrel
