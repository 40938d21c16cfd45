// The host database: the connection dbMain, the day's call list quCall, its insert statement upCall,
// the last-transmission stamp quUpPara and the server's clock fcDataAtual. Used by the database
// worker's thread only (a Qt SQL connection belongs to the thread that made it). Failures come back
// as values, with the driver's own text in LastError() (never a call's personal code); nothing
// throws. Every statement runs within the settings' time limit and is marked in the statement watch
// while it runs.
#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "callrow.h"
#include "rowblocks.h"
#include "statementwatch.h"

namespace calls {

struct TStoreSettings;

// What became of an insert.
enum class TInsertOutcome {
  ioStored,
  ioRefused,   // the server refused it: nothing was stored
  ioNoAnswer,  // the server did not answer within the time limit: nothing was stored
  ioUnknown,   // the connection was lost on the way, or COMMIT got no answer: the server may hold it
};

// Where a test makes the connection fail around COMMIT, as a network or a server can.
enum class TCommitFault { cfNone, cfLostBeforeCommit, cfLostAfterCommit };

class TCallStore {
 public:
  // One store per TStoreSettings::DatabaseName at a time (it names the Qt connection).
  explicit TCallStore(const TStoreSettings& settings,
                      std::shared_ptr<TStatementWatch> watch = std::make_shared<TStatementWatch>());
  ~TCallStore();
  TCallStore(const TCallStore&) = delete;
  TCallStore& operator=(const TCallStore&) = delete;

  // Opens dbMain; false when the data source cannot be reached (LastError() has the driver's text).
  // Every later operation reopens a connection that was never made or has been lost, once per call.
  bool Connect();
  // False once the connection is known to be gone, until it has been made again.
  bool IsConnected() const;

  // Every call at or after midnight of the day's date, by date.
  bool ReadDay(const QDateTime& day, TRowBlocks& rows);

  // The calls in one transaction, through upCall. When the server refused one of their inserts,
  // RefusedRow() says which (none when it refused the COMMIT).
  TInsertOutcome InsertCalls(const std::vector<const TCallRow*>& rows);
  std::optional<std::size_t> RefusedRow() const;
  // One call on its own.
  TInsertOutcome InsertCall(const TCallRow& row);
  // How many rows of TBCALL equal the call on DATA, RAMA, NUME_DISC, DURA, SENH and TRON.
  std::optional<int> CountStored(const TCallRow& row);

  // Sets TBPARA.HORA_ULTI_TRAN_FONE of every row.
  bool StampLastTransmission(const QDateTime& when);

  // The server's current date and time for "S"; the start of the server's date for anything else.
  std::optional<QDateTime> fcDataAtual(const QString& flag);

  QString LastError() const;

  // The next commit fails as given (tests only).
  void InjectCommitFault(TCommitFault fault);
  // Runs once, just before the next COMMIT is sent (tests break the real connection there).
  void BeforeNextCommit(std::function<void()> hook);

 private:
  struct TImpl;
  std::unique_ptr<TImpl> FImpl;
};

}  // namespace calls
