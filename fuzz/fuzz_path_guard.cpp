// Request paths against a root holding links into and out of it: a path that resolves at all
// names a regular file inside the root, never the secret beside it.
#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "server/path_guard.h"

namespace {

namespace fs = std::filesystem;

struct Tree {
  fs::path root;
  fs::path outside;
};

const Tree& MakeTree() {
  static const Tree tree = [] {
    const fs::path base =
        fs::temp_directory_path() / ("orvane_fuzz_guard_" + std::to_string(::getpid()));
    fs::remove_all(base);
    fs::create_directories(base / "root" / "a");
    fs::create_directories(base / "outside");
    std::ofstream(base / "root" / "a" / "f.txt") << "inside";
    std::ofstream(base / "outside" / "secret.txt") << "secret";
    fs::create_symlink(base / "root" / "a" / "f.txt", base / "root" / "inner-link");
    fs::create_symlink(base / "outside" / "secret.txt", base / "root" / "outer-link");
    fs::create_directory_symlink(base / "outside", base / "root" / "dir-link");
    fs::create_directory_symlink("../../outside", base / "root" / "a" / "up-link");
    return Tree{fs::canonical(base / "root"), fs::canonical(base / "outside")};
  }();
  return tree;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Tree& tree = MakeTree();
  const std::string_view request(reinterpret_cast<const char*>(data), size);
  const auto found = orvane::server::ResolveUnderRoot(tree.root, request);
  if (!found) return 0;
  if (!orvane::server::IsInside(tree.root, *found)) __builtin_trap();
  if (orvane::server::IsInside(tree.outside, *found)) __builtin_trap();
  if (!fs::is_regular_file(*found)) __builtin_trap();
  return 0;
}
