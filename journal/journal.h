// The local journal: every line the exchange sent, on this computer's disk before anything else
// happens to it, and each call's delivery to the host database. A SQLite file (WAL, synchronous=FULL,
// so a commit survives a power cut). The interface thread appends; the database worker reads the
// waiting calls and marks them delivered; each thread opens its own TJournal on the same file.
#pragma once

#include <QDateTime>
#include <QString>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "callrecord.h"
#include "callrow.h"
#include "journalrecovery.h"
#include "rowblocks.h"

namespace calls {

// A framed line as received: its bytes without the line end, and the call it decoded to, if any.
struct TReceivedLine {
  QDateTime Received;
  std::string Bytes;
  std::optional<TCallRecord> Call;
};

// What became of an appended line: its journal id, or 0 for a call the exchange sent again (the
// same bytes are in the journal from the last ResentDays days), which is not written again.
struct TJournaled {
  qint64 Id = 0;
  bool Resent = false;
};

// A call not yet delivered, as the worker reads it back.
struct TWaitingCall {
  qint64 Id = 0;
  TCallRow Row;
  bool InDoubt = false;  // a commit of it was under way when the connection or the program ended
};

// A call the server kept refusing, set aside with the server's reason.
struct TSetAside {
  qint64 Id = 0;
  std::string Bytes;
  QString Reason;
};

// What one step of delivery writes, in one transaction: a write is an fsync, and each holds the
// journal's write lock through its own.
struct TMarks {
  std::vector<qint64> Delivered = {};  // the host committed them, at Committed
  QDateTime Committed = {};
  std::vector<qint64> Settled = {};  // certainly not in the host: no longer in doubt
  std::vector<qint64> InDoubt = {};  // a commit of them is about to begin
  // One refused apply for each, at Now, counted only when the server took another call since the
  // call's previous refusal (LastTaken: when it last took one; Now counts every refusal). Calls refused
  // RefusalsToSetAside times are set aside.
  std::vector<std::pair<qint64, QString>> Refused = {};
  QDateTime Now = {};
  QDateTime LastTaken = {};
};

struct TJournalCounts {
  int Waiting = 0;
  int Refused = 0;
};

class TJournal {
 public:
  static constexpr int ResentDays = 7;
  static constexpr int KeepDays = 31;
  // Refused in this many applies while the server took other rows, a call is set aside.
  static constexpr int RefusalsToSetAside = 3;

  // connectionName: the Qt connection, one per thread.
  explicit TJournal(QString connectionName);
  ~TJournal();
  TJournal(const TJournal&) = delete;
  TJournal& operator=(const TJournal&) = delete;

  // Opens the file, creating it and its folder, and leaves them to this user alone (privatefolder.h). A
  // file that is not a journal database, or that fails SQLite's quick check, is renamed aside and a new
  // journal begun, into which what can still be read of it is copied (Recovered()); a copy that did not
  // commit (the program killed during it) is taken up at the next open. SetAsideFile() names the file
  // recovered. False when the file cannot be opened or written (LastError() has the path and the
  // driver's text). A second connection to a journal already open elsewhere passes setAsideDamaged
  // false: only the first may move or recover files.
  bool Open(const QString& path, bool setAsideDamaged = true);
  QString SetAsideFile() const { return FSetAside; }
  const TRecovery& Recovered() const { return FRecovered; }
  QString LastError() const { return FError; }

  // The interface thread's write to come: waits at most wait for the journal's write lock and keeps
  // it for the next Append, which commits it. While this connection waits for the lock or holds it,
  // and after a wait that ran out until its next Reserve or Release, the other connections of this
  // process begin no write of their own (for a few seconds at most). False when the lock was not had:
  // Busy() when another connection held it, else the journal fails (LastError()).
  bool Reserve(std::chrono::milliseconds wait);
  bool Busy() const { return FBusy; }
  // Gives up a reservation no Append used.
  void Release();

  // Writes the lines in one transaction, in order; fills what became of each. False (nothing
  // written) when the transaction could not be committed. With tail, the unfinished end of the
  // line as it stands after these lines is kept in the same transaction (an empty one drops it).
  bool Append(const std::vector<TReceivedLine>& lines, std::vector<TJournaled>& journaled,
              const std::string* tail = nullptr);
  // The unfinished end of the line the last Append with a tail kept (empty when none).
  bool Tail(std::string& tail);

  // Up to limit waiting calls with an id above afterId, in arrival order.
  bool Waiting(qint64 afterId, int limit, std::vector<TWaitingCall>& calls);
  // The waiting call, not in doubt and other than exceptId, that was tried least recently: one never
  // refused first, the newest among equals. None when there is no such call.
  bool LeastTried(qint64 exceptId, std::optional<TWaitingCall>& call);
  // The marks in one transaction; the calls it set aside are returned.
  bool Mark(const TMarks& marks, std::vector<TSetAside>& setAside);
  // The calls set aside wait again (at start-up and at each change of day).
  bool ReviveRefused();
  // Drops delivered calls and lines that were no call, received more than KeepDays days before now.
  bool Prune(const QDateTime& now);
  bool Counts(TJournalCounts& counts);
  // When the host last took a call (invalid when never).
  QDateTime LastDelivery();

  // For the grid: delivered calls dated at or after the day's midnight, by date (while the server's list
  // cannot be read); the calls not delivered (waiting or set aside), in arrival order, marked as waiting,
  // with the id of the newest line journaled when they were read.
  bool DeliveredCalls(const QDateTime& day, TRowBlocks& rows);
  bool UndeliveredCalls(TRowBlocks& rows, qint64& lastId);

 private:
  enum class TOpened { opSound, opDamaged, opFailed };
  TOpened Connect();
  // The schema on a sound file, the files made private, and (recover) pending recoveries taken up.
  bool Begin(bool recover);
  bool Fail(const QString& what);
  bool Exec(const QString& statement);
  bool BeginWrite();
  void Claim(bool claimed);
  bool CreateSchema();
  void SetFileAside(const QString& path);

  QString FConnectionName;
  QString FPath;
  QString FError;
  QString FSetAside;
  TRecovery FRecovered;
  bool FReserved = false;  // a write transaction Reserve began is open
  bool FClaimed = false;   // this connection's writes go first
  bool FBusy = false;
};

}  // namespace calls
