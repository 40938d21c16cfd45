// dsCall as the grid sees it, without a database.
#include <gtest/gtest.h>

#include "calllistmodel.h"

using namespace calls;

namespace {

TCallRow Row(std::string rama = "20155") {
  TCallRecord call;
  call.DATA = {2026, 3, 14, 23, 59, 58};
  call.RAMA = std::move(rama);
  call.NUME_DISC = "ÁÉÍÓÚáéíóúçãõ0123456789";
  call.DURA = " 00:00:09 ";
  call.SENH = "9876";
  call.TRON = " 3";
  call.TIPO = "X";
  return CallRowFrom(call);
}

TEST(CallListModel, ARowHoldsTheCallCutToItsWidthsByCharactersWithTipoNull) {
  TCallListModel model;
  model.Append(Row());
  const QVariant data = model.data(model.index(0, ccDATA));
  EXPECT_EQ(data.metaType().id(), QMetaType::QDateTime);
  EXPECT_EQ(data.toDateTime(), QDateTime(QDate(2026, 3, 14), QTime(23, 59, 58)));
  EXPECT_EQ(model.data(model.index(0, ccRAMA)).toString(), "2015");
  EXPECT_EQ(model.data(model.index(0, ccNUME_DISC)).toString(), QString::fromUtf8("ÁÉÍÓÚáéíóúçãõ0123456"));
  EXPECT_EQ(model.data(model.index(0, ccDURA)).toString(), " 00:00:09 ");
  EXPECT_EQ(model.data(model.index(0, ccSENH)).toString(), "9876");
  EXPECT_EQ(model.data(model.index(0, ccTRON)).toString(), " 3");
  EXPECT_TRUE(model.data(model.index(0, ccTIPO)).isNull());
  EXPECT_EQ(model.data(model.index(0, ccTRON), Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
  EXPECT_FALSE(model.flags(model.index(0, ccRAMA)).testFlag(Qt::ItemIsEditable));
}

TEST(CallListModel, AppendingAnnouncesOneRowAtTheEnd) {
  TCallListModel model;
  TRowBlocks rows;
  rows.push_back(Row());
  rows.push_back(Row());
  model.Reset(std::move(rows));
  std::vector<std::pair<int, int>> inserted;
  QObject::connect(&model, &QAbstractItemModel::rowsInserted,
                   [&](const QModelIndex&, int first, int last) { inserted.emplace_back(first, last); });
  model.Append(Row());
  EXPECT_EQ(inserted, (std::vector<std::pair<int, int>>{{2, 2}}));
  EXPECT_EQ(model.rowCount(), 3);
}

TEST(CallListModel, RowsSpanningBlocksKeepTheirOrder) {
  TRowBlocks rows;
  for (int i = 0; i < 10000; ++i) rows.push_back(Row(std::to_string(i % 1000)));
  TCallListModel model;
  model.Reset(std::move(rows));
  ASSERT_EQ(model.rowCount(), 10000);
  for (const int row : {0, 4095, 4096, 8191, 8192, 9999}) {
    EXPECT_EQ(model.data(model.index(row, ccRAMA)).toString(), QString::number(row % 1000)) << row;
  }
}

}  // namespace
