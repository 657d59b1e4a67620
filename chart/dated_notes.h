#pragma once

// Dated notes: a short text a member pins to a month of a series (a policy date, a rate
// decision). All series share one small JSON file in the per-user data folder:
//   {"version": 1, "series": {"<series file>": [{"month": 202106, "text": "..."}, ...]}}
// Every write replaces the file atomically (a temporary file beside it, flushed, renamed). A
// file that cannot be read as notes is renamed aside ("<name>.corrupt", "<name>.corrupt-2" ...)
// and reported; whatever notes in it were sound are kept, so nothing is lost silently.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// Notes hold at most this many bytes, cut on a character boundary; line breaks become spaces.
inline constexpr std::size_t kMaxNoteBytes = 120;
// A larger file is no notes file of ours: it is set aside unread.
inline constexpr std::uintmax_t kMaxNotesFileBytes = 4u << 20;

struct DatedNote {
  std::int32_t month = 0;  // YYYYMM
  std::string text;
};

class NotesFile {
 public:
  explicit NotesFile(std::filesystem::path path) : path_(std::move(path)) {}

  struct LoadResult {
    bool setAside = false;             // the file was unreadable (wholly or in part)
    std::filesystem::path setAsideAs;  // where it went; empty when it could not be renamed
  };
  // Reads the file; a missing file means no notes.
  LoadResult Load();

  // The series' notes by month.
  std::vector<DatedNote> Notes(std::string_view series) const;
  // Puts a note at the month (replacing the one there); an empty text removes it. Writes the
  // file; on failure nothing changes and false comes back.
  bool Set(std::string_view series, std::int32_t month, std::string_view text);

  const std::filesystem::path& Path() const { return path_; }

 private:
  bool Write(const std::map<std::string, std::map<std::int32_t, std::string>>& notes) const;

  std::filesystem::path path_;
  std::map<std::string, std::map<std::int32_t, std::string>> notes_;
};

// The text as kept: control characters become spaces, ends trimmed, cut to kMaxNoteBytes.
std::string CleanNoteText(std::string_view text);
// YYYYMM with a month 1 to 12 and a year 1 to 9999.
bool IsNoteMonth(std::int64_t month);

}  // namespace orvane
