#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace orvane::server {

// Signs the files the update folder offers with the publisher's Ed25519 secret key, so the
// updater installs only what this key signed. Each signature is the raw 64-byte detached
// signature of the whole file, made when it is asked for and kept while the file is unchanged.
class UpdateSigner {
 public:
  static constexpr std::size_t kSignatureBytes = 64;
  // Pure Ed25519 needs the whole message in memory; a larger file is not offered for signing.
  static constexpr std::uintmax_t kMaxSignedBytes = std::uintmax_t{1} << 30;

  ~UpdateSigner();
  UpdateSigner(const UpdateSigner&) = delete;
  UpdateSigner& operator=(const UpdateSigner&) = delete;

  // The key file holds the 64-byte libsodium secret key as 128 hex digits (white space around
  // it ignored). Null with a reason in error when the file is unreadable or not such a key.
  static std::unique_ptr<UpdateSigner> Load(const std::filesystem::path& keyFile,
                                            std::string& error);
  // The same from the hex text itself.
  static std::unique_ptr<UpdateSigner> FromHex(std::string_view hex, std::string& error);

  std::string PublicKeyHex() const;
  // The signature of the file's current content; nothing when it cannot be read whole.
  std::optional<std::string> SignFile(const std::filesystem::path& file) const;

 private:
  UpdateSigner() = default;

  struct Stamp {
    std::uintmax_t size = 0;
    std::filesystem::file_time_type written;
    bool operator==(const Stamp&) const = default;
  };
  struct CachedSignature {
    Stamp stamp;
    std::string signature;
  };

  std::array<unsigned char, 64> secretKey_{};
  std::array<unsigned char, 32> publicKey_{};
  // One signing at a time bounds the memory a burst of requests can take.
  mutable std::mutex mutex_;
  mutable std::map<std::filesystem::path, CachedSignature> cache_;
};

}  // namespace orvane::server
