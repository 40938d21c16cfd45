// A pseudo-terminal pair for tests: the master is the far end the test writes, the slave path is what
// the program under test opens. The slave stays open here too, raw, so the pair lives from creation
// until Close whatever the program does with its own descriptor.
#pragma once

#include <termios.h>

#include <string>

namespace testsupport {

class TPty {
 public:
  TPty();
  ~TPty();
  TPty(const TPty&) = delete;
  TPty& operator=(const TPty&) = delete;

  // False when the pair could not be made; Error() says why.
  bool IsOpen() const { return FMaster >= 0; }
  const std::string& Error() const { return FError; }
  // The slave device, e.g. /dev/pts/3.
  const std::string& SlavePath() const { return FSlavePath; }

  // Writes every byte on the master side.
  bool Write(const std::string& bytes);
  // Closes the master: the slave sees a hang-up and everything unread is lost.
  void CloseMaster();

  // The slave's line as the kernel holds it, for checks that must not trust the code under test.
  termios SlaveTermios() const;

 private:
  int FMaster = -1;
  int FSlave = -1;
  std::string FSlavePath;
  std::string FError;
};

}  // namespace testsupport
