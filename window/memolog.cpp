#include "memolog.h"

#include <QApplication>
#include <QListView>

#include "appfonts.h"

namespace window {

namespace {

const QColor Lime(0, 255, 0);

// Wide enough for a whole log line of digits, the widest characters of a call line, with the
// item's text margins.
QSize LineSize(const QFontMetrics& metrics) {
  constexpr int Margins = 8;
  return {metrics.horizontalAdvance(QString(capture::LogLineWidth, QLatin1Char('0'))) + Margins,
          metrics.height()};
}

QListView& Styled(QListView& memo) {
  memo.setFont(ArialPixels(9));
  // The system's palette decides the background, which a form file cannot say.
  QPalette palette = memo.palette();
  palette.setColor(QPalette::Base, QApplication::palette().color(QPalette::WindowText));
  palette.setColor(QPalette::Text, Lime);
  memo.setPalette(palette);
  memo.viewport()->setCursor(Qt::PointingHandCursor);
  return memo;
}

}  // namespace

TMemoLog::TMemoLog(QListView& memo, service::TLogLines& lines)
    : FScrollToEnd(memo, [&memo] { memo.scrollToBottom(); }) {
  lines.SetLineSize(LineSize(Styled(memo).fontMetrics()));
  memo.setModel(&lines);
  QObject::connect(&lines, &QAbstractItemModel::rowsInserted, &memo,
                   [scroll = FScrollToEnd] { scroll.Request(); });
}

}  // namespace window
