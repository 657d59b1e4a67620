#include "bench/data/series_generator.h"

#include <cstdint>
#include <cstdio>

#include "data/text_codec.h"

namespace orvane::bench {

std::string GenerateSeriesFile(std::size_t dataLines) {
  std::string utf8 =
      "구분;Orvane 아파트지수\r\n"
      "지수명;서울시 아파트 매매지수 (벤치마크)\r\n"
      "출처;Orvane;단위;2017.11=100\r\n"
      "형식;hlc\r\n"
      "항목;고가;저가;종가;거래량;전월비;강남구;서초구;송파구;용산구;성동구;마포구;노원구;도봉구;"
      "강북구\r\n"
      "강조;;;2021.06\r\n"
      "작성;2024.12.31\r\n"
      "비고;생성된 자료\r\n"
      "주의;\r\n"
      "설명;;;서울시 아파트 매매가격 지수\r\n";
  std::string text = EncodeCp949(utf8);
  text.reserve(text.size() + dataLines * 110);
  // A deterministic random walk, so every run reads the same file.
  std::uint64_t state = 0x9E3779B97F4A7C15ULL;
  auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<double>(state % 10000) / 10000.0;
  };
  double close = 62.4;
  char line[256];
  for (std::size_t i = 0; i < dataLines; ++i) {
    const int year = 1000 + static_cast<int>(i / 12);
    const int month = static_cast<int>(i % 12) + 1;
    const double previous = close;
    close *= 1 + (next() - 0.49) * 0.02;
    const double high = (close > previous ? close : previous) * (1 + next() * 0.004);
    const double low = (close < previous ? close : previous) * (1 - next() * 0.004);
    const int volume = 1000 + static_cast<int>(next() * 20000);
    const int n = std::snprintf(
        line, sizeof line,
        "%d.%02d;%.4f;%.4f;%.4f;%d,%03d;%.2f;%.3f;%.3f;%.3f;%.3f;%.3f;%.3f;%.3f;%.3f;%.3f\r\n",
        year, month, high, low, close, volume / 1000, volume % 1000, (close / previous - 1) * 100,
        close * 1.10, close * 1.05, close * 1.02, close * 0.98, close * 0.97, close * 0.95,
        close * 0.90, close * 0.88, close * 0.85);
    text.append(line, static_cast<std::size_t>(n));
  }
  return text;
}

}  // namespace orvane::bench
