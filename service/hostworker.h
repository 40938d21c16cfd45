// The database worker on its own thread, as the interface thread sees it: requests are queued to it
// and return at once; its answers arrive as queued signals of Worker().
#pragma once

#include <QThread>
#include <chrono>

#include "calllistmodel.h"
#include "receivecycle.h"
#include "storeworker.h"

namespace service {

class THostWorker : public capture::THostRequests {
 public:
  // Starts the thread and the worker in it.
  THostWorker(const calls::TStoreSettings& settings, const QString& journalPath, calls::TClock clock);
  // Stop must have ended the worker by now.
  ~THostWorker() override;
  THostWorker(const THostWorker&) = delete;
  THostWorker& operator=(const THostWorker&) = delete;

  // Only to connect to its signals from this thread.
  calls::TStoreWorker& Worker() { return *FWorker; }

  void DeliverWaiting() override;
  void Stamp(const QDateTime& when) override;
  void OpenDay(const QDateTime& day) override;
  void ReadServerDate();

  // Lets the worker finish its statement and end; false when it has not within the limit (a
  // statement that hangs on the server), in which case the thread is left to the end of the process.
  bool Stop(std::chrono::milliseconds limit);

 private:
  QThread FThread;
  calls::TStoreWorker* FWorker;  // deleted in its thread when the thread ends
};

// Keeps the grid's list in step with the worker: a day's list read replaces it (when it is the day
// the cycle shows), delivered calls stop showing as waiting.
void FollowDeliveries(calls::TStoreWorker& worker, calls::TCallListModel& list, const capture::TReceiveCycle& cycle,
                      QObject& context);

}  // namespace service
