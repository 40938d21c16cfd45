// The journal's table and every statement on it, kept together as data. Internal to journal/ (and
// its tests, which check the plans SQLite makes of them).
#pragma once

#include <QString>

#include "journaltail.h"

namespace calls::journalsql {

// The journal's times: local, as text that sorts.
inline const QString TimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz");

// The journal's one table. SITU: 0 waiting, 1 delivered (HORA_ENTR: the host's commit), 2 set aside
// after repeated refusals (MOTI: the server's text), 3 a line that is no call. DUVI: a commit was
// under way, so the host may hold the call already. RECU, HORA_TENT: counted refusals and the last.
// Times are local, as text that sorts.
inline const char* const Schema[] = {
    // Each set-aside file (by name) whose recovery committed; first, so that a journal holding TBDIAR
    // without it is one an older version began.
    "CREATE TABLE IF NOT EXISTS TBRECU (ARQU TEXT PRIMARY KEY)",
    "CREATE TABLE IF NOT EXISTS TBDIAR ("
    " ID INTEGER PRIMARY KEY AUTOINCREMENT,"
    " HORA_RECE TEXT NOT NULL,"
    " BYTE BLOB NOT NULL,"
    " DATA TEXT, RAMA TEXT, NUME_DISC TEXT, DURA TEXT, SENH TEXT, TRON TEXT,"
    " SITU INTEGER NOT NULL,"
    " HORA_ENTR TEXT,"
    " DUVI INTEGER NOT NULL DEFAULT 0,"
    " RECU INTEGER NOT NULL DEFAULT 0,"
    " HORA_TENT TEXT,"
    " MOTI TEXT)",
    "CREATE INDEX IF NOT EXISTS TBDIAR_AGUA ON TBDIAR (ID) WHERE SITU IN (0, 2)",
    "CREATE INDEX IF NOT EXISTS TBDIAR_BYTE ON TBDIAR (BYTE)",
    "CREATE INDEX IF NOT EXISTS TBDIAR_RECE ON TBDIAR (HORA_RECE)",
    "CREATE INDEX IF NOT EXISTS TBDIAR_DATA ON TBDIAR (DATA) WHERE SITU = 1",
    TailSchema,
};

// A journal of an older version, which kept no record of its recoveries.
inline const QString OlderJournalSQL = QStringLiteral(
    "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = 'TBDIAR'"
    " AND NOT EXISTS (SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'TBRECU')");
inline const QString RecoveredSQL = QStringLiteral("INSERT OR IGNORE INTO TBRECU (ARQU) VALUES (?)");
inline const QString WasRecoveredSQL = QStringLiteral("SELECT 1 FROM TBRECU WHERE ARQU = ?");

enum TSitu { stWaiting = 0, stDelivered = 1, stRefused = 2, stNotACall = 3 };

// Every column but ID, in the table's order: what a damaged journal's rows are copied with.
inline const QString RowColumns = QStringLiteral(
    "HORA_RECE, BYTE, DATA, RAMA, NUME_DISC, DURA, SENH, TRON, SITU, HORA_ENTR, DUVI, RECU, HORA_TENT, MOTI");

inline const QString InsertSQL = QStringLiteral(
    "INSERT INTO TBDIAR (HORA_RECE, BYTE, DATA, RAMA, NUME_DISC, DURA, SENH, TRON, SITU) "
    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
inline const QString CopySQL =
    QStringLiteral("INSERT INTO TBDIAR (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
        .arg(RowColumns);
// Read by rowid alone, so a damaged index cannot hide the rows of a damaged journal. One row is read
// by its id: a range read steps on to the next page after its last row, which may be the damaged one.
inline const QString DamagedRowsSQL =
    QStringLiteral("SELECT ID, %1 FROM TBDIAR NOT INDEXED WHERE ID BETWEEN ? AND ? ORDER BY ID")
        .arg(RowColumns);
inline const QString DamagedRowSQL =
    QStringLiteral("SELECT ID, %1 FROM TBDIAR NOT INDEXED WHERE ID = ?").arg(RowColumns);
inline const QString LastIdEverSQL = QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = 'TBDIAR'");

inline const QString ResentSQL =
    QStringLiteral("SELECT 1 FROM TBDIAR WHERE BYTE = ? AND HORA_RECE >= ? AND SITU <> 3 LIMIT 1");
inline const QString CallColumns = QStringLiteral("ID, DATA, RAMA, NUME_DISC, DURA, SENH, TRON, DUVI");
// "SITU IN (0, 2)" repeats the index's own condition: SQLite uses a partial index only when the query
// says so, and scans the whole journal otherwise.
inline const QString WaitingSQL =
    QStringLiteral("SELECT %1 FROM TBDIAR WHERE SITU IN (0, 2) AND SITU = 0 AND ID > ? ORDER BY ID LIMIT ?")
        .arg(CallColumns);
// The waiting call tried least recently: never refused first, then by its last refusal, the newest
// among equals (the calls that arrive while a server refuses are the likeliest to go in).
inline const QString LeastTriedSQL =
    QStringLiteral(
        "SELECT %1 FROM TBDIAR WHERE SITU IN (0, 2) AND SITU = 0 AND DUVI = 0 AND ID <> ?"
        " ORDER BY HORA_TENT IS NOT NULL, HORA_TENT, ID DESC LIMIT 1")
        .arg(CallColumns);
inline const QString DeliveredSQL =
    QStringLiteral("SELECT %1 FROM TBDIAR WHERE SITU = 1 AND DATA >= ? ORDER BY DATA").arg(CallColumns);
inline const QString UndeliveredSQL =
    QStringLiteral("SELECT %1 FROM TBDIAR WHERE SITU IN (0, 2) ORDER BY ID").arg(CallColumns);
inline const QString InDoubtSQL = QStringLiteral("UPDATE TBDIAR SET DUVI = ? WHERE ID = ?");
inline const QString DeliveredMarkSQL =
    QStringLiteral("UPDATE TBDIAR SET SITU = 1, DUVI = 0, HORA_ENTR = ? WHERE ID = ?");
// A refusal counts only when the server took some call after this one's previous refusal (or, for
// its first, after it arrived): a server that refuses everything sets nothing aside.
inline const QString RefusalSQL = QStringLiteral(
    "UPDATE TBDIAR SET RECU = RECU + (CASE WHEN ? > COALESCE(HORA_TENT, HORA_RECE) THEN 1 ELSE 0 END),"
    " HORA_TENT = ?, MOTI = ? WHERE ID = ?");
inline const QString SetAsideSQL =
    QStringLiteral("UPDATE TBDIAR SET SITU = 2 WHERE ID = ? AND SITU = 0 AND RECU >= ? RETURNING BYTE, MOTI");
inline const QString ReviveSQL =
    QStringLiteral("UPDATE TBDIAR SET SITU = 0, RECU = 0, HORA_TENT = NULL WHERE SITU = 2");
inline const QString PruneSQL = QStringLiteral("DELETE FROM TBDIAR WHERE SITU IN (1, 3) AND HORA_RECE < ?");
inline const QString CountsSQL = QStringLiteral(
    "SELECT COALESCE(SUM(SITU = 0), 0), COALESCE(SUM(SITU = 2), 0) FROM TBDIAR WHERE SITU IN (0, 2)");
inline const QString LastDeliverySQL = QStringLiteral("SELECT MAX(HORA_ENTR) FROM TBDIAR");
inline const QString LastIdSQL = QStringLiteral("SELECT COALESCE(MAX(ID), 0) FROM TBDIAR");

}  // namespace calls::journalsql
