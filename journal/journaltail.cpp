#include "journaltail.h"

#include <QSqlQuery>
#include <QVariant>

#include "journal.h"

namespace calls {

namespace {

const QString KeepTailSQL = QStringLiteral("INSERT OR REPLACE INTO TBRESTO (ID, BYTE) VALUES (1, ?)");
const QString DropTailSQL = QStringLiteral("DELETE FROM TBRESTO");
const QString TailSQL = QStringLiteral("SELECT BYTE FROM TBRESTO WHERE ID = 1");

}  // namespace

QSqlError KeepTail(const QSqlDatabase& db, const std::string& tail) {
  QSqlQuery query(db);
  if (tail.empty()) return query.exec(DropTailSQL) ? QSqlError() : query.lastError();
  query.prepare(KeepTailSQL);
  query.addBindValue(QByteArray(tail.data(), static_cast<qsizetype>(tail.size())));
  return query.exec() ? QSqlError() : query.lastError();
}

bool TJournal::Tail(std::string& tail) {
  tail.clear();
  QSqlQuery query(QSqlDatabase::database(FConnectionName, false));
  if (!query.exec(TailSQL)) return Fail(query.lastError().text());
  if (query.next()) tail = query.value(0).toByteArray().toStdString();
  return true;
}

}  // namespace calls
