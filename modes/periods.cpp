#include "modes/periods.h"

#include <algorithm>
#include <cmath>

#include "chart/palette.h"
#include "data/number_text.h"

namespace orvane {
namespace {

bool OpensPeriod(const DataRecord& month, const DataRecord& open, PeriodKind kind) {
  if (kind == PeriodKind::Quarter) {
    const int m = month.date % 100;
    return m == 1 || m == 4 || m == 7 || m == 10;
  }
  return month.date / 100 != open.date / 100;
}

// Label and bar colour follow the record's own candle: up when it did not fall.
void LabelBySide(WorkPoint& p, const SourceRow& r, const std::string& label) {
  p.rising = r.v[kOpen] <= r.v[kClose];
  if (p.rising) {
    p.SetUpperLabel(label);
  } else {
    p.SetLowerLabel(label);
  }
}

void SetBar(ChartPoint& p, double base, double top) {
  p.open = base;
  p.close = top;
  p.high = std::max(base, top);
  p.low = std::min(base, top);
}

}  // namespace

std::vector<DataRecord> MergePeriods(std::span<const DataRecord> months, PeriodKind kind) {
  std::vector<DataRecord> periods;
  periods.reserve(std::max<std::size_t>(1000, months.size() / 3 + 1));
  DataRecord open;
  for (std::size_t i = 0; i < months.size(); ++i) {
    const DataRecord& m = months[i];
    if (i == 0 || OpensPeriod(m, open, kind)) {
      if (i > 0) periods.push_back(open);
      open = DataRecord{};
      open.date = m.date;
      for (int s : {kOpen, kHigh, kLow, kClose, kVolume}) open.v[s] = m.v[s];
    } else {
      open.date = m.date;
      open.v[kHigh] = std::max(open.v[kHigh], m.v[kHigh]);
      open.v[kLow] = std::min(open.v[kLow], m.v[kLow]);
      open.v[kVolume] += m.v[kVolume];
      open.v[kClose] = m.v[kClose];
    }
    open.v[kCompanion] = m.v[kCompanion];
  }
  if (!months.empty()) periods.push_back(open);
  return periods;
}

void SetPercentChange(std::span<DataRecord> work) {
  for (std::size_t i = 0; i < work.size(); ++i) {
    const double base = i == 0 ? work[i].v[kOpen] : work[i - 1].v[kClose];
    work[i].v[kChangeSlot] = (work[i].v[kClose] / base - 1.0) * 100.0;
  }
}

LowerPane LowerPaneOf(std::span<const DataRecord> work) {
  double maxVolume = 0.0, maxChange = 0.0, minChange = 0.0;
  for (const DataRecord& r : work) {
    // A change that is not a number (a zero open or close) has no bar; it sets no extreme.
    if (std::isfinite(r.v[kVolume])) maxVolume = std::max(maxVolume, r.v[kVolume]);
    if (std::isfinite(r.v[kChangeSlot])) {
      maxChange = std::max(maxChange, r.v[kChangeSlot]);
      minChange = std::min(minChange, r.v[kChangeSlot]);
    }
  }
  LowerPane pane;
  if (maxChange > 0.0 && maxVolume > 0.0) pane.scale = 3.0 * maxVolume / maxChange;
  pane.offset = 2.0 * pane.scale * minChange;
  return pane;
}

std::string VolumeLabel(double volume) { return GroupThousands(NumberText(volume, 0)); }

std::string ChangeLabel(double change) { return NumberText(change, 2) + "%"; }

PointRecipe LiftedVolumeBars(LowerPane pane) {
  return {Slots({kVolume, kOpen, kClose}), [pane](const SourceRow& r, WorkPoint& p) {
            SetBar(p, pane.offset, pane.offset + r.v[kVolume]);
            p.valid = r.date >= 1;
            LabelBySide(p, r, VolumeLabel(r.v[kVolume]));
          }};
}

PointRecipe ScaledChangeBars(LowerPane pane) {
  return {Slots({kChangeSlot, kOpen, kClose}), [pane](const SourceRow& r, WorkPoint& p) {
            const double change = r.v[kChangeSlot];
            SetBar(p, 0.0, 2.0 * pane.scale * change);
            p.valid = r.date >= 1 && std::isfinite(change);
            LabelBySide(p, r, ChangeLabel(change));
          }};
}

PointRecipe ChangeBars(bool labelled) {
  return {Slots({kChangeSlot, kOpen, kClose}), [labelled](const SourceRow& r, WorkPoint& p) {
            const double change = r.v[kChangeSlot];
            SetBar(p, 0.0, change);
            p.valid = std::isfinite(change);
            if (labelled) LabelBySide(p, r, ChangeLabel(change));
          }};
}

std::array<SeriesRow, 2> LowerPaneBars(LowerPane pane) {
  // The change bars hang from 0.4 of the pane height.
  constexpr double kChangeBarLift = 0.4;
  return {{
      {.look = {.style = SeriesStyle::FlaggedCandle,
                .color = Rgb(255, 0, 0),
                .upColor = Rgb(255, 153, 22),
                .downColor = Rgb(22, 153, 255),
                .inMainRange = true,
                .inLowerPane = true,
                .horizontalLabels = false},
       .values = LiftedVolumeBars(pane)},
      {.look = {.style = SeriesStyle::FlaggedCandle,
                .color = Rgb(255, 0, 0),
                .upColor = kRisingBarColor,
                .downColor = kFallingBarColor,
                .inMainRange = true,
                .inLowerPane = true,
                .baseLift = kChangeBarLift,
                .horizontalLabels = true},
       .values = ScaledChangeBars(pane)},
  }};
}

}  // namespace orvane
