// The site's settings: the names and statements the host system expects, character for character.
#include <gtest/gtest.h>

#include "storesettings.h"

namespace {

TEST(StoreSettings, ConnectionAndStatementsAreTheSites) {
  const calls::TStoreSettings s = calls::DefaultStoreSettings();
  EXPECT_EQ(s.DatabaseName, "dbQuivar");
  EXPECT_EQ(s.AliasName, "alQuivarProd");
  EXPECT_EQ(s.quCallSQL, "SELECT *\nFROM TBCALL\nWHERE DATA >= :DATA\nORDER BY DATA");
  EXPECT_EQ(s.upCallInsertSQL,
            "insert into TBCALL\n  (RAMA, DATA, TRON, DURA, NUME_DISC, SENH, TIPO)\nvalues\n"
            "  (:RAMA, :DATA, :TRON, :DURA, :NUME_DISC, :SENH, :TIPO)");
  EXPECT_EQ(s.quUpParaSQL, "UPDATE TBPARA\n  SET HORA_ULTI_TRAN_FONE = :HORA_ULTI_TRAN_FONE");
}

TEST(StoreSettings, ClockStatementFollowsTheDriversServerName) {
  const calls::TStoreSettings s = calls::DefaultStoreSettings();
  const std::vector<std::pair<QString, QString>> cases = {
      {"Microsoft SQL Server", "SELECT DATA_ATUA = GETDATE()"},
      {"PostgreSQL", "SELECT LOCALTIMESTAMP(3) AS data_atua"},
      {"SQLite", "SELECT datetime('now', 'localtime') AS data_atua"},
      {"sqlite", "SELECT datetime('now', 'localtime') AS data_atua"},
      {"Informix", "SELECT {fn NOW()} AS data_atua"},
      {"", "SELECT {fn NOW()} AS data_atua"},
  };
  for (const auto& [dbms, clock] : cases)
    EXPECT_EQ(s.DialectFor(dbms).ClockQuery, clock) << dbms.toStdString();
}

}  // namespace
