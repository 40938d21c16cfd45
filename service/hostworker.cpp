#include "hostworker.h"

namespace service {

THostWorker::THostWorker(const calls::TStoreSettings& settings, const QString& journalPath, calls::TClock clock)
    : FWorker(new calls::TStoreWorker(settings, journalPath, std::move(clock))) {
  FThread.setObjectName(QStringLiteral("dbWorker"));
  FWorker->moveToThread(&FThread);
  QObject::connect(&FThread, &QThread::finished, FWorker, &QObject::deleteLater);
  FThread.start();
  QMetaObject::invokeMethod(FWorker, &calls::TStoreWorker::Start, Qt::QueuedConnection);
}

THostWorker::~THostWorker() {
  if (FThread.isRunning()) Stop(std::chrono::hours(1));
}

void THostWorker::DeliverWaiting() {
  QMetaObject::invokeMethod(FWorker, &calls::TStoreWorker::DeliverWaiting, Qt::QueuedConnection);
}

void THostWorker::Stamp(const QDateTime& when) {
  QMetaObject::invokeMethod(FWorker, [worker = FWorker, when] { worker->Stamp(when); }, Qt::QueuedConnection);
}

void THostWorker::OpenDay(const QDateTime& day) {
  QMetaObject::invokeMethod(FWorker, [worker = FWorker, day] { worker->OpenDay(day); }, Qt::QueuedConnection);
}

void THostWorker::ReadServerDate() {
  QMetaObject::invokeMethod(FWorker, &calls::TStoreWorker::ReadServerDate, Qt::QueuedConnection);
}

bool THostWorker::Stop(std::chrono::milliseconds limit) {
  FThread.quit();
  return FThread.wait(QDeadlineTimer(limit));
}

void FollowDeliveries(calls::TStoreWorker& worker, calls::TCallListModel& list, const capture::TReceiveCycle& cycle,
                      QObject& context) {
  QObject::connect(&worker, &calls::TStoreWorker::Delivered, &context,
                   [&list](const QList<qint64>& ids) { list.MarkDelivered({ids.begin(), ids.end()}); });
  QObject::connect(&worker, &calls::TStoreWorker::DayListed, &context, [&list, &cycle](const calls::TDayListPtr& day) {
    // A list asked for before a change of day is of no use any more.
    if (day->Day == cycle.FDataAtual()) list.Reset(std::move(day->Rows), day->LastId);
  });
}

}  // namespace service
