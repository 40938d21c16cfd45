// One logger per journal: a second would read the same port and deliver the same calls. The lock
// is a file beside the journal naming the process that holds it.
#pragma once

#include <QLockFile>
#include <QString>

namespace service {

class TInstanceLock {
 public:
  explicit TInstanceLock(const QString& journalPath);

  // False when another running logger holds it (HeldElsewhere()) or the file cannot be made.
  bool Take();
  bool HeldElsewhere() const { return FHeldElsewhere; }

 private:
  QLockFile FLock;
  bool FHeldElsewhere = false;
};

}  // namespace service
