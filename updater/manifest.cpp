#include "updater/manifest.h"

#include <elf.h>

#include <algorithm>
#include <charconv>
#include <cstring>

#include "updater/signature.h"

namespace zentrel {

namespace {

constexpr std::array<std::string_view, 5> kKeys = {"program", "version", "release", "length",
                                                   "sha256"};

bool IsWord(std::string_view text) {
  return !text.empty() && text.size() <= 100 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c < 0x7f; });
}

std::optional<std::uint64_t> ParseNumber(std::string_view text) {
  std::uint64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.starts_with('0'))
    return std::nullopt;
  return value;
}

#if defined(__x86_64__)
constexpr int kMachine = EM_X86_64;
#elif defined(__aarch64__)
constexpr int kMachine = EM_AARCH64;
#elif defined(__i386__)
constexpr int kMachine = EM_386;
#elif defined(__arm__)
constexpr int kMachine = EM_ARM;
#elif defined(__riscv)
constexpr int kMachine = EM_RISCV;
#elif defined(__powerpc64__)
constexpr int kMachine = EM_PPC64;
#elif defined(__s390x__)
constexpr int kMachine = EM_S390;
#else
#error "Zentrel does not know this machine's ELF architecture"
#endif

}  // namespace

std::string FormatManifest(const Manifest& m) {
  const std::string_view hash(reinterpret_cast<const char*>(m.sha256.data()), m.sha256.size());
  return "program " + m.program + "\nversion " + m.version + "\nrelease " +
         std::to_string(m.release) + "\nlength " + std::to_string(m.length) + "\nsha256 " +
         ToHex(hash) + "\n";
}

std::optional<Manifest> ParseManifest(std::string_view text) {
  if (text.size() > kMaxManifestBytes) return std::nullopt;
  std::array<std::string_view, kKeys.size()> values;
  for (std::size_t i = 0; i < kKeys.size(); ++i) {
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    if (!line.starts_with(kKeys[i]) || line.size() <= kKeys[i].size() ||
        line[kKeys[i].size()] != ' ')
      return std::nullopt;
    values[i] = line.substr(kKeys[i].size() + 1);
    if (!IsWord(values[i])) return std::nullopt;
  }
  // One spelling of each value, so that a manifest reads back to the very bytes signed.
  if (!text.empty() || !std::all_of(values[4].begin(), values[4].end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
      }))
    return std::nullopt;
  Manifest m;
  m.program = values[0];
  m.version = values[1];
  const std::optional<std::uint64_t> release = ParseNumber(values[2]);
  const std::optional<std::uint64_t> length = ParseNumber(values[3]);
  const std::optional<std::string> hash = FromHex(values[4], m.sha256.size());
  if (!release || !length || !hash) return std::nullopt;
  m.release = *release;
  m.length = *length;
  std::memcpy(m.sha256.data(), hash->data(), m.sha256.size());
  return m;
}

Sha256::Sha256() { crypto_hash_sha256_init(&state_); }

void Sha256::Update(const char* data, std::size_t size) {
  crypto_hash_sha256_update(&state_, reinterpret_cast<const unsigned char*>(data), size);
}

std::array<unsigned char, 32> Sha256::Final() {
  std::array<unsigned char, 32> digest{};
  crypto_hash_sha256_final(&state_, digest.data());
  return digest;
}

bool RunsOnThisMachine(std::string_view head) {
  if (head.starts_with("#!/")) return true;
  if (head.size() < sizeof(Elf64_Ehdr) || !head.starts_with(ELFMAG)) return false;
  constexpr unsigned char kClass = sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32;
  constexpr unsigned char kOrder =
      __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? ELFDATA2LSB : ELFDATA2MSB;
  if (static_cast<unsigned char>(head[EI_CLASS]) != kClass ||
      static_cast<unsigned char>(head[EI_DATA]) != kOrder)
    return false;
  // e_type and e_machine sit at the same offsets in both classes, in the file's byte order.
  std::uint16_t type = 0;
  std::uint16_t machine = 0;
  std::memcpy(&type, head.data() + offsetof(Elf64_Ehdr, e_type), sizeof type);
  std::memcpy(&machine, head.data() + offsetof(Elf64_Ehdr, e_machine), sizeof machine);
  return (type == ET_EXEC || type == ET_DYN) && machine == kMachine;
}

}  // namespace zentrel
