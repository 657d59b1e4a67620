#include "tools/orvane_chart/tool_output.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "tools/orvane_chart/command.h"

namespace orvane::tool {

std::string JsonText(const nlohmann::json& value) {
  std::string text = value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  text += '\n';
  return text;
}

nlohmann::json JsonNumber(double value) {
  if (!std::isfinite(value)) return nullptr;
  return value;
}

int WriteOutput(const Invocation& invocation, std::string_view bytes) {
  if (invocation.outPath.empty()) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
        std::fflush(stdout) != 0) {
      std::fprintf(stderr, "orvane-chart: cannot write to standard output\n");
      return kExitFailure;
    }
    return kExitOk;
  }
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> file(std::fopen(invocation.outPath.c_str(), "wb"));
  struct stat opened {};
  const bool regular =
      file && ::fstat(::fileno(file.get()), &opened) == 0 && S_ISREG(opened.st_mode);
  bool ok = file && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  int error = errno;
  if (file && std::fclose(file.release()) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    // A file cut short would pass for a whole one. Devices and pipes are left alone.
    if (regular) std::remove(invocation.outPath.c_str());
    std::fprintf(stderr, "orvane-chart: cannot write %s: %s\n", invocation.outPath.c_str(),
                 std::strerror(error));
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace orvane::tool
