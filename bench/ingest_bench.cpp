// End to end: the exchange simulator sends call lines at 256,000 bit/s on a pseudo-terminal, and the
// receive cycle ticks once a second, as the window's timer would, reading between ticks as often as
// the line's speed asks (capture::ReadInterval, every 100 ms here): it journals each tick's lines and
// the database worker, on its own thread, delivers them to SQLite or PostgreSQL. Reports calls stored
// over calls sent, the interface thread's busy time a tick (the tick itself, and the worker's answers
// it handles), process CPU and peak memory. With --hang the PostgreSQL server's processes are stopped
// (SIGSTOP) for that many seconds in the middle of the run, and the ticks during the hang are
// reported apart. With --tcp the line arrives over TCP instead, as from a serial device server: the
// simulator's lines at ten times a 9600 bit/s line (96,000 bit/s, back to back, about 9,600 bytes a
// second) are relayed to a server on the loopback that the logger connects to (tcp://127.0.0.1:PORT).
// Ctrl+C ends the run cleanly: the server goes on and the cluster is removed.
//   ingest_bench [--seconds S] [--rate R] [--hang H] [--tcp] [sqlite|postgres]...
//   (60 s, 300 calls a second, both engines; --tcp sends as fast as its 96,000 bit/s allow)
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <atomic>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <thread>

#include "benchsupport.h"
#include "calllistmodel.h"
#include "hostworker.h"
#include "lineport.h"
#include "loopback.h"
#include "readwatch.h"
#include "receivecycle.h"
#include "serialport.h"

using namespace bench;

namespace {

struct TOptions {
  int Seconds = 60;
  double Rate = 300;
  int HangSeconds = 0;
  bool Tcp = false;
  QStringList Engines;
};

// Calls not yet in TBCALL after the last line: the worker is given this long to deliver them.
constexpr std::chrono::seconds DrainLimit{300};

class TCountingLog : public capture::TLogSink {
 public:
  void AppendLine(const QString&) override { ++Lines; }
  void Clear() override {}
  long Lines = 0;
};

// What the simulator writes on its pseudo-terminal, relayed on a thread of its own to the one client of
// a server on the loopback, as a serial device server relays its serial line.
class TTcpRelay {
 public:
  explicit TTcpRelay(const QString& ptyPath) : FPty(::open(ptyPath.toLocal8Bit().constData(), O_RDONLY | O_NOCTTY)) {
    termios raw{};
    if (FPty < 0 || !FServer.IsListening() || ::tcgetattr(FPty, &raw) != 0) Fail(QStringLiteral("no relay"));
    ::cfmakeraw(&raw);
    ::tcsetattr(FPty, TCSANOW, &raw);
    FThread = std::thread([this] { Relay(); });
  }
  ~TTcpRelay() {
    FStop = true;
    FThread.join();
    ::close(FPty);
  }
  TTcpRelay(const TTcpRelay&) = delete;
  TTcpRelay& operator=(const TTcpRelay&) = delete;

  QString Address() const { return QString::fromStdString(FServer.Address()); }

 private:
  void Relay() {
    if (!FServer.Accept(std::chrono::seconds(30))) return;
    char buffer[4096];
    while (!FStop) {
      pollfd readable{FPty, POLLIN, 0};
      if (::poll(&readable, 1, 100) != 1) continue;
      const ssize_t n = ::read(FPty, buffer, sizeof buffer);
      if (n <= 0 || !FServer.Send(std::string(buffer, static_cast<std::size_t>(n)))) return;
    }
  }

  testsupport::TLoopbackServer FServer;
  int FPty;
  std::atomic<bool> FStop{false};
  std::thread FThread;
};

// The interface thread's side as the window wires it, without the widgets: port, journal, list model,
// log, and the worker on its thread. The port opens the device through the router, as the window's
// does: a pseudo-terminal's path, or tcp://HOST:PORT.
struct TIngestRig {
  TIngestRig(TEngine engine, const TBenchHosts& hosts, const QString& device)
      : Host(engine, hosts.OdbcFolder()),
        JournalPath(hosts.Path(QStringLiteral("journal-%1.sqlite").arg(int(engine)))) {
    if (!Journal.Open(JournalPath)) Fail(Journal.LastError());
    Worker = std::make_unique<service::THostWorker>(Host.Settings(QStringLiteral("bench-ingest")), JournalPath,
                                                   [] { return QDateTime::currentDateTime(); });
    capture::TLinePort line = capture::MakeLinePort();
    line.Router->SetDevice(line.Port->DeviceName(), device.toStdString());
    Port = std::move(line.Port);
    Port->SetBaudRate(serial::TBaudRate::br256000);
    Cycle = std::make_unique<capture::TReceiveCycle>(*Port, *line.Watch, Journal, List, *Worker, Log,
                                                    [] { return QDateTime::currentDateTime(); });
    service::FollowDeliveries(Worker->Worker(), List, *Cycle, Context);
    Port->AfterReceive = [this](serial::TSerialPort&, const std::string& data) {
      Cycle->SPAfterReceive(data);
    };
    if (!Port->OpenPort()) Fail(QStringLiteral("cannot open ") + device);
    Cycle->SetDataAtual(QDate::currentDate().startOfDay());
    Worker->OpenDay(Cycle->FDataAtual());
  }
  ~TIngestRig() {
    Port->AfterReceive = nullptr;
    Worker->Stop(std::chrono::seconds(30));
  }

  int Waiting() {
    calls::TJournalCounts counts;
    if (!Journal.Counts(counts)) Fail(Journal.LastError());
    return counts.Waiting;
  }

  testsupport::THostDatabase Host;
  QString JournalPath;
  calls::TJournal Journal{QStringLiteral("journal-ui")};
  calls::TCallListModel List;
  TCountingLog Log;
  QObject Context;
  std::unique_ptr<service::THostWorker> Worker;
  std::unique_ptr<serial::TSerialPort> Port;
  std::unique_ptr<capture::TReceiveCycle> Cycle;
};

// Busy times of the interface thread, in ms: the tick, the worker's answers handled until the next,
// and each read between ticks.
struct TBusy {
  std::vector<double> Tick;
  std::vector<double> Answers;
  std::vector<double> Reads;
  void Print(const char* what) const {
    std::printf(
        "  %-7s %4zu ticks: tick busy p50 %.1f ms, p99 %.1f ms, max %.1f ms; answers handled a tick p50 %.1f "
        "ms, "
        "p99 %.1f ms, max %.1f ms (aim p99 < 50 ms)\n",
        what, Tick.size(), Percentile(Tick, 0.5), Percentile(Tick, 0.99), Percentile(Tick, 1),
        Percentile(Answers, 0.5), Percentile(Answers, 0.99), Percentile(Answers, 1));
    if (!Reads.empty()) {
      std::printf("  %-7s %4zu reads between ticks: p50 %.2f ms, p99 %.2f ms, max %.2f ms\n", what, Reads.size(),
                  Percentile(Reads, 0.5), Percentile(Reads, 0.99), Percentile(Reads, 1));
    }
  }
};

// Handles the worker's answers until the time comes; returns the time spent handling them.
double HandleAnswersUntil(TSteady::time_point due) {
  double busy = 0;
  while (TSteady::now() < due) {
    busy += MillisecondsOf([] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return busy;
}

void Ingest(TEngine engine, const TBenchHosts& hosts, const TOptions& options) {
  TSimulator simulator({QStringLiteral("--bitrate"), QString::fromLatin1(options.Tcp ? "96000" : "256000"),
                        QStringLiteral("--rate"), options.Tcp ? QStringLiteral("max") : QString::number(options.Rate),
                        QStringLiteral("--duration"), QString::number(options.Seconds), QStringLiteral("--seed"),
                        QStringLiteral("1")});
  std::optional<TTcpRelay> relay;
  if (options.Tcp) relay.emplace(simulator.Path());
  TIngestRig rig(engine, hosts, relay ? relay->Address() : simulator.Path());
  const bool hang = options.HangSeconds > 0 && engine == TEngine::Postgres;
  const auto hangFrom = TSteady::now() + std::chrono::seconds((options.Seconds - options.HangSeconds) / 2);
  const auto hangUntil = hangFrom + std::chrono::seconds(options.HangSeconds);
  std::unique_ptr<THungServer> hung;
  int waitingAtThaw = 0;  // shows that the hang did hold the delivery

  TBusy healthy;
  TBusy hanging;
  long maxLinesATick = 0;
  const double cpuBefore = CpuSeconds();
  const auto runStart = TSteady::now();
  std::optional<long> sent;
  long quietTicks = 0;
  // Ticks go on after the simulator is done until the line stays quiet: what it sent is drained.
  // The window's reads between ticks, at the port's speed.
  const std::chrono::milliseconds readEvery = capture::ReadInterval(rig.Port->BaudRate());
  for (auto due = TSteady::now(); !sent || quietTicks < 2 || hung; due += capture::TimerInterval) {
    const long logged = rig.Log.Lines;
    double answers = 0;
    for (auto read = due - capture::TimerInterval + readEvery; read < due; read += readEvery) {
      answers += HandleAnswersUntil(read);
      (hung ? hanging : healthy).Reads.push_back(MillisecondsOf([&] { rig.Cycle->ReadBetweenTicks(); }));
    }
    answers += HandleAnswersUntil(due);
    if (hang && !hung && TSteady::now() >= hangFrom && TSteady::now() < hangUntil) {
      hung = std::make_unique<THungServer>();
    } else if (hung && TSteady::now() >= hangUntil) {
      waitingAtThaw = rig.Waiting();
      hung.reset();
    }
    if (Interrupted()) Fail(QStringLiteral("interrupted"));
    TBusy& busy = hung ? hanging : healthy;
    busy.Tick.push_back(MillisecondsOf([&] { rig.Cycle->TimerTimer(); }));
    busy.Answers.push_back(answers);
    maxLinesATick = std::max(maxLinesATick, rig.Log.Lines - logged);
    quietTicks = rig.Log.Lines == logged ? quietTicks + 1 : 0;
    if (!sent) sent = simulator.LinesSent();
    // A tick longer than the interval delays the next; missed ticks are not made up.
    due = std::max(due, TSteady::now() - capture::TimerInterval);
  }
  const auto lastTick = TSteady::now();
  while (rig.Waiting() > 0 && TSteady::now() - lastTick < DrainLimit && !Interrupted())
    HandleAnswersUntil(TSteady::now() + std::chrono::milliseconds(100));
  const double drain = std::chrono::duration<double>(TSteady::now() - lastTick).count();
  const double cpu = CpuSeconds() - cpuBefore;
  const double wall = std::chrono::duration<double>(TSteady::now() - runStart).count();
  const int stored = rig.Host.Count(QStringLiteral("SELECT COUNT(*) FROM TBCALL"));

  std::printf(
      "%-10s sent %ld, stored %d (%.2f %%), logged %ld, still waiting %d; lines a tick at most %ld; all "
      "stored %.1f s after the last tick; process CPU %.1f s (%.1f %% of %.0f s); peak memory %.1f MB\n",
      EngineName(engine), *sent, stored, 100.0 * stored / static_cast<double>(std::max(1L, *sent)),
      rig.Log.Lines, rig.Waiting(), maxLinesATick, drain, cpu, 100.0 * cpu / wall, wall, StatusMb("VmHWM"));
  healthy.Print(hang ? "healthy" : "all");
  if (hang) {
    std::printf("  server hung (every process stopped) for %d s, %d calls waiting when it went on:\n",
                options.HangSeconds, waitingAtThaw);
    hanging.Print("hung");
  }
  std::fflush(stdout);
}

TOptions ParseOptions(const QStringList& args) {
  TOptions options;
  for (int i = 0; i < args.size(); ++i) {
    if (args[i] == QLatin1String("--seconds") && i + 1 < args.size()) {
      options.Seconds = args[++i].toInt();
    } else if (args[i] == QLatin1String("--rate") && i + 1 < args.size()) {
      options.Rate = args[++i].toDouble();
    } else if (args[i] == QLatin1String("--hang") && i + 1 < args.size()) {
      options.HangSeconds = args[++i].toInt();
    } else if (args[i] == QLatin1String("--tcp")) {
      options.Tcp = true;
    } else {
      options.Engines.append(args[i]);
    }
  }
  if (options.Seconds <= 0 || options.Rate <= 0 || options.HangSeconds < 0 ||
      options.HangSeconds >= options.Seconds) {
    Fail(QStringLiteral("usage: ingest_bench [--seconds S] [--rate R] [--hang H < S] [--tcp] [sqlite|postgres]..."));
  }
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  try {
    const TOptions options = ParseOptions(app.arguments().mid(1));
    PrintMachine();
    CatchInterrupts();
    const TBenchHosts hosts("ingest-bench");
    hosts.ForEach(EnginesNamed(options.Engines), [&](TEngine engine) { Ingest(engine, hosts, options); });
  } catch (const std::exception& error) {
    std::fprintf(stderr, "ingest_bench: %s\n", error.what());
    return 1;
  }
  return 0;
}
