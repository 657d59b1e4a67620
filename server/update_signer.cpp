#include "server/update_signer.h"

#include <sodium.h>

#include <fstream>

namespace orvane::server {

namespace fs = std::filesystem;

namespace {

std::optional<std::uintmax_t> RegularFileSize(const fs::path& file, fs::file_time_type& written) {
  std::error_code ec;
  if (!fs::is_regular_file(file, ec) || ec) return std::nullopt;
  const std::uintmax_t size = fs::file_size(file, ec);
  if (ec) return std::nullopt;
  written = fs::last_write_time(file, ec);
  if (ec) return std::nullopt;
  return size;
}

std::string_view Trim(std::string_view text) {
  constexpr std::string_view kSpace = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

}  // namespace

UpdateSigner::~UpdateSigner() { sodium_memzero(secretKey_.data(), secretKey_.size()); }

std::unique_ptr<UpdateSigner> UpdateSigner::Load(const fs::path& keyFile, std::string& error) {
  std::ifstream in(keyFile, std::ios::binary);
  // A key file is short; reading a bounded prefix keeps a wrong path from filling memory.
  std::string text(256, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (in.bad() || in.gcount() <= 0) {
    error = "cannot read the update key '" + keyFile.string() + "'";
    return nullptr;
  }
  text.resize(static_cast<std::size_t>(in.gcount()));
  std::unique_ptr<UpdateSigner> signer = FromHex(text, error);
  sodium_memzero(text.data(), text.size());
  if (!signer) error = "update key '" + keyFile.string() + "': " + error;
  return signer;
}

std::unique_ptr<UpdateSigner> UpdateSigner::FromHex(std::string_view hex, std::string& error) {
  if (sodium_init() < 0) {
    error = "libsodium cannot start";
    return nullptr;
  }
  hex = Trim(hex);
  std::unique_ptr<UpdateSigner> signer(new UpdateSigner);
  std::size_t written = 0;
  const char* end = nullptr;
  if (hex.size() != 2 * signer->secretKey_.size() ||
      sodium_hex2bin(signer->secretKey_.data(), signer->secretKey_.size(), hex.data(), hex.size(),
                     nullptr, &written, &end) != 0 ||
      written != signer->secretKey_.size() || end != hex.data() + hex.size()) {
    error = "not a secret key of 128 hex digits";
    return nullptr;
  }
  // The key's second half is its public key; a key whose halves disagree signs nothing useful.
  std::array<unsigned char, 32> seed{};
  std::array<unsigned char, 64> rebuilt{};
  crypto_sign_ed25519_sk_to_seed(seed.data(), signer->secretKey_.data());
  crypto_sign_seed_keypair(signer->publicKey_.data(), rebuilt.data(), seed.data());
  const bool consistent = sodium_memcmp(rebuilt.data(), signer->secretKey_.data(), 64) == 0;
  sodium_memzero(seed.data(), seed.size());
  sodium_memzero(rebuilt.data(), rebuilt.size());
  if (!consistent) {
    error = "the key's public half does not belong to its secret half";
    return nullptr;
  }
  return signer;
}

std::string UpdateSigner::PublicKeyHex() const {
  std::string hex(publicKey_.size() * 2 + 1, '\0');
  sodium_bin2hex(hex.data(), hex.size(), publicKey_.data(), publicKey_.size());
  hex.pop_back();
  return hex;
}

std::optional<std::string> UpdateSigner::SignFile(const fs::path& file) const {
  std::lock_guard lock(mutex_);
  Stamp before;
  const std::optional<std::uintmax_t> size = RegularFileSize(file, before.written);
  if (!size || *size > kMaxSignedBytes) return std::nullopt;
  before.size = *size;
  if (const auto hit = cache_.find(file); hit != cache_.end() && hit->second.stamp == before) {
    return hit->second.signature;
  }

  std::ifstream in(file, std::ios::binary);
  std::string content(static_cast<std::size_t>(before.size), '\0');
  in.read(content.data(), static_cast<std::streamsize>(content.size()));
  if (!in || in.peek() != std::char_traits<char>::eof()) return std::nullopt;
  std::string signature(kSignatureBytes, '\0');
  if (crypto_sign_detached(reinterpret_cast<unsigned char*>(signature.data()), nullptr,
                           reinterpret_cast<const unsigned char*>(content.data()), content.size(),
                           secretKey_.data()) != 0) {
    return std::nullopt;
  }
  // A file rewritten while it was read is signed again on the next request.
  Stamp after;
  const std::optional<std::uintmax_t> sizeAfter = RegularFileSize(file, after.written);
  if (sizeAfter == before.size && after.written == before.written) {
    cache_[file] = {before, signature};
  } else {
    cache_.erase(file);
  }
  return signature;
}

}  // namespace orvane::server
