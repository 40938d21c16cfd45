// dsCall: the day's call list as a read-only table model for the grid.
#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <deque>
#include <limits>
#include <vector>

#include "rowblocks.h"

namespace calls {

// Column order of the list; SENH and TIPO are held but the grid hides them.
enum TCallColumn { ccDATA, ccRAMA, ccNUME_DISC, ccDURA, ccTRON, ccSENH, ccTIPO, ccCount };

inline constexpr bool IsHiddenColumn(int column) {
  return column == ccSENH || column == ccTIPO;
}

// data() for this role: true while the row's call is in the journal only, not yet in the host database.
inline constexpr int WaitingRole = Qt::UserRole + 1;

class TCallListModel final : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  // DATA as a QDateTime (the view formats it), the text columns as text, TIPO null.
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // The list read at some moment: the calls appended here since, journaled after lastJournalId, are
  // kept at its end.
  void Reset(TRowBlocks rows, qint64 lastJournalId = std::numeric_limits<qint64>::max());
  void Append(const TCallRow& row);
  // The rows of these journal ids are now in the host database.
  void MarkDelivered(const std::vector<qint64>& journalIds);
  const TCallRow& Row(int row) const { return FRows[static_cast<std::size_t>(row)]; }

 private:
  void NoteWaiting(std::size_t row);

  TRowBlocks FRows;
  QHash<qint64, std::size_t> FWaitingRows;  // journal id -> row
  std::deque<TCallRow> FAppended;           // since the last Reset
};

}  // namespace calls
