#include "loglines.h"

namespace service {

int TLogLines::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(FEnds.size());
}

QVariant TLogLines::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  switch (role) {
    case Qt::DisplayRole: {
      const auto row = static_cast<std::size_t>(index.row());
      const std::uint32_t start = row == 0 ? 0 : FEnds[row - 1];
      return QString::fromUtf8(FText.data() + start, static_cast<qsizetype>(FEnds[row] - start));
    }
    case Qt::SizeHintRole:
      return FLineSize;
    default:
      return {};
  }
}

void TLogLines::AppendLine(const QString& line) {
  if (rowCount() >= MaxLogLines) DropOldest(MaxLogLines / 10);
  const int row = rowCount();
  beginInsertRows({}, row, row);
  FText += line.toStdString();
  FEnds.push_back(static_cast<std::uint32_t>(FText.size()));
  endInsertRows();
}

void TLogLines::Clear() {
  beginResetModel();
  // Given back, not only emptied: the new day starts small.
  std::string().swap(FText);
  std::vector<std::uint32_t>().swap(FEnds);
  endResetModel();
}

void TLogLines::DropOldest(int count) {
  beginRemoveRows({}, 0, count - 1);
  const std::uint32_t dropped = FEnds[static_cast<std::size_t>(count) - 1];
  FText.erase(0, dropped);
  FEnds.erase(FEnds.begin(), FEnds.begin() + count);
  for (std::uint32_t& end : FEnds) end -= dropped;
  endRemoveRows();
}

}  // namespace service
