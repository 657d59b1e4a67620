#include "updater/zentrel_core.h"

#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
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

bool LocalFileSystem::Writable(const fs::path& folder) {
  return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

std::optional<TempFile> LocalFileSystem::CreateTemp(const fs::path& folder,
                                                    const std::string& prefix) {
  std::string pattern = (folder / (prefix + "XXXXXX")).string();
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) return std::nullopt;
  std::FILE* file = ::fdopen(fd, "wb");
  if (file == nullptr) {
    ::close(fd);
    ::unlink(pattern.c_str());
    return std::nullopt;
  }
  return TempFile{pattern, std::make_unique<LocalOutputFile>(file)};
}

std::optional<std::string> LocalFileSystem::ReadSmall(const fs::path& path, std::size_t limit) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text(limit + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (in.bad()) return std::nullopt;
  text.resize(static_cast<std::size_t>(in.gcount()));
  return text;
}

bool LocalFileSystem::Install(const fs::path& from, const fs::path& to, bool executable) {
  std::error_code ec;
  // mkstemp makes the file for its owner only; the program gets the folder's usual mode.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  const fs::perms mode = static_cast<fs::perms>((executable ? 0777 : 0666) & ~mask);
  fs::permissions(from, mode, fs::perm_options::replace, ec);
  if (ec) return false;
  fs::rename(from, to, ec);
  return !ec;
}

std::string_view OutcomeText(UpdateOutcome outcome) {
  switch (outcome) {
    case UpdateOutcome::kInstalled:
      return kStatusComplete;
    case UpdateOutcome::kSwitchedOff:
      return kStatusSwitchedOff;
    case UpdateOutcome::kPackageManaged:
      return kStatusPackageManaged;
    case UpdateOutcome::kNothingOffered:
      return kStatusNothingOffered;
    case UpdateOutcome::kBadSignature:
      return kStatusBadSignature;
    case UpdateOutcome::kOlderRelease:
      return kStatusOlderRelease;
    case UpdateOutcome::kFailed:
      return kStatusKeptOld;
    case UpdateOutcome::kNotExecutable:
      return kStatusNotExecutable;
    case UpdateOutcome::kStopped:
      break;
  }
  return {};
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
  if (!WaitForLoginWindow(stop)) return {UpdateOutcome::kStopped};
  const UpdateOutcome outcome = Update(stop);
  return {stop.stop_requested() ? UpdateOutcome::kStopped : outcome};
}

UpdateOutcome Updater::Update(std::stop_token stop) {
  if (!config_.publicKey) return UpdateOutcome::kSwitchedOff;
  if (!files_.Writable(config_.workDir)) return UpdateOutcome::kPackageManaged;
  std::string listing = FetchSmall(ListingUrl(), kMaxListingBytes, stop).value_or(std::string());
  if (listing.size() > kMaxListingBytes) listing.resize(kMaxListingBytes);
  const std::string wanted = WantedEntry();
  const std::vector<std::string> names = ParseListing(JoinLines(listing));
  if (std::find(names.begin(), names.end(), wanted) == names.end())
    return UpdateOutcome::kNothingOffered;
  ui_.SetStatus(wanted);

  const std::string manifestUrl = ListingUrl() + wanted + std::string(kManifestSuffix);
  const std::optional<std::string> text = FetchSmall(manifestUrl, kMaxManifestBytes, stop);
  const std::optional<std::string> signature =
      FetchSmall(manifestUrl + std::string(kSignatureSuffix), kMaxSignatureBytes, stop);
  if (stop.stop_requested()) return UpdateOutcome::kStopped;
  if (!text || !signature || !VerifySignature(*text, *signature, *config_.publicKey))
    return UpdateOutcome::kBadSignature;
  const std::optional<Manifest> manifest = ParseManifest(*text);
  if (!manifest || manifest->program != wanted) return UpdateOutcome::kBadSignature;
  if (manifest->release < InstalledRelease()) return UpdateOutcome::kOlderRelease;

  const UpdateOutcome outcome = Download(wanted, *manifest, stop);
  if (outcome == UpdateOutcome::kInstalled) RecordInstalled(*text);
  return outcome;
}

// The manifest of the last update installed here; a program never updated counts as release 0.
std::uint64_t Updater::InstalledRelease() {
  const fs::path record = config_.workDir / (WantedEntry() + std::string(kManifestSuffix));
  const std::optional<std::string> text = files_.ReadSmall(record, kMaxManifestBytes);
  const std::optional<Manifest> manifest = text ? ParseManifest(*text) : std::nullopt;
  return manifest ? manifest->release : 0;
}

void Updater::RecordInstalled(const std::string& manifestText) {
  const std::string record = WantedEntry() + std::string(kManifestSuffix);
  std::optional<TempFile> temp = files_.CreateTemp(config_.workDir, "." + record + ".");
  if (!temp) return;
  const bool written =
      temp->file->Write(manifestText.data(), manifestText.size()) && temp->file->Close();
  if (!written || !files_.Install(temp->path, config_.workDir / record, false))
    files_.Remove(temp->path);
}

UpdateOutcome Updater::Download(const std::string& entry, const Manifest& manifest,
                                std::stop_token stop) {
  // The old program stays untouched until the new one is complete and checked.
  std::optional<TempFile> temp = files_.CreateTemp(config_.workDir, "." + entry + ".");
  if (!temp) return UpdateOutcome::kFailed;
  UpdateOutcome outcome = Receive(entry, manifest, *temp->file, stop);
  if (outcome == UpdateOutcome::kInstalled &&
      !files_.Install(temp->path, config_.workDir / entry, true))
    outcome = UpdateOutcome::kFailed;
  if (outcome != UpdateOutcome::kInstalled) files_.Remove(temp->path);
  return outcome;
}

UpdateOutcome Updater::Receive(const std::string& entry, const Manifest& manifest, OutputFile& out,
                               std::stop_token stop) {
  std::unique_ptr<HttpStream> stream = http_.Open(ListingUrl() + entry, stop);
  if (stop.stop_requested()) return UpdateOutcome::kStopped;
  // An error page is not a program, and a length other than the signed one is not this update.
  if (!stream || stream->Status() < 200 || stream->Status() >= 300 ||
      (stream->ContentLength() && *stream->ContentLength() != manifest.length)) {
    out.Close();
    return UpdateOutcome::kFailed;
  }

  ui_.SetProgress(0);
  int shown = 0;
  std::uint64_t sum = 0;
  Sha256 hash;
  std::string head;
  int emptyReads = kEmptyReadLimit;
  char buffer[kReadBufferSize];
  bool written = true;
  // The counter is never reset: the tenth empty read in all ends the loop.
  while (!stop.stop_requested()) {
    const std::size_t n = stream->Read(buffer, sizeof buffer);
    // Nothing beyond the signed length is written: a longer body is not this update.
    if (n > manifest.length - sum) {
      written = false;
      break;
    }
    if (n > 0 && !out.Write(buffer, n)) {
      written = false;
      break;
    }
    hash.Update(buffer, n);
    if (head.size() < kExecutableHeadBytes)
      head.append(buffer, std::min(n, kExecutableHeadBytes - head.size()));
    sum += n;
    if (manifest.length > 0) {
      const int position = static_cast<int>(static_cast<double>(sum) /
                                            static_cast<double>(manifest.length) * kProgressMax);
      if (position != shown) ui_.SetProgress(shown = position);
    }
    if (n > 0) continue;
    if (--emptyReads == 0) break;
  }
  written = out.Close() && written;
  if (stop.stop_requested()) return UpdateOutcome::kStopped;
  if (!written || !stream->Completed() || sum != manifest.length) return UpdateOutcome::kFailed;
  if (hash.Final() != manifest.sha256) return UpdateOutcome::kBadSignature;
  if (!RunsOnThisMachine(head)) return UpdateOutcome::kNotExecutable;
  return UpdateOutcome::kInstalled;
}

bool FinishUpdate(const UpdateReport& report, const fs::path& workDir, const FinishHooks& hooks) {
  if (report.outcome == UpdateOutcome::kStopped) return false;
  hooks.setStatus(OutcomeText(report.outcome));
  if (report.outcome == UpdateOutcome::kInstalled) {
    hooks.showMessage(kFinishText, kFinishCaption);
  } else {
    hooks.showMessage(OutcomeText(report.outcome), kNoticeCaption);
  }
  const fs::path program = workDir / WantedEntry();
  if (!hooks.exists(program)) return false;
  return hooks.start(program);
}

}  // namespace zentrel
