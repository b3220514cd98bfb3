#pragma once

#include <string>

namespace Service {
namespace Crypto {

std::string randomHex(size_t bytes);
// A uniformly drawn decimal string of the given length (leading zeros allowed).
std::string randomDigits(size_t length);
// Salted PBKDF2-SHA256, hex encoded.
std::string hashSecret(const std::string& salt, const std::string& secret);
bool verifySecret(const std::string& salt, const std::string& hash, const std::string& secret);
// Base64 decoding that accepts missing "=" padding (the client leaves it out).
bool fromBase64(const std::string& text, std::string& bytes);
std::string toBase64(const std::string& bytes);
bool constantTimeEquals(const std::string& a, const std::string& b);

}  // namespace Crypto
}  // namespace Service
