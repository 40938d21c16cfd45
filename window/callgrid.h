// How the call grid `gr` shows the list `dsCall`: the widths, colours, fonts and alignment of its five
// columns, DATA in the system's date and time format with seconds, SENH and TIPO hidden.
#pragma once

#include <QIdentityProxyModel>
#include <QLocale>
#include <QString>

class QTableView;

namespace window {

// The system's short date and its time with seconds (the short time format, seconds added where
// it has none), e.g. "dd/MM/yyyy HH:mm:ss" for pt_BR.
QString DateTimeWithSecondsFormat(const QLocale& locale);

// Over the store's list model, whose columns are calls::TCallColumn.
class TCallGridModel : public QIdentityProxyModel {
  Q_OBJECT
 public:
  using QIdentityProxyModel::QIdentityProxyModel;

  QVariant data(const QModelIndex& index, int role) const override;
  // The row header is the row indicator: no numbers, a marker at the current row.
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  void SetCurrentRow(int row);

 private:
  int FCurrentRow = -1;
};

// Binds the grid to the model and keeps its columns laid out whenever the list is reopened.
void BindCallGrid(QTableView& grid, TCallGridModel& model);

}  // namespace window
