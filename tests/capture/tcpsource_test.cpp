// A line over TCP as the cycle reads it: the router's TCP layer under the read watch and the port
// component, its bytes cut into call lines by the framer, against a server on the loopback. Lines
// arrive in pieces across packets and ticks; after the server closes and listens again, a reopened port
// frames what comes next, each line once.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "comm_tcp.h"
#include "lineclaim.h"
#include "lineframer.h"
#include "linerouter.h"
#include "loopback.h"
#include "portkeeper.h"
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

// The port kept over a TCP line, tick by tick: connecting while the handshake goes unanswered, lost at
// the time-out and lost since then while tries time out, open once one completes, lost when the server
// ends the connection, back at the next try. The line is claimed from the connect to the disconnect.
TEST(TcpKeeper, ConnectingLostOpenLostAndBack) {
  using capture::TPortState;
  testsupport::TLoopbackServer busy(0, 0);
  ASSERT_TRUE(busy.FillBacklog());
  auto router =
      std::make_unique<serial::TLineRouter>(serial::MakeSystemCommLayer(), serial::MakeTcpCommLayer(300ms));
  router->SetDevice("COM1", busy.Address());
  auto watched = std::make_unique<capture::TReadWatch>(std::move(router));
  capture::TReadWatch& watch = *watched;
  serial::TSerialPort port(std::move(watched));
  port.SetCommPort(serial::TCommPort::cpCOM1);
  QDateTime now(QDate(2026, 12, 9), QTime(10, 0));
  capture::TPortKeeper keeper(port, watch, [&] { return now; });
  std::vector<TPortState> walked;
  const auto tickUntil = [&](TPortState wanted) {
    for (int round = 0; round < 200 && keeper.State() != wanted; ++round) {
      now = now.addSecs(1);
      keeper.Retry();
      std::string text;
      port.ReceiveData(text);
      keeper.Check();
      if (walked.back() != keeper.State()) walked.push_back(keeper.State());
      std::this_thread::sleep_for(10ms);
    }
    return keeper.State() == wanted;
  };

  ASSERT_TRUE(keeper.Connect(false));
  walked.push_back(keeper.State());
  EXPECT_TRUE(capture::TLineClaim::Held(QString::fromStdString(busy.Address())));
  ASSERT_TRUE(tickUntil(TPortState::psLost));
  EXPECT_EQ(keeper.Error(), QStringLiteral("sem resposta em 1 s"));
  const QDateTime lostSince = keeper.Since();
  EXPECT_FALSE(tickUntil(TPortState::psOpen));  // two seconds of tries, each timing out
  EXPECT_EQ(keeper.Since(), lostSince);

  const std::uint16_t portNumber = busy.Port();
  busy.StopListening();
  testsupport::TLoopbackServer server(portNumber);
  ASSERT_TRUE(tickUntil(TPortState::psOpen));
  ASSERT_TRUE(server.Accept());
  server.ClosePeer();
  ASSERT_TRUE(tickUntil(TPortState::psLost));
  EXPECT_EQ(keeper.Error(), QStringLiteral("a outra ponta encerrou a conexão"));
  ASSERT_TRUE(tickUntil(TPortState::psOpen));
  EXPECT_EQ(walked, (std::vector<TPortState>{TPortState::psConnecting, TPortState::psLost, TPortState::psOpen,
                                             TPortState::psLost, TPortState::psOpen}));
  keeper.Disconnect();
  EXPECT_FALSE(capture::TLineClaim::Held(QString::fromStdString(busy.Address())));
}

}  // namespace
