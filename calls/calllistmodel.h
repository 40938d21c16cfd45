// dsCall: the day's call list as a read-only table model for the grid.
#pragma once

#include <QAbstractTableModel>

#include "rowblocks.h"

namespace calls {

// Column order of the list; SENH and TIPO are held but the grid hides them.
enum TCallColumn { ccDATA, ccRAMA, ccNUME_DISC, ccDURA, ccTRON, ccSENH, ccTIPO, ccCount };

inline constexpr bool IsHiddenColumn(int column) {
  return column == ccSENH || column == ccTIPO;
}

class TCallListModel final : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  // DATA as a QDateTime (the view formats it), the text columns as text, TIPO null.
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  void Reset(TRowBlocks rows);
  void Append(const TCallRow& row);
  const TCallRow& Row(int row) const { return FRows[static_cast<std::size_t>(row)]; }

 private:
  TRowBlocks FRows;
};

}  // namespace calls
