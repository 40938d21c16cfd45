#include "utcall.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QDateTime>
#include <QMessageBox>
#include <QShortcut>
#include <QShowEvent>
#include <QTimer>

#include <cstdlib>

#include "callgrid.h"
#include "calllistmodel.h"
#include "hostworker.h"
#include "journal.h"
#include "lineport.h"
#include "linestatusview.h"
#include "memolog.h"
#include "statehistory.h"
#include "statusline.h"
#include "readwatch.h"
#include "receivecycle.h"
#include "serialport.h"
#include "ui_utcall.h"

namespace window {

namespace {

QDateTime LocalClock() {
  return QDateTime::currentDateTime();
}

// Colours that follow the system's palette, which a form file cannot say.
void ApplyColours(Ui::TfmtCall& ui) {
  for (QWidget* button : {ui.bb08, ui.bb05, ui.BitBtn1, ui.bb12}) {
    QPalette palette = button->palette();
    palette.setColor(QPalette::Active, QPalette::ButtonText, Qt::black);
    palette.setColor(QPalette::Inactive, QPalette::ButtonText, Qt::black);
    button->setPalette(palette);
  }
  // The grid keeps its selection visible when the focus is elsewhere.
  QPalette grid = ui.gr->palette();
  grid.setColor(QPalette::Inactive, QPalette::Highlight, grid.color(QPalette::Active, QPalette::Highlight));
  grid.setColor(QPalette::Inactive, QPalette::HighlightedText,
                grid.color(QPalette::Active, QPalette::HighlightedText));
  ui.gr->setPalette(grid);
}

// A status text in its colour, bold when coloured, with its detail as the tool tip.
void ShowView(QLabel& label, const QPalette& bar, const TStatusView& view) {
  label.setText(view.Text);
  label.setToolTip(view.ToolTip);
  QPalette palette = bar;
  if (view.Colour.isValid()) palette.setColor(QPalette::WindowText, view.Colour);
  label.setPalette(palette);
  QFont font = label.font();
  font.setBold(view.Colour.isValid());
  label.setFont(font);
}

}  // namespace

void ShowErrorBox(QWidget& parent, const QString& text) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok, &parent);
  box.exec();
}

bool AskToCloseAnyway(QWidget& parent, const QString& text) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Log de chamadas"), text, QMessageBox::NoButton, &parent);
  QPushButton* stay = box.addButton(QStringLiteral("Continuar aberto"), QMessageBox::RejectRole);
  box.addButton(QStringLiteral("Fechar assim mesmo"), QMessageBox::DestructiveRole);
  box.setDefaultButton(stay);
  box.setEscapeButton(stay);
  box.exec();
  return box.clickedButton() != stay;
}

TfmtCall::TfmtCall(std::unique_ptr<calls::TJournal> journal, const QString& journalPath,
                   const calls::TStoreSettings& settings, TErrorBox errorBox, TCloseQuestion closeQuestion,
                   capture::TSettingsFiles lineFiles, QWidget* parent)
    : QWidget(parent),
      ui(std::make_unique<Ui::TfmtCall>()),
      FJournal(std::move(journal)),
      FList(std::make_unique<calls::TCallListModel>()),
      FHost(std::make_unique<THostWorker>(settings, journalPath, LocalClock)),
      FStatus(std::make_unique<TStatusLine>()),
      FHistory(std::make_unique<TStateHistory>()),
      FLineFiles(std::move(lineFiles)),
      Timer(new QTimer(this)),
      ReadTimer(new QTimer(this)),
      FErrorBox(std::move(errorBox)),
      FCloseQuestion(std::move(closeQuestion)) {
  ui->setupUi(this);
  setObjectName(QStringLiteral("fmtCall"));
  // Closing frees the window, and with it the port and the database objects.
  setAttribute(Qt::WA_DeleteOnClose);
  // Fixed single border with only the system menu: no minimise or maximise.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(size());
  move(357, 11);

  ApplyColours(*ui);

  // The cycle tells new bytes from the port's repeated text by watching the port's reads; the router
  // opens the site's line, a serial device or tcp://HOST:PORT.
  capture::TLinePort line = capture::MakeLinePort();
  SP = std::move(line.Port);
  FRouter = line.Router;
  FLog = std::make_unique<TMemoLog>(*ui->Memo1);
  FCycle = std::make_unique<capture::TReceiveCycle>(*SP, *line.Watch, *FJournal, *FList, *FHost, *FLog, LocalClock);
  SP->AfterReceive = [this](serial::TSerialPort&, std::string text) { FCycle->SPAfterReceive(text); };
  FGridModel = std::make_unique<TCallGridModel>();
  FGridModel->setSourceModel(FList.get());
  BindCallGrid(*ui->gr, *FGridModel);
  BindWorker();
  // The program's own line until start-up or Conectar puts the site's on it.
  UseLine({});
  ShowStatus();
  // At log-out or shut-down the window is closed with nobody to answer a box.
  connect(qApp, &QGuiApplication::commitDataRequest, this, [this] {
    FSessionEnding = true;
    FCycle->Flush();
  });

  Timer->setObjectName(QStringLiteral("Timer"));
  Timer->setInterval(capture::TimerInterval);
  connect(Timer, &QTimer::timeout, this, &TfmtCall::TimerTimer);
  connect(ReadTimer, &QTimer::timeout, this, [this] { FCycle->ReadBetweenTicks(); });
  connect(ui->bb08, &QPushButton::clicked, this, &TfmtCall::bb08Click);
  connect(ui->bb05, &QPushButton::clicked, this, &TfmtCall::bb05Click);
  connect(ui->BitBtn1, &QPushButton::clicked, this, &TfmtCall::BitBtn1Click);
  connect(ui->bb12, &QPushButton::clicked, this, &TfmtCall::bb12Click);
  // bb12 is the cancel button: Esc clicks it from anywhere in the window.
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, ui->bb12,
          &QPushButton::click);
  ShowState();
}

TfmtCall::~TfmtCall() {
  Timer->stop();
  // Also when no close event came (the session ended): what the driver holds is journaled first.
  FCycle->Disconnect();
  if (FCycle->Unwritten() > 0) FHistory->Note(QStringLiteral("fim, perdidas: %1").arg(UnwrittenText()));
  // The grid outlives the list as a child widget: unbind it before the list goes.
  ui->gr->setModel(nullptr);
  // SP outlives the cycle its handler calls.
  SP->AfterReceive = nullptr;
  // Every call is in the journal already: a statement hanging on the server must not keep the
  // program from ending.
  if (!FHost->Stop(ShutdownLimit)) std::_Exit(0);
}

void TfmtCall::BindWorker() {
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
    ShowStatus();
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
  // A worker stuck in a statement cannot report it: the window watches the statement itself.
  auto* statementWatch = new QTimer(this);
  connect(statementWatch, &QTimer::timeout, this, [this, watch = worker.Watch()] {
    if (!FStatus->SetStatementSince(watch->Since(), QDateTime::currentDateTime())) return;
    FHistory->NoAnswer(FStatus->NoAnswerSince());
    ShowStatus();
  });
  statementWatch->start(capture::TimerInterval);
  connect(FList.get(), &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int last) {
    FStatus->AddWaiting(last - first + 1);
    ShowStatus();
  });
}

void TfmtCall::ShowStatus() {
  ShowView(*ui->lbStatus, ui->Panel2->palette(), FStatus->View());
}

void TfmtCall::ShowLine() {
  const capture::TLineStatus line = FCycle->Line();
  ShowView(*ui->lbLine, ui->Panel2->palette(), LineView(line));
  FHistory->Line(line);
  FHistory->Journal(FCycle->JournalFailing(), FCycle->JournalError());
}

void TfmtCall::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TfmtCall::closeEvent(QCloseEvent* event) {
  if (!MayClose()) {
    event->ignore();
    return;
  }
  // The port is let go at once, whatever the database worker is doing; what it holds is journaled.
  Timer->stop();
  FCycle->Disconnect();
  event->accept();
}

void TfmtCall::EndOnRequest(const QString& signal) {
  FHistory->Note(QStringLiteral("fim pedido pelo sistema (%1)").arg(signal));
  FSessionEnding = true;
  // A box waiting for the operator would keep the program running under the closed window. Its loop
  // ends first: closing deletes the window, and the box with it, which must not happen inside that loop.
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget != this && widget->isModal() && widget->isVisible()) widget->hide();
  }
  QTimer::singleShot(0, this, [this] { close(); });
}

bool TfmtCall::MayClose() {
  // The last bytes are read and journaled with the port still open, so staying loses nothing.
  FCycle->Flush();
  ShowLine();
  // At the end of a session nobody answers a box: the history says what was lost.
  if (FCycle->Unwritten() == 0 || FSessionEnding || qApp->isSavingSession()) return true;
  return FCloseQuestion(*this, UnwrittenText() + QStringLiteral("\n\nFechando agora, elas se perdem. Mantendo o "
                                                                "programa aberto, são gravadas assim que o "
                                                                "diário puder ser gravado."));
}

QString TfmtCall::UnwrittenText() const {
  const std::size_t unwritten = FCycle->Unwritten();
  return (unwritten == 1 ? QStringLiteral("1 linha recebida está só na memória")
                         : QStringLiteral("%1 linhas recebidas estão só na memória").arg(unwritten)) +
         QStringLiteral(": o diário de chamadas não pode ser gravado (%1).").arg(FCycle->JournalError());
}

// The grid shows the local day from the journal until the server answers; the server's date then
// decides the day, as it did when the server was always there.
void TfmtCall::FormShow() {
  const QDateTime today = QDate::currentDate().startOfDay();
  FCycle->SetDataAtual(today);
  FHost->OpenDay(today);
  FHost->ReadServerDate();
  ui->gr->setFocus();
}

void TfmtCall::UseLine(const capture::TSiteSettings& line) {
  capture::ApplyToLine(line, *FRouter, *SP);
  FCycle->SetSilenceLimit(std::chrono::hours(line.SilenceHours));
  ReadTimer->setInterval(capture::ReadInterval(line.Speed));
  ShowLine();
}

bool TfmtCall::LoadLine() {
  const capture::TSiteSettingsRead read = capture::ReadSiteSettings(FLineFiles);
  for (const QString& text : read.Warnings + read.Errors) FHistory->Note(text);
  if (!read.Ok()) {
    FErrorBox(*this, QStringLiteral("A configuração da linha tem valores inválidos; a porta não foi aberta.\n\n%1")
                         .arg(read.ErrorMessage()));
    return false;
  }
  UseLine(read.Settings);
  return true;
}

void TfmtCall::bb08Click() {
  // The operator may have changed the line while disconnected: the files are read again.
  if (!LoadLine()) return;
  if (!FCycle->Connect(false)) {
    ShowLine();  // the tool tip names the line that did not open
    FErrorBox(*this, QStringLiteral("Não foi possível abrir a porta"));
    return;
  }
  // A TCP line still connecting enters the connected mode too; the beep waits for an open line.
  FState.PortOpened();
  ShowState();
  ShowLine();
  if (FCycle->Line().Port == capture::TPortState::psOpen) QApplication::beep();
}

void TfmtCall::ConnectUnattended() {
  FCycle->Connect(true);
  // Connected either way: the logger keeps trying the port, and the status line says so.
  FState.PortOpened();
  ShowState();
  ShowLine();
  if (FCycle->Line().Port == capture::TPortState::psOpen) QApplication::beep();
}

void TfmtCall::bb05Click() {
  // Closing a port that is not open reports failure, yet the port is closed as asked: only a failure
  // to close an open port is worth a message.
  const bool wasOpen = SP->IsOpen();
  if (!FCycle->Disconnect() && wasOpen) {
    FErrorBox(*this, QStringLiteral("Não foi possível fechar a porta"));
    ShowLine();
    return;
  }
  FState.PortClosed();
  ShowState();
  ShowLine();
}

void TfmtCall::bb12Click() {
  close();
}

void TfmtCall::BitBtn1Click() {}

void TfmtCall::TimerTimer() {
  FCycle->TimerTimer();
  ShowLine();
}

void TfmtCall::ShowState() {
  setWindowTitle(FState.Caption());
  ui->bb08->setEnabled(FState.ConnectEnabled());
  ui->bb05->setEnabled(FState.DisconnectEnabled());
  if (FState.TimerOn()) {
    Timer->start();
    if (ReadTimer->interval() < Timer->interval()) ReadTimer->start();
  } else {
    Timer->stop();
    ReadTimer->stop();
  }
}

}  // namespace window
