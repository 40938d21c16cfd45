#include "utcall.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QShowEvent>
#include <QTimer>

#include "callgrid.h"
#include "journal.h"
#include "memolog.h"
#include "pipeline.h"
#include "ui_utcall.h"

namespace window {

namespace {

using service::TStatusView;

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
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Log de chamadas"), text, QMessageBox::NoButton,
                  &parent);
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
    : TfmtCall(std::make_unique<service::TPipeline>(std::move(journal), journalPath, settings,
                                                    std::move(lineFiles)),
               std::move(errorBox), std::move(closeQuestion), parent) {}

TfmtCall::TfmtCall(std::unique_ptr<service::TLogger> logger, TErrorBox errorBox, TCloseQuestion closeQuestion,
                   QWidget* parent)
    : QWidget(parent),
      ui(std::make_unique<Ui::TfmtCall>()),
      FLogger(std::move(logger)),
      FPipeline(qobject_cast<service::TPipeline*>(FLogger.get())),
      FGridModel(std::make_unique<TCallGridModel>()),
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
  // Among the window's objects, though the window does not delete it: it goes before the widgets.
  FLogger->setParent(this);
  FLog = std::make_unique<TMemoLog>(*ui->Memo1, FLogger->Log());
  FGridModel->setSourceModel(&FLogger->List());
  BindCallGrid(*ui->gr, *FGridModel);
  connect(FLogger.get(), &service::TLogger::Changed, this, &TfmtCall::ShowState);
  connect(FLogger.get(), &service::TLogger::Opened, this, [] { QApplication::beep(); });
  connect(FLogger.get(), &service::TLogger::Failed, this,
          [this](const QString& text) { FErrorBox(*this, text); });
  // At log-out or shut-down the window is closed with nobody to answer a box.
  connect(qApp, &QGuiApplication::commitDataRequest, this, [this] {
    FSessionEnding = true;
    if (FPipeline != nullptr) FPipeline->Flush();
  });

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
  // What the logger says as it ends reaches no half-destroyed window.
  FLogger->disconnect(this);
  // The views outlive the models as child widgets: unbind them before the models go.
  ui->gr->setModel(nullptr);
  ui->Memo1->setModel(nullptr);
  FLog.reset();
  FLogger.reset();
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
  // The port is let go at once, whatever the database worker is doing; a service keeps its own.
  if (FPipeline != nullptr) FPipeline->LetPortGo();
  event->accept();
}

void TfmtCall::EndOnRequest(const QString& signal) {
  FLogger->Note(QStringLiteral("fim pedido pelo sistema (%1)").arg(signal));
  FSessionEnding = true;
  // A box waiting for the operator would keep the program running under the closed window. Its loop
  // ends first: closing deletes the window, and the box with it, which must not happen inside that loop.
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget != this && widget->isModal() && widget->isVisible()) widget->hide();
  }
  QTimer::singleShot(0, this, [this] { close(); });
}

bool TfmtCall::MayClose() {
  if (FPipeline == nullptr) return true;
  FPipeline->Flush();
  const QString unwritten = FPipeline->UnwrittenText();
  // At the end of a session nobody answers a box: the history says what was lost.
  if (unwritten.isEmpty() || FSessionEnding || qApp->isSavingSession()) return true;
  return FCloseQuestion(*this, unwritten + QStringLiteral("\n\nFechando agora, elas se perdem. Mantendo o "
                                                          "programa aberto, são gravadas assim que o "
                                                          "diário puder ser gravado."));
}

void TfmtCall::FormShow() {
  if (FPipeline != nullptr) FPipeline->Start();
  ui->gr->setFocus();
}

void TfmtCall::UseLine(const capture::TSiteSettings& line) {
  if (FPipeline != nullptr) FPipeline->UseLine(line);
}

void TfmtCall::bb08Click() {
  FLogger->Connect();
}

void TfmtCall::ConnectUnattended() {
  if (FPipeline != nullptr) FPipeline->ConnectUnattended();
}

void TfmtCall::bb05Click() {
  FLogger->Disconnect();
}

void TfmtCall::bb12Click() {
  close();
}

void TfmtCall::BitBtn1Click() {}

void TfmtCall::TimerTimer() {
  if (FPipeline != nullptr) FPipeline->Tick();
}

void TfmtCall::ShowState() {
  const service::TWindowState state = FLogger->State();
  setWindowTitle(state.Caption());
  ui->bb08->setEnabled(state.ConnectEnabled());
  ui->bb05->setEnabled(state.DisconnectEnabled());
  ShowView(*ui->lbLine, ui->Panel2->palette(), FLogger->LineView());
  ShowView(*ui->lbStatus, ui->Panel2->palette(), FLogger->StatusView());
}

}  // namespace window
