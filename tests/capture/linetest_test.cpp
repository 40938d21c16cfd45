// The settings dialog's line test on a real line (COM1's far end: a pseudo-terminal, or under Wine a
// pseudo-terminal behind COM1), run by its own timer: what it counts and says of calls, of garbage, of
// 7-bit lines with parity read as 8 bits, and of silence; a line another program holds, a missing one
// and a refused TCP connection.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QScopeGuard>
#include <functional>
#include <ostream>
#include <thread>

#include "lineclaim.h"
#include "linetest.h"
#include "loopback.h"
#include "serialport.h"
#include "watchedline.h"

// Failures show the texts.
inline void PrintTo(const QString& text, std::ostream* os) {
  *os << text.toStdString();
}

namespace capture {
namespace {

using namespace std::chrono_literals;
using testsupport::CallLine;

// Lets the test's timer run until the condition holds (at most 20 s).
bool WaitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 2000 && !done(); ++i) {
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(10ms);
  }
  return done();
}

TSiteSettings Device(const QString& device) {
  TSiteSettings settings;
  settings.Device = device;
  return settings;
}

std::string Calls(int count) {
  std::string lines;
  for (int i = 0; i < count; ++i) {
    lines += CallLine("09/12/2610:15:" + std::to_string(10 + i), std::to_string(201 + i), "0113456789") + "\r\n";
  }
  return lines;
}

// The same lines as an exchange at 7 data bits with even parity sends them, read as 8 bits without
// parity: the parity bit arrives as the eighth.
std::string WithEvenParityBit(std::string text) {
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::popcount(byte) % 2 != 0) c = static_cast<char>(byte | 0x80);
  }
  return text;
}

// A line test's whole run: what it says once its time is up, and the lines it reported.
struct TRun {
  QString Counts;
  QString Verdict;
  QStringList Lines;
};

class LineTestRun : public ::testing::Test {
 protected:
  TRun Run(const std::string& bytes) {
    TLineTest test(1s);
    TRun run;
    test.OnLine = [&run](const QString& line, bool call) { run.Lines << (call ? "call: " : "other: ") + line; };
    EXPECT_TRUE(test.Start(Device(QStringLiteral("COM1")))) << test.Verdict().toStdString();
    EXPECT_TRUE(test.Running());
    EXPECT_TRUE(bytes.empty() || Line.Send(bytes));
    Line.Drained();
    EXPECT_TRUE(WaitFor([&] { return !test.Running(); }));
    run.Counts = test.CountsText();
    run.Verdict = test.Verdict();
    return run;
  }

  testsupport::TWatchedLine Line;
};

TEST_F(LineTestRun, CallsGarbageSevenBitLinesAndSilence) {
  std::string garbage;
  for (int i = 0; i < 6; ++i) garbage += "\x8e\xfc\x1e\xf0\x80\xe6~\x9c\xfe\x13\x91" + std::to_string(i) + "\r\n";
  const struct {
    const char* Name;
    std::string Bytes;
    QString Counts;
    QString Verdict;
  } cases[] = {
      {"three calls", Calls(3), "3 linhas, 3 chamadas reconhecidas (231 bytes)",
       "A linha está certa: as chamadas chegam e são reconhecidas."},
      {"a wrong speed", garbage, "6 linhas, 0 chamadas reconhecidas (84 bytes)",
       "dados ilegíveis: experimente outra velocidade"},
      {"7 bits with even parity", WithEvenParityBit(Calls(2)), "2 linhas, 0 chamadas reconhecidas (154 bytes)",
       "dados com bit de paridade: experimente 7 bits de dados, paridade par"},
      {"nothing", "", "0 linhas, 0 chamadas reconhecidas (0 bytes)",
       "Nenhum dado em 1 s: confira o cabo, a porta escolhida e se a central está enviando as chamadas."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const TRun run = Run(c.Bytes);
    // Windows counts line errors on every port; its counts follow.
    EXPECT_TRUE(run.Counts.startsWith(c.Counts)) << run.Counts.toStdString();
    EXPECT_EQ(run.Verdict, c.Verdict);
  }
  // Each line as the log panel would show it, marked as a call or not.
  const TRun calls = Run(Calls(1));
  EXPECT_EQ(calls.Lines, QStringList{"call: " + QString::fromStdString(Calls(1).substr(0, 75))});
  // The test has let the line go: the logger can take it.
  serial::TSerialPort logger;
  logger.SetCommPort(serial::TCommPort::cpCOM1);
  EXPECT_TRUE(logger.OpenPort());
}

// A running logger's line is left alone; a missing device and a refused connection are named.
TEST_F(LineTestRun, HeldMissingAndRefusedLines) {
  serial::TSerialPort logger;
  logger.SetCommPort(serial::TCommPort::cpCOM1);
  ASSERT_TRUE(logger.OpenPort());
  TLineTest test(1s);
  if (testsupport::LineLimits().refusesSecondOpen) {
    EXPECT_FALSE(test.Start(Device(QStringLiteral("COM1"))));
    EXPECT_TRUE(test.Verdict().contains(QStringLiteral("está em uso por outro programa, provavelmente o logchamadas")))
        << test.Verdict().toStdString();
    // The logger reads on, undisturbed.
    ASSERT_TRUE(Line.Send(Calls(1)));
    std::string text;
    logger.ReceiveData(text);
    EXPECT_EQ(text, Calls(1));
  }

#ifdef _WIN32
  const QString missing = QStringLiteral("COM7");  // run-test leaves it unmapped
#else
  const QString missing = QStringLiteral("/dev/serial/by-id/usb-nenhum-if00-port0");
  // COM1's variable, which the far end sets, would win over any other device.
  const QByteArray com1 = qgetenv("LOGCHAMADAS_COM1");
  qunsetenv("LOGCHAMADAS_COM1");
  const auto restore = qScopeGuard([&] { qputenv("LOGCHAMADAS_COM1", com1); });
#endif
  EXPECT_FALSE(test.Start(Device(missing)));
  EXPECT_TRUE(test.Verdict().startsWith(QStringLiteral("A porta %1 não existe ou não está ligada (").arg(missing)))
      << test.Verdict().toStdString();

  // The line of this machine's running logger is not even connected to.
  testsupport::TLoopbackServer server;
  TLineClaim claim;
  claim.Take(QString::fromStdString(server.Address()));
  EXPECT_FALSE(test.Start(Device(QString::fromStdString(server.Address()))));
  EXPECT_EQ(test.Verdict(),
            QStringLiteral("a linha está com o log de chamadas em execução; desconecte-o para testar"));
  EXPECT_FALSE(server.Accept(300ms));

  // A device server that is not listening.
  std::string refused;
  {
    testsupport::TLoopbackServer gone;
    refused = gone.Address();
  }
  test.Start(Device(QString::fromStdString(refused)));
  EXPECT_TRUE(WaitFor([&] { return !test.Running(); }));
  EXPECT_EQ(test.Verdict(), QStringLiteral("Sem conexão com %1: conexão recusada.").arg(QString::fromStdString(refused)));
}

}  // namespace
}  // namespace capture
