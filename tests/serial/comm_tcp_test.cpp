// The TCP layer against a server on the loopback, on Linux and under Wine: addresses, the connect that
// never waits, reading what arrives, and each way a connection fails.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "comm_tcp.h"
#include "loopback.h"
#include "tcpaddress.h"

namespace {

using namespace std::chrono_literals;
using serial::TCommHandle;

// Polls until the condition holds, for at most the limit; the condition's last answer.
bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit = 5s) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

class TcpLine : public ::testing::Test {
 protected:
  // Asks the line how many bytes wait; -1 when it reports failure.
  long long Waiting(TCommHandle handle) {
    std::uint32_t waiting = 99;
    return comm->ClearError(handle, waiting) ? static_cast<long long>(waiting) : -1;
  }
  std::string ReadAll(TCommHandle handle, std::uint32_t count) {
    std::string bytes(count, '\0');
    std::uint32_t got = 0;
    comm->Read(handle, bytes.data(), count, got);
    bytes.resize(got);
    return bytes;
  }
  // Waits until the line fails and returns why.
  std::string FailureOf(TCommHandle handle, std::chrono::milliseconds limit = 5s) {
    if (!Eventually([&] { return Waiting(handle) < 0; }, limit)) return "did not fail";
    return comm->LastErrorText();
  }

  std::unique_ptr<serial::TCommLayer> comm = serial::MakeTcpCommLayer();
};

TEST(TcpAddress, WellFormedNamesOnlyAndOnlyThoseOpen) {
  const struct {
    const char* name;
    const char* host;  // null: malformed
    const char* port;
  } cases[] = {
      {"tcp://10.0.0.5:4001", "10.0.0.5", "4001"},
      {"TCP://pabx.example:1", "pabx.example", "1"},
      {"tcp://[::1]:65535", "::1", "65535"},
      {"tcp://", nullptr, nullptr},
      {"tcp://pabx", nullptr, nullptr},          // no port
      {"tcp://:4001", nullptr, nullptr},         // no host
      {"tcp://pabx:0", nullptr, nullptr},        // out of range
      {"tcp://pabx:65536", nullptr, nullptr},
      {"tcp://pabx:99999999999", nullptr, nullptr},
      {"tcp://pabx:40x1", nullptr, nullptr},
      {"tcp://::1:4001", nullptr, nullptr},      // IPv6 without brackets
      {"tcp://pa bx:4001", nullptr, nullptr},
      {"tcp://pabx:4001/caminho", nullptr, nullptr},
      {"udp://pabx:4001", nullptr, nullptr},
  };
  const auto comm = serial::MakeTcpCommLayer();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto address = serial::ParseTcpAddress(c.name);
    ASSERT_EQ(address.has_value(), c.host != nullptr);
    if (address) {
      EXPECT_EQ(address->Host, c.host);
      EXPECT_EQ(address->Port, c.port);
    } else {
      EXPECT_EQ(comm->Open(c.name), serial::InvalidCommHandle);
    }
  }
}

// The open returns before the server has accepted; what the server sends in pieces is counted and read
// exactly; bytes sent before the server closes are read before the close is reported; and a server
// listening again on the same port is reached by a new open.
TEST_F(TcpLine, ReadsWhatArrivesThenReportsTheCloseAndConnectsAgain) {
  testsupport::TLoopbackServer server;
  ASSERT_TRUE(server.IsListening());
  const TCommHandle line = comm->Open(server.Address());
  ASSERT_NE(line, serial::InvalidCommHandle);
  EXPECT_EQ(Waiting(line), 0);
  ASSERT_TRUE(server.Accept());

  // A TCP line has no speed: its settings are kept and change nothing.
  serial::TLineSettings settings;
  ASSERT_TRUE(comm->GetState(line, settings));
  settings.BaudRate = 1200;
  settings.ByteSize = 7;
  EXPECT_TRUE(comm->SetState(line, settings));
  serial::TLineSettings back;
  ASSERT_TRUE(comm->GetState(line, back));
  EXPECT_EQ(back, settings);

  ASSERT_TRUE(server.Send(std::string("0102 10:15\0", 11)));
  ASSERT_TRUE(server.Send(" 201\r\n"));
  ASSERT_TRUE(Eventually([&] { return Waiting(line) == 17; }));
  EXPECT_EQ(ReadAll(line, 17), std::string("0102 10:15\0 201\r\n", 17));
  EXPECT_EQ(Waiting(line), 0);

  ASSERT_TRUE(server.Send("last words"));
  ASSERT_TRUE(Eventually([&] { return Waiting(line) == 10; }));
  server.ClosePeer();
  EXPECT_EQ(Waiting(line), 10);
  EXPECT_EQ(ReadAll(line, 10), "last words");
  EXPECT_EQ(FailureOf(line), "a outra ponta encerrou a conexão");
  EXPECT_EQ(ReadAll(line, 10), "");
  EXPECT_EQ(Waiting(line), -1);  // and stays failed
  EXPECT_TRUE(comm->Close(line));
  EXPECT_FALSE(comm->Close(line));

  const std::uint16_t port = server.Port();
  server.StopListening();
  testsupport::TLoopbackServer again(port);
  ASSERT_TRUE(again.IsListening());
  const TCommHandle second = comm->Open(again.Address());
  ASSERT_TRUE(again.Accept());
  ASSERT_TRUE(again.Send("again"));
  ASSERT_TRUE(Eventually([&] { return Waiting(second) == 5; }));
  EXPECT_EQ(ReadAll(second, 5), "again");
  EXPECT_TRUE(comm->Close(second));
}

TEST_F(TcpLine, ARefusedConnectFailsAndSaysSo) {
  std::uint16_t port = 0;
  {
    testsupport::TLoopbackServer gone;
    port = gone.Port();
  }
  const TCommHandle line = comm->Open("tcp://127.0.0.1:" + std::to_string(port));
  ASSERT_NE(line, serial::InvalidCommHandle);
  EXPECT_EQ(FailureOf(line), "conexão recusada");
  EXPECT_EQ(ReadAll(line, 4), "");
  EXPECT_TRUE(comm->Close(line));
}

// A server whose queue of unaccepted connections is full drops further handshakes: the connect neither
// completes nor fails, and the time-out ends it.
TEST_F(TcpLine, AConnectWithoutAnswerFailsAtTheTimeOut) {
  comm = serial::MakeTcpCommLayer(300ms);
  testsupport::TLoopbackServer busy(0, 0);
  ASSERT_TRUE(busy.FillBacklog());
  const TCommHandle line = comm->Open(busy.Address());
  EXPECT_EQ(Waiting(line), 0);
  EXPECT_EQ(FailureOf(line), "sem resposta em 1 s");
  EXPECT_TRUE(comm->Close(line));
}

// A name server that does not answer holds one look-up however often the line is opened again: past the
// time-out an open fails at once, and the answer, once it comes, serves the next open.
TEST_F(TcpLine, OneLookUpAtATimeForAName) {
  testsupport::TLoopbackServer server;
  std::mutex lock;
  std::condition_variable answered;
  bool answer = false;
  std::atomic<int> lookUps = 0;
  comm = serial::MakeTcpCommLayer(1s, [&](const std::string&, const std::string& port,
                                          std::vector<serial::net::TAddress>& addresses, std::string& error) {
    ++lookUps;
    std::unique_lock held(lock);
    answered.wait(held, [&] { return answer; });
    return serial::net::Resolve("127.0.0.1", port, true, addresses, error);
  });
  const std::string name = "tcp://pabx.example:" + std::to_string(server.Port());
  const TCommHandle first = comm->Open(name);
  const TCommHandle second = comm->Open(name);
  EXPECT_TRUE(comm->Connecting(second));
  EXPECT_EQ(FailureOf(first), "a consulta do nome não respondeu em 1 s");
  EXPECT_EQ(comm->Open(name), serial::InvalidCommHandle);
  EXPECT_EQ(comm->LastErrorText(), "a consulta do nome não respondeu em 1 s");
  {
    std::lock_guard held(lock);
    answer = true;
  }
  answered.notify_all();
  TCommHandle third = serial::InvalidCommHandle;
  ASSERT_TRUE(Eventually([&] { return (third = comm->Open(name)) != serial::InvalidCommHandle; }));
  EXPECT_TRUE(Eventually([&] { return !comm->Connecting(third); }));
  EXPECT_TRUE(server.Accept());
  EXPECT_EQ(Waiting(third), 0);
  EXPECT_EQ(lookUps, 1);
}

TEST_F(TcpLine, AnUnknownHostFailsAndSaysSo) {
  const TCommHandle line = comm->Open("tcp://host-that-does-not-exist.invalid:4001");
  ASSERT_NE(line, serial::InvalidCommHandle);
  EXPECT_EQ(FailureOf(line, 30s).rfind("nome não encontrado: host-that-does-not-exist.invalid", 0), 0u);
  EXPECT_TRUE(comm->Close(line));
}

}  // namespace
