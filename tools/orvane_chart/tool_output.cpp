#include "tools/orvane_chart/tool_output.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <streambuf>

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

namespace {

// A stream over a C file, so standard output and --out files take the same path.
class FileStreamBuffer : public std::streambuf {
 public:
  explicit FileStreamBuffer(std::FILE* file) : file_(file) {}

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    return std::fputc(c, file_) == EOF ? traits_type::eof() : c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    return static_cast<std::streamsize>(std::fwrite(s, 1, static_cast<std::size_t>(n), file_));
  }

 private:
  std::FILE* file_;
};

}  // namespace

int WriteOutput(const Invocation& invocation, std::string_view bytes) {
  return WriteOutputStream(invocation, [bytes](std::ostream& out) {
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  });
}

int WriteOutputStream(const Invocation& invocation,
                      const std::function<void(std::ostream&)>& write) {
  auto written = [&write](std::FILE* file) {
    FileStreamBuffer buffer(file);
    std::ostream out(&buffer);
    write(out);
    return static_cast<bool>(out);
  };
  if (invocation.outPath.empty()) {
    if (!written(stdout) || std::fflush(stdout) != 0) {
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
  bool ok = file && written(file.get()) && !std::ferror(file.get());
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
