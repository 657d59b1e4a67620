// Detached Ed25519 signatures over update files (libsodium).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace zentrel {

using PublicKey = std::array<unsigned char, 32>;
using SecretKey = std::array<unsigned char, 64>;
inline constexpr std::size_t kSignatureBytes = 64;

std::string ToHex(std::string_view bytes);
// Exactly 2 * N hex digits, surrounding white space ignored.
std::optional<std::string> FromHex(std::string_view hex, std::size_t bytes);
std::optional<PublicKey> ParsePublicKey(std::string_view hex);
std::optional<SecretKey> ParseSecretKey(std::string_view hex);

struct KeyPair {
  PublicKey publicKey;
  SecretKey secretKey;
};
std::optional<KeyPair> GenerateKeyPair();
PublicKey PublicKeyOf(const SecretKey& secretKey);

// The raw 64-byte detached signature of `message`.
std::optional<std::string> Sign(std::string_view message, const SecretKey& secretKey);
// False unless `signature` is exactly 64 bytes and verifies under `publicKey`.
bool VerifySignature(std::string_view message, std::string_view signature,
                     const PublicKey& publicKey);

}  // namespace zentrel
