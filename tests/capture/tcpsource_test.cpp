// A line over TCP as the cycle reads it: the router's TCP layer under the read watch and the port
// component, its bytes cut into call lines by the framer, against a server on the loopback. Lines
// arrive in pieces across packets and ticks; after the server closes and listens again, a reopened port
// frames what comes next, each line once.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "lineframer.h"
#include "linerouter.h"
#include "loopback.h"
#include "readwatch.h"
#include "serialport.h"

namespace {

using namespace std::chrono_literals;

class TcpSource : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.IsListening());
    auto router = std::make_unique<serial::TLineRouter>();
    router->SetDevice("COM1", server.Address());
    auto watched = std::make_unique<capture::TReadWatch>(std::move(router));
    watch = watched.get();
    port = std::make_unique<serial::TSerialPort>(std::move(watched));
    port->SetCommPort(serial::TCommPort::cpCOM1);
    ASSERT_TRUE(port->OpenPort());
    ASSERT_TRUE(server.Accept());
  }

  // Sends bytes from the server and ticks until the port has read them (the loopback takes a moment).
  void SendAndTick(const std::string& bytes) { SendAndTick(server, bytes); }
  void SendAndTick(testsupport::TLoopbackServer& from, const std::string& bytes) {
    ASSERT_TRUE(from.Send(bytes));
    for (int round = 0; round < 500; ++round) {
      std::string text;
      port->ReceiveData(text);
      if (watch->TakeReceived()) {
        for (const capture::TFramedLine& line : framer.Feed(text)) lines.push_back(line.Text);
        return;
      }
      std::this_thread::sleep_for(10ms);
    }
    FAIL() << "the bytes never arrived";
  }

  testsupport::TLoopbackServer server;
  capture::TReadWatch* watch = nullptr;
  std::unique_ptr<serial::TSerialPort> port;
  capture::TLineFramer framer;
  std::vector<std::string> lines;
};

TEST_F(TcpSource, LinesInPiecesAreFramedOnceAlsoAfterTheServerComesBack) {
  const std::string first = "0102 10:15 201 03 0012345678 00:01:30";
  const std::string second = "0102 10:16 202 04 0087654321 00:00:12";
  SendAndTick(first.substr(0, 10));
  SendAndTick(first.substr(10) + "\r");
  SendAndTick("\n" + second + "\r\n" + first.substr(0, 4));
  EXPECT_EQ(lines, (std::vector<std::string>{first, second}));

  // The server goes and comes back on the same port; the logger reopens, as it does for a lost line.
  SendAndTick(first.substr(4) + "\r\n");
  const std::uint16_t portNumber = server.Port();
  server.ClosePeer();
  server.StopListening();
  testsupport::TLoopbackServer again(portNumber);
  ASSERT_TRUE(again.IsListening());
  ASSERT_TRUE(port->OpenPort());
  ASSERT_TRUE(again.Accept());
  SendAndTick(again, second + "\r\n");
  EXPECT_EQ(lines, (std::vector<std::string>{first, second, first, second}));
}

}  // namespace
