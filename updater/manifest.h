// The signed description of a published update, and the checks a downloaded file must pass.
//
// Publishing "Orvane" puts two files beside it in the update folder:
//   Orvane.manifest      five text lines, in this order, each "key value\n":
//                          program Orvane
//                          version Ver.1.0.2
//                          release 1765300000
//                          length 48213760
//                          sha256 <64 lower-case hex digits>
//   Orvane.manifest.sig  the raw 64-byte Ed25519 signature of Orvane.manifest's bytes
// The release number only grows from one publication to the next; the version is shown only.
#pragma once

#include <sodium.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zentrel {

inline constexpr std::string_view kManifestSuffix = ".manifest";
inline constexpr std::string_view kSignatureSuffix = ".sig";
// A manifest is a few short lines; anything longer is refused unread.
inline constexpr std::size_t kMaxManifestBytes = 1024;

struct Manifest {
  std::string program;
  std::string version;
  std::uint64_t release = 0;
  std::uint64_t length = 0;
  std::array<unsigned char, 32> sha256{};

  bool operator==(const Manifest&) const = default;
};

std::string FormatManifest(const Manifest& manifest);
// Exactly the five lines above; names and versions are printable ASCII without spaces.
std::optional<Manifest> ParseManifest(std::string_view text);

// SHA-256 over data that arrives block by block.
class Sha256 {
 public:
  Sha256();
  void Update(const char* data, std::size_t size);
  std::array<unsigned char, 32> Final();

 private:
  crypto_hash_sha256_state state_;
};

// The first bytes of a file: true for an ELF executable of this machine's kind (class, byte
// order, architecture) or a script with a "#!" interpreter line. An HTML page, a program for
// another machine or an empty file is not one.
bool RunsOnThisMachine(std::string_view head);
inline constexpr std::size_t kExecutableHeadBytes = 64;

}  // namespace zentrel
