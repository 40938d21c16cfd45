// The one-second receive cycle: bytes from the port become framed lines, which are written to the
// journal before anything else happens to them; the calls among them then go to the grid (as
// waiting) and to the database worker, every line to the log panel, and the transmission's time to
// the worker's stamp. At a change of local day the list moves to the new day. Owns no widget and
// never touches the host database: the interface thread only reads the port and the local disk.
//
// The main window owns one, binds SP.AfterReceive to SPAfterReceive and its timer (TimerInterval,
// disabled until connected) to TimerTimer, gives it FDataAtual from FormShow and shows the log in
// Memo1 through a TLogSink. SP must be built on the TReadWatch given here (see readwatch.h). The
// window connects and disconnects through the cycle, which keeps the port open (TPortKeeper) and
// judges what the line brings (TLineHealth); Line() is the line's state for the status line.
#pragma once

#include <QDateTime>
#include <QString>
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "journal.h"
#include "lineframer.h"
#include "linehealth.h"
#include "linestatus.h"
#include "localclock.h"
#include "portkeeper.h"
#include "serialport.h"

namespace calls {
class TCallListModel;
}

namespace capture {

class TReadWatch;
using calls::TClock;

// One tick per second.
inline constexpr std::chrono::milliseconds TimerInterval{1000};

// How often a line at this speed must be read so that the driver's input buffer never fills between
// two reads: it holds about 4 KB (Linux's tty layer takes at most 4095 bytes a read; the Windows serial
// driver's queue is 4096 bytes unless enlarged), which a line fills in about a second at 38,400 bit/s.
// Up to 19,200 bit/s that is the tick itself; above, a read at least every time half the buffer
// fills, and never more often than every 100 ms. The tick still journals, stamps and checks the day
// once a second; the reads between ticks only take the bytes off the driver.
std::chrono::milliseconds ReadInterval(serial::TBaudRate speed);
// How long a tick waits for the journal's write lock before it leaves the bytes in the driver for the
// next tick; closing waits longer, as the port's close purges what the driver holds.
inline constexpr std::chrono::milliseconds TickJournalWait{500};
inline constexpr std::chrono::milliseconds FlushJournalWait{5000};
// Characters of a line shown in the log: columns 77-80 hold the caller's personal code.
inline constexpr std::size_t LogLineWidth = 76;

// What the cycle needs of the log panel.
class TLogSink {
 public:
  virtual ~TLogSink() = default;
  virtual void AppendLine(const QString& line) = 0;
  virtual void Clear() = 0;
};

// What the cycle asks of the database worker; each request returns at once.
class THostRequests {
 public:
  virtual ~THostRequests() = default;
  virtual void DeliverWaiting() = 0;
  virtual void Stamp(const QDateTime& when) = 0;
  virtual void OpenDay(const QDateTime& day) = 0;
};

class TReceiveCycle {
 public:
  // Lines held in memory while the journal cannot be written; beyond this new lines are refused.
  static constexpr std::size_t MaxUnwritten = 100000;

  // Takes up the unfinished line an earlier run left in the journal.
  TReceiveCycle(serial::TSerialPort& port, TReadWatch& watch, calls::TJournal& journal,
                calls::TCallListModel& list, THostRequests& host, TLogSink& log, TClock clock);

  // The operator's (or the unattended start's) connect; see TPortKeeper::Connect.
  bool Connect(bool unattended);
  // Reads what the driver still holds and journals it (and the unfinished rest), port left open.
  void Flush();
  // Flushes, then lets the port go; what closing reported.
  bool Disconnect();

  // One tick of the timer: try a lost port again, read what waits, journal the lines it completes
  // and the unfinished rest, let a failing port go, check the day.
  void TimerTimer();
  // Between ticks, on a fast line (ReadInterval): takes what waits off the driver and journals it at
  // once, or leaves it there while the journal is busy.
  void ReadBetweenTicks();
  // Hours without a line after which the line counts as silent (the site's setting); 0: never.
  void SetSilenceLimit(std::chrono::hours limit) { FHealth.SetSilenceLimit(limit); }
  // One read's bytes, as the port's AfterReceive hands them over; a repeat of the previous read's
  // text (the port found nothing new) is recognised and ignored.
  void SPAfterReceive(const std::string& data);

  // The day the list shows, at the start of that local day; invalid until set.
  QDateTime FDataAtual() const { return FDay; }
  void SetDataAtual(const QDateTime& day) { FDay = day; }

  // Lines received but not yet on disk, and why (the journal's last error).
  std::size_t Unwritten() const { return FUnwritten.size(); }
  QString JournalError() const { return FJournal.LastError(); }
  bool JournalFailing() const { return FJournalFailing; }

  // The line's state as the status line shows it.
  TLineStatus Line() const;

 private:
  bool MayRead(std::chrono::milliseconds wait);
  void Read();
  void TakeLines(std::vector<TFramedLine> lines);
  void TakeLine(TFramedLine line, const QDateTime& now);
  void WriteJournal();
  void CheckDay();

  serial::TSerialPort& FPort;
  TReadWatch& FWatch;
  calls::TJournal& FJournal;
  calls::TCallListModel& FList;
  THostRequests& FHost;
  TLogSink& FLog;
  TClock FClock;
  TPortKeeper FKeeper;
  TLineHealth FHealth;
  bool FCounted = false;  // the driver keeps line error counts
  TLineFramer FFramer;
  std::string FKeptTail;  // the unfinished line as the journal holds it
  QDateTime FDay;
  bool FReceivedThisTick = false;
  bool FReceivedBetweenTicks = false;
  std::vector<calls::TReceivedLine> FUnwritten;  // arrival order
  bool FJournalFailing = false;
  bool FBusyTick = false;  // the last tick left the bytes in the driver: the journal was busy
  bool FRefusing = false;  // lines are being refused: said once
};

}  // namespace capture
