// Qt SQL needs an application object. The tests run in a time zone other than the test server's
// (UTC), so a clock read in the server's zone instead of the client's shows.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <ctime>

int main(int argc, char** argv) {
  qputenv("TZ", "America/Sao_Paulo");
  tzset();
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
