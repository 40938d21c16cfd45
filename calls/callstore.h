// All database work: the connection dbMain, the day's call list quCall (shown through dsCall) with its
// insert statement upCall, the last-transmission stamp quUpPara and the server's clock fcDataAtual.
// Failures come back as values, with the driver's own text in LastError(); nothing throws.
#pragma once

#include <QDateTime>
#include <QString>
#include <memory>
#include <optional>

#include "callrecord.h"

class QAbstractItemModel;

namespace calls {

struct TStoreSettings;

class TCallStore {
 public:
  // One store per TStoreSettings::DatabaseName at a time (it names the Qt connection).
  explicit TCallStore(const TStoreSettings& settings);
  ~TCallStore();
  TCallStore(const TCallStore&) = delete;
  TCallStore& operator=(const TCallStore&) = delete;

  // Opens dbMain; false when the data source cannot be reached (LastError() has the driver's text).
  // Every later operation reopens a connection that was never made or has been lost, once per call.
  bool Connect();

  // Reopens the list with every call at or after the given midnight; rows not yet stored stay
  // pending and are still listed at the end. When the server cannot be read the list holds only
  // those rows.
  bool OpenDayList(const QDateTime& day);

  // Appends the call to the end of the list as a pending row, whether or not the list is open. With
  // TStoreSettings::PendingLimit rows already pending and the server still refusing them, the new call
  // is refused (false: not listed, not kept) and the older ones are kept.
  bool AppendCall(const TCallRecord& call);

  // Stores every pending row, in arrival order, in one transaction. When the server is up but refuses
  // that, the rows it takes go in one by one, so a row it always refuses holds back no other. False
  // when they could not all be stored; those stay pending for the next apply.
  bool ApplyPending();

  // AppendCall, then ApplyPending.
  bool InsertCall(const TCallRecord& call);

  // Sets TBPARA.HORA_ULTI_TRAN_FONE of every row.
  bool StampLastTransmission(const QDateTime& when);

  // The server's current date and time for "S"; midnight of the server's date for anything else.
  std::optional<QDateTime> fcDataAtual(const QString& flag);

  // The list as a read-only model for the grid: columns DATA (a QDateTime), RAMA, NUME_DISC, DURA,
  // TRON, SENH, TIPO (calllistmodel.h: TCallColumn; IsHiddenColumn says which the grid hides).
  QAbstractItemModel& dsCall();

  int PendingCount() const;
  QString LastError() const;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> FImpl;
};

}  // namespace calls
