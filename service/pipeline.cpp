#include "pipeline.h"

#include <QTimer>
#include <cstdlib>

#include "hostworker.h"
#include "journal.h"
#include "lineport.h"
#include "linestatusview.h"
#include "readwatch.h"
#include "receivecycle.h"
#include "serialport.h"
#include "statehistory.h"

namespace service {

namespace {

QDateTime LocalClock() {
  return QDateTime::currentDateTime();
}

}  // namespace

TPipeline::TPipeline(std::unique_ptr<calls::TJournal> journal, const QString& journalPath,
                     const calls::TStoreSettings& settings, capture::TSettingsFiles lineFiles,
                     QObject* parent)
    : TLogger(parent),
      FJournal(std::move(journal)),
      FList(std::make_unique<calls::TCallListModel>()),
      FLog(std::make_unique<TLogLines>()),
      FHost(std::make_unique<THostWorker>(settings, journalPath, LocalClock)),
      FStatus(std::make_unique<TStatusLine>()),
      FHistory(std::make_unique<TStateHistory>()),
      FLineFiles(std::move(lineFiles)),
      Timer(new QTimer(this)),
      ReadTimer(new QTimer(this)) {
  // The cycle tells new bytes from the port's repeated text by watching the port's reads; the router
  // opens the site's line, a serial device or tcp://HOST:PORT.
  capture::TLinePort line = capture::MakeLinePort();
  SP = std::move(line.Port);
  FRouter = line.Router;
  FCycle = std::make_unique<capture::TReceiveCycle>(*SP, *line.Watch, *FJournal, *FList, *FHost, *FLog,
                                                    LocalClock);
  SP->AfterReceive = [this](serial::TSerialPort&, std::string text) { FCycle->SPAfterReceive(text); };
  BindWorker();
  // The program's own line until start-up or Conectar puts the site's on it.
  UseLine({});
  Timer->setObjectName(QStringLiteral("Timer"));
  Timer->setInterval(capture::TimerInterval);
  connect(Timer, &QTimer::timeout, this, &TPipeline::Tick);
  connect(ReadTimer, &QTimer::timeout, this, [this] { FCycle->ReadBetweenTicks(); });
}

TPipeline::~TPipeline() {
  LetPortGo();
  if (FCycle->Unwritten() > 0) FHistory->Note(QStringLiteral("fim, perdidas: %1").arg(UnwrittenText()));
  // SP outlives the cycle its handler calls.
  SP->AfterReceive = nullptr;
  if (!FHost->Stop(ShutdownLimit)) std::_Exit(0);
}

void TPipeline::BindWorker() {
  calls::TStoreWorker& worker = FHost->Worker();
  FollowDeliveries(worker, *FList, *FCycle, *this);
  connect(&worker, &calls::TStoreWorker::ServerDate, this, [this](const QDateTime& day) {
    if (day == FCycle->FDataAtual()) return;
    FCycle->SetDataAtual(day);
    FHost->OpenDay(day);
  });
  connect(&worker, &calls::TStoreWorker::StatusChanged, this, [this](const calls::THostStatus& status) {
    FStatus->SetStatus(status);
    FHistory->Host(status);
    emit Changed();
  });
  connect(&worker, &calls::TStoreWorker::SetAside, this, [this](const QString& line, const QString& reason) {
    const QString shown = line.left(int(capture::LogLineWidth));
    FLog->AppendLine(QStringLiteral("Recusada pelo servidor: %1").arg(shown));
    FLog->AppendLine(QStringLiteral("  motivo: %1").arg(reason));
    FHistory->Note(QStringLiteral("chamada posta de lado, recusada pelo servidor: %1").arg(shown));
  });
  connect(&worker, &calls::TStoreWorker::Trouble, this, [this](const QString& text) {
    FLog->AppendLine(text);
    FHistory->Note(QStringLiteral("diário de chamadas: %1").arg(text));
  });
  // A worker stuck in a statement cannot report it: the pipeline watches the statement itself.
  auto* statementWatch = new QTimer(this);
  connect(statementWatch, &QTimer::timeout, this, [this, watch = worker.Watch()] {
    if (!FStatus->SetStatementSince(watch->Since(), QDateTime::currentDateTime())) return;
    FHistory->NoAnswer(FStatus->NoAnswerSince());
    emit Changed();
  });
  statementWatch->start(capture::TimerInterval);
  connect(FList.get(), &QAbstractItemModel::rowsInserted, this,
          [this](const QModelIndex&, int first, int last) {
            FStatus->AddWaiting(last - first + 1);
            emit Changed();
          });
}

TStatusView TPipeline::LineView() const {
  return service::LineView(FCycle->Line());
}

TStatusView TPipeline::StatusView() const {
  return FStatus->View();
}

void TPipeline::LineChanged() {
  FHistory->Line(FCycle->Line());
  FHistory->Journal(FCycle->JournalFailing(), FCycle->JournalError());
  emit Changed();
}

void TPipeline::SetState(TWindowState state) {
  FState = state;
  if (FState.TimerOn()) {
    Timer->start();
    if (ReadTimer->interval() < Timer->interval()) ReadTimer->start();
  } else {
    Timer->stop();
    ReadTimer->stop();
  }
  LineChanged();
}

// The list shows the local day from the journal until the server answers; the server's date then
// decides the day, as it did when the server was always there.
void TPipeline::Start() {
  const QDateTime today = QDate::currentDate().startOfDay();
  FCycle->SetDataAtual(today);
  FHost->OpenDay(today);
  FHost->ReadServerDate();
}

void TPipeline::UseLine(const capture::TSiteSettings& line) {
  capture::ApplyToLine(line, *FRouter, *SP);
  FCycle->SetSilenceLimit(std::chrono::hours(line.SilenceHours));
  ReadTimer->setInterval(capture::ReadInterval(line.Speed));
  LineChanged();
}

void TPipeline::Connect() {
  const capture::TSiteSettingsRead read = capture::ReadSiteSettings(FLineFiles);
  for (const QString& text : read.Warnings + read.Errors) FHistory->Note(text);
  if (!read.Ok()) {
    emit Failed(QStringLiteral("A configuração da linha tem valores inválidos; a porta não foi aberta.\n\n%1")
                    .arg(read.ErrorMessage()));
    return;
  }
  UseLine(read.Settings);
  if (!FCycle->Connect(false)) {
    LineChanged();  // the tool tip names the line that did not open
    emit Failed(QStringLiteral("Não foi possível abrir a porta"));
    return;
  }
  // A TCP line still connecting enters the connected mode too; Opened waits for an open line.
  SetState(TWindowState(TWindowState::TState::wsConnected));
  if (FCycle->Line().Port == capture::TPortState::psOpen) emit Opened();
}

void TPipeline::ConnectUnattended() {
  FCycle->Connect(true);
  // Connected either way: the logger keeps trying the port, and the status line says so.
  SetState(TWindowState(TWindowState::TState::wsConnected));
  if (FCycle->Line().Port == capture::TPortState::psOpen) emit Opened();
}

void TPipeline::Disconnect() {
  // Closing a port that is not open reports failure, yet the port is closed as asked: only a failure
  // to close an open port is worth a message.
  const bool wasOpen = SP->IsOpen();
  if (!FCycle->Disconnect() && wasOpen) {
    LineChanged();
    emit Failed(QStringLiteral("Não foi possível fechar a porta"));
    return;
  }
  SetState(TWindowState(TWindowState::TState::wsDisconnected));
}

void TPipeline::Flush() {
  // The last bytes are read and journaled with the port still open, so staying loses nothing.
  FCycle->Flush();
  LineChanged();
}

QString TPipeline::UnwrittenText() const {
  const std::size_t unwritten = FCycle->Unwritten();
  if (unwritten == 0) return {};
  return (unwritten == 1 ? QStringLiteral("1 linha recebida está só na memória")
                         : QStringLiteral("%1 linhas recebidas estão só na memória").arg(unwritten)) +
         QStringLiteral(": o diário de chamadas não pode ser gravado (%1).").arg(FCycle->JournalError());
}

void TPipeline::LetPortGo() {
  Timer->stop();
  FCycle->Disconnect();
}

void TPipeline::Note(const QString& text) {
  FHistory->Note(text);
}

void TPipeline::Tick() {
  FCycle->TimerTimer();
  LineChanged();
}

}  // namespace service
