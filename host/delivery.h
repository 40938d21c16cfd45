// Delivery of the journal's waiting calls to the host database, a batch at a time, exactly once: a
// call is marked delivered only after the host's COMMIT, and a commit whose outcome was lost is
// settled by looking the calls up before inserting them again. Runs on the database worker's thread.
#pragma once

#include <QDateTime>
#include <QString>
#include <vector>

#include "journal.h"
#include "localclock.h"

namespace calls {

class TCallStore;

struct TDeliveryReport {
  std::vector<qint64> Delivered;   // journal ids now in the host database
  std::vector<TSetAside> SetAside;  // calls the server kept refusing, just set aside
  bool ServerDown = false;         // the server could not be reached: try again after a while
  // The server is up but took none of the calls it was given (it refused them, or did not answer
  // within the time limit): try again after a back-off step.
  bool Refusing = false;
  bool More = false;               // further calls wait: go on at once
  // Calls in doubt could not be looked up (an account that may insert but not read TBCALL): they are
  // tried again after a back-off step, and set aside after RefusalsToSetAside such look-ups.
  bool Unsettled = false;
  QString Error;                   // the driver's or the journal's text when something failed
};

class TDelivery {
 public:
  static constexpr int BatchRows = 500;

  TDelivery(TJournal& journal, TCallStore& store, TClock clock);

  // quCallAfterPost: the next batch of waiting calls into TBCALL in one transaction. When the server
  // refuses the batch, the calls go in one by one, so one it always refuses holds back no other; a
  // batch of which it took none is stepped over until the round of waiting calls is done. A server
  // that refuses every call costs one batch and one call on its own per apply: before going one by
  // one, the call tried least recently is offered alone, and only when the server takes it do the
  // others follow.
  TDeliveryReport quCallAfterPost();

 private:
  struct TTries;
  bool SettleInDoubt(std::vector<TWaitingCall>& calls, TMarks& marks, TDeliveryReport& report);
  void Refused(const std::vector<TWaitingCall>& calls, TDeliveryReport& report);
  bool Try(const TWaitingCall& call, TTries& tries, TDeliveryReport& report);
  void Settle(const std::vector<TWaitingCall>& calls, TTries& tries, TDeliveryReport& report);
  const TDeliveryReport& JournalFailed(TDeliveryReport& report);
  bool Write(TMarks marks, TDeliveryReport& report);

  TJournal& FJournal;
  TCallStore& FStore;
  TClock FClock;
  qint64 FCursor = 0;       // batches of which the server took nothing are stepped over
  bool FRoundTook = false;  // the server took a call since the cursor last went back to the start
  QDateTime FLastTaken;     // when the server last took a call
};

}  // namespace calls
