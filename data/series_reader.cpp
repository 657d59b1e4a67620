#include "data/series_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "data/fresh_memory.h"
#include "data/number_text.h"
#include "data/text_codec.h"

namespace orvane {

namespace {

constexpr std::string_view kMiddleDot = "\xC2\xB7";
// A leading "+" is dropped from this column of data lines.
constexpr int kSignedColumn = 8;
// Series files run to a few megabytes; a file past this is not one, and reading it whole would
// only eat memory.
constexpr std::size_t kMaxFileBytes = std::size_t{1} << 30;
// Data-line numbers keep this many characters after the first ".".
constexpr std::size_t kKeptDecimals = 3;

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

// Cuts the text kKeptDecimals characters after its first ".", never inside a character.
std::string_view CutDecimals(std::string_view text) {
  // A plain loop: the fields are a few characters long, too short to gain from memchr.
  std::size_t dot = 0;
  while (dot < text.size() && text[dot] != '.') ++dot;
  if (dot == text.size()) return text;
  std::size_t end = dot + 1;
  for (std::size_t kept = 0; kept < kKeptDecimals && end < text.size(); ++kept) {
    ++end;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
  }
  return text.substr(0, end);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A date that lost the trailing zero of its month (2023.1 for October). Only this shape gets
// the zero back, so six-character labels and undotted dates are not altered.
bool IsShortDate(std::string_view text) {
  return text.size() == 6 && IsDigit(text[0]) && IsDigit(text[1]) && IsDigit(text[2]) &&
         IsDigit(text[3]) && text[4] == '.' && IsDigit(text[5]);
}

// Reusable buffers for one load, so that the common field costs no allocation.
struct FieldBuffers {
  std::string cleaned;
  std::string converted;
  std::string dated;
};

// What the line scan notes about a byte.
enum CharClass : unsigned char {
  kPlain = 0,
  kRewritten = 1,   // "?", double quote or ","
  kExponent = 2,    // "E" or "e"
  kDot = 4,         // "."
  kSpace = 8,       // white space, trimmed from the ends of a field
  kMultiByte = 16,  // a byte of a multi-byte character
  kSeparator = 32,  // ";"
};

constexpr std::array<unsigned char, 256> CharClasses() {
  std::array<unsigned char, 256> classes{};
  classes[static_cast<unsigned char>('?')] = kRewritten;
  classes[static_cast<unsigned char>('"')] = kRewritten;
  classes[static_cast<unsigned char>(',')] = kRewritten;
  classes[static_cast<unsigned char>('E')] = kExponent;
  classes[static_cast<unsigned char>('e')] = kExponent;
  classes[static_cast<unsigned char>(';')] = kSeparator;
  classes[static_cast<unsigned char>('.')] = kDot;
  for (char c : {' ', '\t', '\n', '\v', '\f', '\r'})
    classes[static_cast<unsigned char>(c)] = kSpace;
  for (std::size_t c = 0x80; c < classes.size(); ++c) classes[c] = kMultiByte;
  return classes;
}
constexpr std::array<unsigned char, 256> kCharClasses = CharClasses();

// The clean-up of one field of line `row`, column `column` (from 1); `classes` is the union of
// the classes of its bytes; `lastDot` is the offset of its last "." and `dots` how many it has.
std::string_view CleanField(std::string_view field, unsigned classes, std::size_t lastDot,
                            std::size_t dots, std::size_t row, int column, FieldBuffers& buffers) {
  const bool dataLine = row >= static_cast<std::size_t>(kFirstDataRow);
  std::string_view text = field;
  if ((classes & (kRewritten | kExponent | kSpace | kMultiByte)) == 0) {
    // The usual field: plain ASCII with at most one "." to cut after.
    if (dataLine && dots == 1) {
      text = text.substr(0, lastDot + 1 + kKeptDecimals);
    } else if (dataLine && dots > 1) {
      text = CutDecimals(text);
    }
  } else {
    if ((classes & kRewritten) != 0) {
      std::string& out = buffers.cleaned;
      out.clear();
      for (char c : field) {
        if (c == '?') {
          out += kMiddleDot;
        } else if (c != '"' && c != ',') {
          out += c;
        }
      }
      text = out;
    }
    text = Trim(text);
    std::optional<std::string> scientific;
    if ((classes & kExponent) != 0) scientific = ScientificToFixed(text);
    if (scientific) {
      buffers.converted = std::move(*scientific);
      text = buffers.converted;
    } else if (dataLine && (classes & kDot) != 0) {
      text = CutDecimals(text);
    }
  }
  if (dataLine && column == kSignedColumn && text.starts_with('+')) text.remove_prefix(1);
  if (column == 1 && IsShortDate(text)) {
    buffers.dated.assign(text);
    buffers.dated += '0';
    text = buffers.dated;
  }
  return text;
}

void LoadLine(DataTable& table, std::string_view line, std::size_t row, FieldBuffers& buffers) {
  table.AppendRow();
  const char* p = line.data();
  const char* const end = p + line.size();
  for (int column = 1; column < DataTable::kColumnCount; ++column) {
    const char* const start = p;
    unsigned classes = 0;
    const char* lastDot = p;
    std::size_t dots = 0;
    for (; p < end; ++p) {
      const unsigned c = kCharClasses[static_cast<unsigned char>(*p)];
      if (c == kSeparator) break;
      classes |= c;
      // Without branches: most fields hold one ".".
      dots += c == kDot;
      lastDot = c == kDot ? p : lastDot;
    }
    const std::string_view field(start, static_cast<std::size_t>(p - start));
    table.AppendCell(CleanField(field, classes, static_cast<std::size_t>(lastDot - start), dots,
                                row, column, buffers));
    if (p == end) break;
    ++p;  // past the ";"
  }
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
  // Devices and pipes may never end; a series file is a regular file of known size.
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  const auto size = std::filesystem::file_size(path, error);
  if (error || size > kMaxFileBytes) return std::nullopt;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) return std::nullopt;
  // Read straight into the string, its pages mapped in one go; a file that grew since its size
  // was taken is read to its end, within the limit.
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(size) + 1);
  MapForWriting(bytes.data(), bytes.capacity());
  bytes.resize(static_cast<std::size_t>(size) + 1);
  std::size_t got = 0;
  for (;;) {
    got += std::fread(bytes.data() + got, 1, bytes.size() - got, file.get());
    if (got < bytes.size()) break;
    if (bytes.size() > kMaxFileBytes) return std::nullopt;
    bytes.resize(std::min(bytes.size() * 2, kMaxFileBytes + 1));
  }
  if (std::ferror(file.get())) return std::nullopt;
  bytes.resize(got);
  return bytes;
}

// How often the bytes that shape the table occur in a text.
struct ByteCounts {
  std::size_t newlines = 0;
  std::size_t semicolons = 0;
  std::size_t returns = 0;  // "\r"
};

// Sixteen bytes, for comparisons that the compiler turns into vector instructions.
using Bytes16 = unsigned char __attribute__((vector_size(16)));

// Counts them sixteen bytes at a time.
ByteCounts CountShapingBytes(std::string_view text) {
  auto laneSum = [](Bytes16 counters) {
    std::size_t sum = 0;
    for (int lane = 0; lane < 16; ++lane) sum += counters[lane];
    return sum;
  };
  ByteCounts counts;
  std::size_t i = 0;
  while (i + 16 <= text.size()) {
    // Byte-wise counters, summed before any can pass 255; a comparison gives 0xFF for a match.
    Bytes16 newlines{};
    Bytes16 semicolons{};
    Bytes16 returns{};
    for (int block = 0; block < 255 && i + 16 <= text.size(); ++block, i += 16) {
      Bytes16 bytes;
      std::memcpy(&bytes, text.data() + i, 16);
      newlines -= reinterpret_cast<Bytes16>(bytes == '\n');
      semicolons -= reinterpret_cast<Bytes16>(bytes == ';');
      returns -= reinterpret_cast<Bytes16>(bytes == '\r');
    }
    counts.newlines += laneSum(newlines);
    counts.semicolons += laneSum(semicolons);
    counts.returns += laneSum(returns);
  }
  for (; i < text.size(); ++i) {
    counts.newlines += text[i] == '\n';
    counts.semicolons += text[i] == ';';
    counts.returns += text[i] == '\r';
  }
  return counts;
}

bool HasNonAscii(std::string_view text) {
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + i, 8);
    if (word & 0x8080808080808080ULL) return true;
  }
  for (; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) >= 0x80) return true;
  }
  return false;
}

std::string WithoutChar(std::string_view text, char removed) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != removed) out += c;
  }
  return out;
}

void CopyWithout(std::string_view text, char removed, std::string& out) {
  out.clear();
  for (char c : text) {
    if (c != removed) out += c;
  }
}

// The `count` (at most 8) characters that end at `end` as a decimal integer, read as one word;
// false when one is not a digit. The bytes before `end` must be readable.
bool ReadDigitWord(const char* end, std::size_t count, std::uint64_t& out) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHighNibbles = 0xF0F0F0F0F0F0F0F0ULL;
  if (count == 0) {
    out = 0;
    return true;
  }
  // The characters fill the top bytes of the word, the first one lowest; zeros go under them.
  std::uint64_t word;
  std::memcpy(&word, end - 8, 8);
  const std::uint64_t mask = ~std::uint64_t{0} << 8 * (8 - count);
  word = (word & mask) | ('0' * kOnes & ~mask);
  if (((word & kHighNibbles) | (((word + 6 * kOnes) & kHighNibbles) >> 4)) != 0x33 * kOnes) {
    return false;
  }
  std::uint64_t digits = word - '0' * kOnes;
  digits = (digits * 10 + (digits >> 8)) & 0x00FF00FF00FF00FFULL;
  digits = (digits * 100 + (digits >> 16)) & 0x0000FFFF0000FFFFULL;
  out = (digits * 10000 + (digits >> 32)) & 0xFFFFFFFFULL;
  return true;
}

// The same for up to 16 characters.
bool ReadDigits(const char* end, std::size_t count, std::uint64_t& out) {
  if (count <= 8) return ReadDigitWord(end, count, out);
  std::uint64_t high;
  std::uint64_t low;
  if (!ReadDigitWord(end - 8, count - 8, high) || !ReadDigitWord(end, 8, low)) return false;
  out = high * 100'000'000 + low;
  return true;
}

// The value of a table cell of columns 1 on that is digits with at most one "." after the first
// digit, at most 15 digits in all; false for any other text. The value is the one TextToDouble
// gives: the digits as an integer over an exact power of ten.
bool ReadPlainNumber(std::string_view cell, double& value) {
  static_assert(DataTable::kReadableBeforeEnd >= 16);
  static constexpr std::uint64_t kPowersOfTen[] = {1,
                                                   10,
                                                   100,
                                                   1000,
                                                   10000,
                                                   100000,
                                                   1000000,
                                                   10000000,
                                                   100000000,
                                                   1000000000,
                                                   10000000000,
                                                   100000000000,
                                                   1000000000000,
                                                   10000000000000,
                                                   100000000000000,
                                                   1000000000000000};
  const std::size_t n = cell.size();
  if (n == 0 || n > 16) return false;
  std::size_t dot = 0;
  while (dot < n && cell[dot] != '.') ++dot;
  const std::size_t decimals = dot == n ? 0 : n - dot - 1;
  if (dot == 0 || dot + decimals > 15) return false;
  std::uint64_t whole;
  std::uint64_t fraction;
  if (!ReadDigits(cell.data() + dot, dot, whole) ||
      !ReadDigits(cell.data() + n, decimals, fraction)) {
    return false;
  }
  const std::uint64_t digits = whole * kPowersOfTen[decimals] + fraction;
  value = decimals == 0 ? static_cast<double>(digits)
                        : static_cast<double>(digits) / static_cast<double>(kPowersOfTen[decimals]);
  return true;
}

// The value of a number cell.
double NumberValue(std::string_view text) {
  double value;
  return ReadPlainNumber(text, value) ? value : TextToDouble(text);
}

// The value of a price cell, whose "," separators do not count.
double PriceValue(std::string_view text, std::string& scratch) {
  if (double value; ReadPlainNumber(text, value)) return value;
  if (std::none_of(text.begin(), text.end(), [](char c) { return c == ','; })) {
    return TextToDouble(text);
  }
  CopyWithout(text, ',', scratch);
  return TextToDouble(scratch);
}

// Field numbers of a data line's values.
struct LayoutColumns {
  int open;  // 0: the layout has no open
  int high;
  int low;
  int close;
  int volume;
  int companion;  // also further value 1
};

constexpr LayoutColumns kHlcColumns{0, 2, 3, 4, 5, 6};
constexpr LayoutColumns kOhlcColumns{2, 3, 4, 5, 6, 7};

}  // namespace

std::string_view LayoutName(SeriesLayout layout) {
  return layout == SeriesLayout::Ohlc ? "OHLC" : "HLC";
}

void LoadDataText(DataTable& table, std::string_view bytes) {
  table.Clear();
  const bool utf8 = IsValidUtf8(bytes);
  if (utf8 && bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  if (bytes.empty()) return;

  const ByteCounts counts = CountShapingBytes(bytes);
  const std::size_t lines = counts.newlines + 1;
  // Bytes that are neither line ends nor separators: the text of the cells, before decoding
  // (Korean text may outgrow it, and the pool then grows on its own). A line that is not blank
  // holds one of them or a ";", so they also bound the rows and cells stored.
  const std::size_t text = bytes.size() - counts.newlines - counts.semicolons - counts.returns;
  const std::size_t filledRows = std::min(lines, counts.semicolons + text) + 1;
  table.Reserve(text, lines, filledRows,
                std::min(counts.semicolons + filledRows, lines * DataTable::kColumnCount));

  FieldBuffers buffers;
  std::string decoded;
  std::size_t row = 0;
  while (!bytes.empty()) {
    const std::size_t newline = bytes.find('\n');
    std::string_view line = bytes.substr(0, newline);
    bytes.remove_prefix(newline == std::string_view::npos ? bytes.size() : newline + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (!utf8 && HasNonAscii(line)) {
      decoded = DecodeCp949(line);
      line = decoded;
    }
    LoadLine(table, line, row++, buffers);
  }
}

bool LoadDataFile(DataTable& table, const std::filesystem::path& path) {
  table.Clear();
  const std::optional<std::string> bytes = ReadWholeFile(path);
  if (!bytes) return false;
  LoadDataText(table, *bytes);
  return true;
}

SeriesData LoadRecords(const DataTable& table, bool skipUndatedRows) {
  SeriesData out;
  auto cell = [&table](TableCell c) { return table.Text(c.row, c.column); };
  out.header.highlightMonth = WithoutChar(cell(kHighlightCell), '.');
  if (out.header.highlightMonth.empty()) out.header.highlightMonth = kNoHighlightMonth;
  out.header.title = cell(kTitleCell);
  out.header.caption = cell(kCaptionCell);
  out.layout = cell(kLayoutCell) == "open" ? SeriesLayout::Ohlc : SeriesLayout::Hlc;

  const LayoutColumns& columns = out.layout == SeriesLayout::Ohlc ? kOhlcColumns : kHlcColumns;
  const std::size_t rows = table.RowCount();
  // Room for every row whose close has a digit other than 0 and the spare records, so a long
  // series fills without reallocation, while a file of many empty or junk lines costs no record
  // memory.
  std::size_t withClose = 0;
  for (std::size_t row = kFirstDataRow; row < rows; ++row) {
    const std::string_view close = table.Row(row).Text(columns.close);
    withClose +=
        std::any_of(close.begin(), close.end(), [](char c) { return c >= '1' && c <= '9'; });
  }
  out.records.reserve(std::max<std::size_t>(1000, withClose + kSpareRecords));
  MapRoomForWriting(out.records);

  std::string scratch;

  // The open of an HLC line is the close of the previous kept line; empty before the first.
  std::optional<double> carriedOpen;
  for (std::size_t row = kFirstDataRow; row < rows; ++row) {
    const DataTable::RowView cells = table.Row(row);
    auto text = [&cells](int column) { return cells.Text(column); };
    const double close = PriceValue(text(columns.close), scratch);
    if (close == 0) continue;
    CopyWithout(text(1), '.', scratch);
    const std::int32_t date = TextToInt(scratch);
    if (skipUndatedRows && date == 0) continue;

    DataRecord& record = out.records.emplace_back();
    record.date = date;
    if (columns.open == 0) {
      record.v[kOpen] = carriedOpen.value_or(close);
    } else {
      const std::string_view openText = text(columns.open);
      record.v[kOpen] = openText.empty() ? close : PriceValue(openText, scratch);
    }
    record.v[kHigh] = PriceValue(text(columns.high), scratch);
    record.v[kLow] = PriceValue(text(columns.low), scratch);
    record.v[kClose] = close;
    record.v[kVolume] = NumberValue(text(columns.volume));
    record.v[kCompanion] = NumberValue(text(columns.companion));
    record.v[FurtherValue(1)] = record.v[kCompanion];  // the same field
    for (int n = 2; n <= 10; ++n) {
      record.v[FurtherValue(n)] = NumberValue(text(columns.companion + n - 1));
    }
    carriedOpen = close;
  }
  return out;
}

}  // namespace orvane
