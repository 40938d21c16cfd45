#include "calllistmodel.h"

#include <array>

namespace calls {

int TCallListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(FRows.size());
}

int TCallListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ccCount;
}

QVariant TCallListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  if (role == Qt::TextAlignmentRole && index.column() == ccTRON) return int(Qt::AlignCenter);
  if (role == WaitingRole) return Row(index.row()).Waiting;
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  const TCallRow& row = Row(index.row());
  switch (index.column()) {
    case ccDATA:
      return row.DATA.DateTime();
    case ccRAMA:
      return row.RAMA.Text();
    case ccNUME_DISC:
      return row.NUME_DISC.Text();
    case ccDURA:
      return row.DURA.Text();
    case ccTRON:
      return row.TRON.Text();
    case ccSENH:
      return row.SENH.Text();
    case ccTIPO:
      return row.TIPO.Value();
    default:
      return {};
  }
}

QVariant TCallListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  // The hidden columns keep their field names.
  static constexpr std::array<const char16_t*, ccCount> Titles = {
      u"Data", u"Ramal", u"Número Discado", u"Duração", u"Tronco", u"SENH", u"TIPO"};
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ccCount)
    return {};
  return QString::fromUtf16(Titles[static_cast<std::size_t>(section)]);
}

Qt::ItemFlags TCallListModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void TCallListModel::Reset(TRowBlocks rows, qint64 lastJournalId) {
  beginResetModel();
  FRows = std::move(rows);
  FWaitingRows.clear();
  // Journaled after the list was read, so not yet delivered when it was: still waiting.
  std::erase_if(FAppended, [&](const TCallRow& row) { return row.JournalId <= lastJournalId; });
  for (const TCallRow& row : FAppended) FRows.push_back(row);
  for (std::size_t i = 0; i < FRows.size(); ++i) NoteWaiting(i);
  endResetModel();
}

void TCallListModel::Append(const TCallRow& row) {
  const int at = rowCount();
  beginInsertRows({}, at, at);
  FRows.push_back(row);
  NoteWaiting(FRows.size() - 1);
  if (row.JournalId > 0) FAppended.push_back(row);
  endInsertRows();
}

void TCallListModel::NoteWaiting(std::size_t row) {
  if (FRows[row].Waiting) FWaitingRows.insert(FRows[row].JournalId, row);
}

void TCallListModel::MarkDelivered(const std::vector<qint64>& journalIds) {
  int first = rowCount();
  int last = -1;
  for (const qint64 id : journalIds) {
    const auto found = FWaitingRows.constFind(id);
    if (found == FWaitingRows.cend()) continue;
    FRows.At(*found).Waiting = false;
    first = std::min(first, static_cast<int>(*found));
    last = std::max(last, static_cast<int>(*found));
    FWaitingRows.erase(found);
  }
  if (last >= 0) emit dataChanged(index(first, 0), index(last, ccCount - 1));
}

}  // namespace calls
