#include "calllistmodel.h"

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
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case ccDATA:
      return QStringLiteral("Data");
    case ccRAMA:
      return QStringLiteral("Ramal");
    case ccNUME_DISC:
      return QStringLiteral("Número Discado");
    case ccDURA:
      return QStringLiteral("Duração");
    case ccTRON:
      return QStringLiteral("Tronco");
    case ccSENH:
      return QStringLiteral("SENH");
    case ccTIPO:
      return QStringLiteral("TIPO");
    default:
      return {};
  }
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
