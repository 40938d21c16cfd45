// When the database worker's current statement began, readable from any thread without a lock: the
// window tells a server that does not answer while the worker itself waits for it.
#pragma once

#include <QDateTime>
#include <atomic>

namespace calls {

class TStatementWatch {
 public:
  // When the statement under way began; invalid when none is.
  QDateTime Since() const {
    const qint64 since = FSince.load(std::memory_order_relaxed);
    return since == 0 ? QDateTime() : QDateTime::fromMSecsSinceEpoch(since);
  }

  // Marks one statement for the life of the scope. Real time, not the worker's clock: it measures
  // how long the server keeps the worker waiting.
  class TScope {
   public:
    explicit TScope(TStatementWatch& watch) : FWatch(watch) {
      FWatch.FSince.store(QDateTime::currentMSecsSinceEpoch(), std::memory_order_relaxed);
    }
    ~TScope() { FWatch.FSince.store(0, std::memory_order_relaxed); }
    TScope(const TScope&) = delete;
    TScope& operator=(const TScope&) = delete;

   private:
    TStatementWatch& FWatch;
  };

 private:
  std::atomic<qint64> FSince{0};
};

}  // namespace calls
