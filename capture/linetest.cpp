#include "linetest.h"

#include <QDate>
#include <bit>

#include "cp1252.h"
#include "decodecallline.h"
#include "lineclaim.h"
#include "lineport.h"
#include "readwatch.h"
#include "receivecycle.h"
#include "serialport.h"
#include "tcpaddress.h"

namespace capture {

namespace {

// As for the receive cycle: a tail that got nothing for a tick is a line without a line end.
constexpr qint64 QuietLineMs = TimerInterval.count();

QString Counted(std::uint64_t count, const char* one, const char* many) {
  return QStringLiteral("%1 %2").arg(count).arg(QString::fromUtf8(count == 1 ? one : many));
}

QString OpenFailureText(serial::TOpenFailure failure, const QString& device, const QString& error) {
  switch (failure) {
    case serial::TOpenFailure::ofHeld:
      return QStringLiteral("A porta %1 está em uso por outro programa, provavelmente o logchamadas conectado. "
                            "O teste não a abriu e não atrapalha quem a usa; para testar, clique em "
                            "\"Desconectar\" no logchamadas e teste de novo.")
          .arg(device);
    case serial::TOpenFailure::ofMissing:
      return QStringLiteral("A porta %1 não existe ou não está ligada (%2).").arg(device, error);
    case serial::TOpenFailure::ofDenied:
      return QStringLiteral("Sem permissão para abrir %1: o usuário precisa estar no grupo dialout (%2).")
          .arg(device, error);
    case serial::TOpenFailure::ofOther:
      break;
  }
  return QStringLiteral("Não foi possível abrir %1 (%2): a porta não existe ou está em uso por outro programa, "
                        "como o logchamadas conectado.")
      .arg(device, error);
}

// A connection that is refused, times out or ends, or a device that stops answering.
QString LineFailureText(const QString& device, bool tcp, const QString& error) {
  return (tcp ? QStringLiteral("Sem conexão com %1: %2.") : QStringLiteral("A linha %1 falhou: %2.")).arg(device, error);
}

bool Printable(unsigned char byte) {
  return (byte >= 0x20 && byte < 0x7f) || byte == '\r' || byte == '\n' || byte == '\t' || byte == '\f';
}

// Which parity a 7-bit line's eighth bit carries, read as 8 data bits without parity.
QString ParityAdvice(const TLineTestCounts& counts) {
  if (counts.EvenBytes == counts.Bytes) return QStringLiteral("paridade par");
  if (counts.OddBytes == counts.Bytes) return QStringLiteral("paridade ímpar");
  if (counts.EighthBit == counts.Bytes) return QStringLiteral("paridade marca");
  return QStringLiteral("paridade par ou ímpar");
}

}  // namespace

TLineTest::TLineTest(std::chrono::milliseconds duration) : FDuration(duration) {
  FTimer.setInterval(ReadEvery);
  QObject::connect(&FTimer, &QTimer::timeout, [this] { Tick(); });
}

TLineTest::~TLineTest() {
  OnChange = nullptr;
  OnLine = nullptr;
  Stop();
}

bool TLineTest::Start(const TSiteSettings& settings) {
  Stop();
  FCounts = {};
  FErrors = TLineHealth();
  FFramer = TLineFramer();
  FFailure.clear();
  FOpened = false;
  FEnded = false;
  // A port of its own, opened the way the logger opens its line.
  TLinePort line = MakeLinePort();
  FPort = std::move(line.Port);
  FWatch = line.Watch;
  serial::TLineRouter& lines = *line.Router;
  ApplyToLine(settings, lines, *FPort);
  FDevice = QString::fromLocal8Bit(FWatch->Describe(FPort->DeviceName()));
  FPort->AfterReceive = [this](serial::TSerialPort&, const std::string& data) {
    if (FWatch->TakeReceived()) Take(data);
  };
  FTcp = serial::IsTcpName(lines.DeviceFor(FPort->DeviceName()));
  // Not even a connect: a device server that serves one client would hand the logger's line over.
  if (TLineClaim::Held(FDevice)) {
    FFailure = QStringLiteral("a linha está com o log de chamadas em execução; desconecte-o para testar");
    Finish();
    return false;
  }
  // A device that opens but does not answer is not there (Wine opens a COM port whose device is missing).
  // A TCP line still connecting is tested: its failure comes with a tick.
  const bool opened = FPort->OpenPort();
  if (!opened || FWatch->Ready() == TLineReady::lrFailed) {
    const QString error = QString::fromUtf8(FWatch->FailureText());
    FFailure = !opened                     ? OpenFailureText(FWatch->LastOpenFailure(), FDevice, error)
               : FTcp || FWatch->Refused() ? LineFailureText(FDevice, FTcp, error)
                                           : OpenFailureText(serial::TOpenFailure::ofMissing, FDevice, error);
    Finish();
    return false;
  }
  FOpened = true;
  FClock.start();
  FLastBytesAt = 0;
  FTimer.start();
  if (OnChange) OnChange();
  return true;
}

void TLineTest::Stop() {
  if (FPort != nullptr) Finish();
}

void TLineTest::Tick() {
  std::string unused;
  FPort->ReceiveData(unused);
  if (FWatch->TakeLost()) {
    FFailure = LineFailureText(FDevice, FTcp, QString::fromUtf8(FWatch->FailureText()));
    Finish();
    return;
  }
  if (FFramer.Pending() > 0 && FClock.elapsed() - FLastBytesAt >= QuietLineMs) TakeLines(FFramer.Idle());
  serial::TLineErrors counts;
  if (FWatch->DriverErrors(counts)) {
    // Only what the driver counted since the test opened the line (see TLineHealth::Opened).
    FErrors.DriverErrors(counts, QDateTime::currentDateTime());
    FCounts.Counted = true;
    FCounts.Errors = FErrors.Errors();
  }
  if (FClock.elapsed() >= FDuration.count()) {
    Finish();
    return;
  }
  if (OnChange) OnChange();
}

void TLineTest::Take(const std::string& bytes) {
  FCounts.Bytes += bytes.size();
  FLastBytesAt = FClock.elapsed();
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (!Printable(byte)) ++FCounts.Unprintable;
    ++(std::popcount(byte) % 2 == 0 ? FCounts.EvenBytes : FCounts.OddBytes);
    if ((byte & 0x80) != 0) ++FCounts.EighthBit;
  }
  TakeLines(FFramer.Feed(bytes));
}

void TLineTest::TakeLines(const std::vector<TFramedLine>& lines) {
  const int year = QDate::currentDate().year();
  for (const TFramedLine& line : lines) {
    ++FCounts.Lines;
    const bool call = !line.Overflow && calls::DecodeCallLine(line.Text, year).has_value();
    if (call) {
      ++FCounts.Calls;
    } else {
      std::string sevenBits = line.Text;
      for (char& c : sevenBits) c = static_cast<char>(c & 0x7f);
      if (calls::DecodeCallLine(sevenBits, year)) ++FCounts.CallsIn7Bits;
    }
    // The personal code in the last columns stays off the screen, as in the log panel.
    const auto shown = std::string_view(line.Text).substr(0, LogLineWidth);
    if (OnLine) OnLine(QString::fromStdString(calls::Cp1252ToUtf8(shown)), call);
  }
}

void TLineTest::Finish() {
  FTimer.stop();
  if (FFramer.Pending() > 0) TakeLines(FFramer.Idle());
  if (FPort != nullptr) {
    FPort->AfterReceive = nullptr;
    FPort.reset();
    FWatch = nullptr;
  }
  FEnded = true;
  if (OnChange) OnChange();
}

int TLineTest::SecondsLeft() const {
  if (!Running()) return 0;
  return static_cast<int>((FDuration.count() - FClock.elapsed() + 999) / 1000);
}

QString TLineTest::CountsText() const {
  QString text = QStringLiteral("%1, %2 (%3)")
                     .arg(Counted(FCounts.Lines, "linha", "linhas"),
                          Counted(FCounts.Calls, "chamada reconhecida", "chamadas reconhecidas"),
                          Counted(FCounts.Bytes, "byte", "bytes"));
  if (FCounts.Counted) {
    text += QStringLiteral("; erros do driver: quadro %1, paridade %2, sobrecarga %3")
                .arg(FCounts.Errors.Frame)
                .arg(FCounts.Errors.Parity)
                .arg(FCounts.Errors.Overrun);
  }
  return text;
}

QString TLineTest::Verdict() const {
  if (!FFailure.isEmpty()) return FFailure;
  if (!FEnded && !Running()) return {};
  const TLineTestCounts& c = FCounts;
  if (c.Bytes == 0) {
    return Running() ? QStringLiteral("Aguardando dados da central...")
                     : QStringLiteral("Nenhum dado em %1 s: confira o cabo, a porta escolhida e se a central está "
                                      "enviando as chamadas.")
                           .arg(std::chrono::duration_cast<std::chrono::seconds>(FDuration).count());
  }
  if (c.Calls > 0) return QStringLiteral("A linha está certa: as chamadas chegam e são reconhecidas.");
  if (c.CallsIn7Bits > 0) {
    return QStringLiteral("dados com bit de paridade: experimente 7 bits de dados, %1").arg(ParityAdvice(c));
  }
  if (c.Errors.Frame + c.Errors.Parity > 0 || c.Unprintable * 10 > c.Bytes) {
    return QStringLiteral("dados ilegíveis: experimente outra velocidade");
  }
  if (c.Lines == 0) return QStringLiteral("Dados sem fim de linha até agora: aguarde uma chamada completa.");
  return QStringLiteral("Linhas legíveis, mas nenhuma é uma chamada: confira se a central envia as chamadas no "
                        "formato esperado.");
}

}  // namespace capture
