// How the call grid `gr` shows the list `dsCall`: the widths, colours, fonts and alignment of its five
// columns, DATA in the system's date and time format with seconds, SENH and TIPO hidden.
#pragma once

#include <QColor>
#include <QFont>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QString>
#include <array>

#include "calllistmodel.h"

class QTableView;

namespace window {

// The system's short date and its time with seconds (the short time format, seconds added where
// it has none), e.g. "dd/MM/yyyy HH:mm:ss" for pt_BR.
QString DateTimeWithSecondsFormat(const QLocale& locale);

// Over the store's list model, whose columns are calls::TCallColumn.
class TCallGridModel : public QIdentityProxyModel {
  Q_OBJECT
 public:
  // Takes the system's formats and palette as they are now: a paint asks for every visible cell's
  // look, so it is worked out once.
  explicit TCallGridModel(QObject* parent = nullptr);

  QVariant data(const QModelIndex& index, int role) const override;
  // The row header is the row indicator: no numbers, a marker at the current row.
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  void SetCurrentRow(int row);

 private:
  int FCurrentRow = -1;
  QLocale FLocale;
  QString FDateTimeFormat;
  QFont FCellFont;
  QFont FWaitingFont;  // a call not yet in the host database
  std::array<QColor, calls::ccCount> FCellColours;
};

// Binds the grid to the model and keeps its columns laid out whenever the list is reopened.
void BindCallGrid(QTableView& grid, TCallGridModel& model);

}  // namespace window
