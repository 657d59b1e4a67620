#include "chart/qt/note_marks.h"

#include <QDir>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <mutex>

#include "chart/chart_interaction.h"
#include "chart/chart_tools.h"
#include "chart/qt/qt_canvas.h"

namespace orvane {
namespace {

const QColor kNoteColor(128, 0, 160);
const QColor kNoteFill(255, 255, 255, 220);
constexpr int kTextGap = 3;
// Menu items show this many characters of a note.
constexpr int kMenuTextChars = 24;

std::optional<QString> AskText(QWidget* parent, const QString& title, const QString& text) {
  QInputDialog dialog(parent);
  dialog.setWindowTitle(title);
  dialog.setLabelText(QStringLiteral("메모 (짧은 글):"));
  dialog.setTextValue(text);
  if (auto* edit = dialog.findChild<QLineEdit*>()) {
    edit->setMaxLength(static_cast<int>(kMaxNoteBytes / 3));
    edit->setAccessibleName(QStringLiteral("메모"));
  }
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.textValue();
}

QString MenuText(const DatedNote& note) {
  QString text = QString::fromStdString(note.text);
  if (text.size() > kMenuTextChars) text = text.left(kMenuTextChars) + QStringLiteral("…");
  return QString::fromStdString(ReadoutDate(note.month)) + QStringLiteral(" ") + text;
}

}  // namespace

void DrawNotes(QPainter& painter, const ChartGeometry& g, const std::vector<ChartSeries>& series,
               const std::vector<DatedNote>& notes) {
  if (notes.empty() || series.empty()) return;
  static const QFont font = ChartQFont(DialogFont8());
  const QFontMetrics metrics(font);
  painter.save();
  painter.setFont(font);
  const int end = static_cast<int>(g.VisibleEnd(series.front()));
  // Right edge of the last text in each row, so later texts move down instead of overlapping.
  std::vector<int> rowEnds;
  for (const DatedNote& note : notes) {
    const std::optional<PointIndex> index = PointForMonth(series, note.month);
    if (!index || static_cast<int>(*index) < g.firstIndex || static_cast<int>(*index) >= end) {
      continue;
    }
    const int x = g.X(g.PositionOf(*index));
    painter.fillRect(QRect(x, g.mainPane.top, 1, g.plotBottom - g.mainPane.top), kNoteColor);
    const QString text = QString::fromStdString(note.text);
    const int width = metrics.horizontalAdvance(text) + 2 * kTextGap;
    int left = x + kTextGap;
    if (left + width > g.plotRight) left = std::max(0, x - kTextGap - width);
    std::size_t row = 0;
    while (row < rowEnds.size() && rowEnds[row] > left) ++row;
    if (row == rowEnds.size()) rowEnds.push_back(0);
    rowEnds[row] = left + width;
    const QRect box(left, g.mainPane.top + static_cast<int>(row) * metrics.height(), width,
                    metrics.height());
    painter.fillRect(box, kNoteFill);
    painter.setPen(kNoteColor);
    painter.drawText(box, Qt::AlignCenter, text);
  }
  painter.restore();
}

ChartNotes::ChartNotes() : prompt(AskText) {}

std::vector<DatedNote> ChartNotes::Notes() const {
  return file_ != nullptr ? file_->Notes(series_) : std::vector<DatedNote>{};
}

void ChartNotes::Attach(CCHARTctl& chart) {
  charts_.push_back(&chart);
  chart.SetFrameDecoration(
      [this](QPainter& painter, const ChartGeometry& g, const std::vector<ChartSeries>& series) {
        DrawNotes(painter, g, series, Notes());
      });
}

void ChartNotes::AddActions(QMenu& menu, CCHARTctl& chart, int x) {
  if (file_ == nullptr || series_.empty()) return;
  const std::optional<PointIndex> index = chart.PointAt(x);
  if (!index) return;
  std::int32_t month = 0, from = 0;
  {
    std::lock_guard lock(chart.Model().seriesLock);
    const auto& points = chart.Model().series.front().points;
    month = points[static_cast<std::size_t>(*index)].date;
    from = PeriodStart(chart.Model().series, *index);
  }
  if (!IsNoteMonth(month)) return;
  std::vector<DatedNote> here;
  for (const DatedNote& note : Notes()) {
    if (note.month >= from && note.month <= month) here.push_back(note);
  }
  QWidget* parent = &chart;
  if (here.empty() || here.back().month != month) {
    const QString title = QString::fromStdString(ReadoutDate(month)) + QStringLiteral(" 메모 추가");
    menu.addAction(QStringLiteral("메모 추가…"), [this, &chart, parent, month, title] {
      if (auto text = prompt(parent, title, {}); text && !text->trimmed().isEmpty()) {
        Store(chart, month, *text);
      }
    });
  }
  for (const DatedNote& note : here) {
    const QString label = MenuText(note);
    menu.addAction(QStringLiteral("메모 편집… ") + label, [this, &chart, parent, note] {
      const QString title =
          QString::fromStdString(ReadoutDate(note.month)) + QStringLiteral(" 메모 편집");
      if (auto text = prompt(parent, title, QString::fromStdString(note.text))) {
        Store(chart, note.month, *text);
      }
    });
    menu.addAction(QStringLiteral("메모 삭제 ") + label,
                   [this, &chart, note] { Store(chart, note.month, {}); });
  }
}

void ChartNotes::Store(CCHARTctl& chart, std::int32_t month, const QString& text) {
  if (file_ == nullptr) return;
  if (!file_->Set(series_, month, text.toStdString())) {
    chart.ShowNote(QStringLiteral("메모를 저장하지 못했습니다: ") +
                   QDir::toNativeSeparators(QString::fromStdString(file_->Path().string())));
    return;
  }
  for (CCHARTctl* c : charts_) c->RepaintFrame();
}

}  // namespace orvane
