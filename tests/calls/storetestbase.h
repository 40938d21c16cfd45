// What the call store tests share: a store over a fresh host database for one engine, and calls to
// put into it.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QDateTime>
#include <optional>
#include <string>

#include "callstore.h"
#include "hostdatabase.h"

namespace storetest {

inline QString EngineName(testsupport::TEngine engine) {
  return engine == testsupport::TEngine::Sqlite ? QStringLiteral("Sqlite") : QStringLiteral("Postgres");
}

inline calls::TCallRecord Call(int day, int hour, int minute, int second, std::string rama = "201",
                               std::string numeDisc = "0215551234") {
  calls::TCallRecord call;
  call.DATA = {2026, 3, day, hour, minute, second};
  call.RAMA = std::move(rama);
  call.NUME_DISC = std::move(numeDisc);
  call.DURA = "00:01:05";
  call.SENH = "4321";
  call.TRON = "07";
  return call;
}

inline QDateTime At(int day, int hour, int minute, int second) {
  return QDateTime(QDate(2026, 3, day), QTime(hour, minute, second));
}

// One column of the list as the grid would show it.
inline QVariantList ListColumn(const QAbstractItemModel& model, int column) {
  QVariantList values;
  for (int row = 0; row < model.rowCount(); ++row) values.push_back(model.data(model.index(row, column)));
  return values;
}

class TStoreTestBase {
 protected:
  void Open(testsupport::TEngine engine, std::optional<calls::TStoreSettings> settings = std::nullopt) {
    Host.emplace(engine, QStringLiteral("store-odbc"));
    Store.emplace(settings ? *settings : Host->Settings());
    ASSERT_TRUE(Store->Connect()) << Store->LastError().toStdString();
  }

  int StoredCount() { return Host->Count(QStringLiteral("SELECT COUNT(*) FROM TBCALL")); }

  // RAMA of the stored calls by date, blank padding dropped.
  QStringList StoredRamas() {
    QStringList ramas;
    for (const QVariantList& row : Host->Rows(QStringLiteral("SELECT RAMA FROM TBCALL ORDER BY DATA"))) {
      ramas.push_back(row.front().toString().trimmed());
    }
    return ramas;
  }

  std::optional<testsupport::THostDatabase> Host;
  std::optional<calls::TCallStore> Store;
};

}  // namespace storetest
