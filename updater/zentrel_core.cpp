#include "updater/zentrel_core.h"

#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <sstream>
#include <system_error>

namespace zentrel {

namespace fs = std::filesystem;

std::string WantedEntry() { return std::string(kProgramName) + std::string(kExecutableSuffix); }

namespace {

class LocalOutputFile final : public OutputFile {
 public:
  explicit LocalOutputFile(std::FILE* file) : file_(file) {}
  ~LocalOutputFile() override { Close(); }
  bool Write(const char* data, std::size_t size) override {
    return file_ != nullptr && std::fwrite(data, 1, size, file_) == size;
  }
  bool Close() override {
    if (file_ == nullptr) return false;
    bool ok = std::fflush(file_) == 0;
    // The bytes must be on disk before the rename makes them the program.
    ok = ::fsync(::fileno(file_)) == 0 && ok;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    return ok;
  }

 private:
  std::FILE* file_;
};

}  // namespace

bool LocalFileSystem::Exists(const fs::path& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

bool LocalFileSystem::Remove(const fs::path& path) {
  std::error_code ec;
  return fs::remove(path, ec);
}

std::unique_ptr<OutputFile> LocalFileSystem::Create(const fs::path& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return nullptr;
  return std::make_unique<LocalOutputFile>(file);
}

std::optional<std::string> LocalFileSystem::ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return std::move(text).str();
}

bool LocalFileSystem::Install(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  const fs::perms current = fs::status(from, ec).permissions();
  if (ec) return false;
  // Run permission wherever the file may be read, as the umask allowed.
  fs::perms exec = fs::perms::owner_exec;
  if ((current & fs::perms::group_read) != fs::perms::none) exec |= fs::perms::group_exec;
  if ((current & fs::perms::others_read) != fs::perms::none) exec |= fs::perms::others_exec;
  fs::permissions(from, exec, fs::perm_options::add, ec);
  if (ec) return false;
  fs::rename(from, to, ec);
  return !ec;
}

Updater::Updater(UpdaterConfig config, HttpClient& http, WindowProbe* probe, FileSystem& files,
                 UiSink& ui)
    : config_(std::move(config)), http_(http), probe_(probe), files_(files), ui_(ui) {}

std::string Updater::ListingUrl() const { return "http://" + config_.updateHost + "/UpdateFiles/"; }

bool Updater::WaitForLoginWindow(std::stop_token stop) {
  if (probe_ == nullptr) return !stop.stop_requested();
  std::mutex mutex;
  std::condition_variable_any wake;
  // The wait only sleeps until the next poll or a stop request; nothing else shares it.
  // cppcheck-suppress localMutex
  std::unique_lock lock(mutex);
  while (!stop.stop_requested() && probe_->TopLevelWindowExists(kLoginWindowTitle)) {
    wake.wait_for(lock, stop, config_.windowPoll, [] { return false; });
  }
  return !stop.stop_requested();
}

std::optional<std::string> Updater::FetchSmall(const std::string& url, std::size_t limit,
                                               std::stop_token stop) {
  std::unique_ptr<HttpStream> stream = http_.Open(url, stop);
  if (!stream || stream->Status() < 200 || stream->Status() >= 300) return std::nullopt;
  std::string body;
  char buffer[kReadBufferSize];
  while (body.size() <= limit) {
    const std::size_t n = stream->Read(buffer, sizeof buffer);
    if (n == 0) break;
    body.append(buffer, n);
  }
  return body;
}

UpdateReport Updater::Run(std::stop_token stop) {
  UpdateReport report;
  if (!WaitForLoginWindow(stop)) {
    report.stopped = true;
    return report;
  }
  std::string listing = FetchSmall(ListingUrl(), kMaxListingBytes, stop).value_or(std::string());
  if (listing.size() > kMaxListingBytes) listing.resize(kMaxListingBytes);
  const std::string wanted = WantedEntry();
  for (const std::string& name : ParseListing(JoinLines(listing))) {
    if (stop.stop_requested()) break;
    if (name != wanted) continue;
    ++report.entriesMatched;
    switch (Download(name, stop)) {
      case DownloadOutcome::kInstalled:
        ++report.installed;
        break;
      case DownloadOutcome::kBadSignature:
        ++report.refused;
        break;
      case DownloadOutcome::kFailed:
        ++report.failed;
        break;
      case DownloadOutcome::kStopped:
        break;
    }
  }
  report.stopped = stop.stop_requested();
  return report;
}

DownloadOutcome Updater::Download(const std::string& entry, std::stop_token stop) {
  const fs::path target = config_.workDir / entry;
  // The old program stays untouched until the new one is complete and verified.
  const fs::path partial = config_.workDir / ("." + entry + ".download");
  ui_.SetStatus(entry);

  auto fail = [&](DownloadOutcome outcome) {
    files_.Remove(partial);
    if (outcome == DownloadOutcome::kFailed) ui_.SetStatus(kStatusKeptOld);
    if (outcome == DownloadOutcome::kBadSignature) ui_.SetStatus(kStatusBadSignature);
    return outcome;
  };

  std::unique_ptr<HttpStream> stream = http_.Open(ListingUrl() + entry, stop);
  if (stop.stop_requested()) return DownloadOutcome::kStopped;
  if (!stream) return fail(DownloadOutcome::kFailed);
  // An error page is not a program.
  if (stream->Status() < 200 || stream->Status() >= 300) return fail(DownloadOutcome::kFailed);
  std::unique_ptr<OutputFile> out = files_.Create(partial);
  if (!out) return fail(DownloadOutcome::kFailed);

  const std::optional<std::uint64_t> length = stream->ContentLength();
  const std::uint64_t total = length.value_or(0);
  ui_.SetProgress(0);
  int shown = 0;
  std::uint64_t sum = 0;
  int emptyReads = kEmptyReadLimit;
  char buffer[kReadBufferSize];
  bool written = true;
  // The counter is never reset: the tenth empty read in all ends the loop.
  while (!stop.stop_requested()) {
    const std::size_t n = stream->Read(buffer, sizeof buffer);
    if (n > 0 && !out->Write(buffer, n)) {
      written = false;
      break;
    }
    sum += n;
    if (total > 0) {
      const double share = static_cast<double>(sum) / static_cast<double>(total) * kProgressMax;
      const int position = share >= kProgressMax ? kProgressMax : static_cast<int>(share);
      if (position != shown) ui_.SetProgress(shown = position);
    }
    if (n > 0) continue;
    if (--emptyReads == 0) break;
  }
  written = out->Close() && written;
  if (stop.stop_requested()) {
    files_.Remove(partial);
    return DownloadOutcome::kStopped;
  }
  if (!written || !stream->Completed() || (length && sum != *length))
    return fail(DownloadOutcome::kFailed);
  stream.reset();

  if (config_.publicKey) {
    const std::optional<std::string> signature =
        FetchSmall(ListingUrl() + entry + ".sig", kMaxSignatureBytes, stop);
    if (stop.stop_requested()) {
      files_.Remove(partial);
      return DownloadOutcome::kStopped;
    }
    const std::optional<std::string> content = files_.ReadAll(partial);
    if (!signature || !content || !VerifySignature(*content, *signature, *config_.publicKey))
      return fail(DownloadOutcome::kBadSignature);
  }
  if (!files_.Install(partial, target)) return fail(DownloadOutcome::kFailed);
  return DownloadOutcome::kInstalled;
}

bool FinishUpdate(const UpdateReport& report, const fs::path& workDir, const FinishHooks& hooks) {
  if (report.stopped) return false;
  // A refused or failed update keeps its explanation in the status line.
  if (report.installed > 0 || (report.refused == 0 && report.failed == 0))
    hooks.setStatus(kStatusComplete);
  hooks.showMessage(kFinishText, kFinishCaption);
  const fs::path program = workDir / WantedEntry();
  if (!hooks.exists(program)) return false;
  return hooks.start(program);
}

}  // namespace zentrel
