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

void TCallListModel::Reset(TRowBlocks rows) {
  beginResetModel();
  FRows = std::move(rows);
  endResetModel();
}

void TCallListModel::Append(const TCallRow& row) {
  const int at = rowCount();
  beginInsertRows({}, at, at);
  FRows.push_back(row);
  endInsertRows();
}

}  // namespace calls
