// zentrel-sign: the publisher's tool, run on the publisher's machine with the secret key.
//   zentrel-sign keygen KEYFILE         writes a new secret key (hex), prints its public key
//   zentrel-sign pubkey KEYFILE         prints the public key (hex) of a secret key file
//   zentrel-sign publish KEYFILE FILE VERSION [RELEASE]
//       writes FILE.manifest (program name = FILE's name, VERSION, RELEASE, length, SHA-256)
//       and its signature FILE.manifest.sig beside FILE. RELEASE defaults to the current Unix
//       time, and always exceeds the release of a manifest already there.
//   zentrel-sign verify PUBHEX FILE     exit status 0 when FILE matches its signed manifest
#include <sys/stat.h>

#include <charconv>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

#include "updater/manifest.h"
#include "updater/signature.h"

namespace {

namespace fs = std::filesystem;

std::optional<std::string> ReadFile(const fs::path& path, std::size_t limit) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text(limit, '\0');
  in.read(text.data(), static_cast<std::streamsize>(limit));
  if (in.bad()) return std::nullopt;
  text.resize(static_cast<std::size_t>(in.gcount()));
  return text;
}

// Written beside the target and renamed over it, so a reader sees the old file or the new one.
bool WriteFile(const fs::path& path, const std::string& bytes) {
  // Hidden, so that no listing of the update folder ever names it.
  const fs::path temp = path.parent_path() / ("." + path.filename().string() + ".new");
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    if (!out) return false;
  }
  std::error_code ec;
  fs::rename(temp, path, ec);
  return !ec;
}

std::optional<zentrel::SecretKey> LoadSecretKey(const fs::path& path) {
  const std::optional<std::string> text = ReadFile(path, 1024);
  if (!text) return std::nullopt;
  return zentrel::ParseSecretKey(*text);
}

std::string KeyHex(const zentrel::PublicKey& key) {
  return zentrel::ToHex(std::string_view(reinterpret_cast<const char*>(key.data()), key.size()));
}

// The length and SHA-256 of a file, read block by block.
std::optional<zentrel::Manifest> Describe(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  zentrel::Manifest manifest;
  zentrel::Sha256 hash;
  char buffer[1 << 16];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    hash.Update(buffer, static_cast<std::size_t>(in.gcount()));
    manifest.length += static_cast<std::uint64_t>(in.gcount());
  }
  if (in.bad()) return std::nullopt;
  manifest.sha256 = hash.Final();
  manifest.program = file.filename().string();
  return manifest;
}

fs::path ManifestPath(const fs::path& file) {
  return file.string() + std::string(zentrel::kManifestSuffix);
}

fs::path SignaturePath(const fs::path& file) {
  return ManifestPath(file).string() + std::string(zentrel::kSignatureSuffix);
}

int Publish(const fs::path& keyFile, const fs::path& file, const std::string& version,
            const char* releaseText) {
  const std::optional<zentrel::SecretKey> key = LoadSecretKey(keyFile);
  std::optional<zentrel::Manifest> manifest = Describe(file);
  if (!key || !manifest) {
    std::cerr << "zentrel-sign: cannot read the key or " << file << "\n";
    return 1;
  }
  manifest->version = version;
  manifest->release = static_cast<std::uint64_t>(std::time(nullptr));
  if (releaseText != nullptr) {
    const std::string_view text = releaseText;
    const auto [end, ec] =
        std::from_chars(text.data(), text.data() + text.size(), manifest->release);
    if (ec != std::errc() || end != text.data() + text.size()) return 1;
  }
  const std::optional<std::string> previous =
      ReadFile(ManifestPath(file), zentrel::kMaxManifestBytes + 1);
  const std::optional<zentrel::Manifest> old =
      previous ? zentrel::ParseManifest(*previous) : std::nullopt;
  if (old && old->release >= manifest->release) {
    if (releaseText != nullptr) {
      std::cerr << "zentrel-sign: release " << manifest->release << " does not exceed the "
                << "published release " << old->release << "\n";
      return 1;
    }
    manifest->release = old->release + 1;
  }
  const std::string text = zentrel::FormatManifest(*manifest);
  if (!zentrel::ParseManifest(text)) {
    std::cerr << "zentrel-sign: the name and version must be printable without spaces\n";
    return 1;
  }
  const std::optional<std::string> signature = zentrel::Sign(text, *key);
  // The signature goes last: until it matches, the updater refuses the manifest.
  if (!signature || !WriteFile(ManifestPath(file), text) ||
      !WriteFile(SignaturePath(file), *signature))
    return 1;
  std::cout << text;
  return 0;
}

int Verify(const std::string& publicHex, const fs::path& file) {
  const std::optional<zentrel::PublicKey> key = zentrel::ParsePublicKey(publicHex);
  const std::optional<std::string> text =
      ReadFile(ManifestPath(file), zentrel::kMaxManifestBytes + 1);
  const std::optional<std::string> signature =
      ReadFile(SignaturePath(file), zentrel::kSignatureBytes + 1);
  if (!key || !text || !signature || !zentrel::VerifySignature(*text, *signature, *key)) return 1;
  const std::optional<zentrel::Manifest> manifest = zentrel::ParseManifest(*text);
  const std::optional<zentrel::Manifest> actual = Describe(file);
  return manifest && actual && manifest->program == actual->program &&
                 manifest->length == actual->length && manifest->sha256 == actual->sha256
             ? 0
             : 1;
}

int Usage() {
  std::cerr << "usage: zentrel-sign keygen KEYFILE | pubkey KEYFILE"
               " | publish KEYFILE FILE VERSION [RELEASE] | verify PUBHEX FILE\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string command = argv[1];
  if (command == "keygen" && argc == 3) {
    const std::optional<zentrel::KeyPair> pair = zentrel::GenerateKeyPair();
    if (!pair) return 1;
    const mode_t old = umask(077);  // the secret key is for its owner only
    const bool ok =
        WriteFile(argv[2], zentrel::ToHex(std::string_view(
                               reinterpret_cast<const char*>(pair->secretKey.data()), 64)) +
                               "\n");
    umask(old);
    if (!ok) return 1;
    std::cout << KeyHex(pair->publicKey) << "\n";
    return 0;
  }
  if (command == "pubkey" && argc == 3) {
    const std::optional<zentrel::SecretKey> key = LoadSecretKey(argv[2]);
    if (!key) return 1;
    std::cout << KeyHex(zentrel::PublicKeyOf(*key)) << "\n";
    return 0;
  }
  if (command == "publish" && (argc == 5 || argc == 6))
    return Publish(argv[2], argv[3], argv[4], argc == 6 ? argv[5] : nullptr);
  if (command == "verify" && argc == 4) return Verify(argv[2], argv[3]);
  return Usage();
}
