#include "updater/signature.h"

#include <sodium.h>

#include <algorithm>
#include <cstring>

namespace zentrel {

namespace {

bool Ready() { return sodium_init() >= 0; }

std::string_view Trim(std::string_view text) {
  constexpr std::string_view kSpace = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

template <std::size_t N>
std::optional<std::array<unsigned char, N>> ParseKey(std::string_view hex) {
  const std::optional<std::string> bytes = FromHex(hex, N);
  if (!bytes) return std::nullopt;
  std::array<unsigned char, N> key{};
  std::memcpy(key.data(), bytes->data(), N);
  return key;
}

}  // namespace

std::string ToHex(std::string_view bytes) {
  std::string hex(bytes.size() * 2 + 1, '\0');
  sodium_bin2hex(hex.data(), hex.size(), reinterpret_cast<const unsigned char*>(bytes.data()),
                 bytes.size());
  hex.pop_back();
  return hex;
}

std::optional<std::string> FromHex(std::string_view hex, std::size_t bytes) {
  hex = Trim(hex);
  if (hex.size() != bytes * 2 || !std::all_of(hex.begin(), hex.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
      }))
    return std::nullopt;
  std::string out(bytes, '\0');
  std::size_t written = 0;
  if (sodium_hex2bin(reinterpret_cast<unsigned char*>(out.data()), out.size(), hex.data(),
                     hex.size(), nullptr, &written, nullptr) != 0 ||
      written != bytes)
    return std::nullopt;
  return out;
}

std::optional<PublicKey> ParsePublicKey(std::string_view hex) {
  return ParseKey<crypto_sign_PUBLICKEYBYTES>(hex);
}

std::optional<SecretKey> ParseSecretKey(std::string_view hex) {
  return ParseKey<crypto_sign_SECRETKEYBYTES>(hex);
}

std::optional<KeyPair> GenerateKeyPair() {
  if (!Ready()) return std::nullopt;
  KeyPair pair{};
  if (crypto_sign_keypair(pair.publicKey.data(), pair.secretKey.data()) != 0) return std::nullopt;
  return pair;
}

PublicKey PublicKeyOf(const SecretKey& secretKey) {
  PublicKey key{};
  crypto_sign_ed25519_sk_to_pk(key.data(), secretKey.data());
  return key;
}

std::optional<std::string> Sign(std::string_view message, const SecretKey& secretKey) {
  if (!Ready()) return std::nullopt;
  std::string signature(crypto_sign_BYTES, '\0');
  if (crypto_sign_detached(reinterpret_cast<unsigned char*>(signature.data()), nullptr,
                           reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                           secretKey.data()) != 0)
    return std::nullopt;
  return signature;
}

bool VerifySignature(std::string_view message, std::string_view signature,
                     const PublicKey& publicKey) {
  static_assert(kSignatureBytes == crypto_sign_BYTES);
  if (!Ready() || signature.size() != crypto_sign_BYTES) return false;
  return crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(signature.data()),
                                     reinterpret_cast<const unsigned char*>(message.data()),
                                     message.size(), publicKey.data()) == 0;
}

}  // namespace zentrel
