#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "server/sample/sample_parts.h"

namespace orvane::server {
namespace {

constexpr int kSparkMonths = 60;

std::string Escape(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Sparkline(const SeriesFile& f) {
  const int last = f.LastMonth();
  std::vector<double> v;
  for (int m = last - kSparkMonths + 1; m <= last; ++m) {
    const double c = f.CloseAt(m);
    if (!std::isnan(c)) v.push_back(c);
  }
  if (v.size() < 2) return {};
  const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
  const double span = *hi - *lo > 0 ? *hi - *lo : 1.0;
  std::string points;
  for (std::size_t i = 0; i < v.size(); ++i) {
    points += fmt::format("{:.1f},{:.1f} ", 2.0 + 156.0 * i / (v.size() - 1),
                          38.0 - 34.0 * (v[i] - *lo) / span);
  }
  const bool up = v.back() >= v.front();
  return fmt::format(
      "<svg width=\"160\" height=\"40\" viewBox=\"0 0 160 40\"><polyline fill=\"none\" "
      "stroke=\"{}\" stroke-width=\"1.6\" points=\"{}\"/></svg>",
      up ? "#d62728" : "#1f4fd6", points);
}

}  // namespace

std::string WorldMarketsPage(const SeriesBook& book) {
  std::string rows;
  for (const auto& [name, link] : book.markets) {
    const SeriesFile* f = book.Find(link);
    if (f == nullptr) continue;
    const int last = f->LastMonth();
    const double now = f->CloseAt(last);
    const double before = f->CloseAt(last - 1);
    const double change = std::isnan(before) || before == 0 ? 0.0 : now / before - 1.0;
    const char* cls = change > 0 ? "up" : (change < 0 ? "down" : "flat");
    rows += fmt::format(
        "<tr><td class=\"name\">{}</td><td>{}</td><td class=\"num\">{:.2f}</td>"
        "<td class=\"num {}\">{:+.2f}%</td><td>{}</td></tr>\n",
        Escape(name), Escape(f->unit), now, cls, change * 100.0, Sparkline(*f));
  }
  return fmt::format(R"(<!DOCTYPE html>
<html lang="ko">
<head>
<meta charset="utf-8">
<title>Orvane 세계 시장</title>
<style>
body {{ font-family: "Malgun Gothic", "NanumGothic", "Noto Sans CJK KR", sans-serif;
       margin: 0; background: #f4f6fa; color: #1b2430; }}
header {{ background: #12244f; color: #fff; padding: 14px 24px; }}
header h1 {{ margin: 0; font-size: 22px; }}
header p {{ margin: 4px 0 0; font-size: 13px; color: #c8d6f0; }}
main {{ padding: 16px 24px; }}
table {{ border-collapse: collapse; width: 100%; max-width: 900px; background: #fff; }}
th, td {{ border-bottom: 1px solid #dde3ee; padding: 6px 10px; font-size: 14px; }}
th {{ background: #e8edf7; text-align: left; }}
td.num {{ text-align: right; font-variant-numeric: tabular-nums; }}
td.up {{ color: #d62728; }} td.down {{ color: #1f4fd6; }} td.flat {{ color: #555; }}
footer {{ padding: 12px 24px; font-size: 12px; color: #66708a; }}
</style>
</head>
<body>
<header><h1>세계 시장 동향</h1><p>월말 종가 기준 · 2024년 6월 · 최근 5년 추이</p></header>
<main>
<table>
<tr><th>종목</th><th>단위</th><th>종가</th><th>전월비</th><th>최근 5년</th></tr>
{}</table>
</main>
<footer>Orvane 참고 서비스의 예시 자료입니다. 외부 자원을 쓰지 않습니다.</footer>
</body>
</html>
)",
                     rows);
}

}  // namespace orvane::server
