// Any bytes as a series file, through every chart mode's pipeline and the full paint (onto the
// recording canvas): hostile records (NaN, huge values, dates out of order) never crash a mode.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "chart/chart_painter.h"
#include "chart/recording_canvas.h"
#include "data/series_reader.h"
#include "modes/modes.h"
#include "modes/pipeline.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte picks the scale and the years, the rest is the file.
  const std::uint8_t choice = data[0];
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  orvane::DataTable table;
  orvane::LoadDataText(table, bytes);
  const orvane::SeriesData series = orvane::LoadRecords(table);
  orvane::PipelineInputs in;
  in.records = series.records;
  in.header = series.header;
  in.scaleChoice = (choice & 1) != 0 ? orvane::kScaleArith : orvane::kScaleArith + 1;
  in.fromYear = (choice & 2) != 0 ? 1700 : 2005;
  in.toYear = (choice & 4) != 0 ? 2030 : 1990;
  const orvane::ChartResources resources;
  for (int mode = 1; mode < orvane::kModeCount; ++mode) {
    orvane::ChartModel chart;
    if (!orvane::BuildChart(mode, in, chart)) continue;
    orvane::RecordingCanvas canvas;
    orvane::PaintChart(chart, canvas, 640, 400, resources);
  }
  return 0;
}
