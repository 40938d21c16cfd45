#include "callgrid.h"

#include <QApplication>
#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QHeaderView>
#include <QPalette>
#include <QTableView>
#include <array>

#include "appfonts.h"
#include "calllistmodel.h"
#include "columnlines.h"
#include "oncelater.h"

namespace window {

namespace {

enum class TCellColour { ccToolTip, ccMoneyGreen, ccWindow };

struct TGridColumn {
  int Width;
  TCellColour Colour;
  Qt::Alignment Alignment;
};

constexpr Qt::Alignment LeftAligned = Qt::AlignLeft | Qt::AlignVCenter;

// Indexed by calls::TCallColumn; the hidden columns keep no look of their own.
constexpr std::array<TGridColumn, calls::ccCount> Columns{{
    {120, TCellColour::ccToolTip, LeftAligned},     // DATA
    {44, TCellColour::ccMoneyGreen, LeftAligned},   // RAMA
    {120, TCellColour::ccMoneyGreen, LeftAligned},  // NUME_DISC
    {68, TCellColour::ccMoneyGreen, LeftAligned},   // DURA
    {39, TCellColour::ccWindow, Qt::AlignCenter},   // TRON
    {0, TCellColour::ccWindow, LeftAligned},        // SENH
    {0, TCellColour::ccWindow, LeftAligned},        // TIPO
}};

constexpr int RowHeight = 15;
constexpr int IndicatorWidth = 12;

const QColor Maroon(128, 0, 0);
const QColor MoneyGreen(192, 220, 192);
const QColor WaitingGrey(128, 128, 128);

QColor CellColour(TCellColour colour) {
  const QPalette palette = QApplication::palette();
  switch (colour) {
    case TCellColour::ccToolTip:
      return palette.color(QPalette::ToolTipBase);
    case TCellColour::ccMoneyGreen:
      return MoneyGreen;
    case TCellColour::ccWindow:
      break;
  }
  return palette.color(QPalette::Base);
}

void LayOutColumns(QTableView& grid) {
  for (int column = 0; column < calls::ccCount; ++column) {
    grid.setColumnHidden(column, calls::IsHiddenColumn(column));
    if (!calls::IsHiddenColumn(column)) grid.setColumnWidth(column, Columns[std::size_t(column)].Width);
  }
}

}  // namespace

QString DateTimeWithSecondsFormat(const QLocale& locale) {
  QString time = locale.timeFormat(QLocale::ShortFormat);
  if (!time.contains(QLatin1Char('s'))) {
    const qsizetype minutes = time.lastIndexOf(QLatin1Char('m'));
    if (minutes >= 0) time.insert(minutes + 1, QStringLiteral(":ss"));
  }
  return locale.dateFormat(QLocale::ShortFormat) + QLatin1Char(' ') + time;
}

TCallGridModel::TCallGridModel(QObject* parent)
    : QIdentityProxyModel(parent),
      FLocale(QLocale::system()),
      FDateTimeFormat(DateTimeWithSecondsFormat(FLocale)),
      FCellFont(ArialPixels(9)),
      FWaitingFont(FCellFont) {
  FWaitingFont.setItalic(true);
  for (std::size_t column = 0; column < FCellColours.size(); ++column)
    FCellColours[column] = CellColour(Columns[column].Colour);
}

QVariant TCallGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.column() >= calls::ccCount) return QIdentityProxyModel::data(index, role);
  // A call only in the journal, not yet in the host database.
  const bool waiting = (role == Qt::ForegroundRole || role == Qt::FontRole) &&
                       QIdentityProxyModel::data(index, calls::WaitingRole).toBool();
  switch (role) {
    case Qt::DisplayRole:
      if (index.column() == calls::ccDATA) {
        return FLocale.toString(QIdentityProxyModel::data(index, role).toDateTime(), FDateTimeFormat);
      }
      return QIdentityProxyModel::data(index, role);
    case Qt::BackgroundRole:
      return FCellColours[std::size_t(index.column())];
    case Qt::ForegroundRole:
      return waiting ? WaitingGrey : Maroon;
    case Qt::FontRole:
      return waiting ? FWaitingFont : FCellFont;
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Columns[std::size_t(index.column())].Alignment);
    default:
      return QIdentityProxyModel::data(index, role);
  }
}

QVariant TCallGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Vertical) {
    if (role != Qt::DisplayRole) return QIdentityProxyModel::headerData(section, orientation, role);
    return section == FCurrentRow ? QStringLiteral("\u25B8") : QString();
  }
  switch (role) {
    case Qt::ForegroundRole:
      return Maroon;
    case Qt::FontRole:
      return ArialPixels(11);
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    default:
      return QIdentityProxyModel::headerData(section, orientation, role);
  }
}

void TCallGridModel::SetCurrentRow(int row) {
  if (row == FCurrentRow) return;
  const int previous = FCurrentRow;
  FCurrentRow = row;
  if (previous >= 0 && previous < rowCount()) emit headerDataChanged(Qt::Vertical, previous, previous);
  if (row >= 0) emit headerDataChanged(Qt::Vertical, row, row);
}

void BindCallGrid(QTableView& grid, TCallGridModel& model) {
  grid.setModel(&model);
  grid.setItemDelegate(new TColumnLineDelegate(&grid));
  QHeaderView& indicator = *grid.verticalHeader();
  indicator.setSectionResizeMode(QHeaderView::Fixed);
  indicator.setMinimumSectionSize(RowHeight);
  indicator.setDefaultSectionSize(RowHeight);
  indicator.setFixedWidth(IndicatorWidth);
  indicator.setDefaultAlignment(Qt::AlignCenter);
  QObject::connect(grid.selectionModel(), &QItemSelectionModel::currentRowChanged, &grid,
                   [&model](const QModelIndex& current) { model.SetCurrentRow(current.row()); });
  grid.horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  grid.horizontalHeader()->setMinimumSectionSize(12);
  // A new call becomes the current row, as the list's cursor stays on the row just appended, and is
  // scrolled into view; a burst of calls moves the row, lays out and repaints the grid once, on the
  // next pass of the event loop.
  const TOnceLater toLastRow(grid, [&grid, &model] {
    grid.setCurrentIndex(model.index(model.rowCount() - 1, calls::ccDATA));
    grid.scrollTo(grid.currentIndex());
  });
  QObject::connect(&model, &QAbstractItemModel::rowsInserted, &grid, [toLastRow] { toLastRow.Request(); });
  // A reopened list resets the header, which may forget hidden and resized sections.
  // A reopened list starts at its first row, as the list's cursor does.
  QObject::connect(&model, &QAbstractItemModel::modelReset, &grid, [&grid, &model, toLastRow] {
    toLastRow.Cancel();
    LayOutColumns(grid);
    model.SetCurrentRow(-1);
    grid.setCurrentIndex(model.index(0, calls::ccDATA));
  });
  LayOutColumns(grid);
}

}  // namespace window
