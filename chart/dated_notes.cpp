#include "chart/dated_notes.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <system_error>

namespace orvane {
namespace {

using Json = nlohmann::json;
constexpr int kMaxSetAsideNames = 9999;

// Renames the file to the first free "<name>.corrupt[-n]"; empty when that fails.
std::filesystem::path SetAside(const std::filesystem::path& path) {
  std::error_code ec;
  for (int n = 1; n <= kMaxSetAsideNames; ++n) {
    std::filesystem::path target = path;
    target += n == 1 ? std::string(".corrupt") : ".corrupt-" + std::to_string(n);
    if (std::filesystem::exists(target, ec) || ec) continue;
    std::filesystem::rename(path, target, ec);
    return ec ? std::filesystem::path() : target;
  }
  return {};
}

}  // namespace

bool IsNoteMonth(std::int64_t month) {
  return month >= 101 && month <= 999912 && month % 100 >= 1 && month % 100 <= 12;
}

std::string CleanNoteText(std::string_view text) {
  std::string clean;
  for (char c : text) clean += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
  const auto first = clean.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  clean = clean.substr(first, clean.find_last_not_of(' ') - first + 1);
  if (clean.size() > kMaxNoteBytes) {
    std::size_t cut = kMaxNoteBytes;
    while (cut > 0 && (static_cast<unsigned char>(clean[cut]) & 0xC0) == 0x80) --cut;
    clean.resize(cut);
  }
  return clean;
}

NotesFile::LoadResult NotesFile::Load() {
  notes_.clear();
  std::error_code ec;
  const auto size = std::filesystem::file_size(path_, ec);
  if (ec) return {};  // no file yet
  bool sound = size <= kMaxNotesFileBytes;
  if (sound) {
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    const Json doc = Json::parse(text.str(), nullptr, false);
    const Json* series = doc.is_object() && doc.contains("series") ? &doc["series"] : nullptr;
    sound = in.good() && series != nullptr && series->is_object();
    if (sound) {
      for (const auto& [name, list] : series->items()) {
        if (!list.is_array()) {
          sound = false;
          continue;
        }
        for (const Json& note : list) {
          const Json* month = note.is_object() && note.contains("month") ? &note["month"] : nullptr;
          const Json* body = note.is_object() && note.contains("text") ? &note["text"] : nullptr;
          if (month == nullptr || !month->is_number_integer() ||
              !IsNoteMonth(month->get<std::int64_t>()) || body == nullptr || !body->is_string() ||
              CleanNoteText(body->get<std::string>()).empty()) {
            sound = false;
            continue;
          }
          notes_[name][month->get<std::int32_t>()] = CleanNoteText(body->get<std::string>());
        }
      }
    }
  }
  if (sound) return {};
  return {true, SetAside(path_)};
}

std::vector<DatedNote> NotesFile::Notes(std::string_view series) const {
  std::vector<DatedNote> out;
  const auto found = notes_.find(std::string(series));
  if (found == notes_.end()) return out;
  for (const auto& [month, text] : found->second) out.push_back({month, text});
  return out;
}

bool NotesFile::Set(std::string_view series, std::int32_t month, std::string_view text) {
  if (series.empty() || !IsNoteMonth(month)) return false;
  auto next = notes_;
  const std::string clean = CleanNoteText(text);
  auto& list = next[std::string(series)];
  if (clean.empty()) {
    list.erase(month);
    if (list.empty()) next.erase(std::string(series));
  } else {
    list[month] = clean;
  }
  if (!Write(next)) return false;
  notes_ = std::move(next);
  return true;
}

bool NotesFile::Write(
    const std::map<std::string, std::map<std::int32_t, std::string>>& notes) const {
  Json series = Json::object();
  for (const auto& [name, list] : notes) {
    Json items = Json::array();
    for (const auto& [month, text] : list) items.push_back({{"month", month}, {"text", text}});
    series[name] = std::move(items);
  }
  const std::string text = Json{{"version", 1}, {"series", std::move(series)}}.dump(
                               1, ' ', false, Json::error_handler_t::replace) +
                           "\n";
  std::error_code ec;
  if (path_.has_parent_path()) std::filesystem::create_directories(path_.parent_path(), ec);
  std::string temp = path_.string() + ".tmpXXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) return false;
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = write(fd, text.data() + written, text.size() - written);
    if (n <= 0) break;
    written += static_cast<std::size_t>(n);
  }
  // Flushed before the rename, so a crash leaves the old file or the new one, never half.
  const bool ok = written == text.size() && fsync(fd) == 0;
  if (close(fd) != 0 || !ok || std::rename(temp.c_str(), path_.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace orvane
