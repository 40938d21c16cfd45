// The receive cycle wired to real parts: a pseudo-terminal whose far end the test writes as the
// exchange would, the serial port component on COM1, a call store over a fresh host database, and
// a clock the test sets.
#pragma once

#include <gtest/gtest.h>

#include <QDateTime>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "callstore.h"
#include "farend.h"
#include "hostdatabase.h"
#include "readwatch.h"
#include "receivecycle.h"
#include "recordinglog.h"
#include "serialport.h"

namespace window {

// A call line in the exchange's columns: when is "dd/mm/yyhh:mm:ss" (columns 1-16), trunk 01,
// duration 00:01:23. Without a personal code it stops at column 75, as an exchange that prints no
// codes does.
std::string CallLine(const std::string& when, const std::string& extension, const std::string& number,
                     const std::string& code = {});

class TCycleRig {
 public:
  explicit TCycleRig(testsupport::TEngine engine, const QDateTime& now);
  ~TCycleRig();

  // Puts bytes on the line and waits until the port can see all of them (a pty delivers late).
  void Send(const std::string& bytes);
  void Tick();

  // A statement's rows, read over a fresh connection.
  std::vector<QVariantList> Query(const QString& statement);
  // TBCALL as "RAMA|NUME_DISC|yyyy-MM-dd hh:mm:ss", ordered by DATA.
  QStringList StoredCalls();
  std::optional<QDateTime> Stamp();
  // RAMA of the rows the day list shows.
  QStringList ListedExtensions();

  QDateTime Now;
  TRecordingLog Log;
  testsupport::THostDatabase Db;
  calls::TCallStore Store;
  std::unique_ptr<testsupport::TFarEnd> FarEnd;
  TReadWatch* Watch = nullptr;  // owned by Port
  std::unique_ptr<serial::TSerialPort> Port;
  std::unique_ptr<TReceiveCycle> Cycle;

 private:
  int FObserver = -1;  // the port's device opened by the test, to see what waits without reading it
  std::size_t FWaiting = 0;
};

}  // namespace window
