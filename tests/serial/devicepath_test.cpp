// Port names to device paths on POSIX, with and without the LOGCHAMADAS_COMn redirections.
#include <gtest/gtest.h>

#include <map>

#include "devicepath.h"

namespace {

serial::TEnvironmentLookup Environment(std::map<std::string, std::string> variables) {
  return [variables = std::move(variables)](const char* name) -> const char* {
    const auto found = variables.find(name);
    return found == variables.end() ? nullptr : found->second.c_str();
  };
}

struct TPathCase {
  const char* name;
  std::map<std::string, std::string> environment;
  const char* expected;
};

TEST(CommDevicePath, MapsPortNamesAndHonoursRedirections) {
  const std::vector<TPathCase> cases = {
      {"COM1", {}, "/dev/ttyS0"},
      {"COM8", {}, "/dev/ttyS7"},
      {"COM1", {{"LOGCHAMADAS_COM1", "/dev/ttyUSB0"}}, "/dev/ttyUSB0"},
      {"COM2", {{"LOGCHAMADAS_COM1", "/dev/ttyUSB0"}}, "/dev/ttyS1"},  // each port its own variable
      {"COM1", {{"LOGCHAMADAS_COM1", ""}}, "/dev/ttyS0"},              // set but empty: not redirected
      {"COM0", {}, ""},
      {"COM9", {}, ""},
      {"COM10", {{"LOGCHAMADAS_COM10", "/dev/pts/7"}}, ""},
      {"com1", {}, ""},
      {"", {}, ""},
  };
  for (const TPathCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(serial::CommDevicePath(c.name, Environment(c.environment)), c.expected);
  }
}

}  // namespace
