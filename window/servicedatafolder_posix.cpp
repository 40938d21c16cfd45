#include "servicedatafolder.h"

namespace window {

QString ServiceDataFolder() {
  // Several StateDirectory= entries come separated by colons; the unit has one.
  return qEnvironmentVariable("STATE_DIRECTORY").section(u':', 0, 0);
}

}  // namespace window
