#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <span>
#include <vector>

namespace orvane {

struct ChartPoint {
  std::int32_t date = 0;  // YYYYMM
  // Pipelines set 150000; never read by the chart. It shares four bytes with the two flags, which
  // keeps a point at 40 bytes: long series hold millions of them.
  std::int32_t time : 30 = 0;
  bool valid : 1 = true;   // false marks a gap
  bool rising : 1 = true;  // FlaggedCandle colour: up colour when true
  double open = 0.0;       // for Band: the second edge
  double low = 0.0;
  double high = 0.0;
  double close = 0.0;  // value of Line and Dots; for Band the first edge
};
static_assert(sizeof(ChartPoint) <= 40, "a chart point grew: long series hold millions of them");

// The points of one series, read by value. A line or dots point carries one value (open, low,
// high and close alike), so while every point is flat the list keeps 16 bytes a point instead of
// 40; the first point that is not turns the list into one of whole points. Nothing else about
// the points depends on which storage holds them.
class PointList {
 public:
  PointList() = default;
  PointList(std::initializer_list<ChartPoint> points)
      : PointList(std::span(points.begin(), points.size())) {}
  explicit PointList(std::span<const ChartPoint> points);

  std::size_t size() const { return whole_ ? wholePoints_.size() : flatPoints_.size(); }
  bool empty() const { return size() == 0; }
  ChartPoint operator[](std::size_t i) const {
    if (whole_) return wholePoints_[i];
    const FlatPoint& f = flatPoints_[i];
    ChartPoint p;
    p.date = f.date;
    p.time = f.time;
    p.valid = f.valid;
    p.rising = f.rising;
    p.open = p.low = p.high = p.close = f.value;
    return p;
  }
  // Yields the points by value, in order.
  class ConstIterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = ChartPoint;
    using difference_type = std::ptrdiff_t;
    using reference = ChartPoint;
    using pointer = void;

    ConstIterator() = default;
    ConstIterator(const PointList* list, std::size_t i) : list_(list), i_(i) {}
    ChartPoint operator*() const { return (*list_)[i_]; }
    ConstIterator& operator++() {
      ++i_;
      return *this;
    }
    ConstIterator operator++(int) {
      const ConstIterator old = *this;
      ++i_;
      return old;
    }
    bool operator==(const ConstIterator& other) const { return i_ == other.i_; }

   private:
    const PointList* list_ = nullptr;
    std::size_t i_ = 0;
  };
  ConstIterator begin() const { return {this, 0}; }
  ConstIterator end() const { return {this, size()}; }

  ChartPoint front() const { return (*this)[0]; }
  ChartPoint back() const { return (*this)[size() - 1]; }

  void push_back(const ChartPoint& p) {
    if (whole_) {
      wholePoints_.push_back(p);
    } else if (IsFlat(p)) {
      flatPoints_.push_back(Flatten(p));
    } else {
      PushWhole(p);
    }
  }
  void Set(std::size_t i, const ChartPoint& p);
  // Reads point i, lets `change` alter it and stores it back.
  template <typename Change>
  void Edit(std::size_t i, Change&& change) {
    ChartPoint p = (*this)[i];
    change(p);
    Set(i, p);
  }
  void reserve(std::size_t n);
  // Added points are ChartPoint{}.
  void resize(std::size_t n);
  // Removes the points [first, last).
  void erase(std::size_t first, std::size_t last);
  // Empties the list and lets go of whole storage; the room of flat storage stays.
  void clear();

 private:
  struct FlatPoint {
    std::int32_t date;
    std::int32_t time : 30;
    bool valid : 1;
    bool rising : 1;
    double value;
  };
  static_assert(sizeof(FlatPoint) == 16);

  // Compared bit for bit, so that a NaN or a negative zero reads back exactly as it was stored.
  static bool IsFlat(const ChartPoint& p) {
    const auto bits = [](double v) { return std::bit_cast<std::uint64_t>(v); };
    const std::uint64_t close = bits(p.close);
    return bits(p.open) == close && bits(p.low) == close && bits(p.high) == close;
  }
  static FlatPoint Flatten(const ChartPoint& p) {
    return {.date = p.date, .time = p.time, .valid = p.valid, .rising = p.rising, .value = p.close};
  }
  void PushWhole(const ChartPoint& p);
  // Moves every point to whole storage, keeping the room reserved so far.
  void MakeWhole();

  bool whole_ = false;
  std::vector<FlatPoint> flatPoints_;
  std::vector<ChartPoint> wholePoints_;
};

}  // namespace orvane
