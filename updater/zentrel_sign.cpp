// zentrel-sign: makes the update signing key and signs update files for the service.
//   zentrel-sign keygen KEYFILE            writes the secret key (hex), prints the public key
//   zentrel-sign pubkey KEYFILE            prints the public key (hex) of a secret key file
//   zentrel-sign sign KEYFILE FILE [SIG]   writes the 64-byte signature to SIG (FILE.sig)
//   zentrel-sign verify PUBHEX FILE [SIG]  exit status 0 when the signature verifies
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>

#include "updater/signature.h"

namespace {

std::optional<std::string> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return std::move(text).str();
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  out.close();
  return static_cast<bool>(out);
}

std::optional<zentrel::SecretKey> LoadSecretKey(const std::string& path) {
  const std::optional<std::string> text = ReadFile(path);
  if (!text) return std::nullopt;
  return zentrel::ParseSecretKey(*text);
}

std::string KeyHex(const zentrel::PublicKey& key) {
  return zentrel::ToHex(std::string_view(reinterpret_cast<const char*>(key.data()), key.size()));
}

int Usage() {
  std::cerr << "usage: zentrel-sign keygen KEYFILE | pubkey KEYFILE | sign KEYFILE FILE [SIG]"
               " | verify PUBHEX FILE [SIG]\n";
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
  if ((command == "sign" || command == "verify") && (argc == 4 || argc == 5)) {
    const std::string file = argv[3];
    const std::string sigPath = argc == 5 ? argv[4] : file + ".sig";
    const std::optional<std::string> content = ReadFile(file);
    if (!content) return 1;
    if (command == "sign") {
      const std::optional<zentrel::SecretKey> key = LoadSecretKey(argv[2]);
      if (!key) return 1;
      const std::optional<std::string> signature = zentrel::Sign(*content, *key);
      return signature && WriteFile(sigPath, *signature) ? 0 : 1;
    }
    const std::optional<zentrel::PublicKey> key = zentrel::ParsePublicKey(argv[2]);
    const std::optional<std::string> signature = ReadFile(sigPath);
    return key && signature && zentrel::VerifySignature(*content, *signature, *key) ? 0 : 1;
  }
  return Usage();
}
