#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "chart/dated_notes.h"
#include "chart/qt/cchart_ctl.h"

class QMenu;
class QPainter;
class QWidget;

namespace orvane {

// Each note as a thin vertical marker at the period that holds its month, its text at the top
// of the main pane (stacked where texts would overlap). Notes outside the view are not drawn.
void DrawNotes(QPainter& painter, const ChartGeometry& g, const std::vector<ChartSeries>& series,
               const std::vector<DatedNote>& notes);

// The dated notes of the series a window shows: drawn on every chart attached, added, edited
// and removed from that window's context menu. Without a notes file there are none.
class ChartNotes {
 public:
  // Asks for a note's text (title, text so far); empty when the member cancels.
  using Prompt = std::function<std::optional<QString>(QWidget* parent, const QString& title,
                                                      const QString& text)>;

  ChartNotes();

  void SetFile(NotesFile* file) { file_ = file; }
  // The series file the window shows: notes are kept under its name.
  void SetSeries(std::string series) { series_ = std::move(series); }
  std::vector<DatedNote> Notes() const;
  // Draws the notes on this chart from its next full paint on.
  void Attach(CCHARTctl& chart);
  // "메모 추가…" at the month under column x of the chart, and for each note in the period
  // there "메모 편집…" and "메모 삭제".
  void AddActions(QMenu& menu, CCHARTctl& chart, int x);

  Prompt prompt;

 private:
  void Store(CCHARTctl& chart, std::int32_t month, const QString& text);

  NotesFile* file_ = nullptr;
  std::string series_;
  std::vector<CCHARTctl*> charts_;
};

}  // namespace orvane
