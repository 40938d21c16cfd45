#include "settingsdialog.h"

#include <QPushButton>

#include "tcpaddress.h"
#include "ui_settingsdialog.h"

namespace window {

namespace {

using serial::TBaudRate;

// The lists hold their values in the order of the port's enumerations (the data bits from 5).
template <class E>
E ChoiceOf(const QComboBox& list, int first = 0) {
  return static_cast<E>(list.currentIndex() + first);
}

template <class E>
void Choose(QComboBox& list, E value, int first = 0) {
  list.setCurrentIndex(static_cast<int>(value) - first);
}

constexpr int FirstDataBits = static_cast<int>(serial::TDataBits::db5);

}  // namespace

TSettingsDialog::TSettingsDialog(capture::TSettingsFiles files, const std::vector<serial::TPortInfo>& ports,
                                 std::chrono::milliseconds testDuration, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TSettingsDialog>()), FFiles(std::move(files)), FTest(testDuration) {
  ui->setupUi(this);
  for (int rate = 0; rate <= static_cast<int>(TBaudRate::br256000); ++rate)
    ui->cbSpeed->addItem(QString::number(serial::BaudRateValue(static_cast<TBaudRate>(rate))));
  ui->sbSilence->setRange(0, capture::MaxSilenceHours);
  if (ports.empty()) ui->cbPorts->addItem(QStringLiteral("(nenhuma porta serial encontrada)"));
  for (const serial::TPortInfo& port : ports) {
    const QString device = QString::fromStdString(port.Device);
    ui->cbPorts->addItem(QStringLiteral("%1 - %2").arg(device, QString::fromStdString(port.Description)), device);
  }
  ui->cbPorts->setEnabled(!ports.empty());
  ui->cbPorts->setPlaceholderText(QStringLiteral("(escolha uma para preencher o dispositivo)"));
  connect(ui->cbPorts, &QComboBox::activated, this, [this](int index) {
    ui->edDevice->setText(ui->cbPorts->itemData(index).toString());
  });
  connect(ui->edDevice, &QLineEdit::textChanged, this, &TSettingsDialog::ShowDeviceKind);
  connect(ui->btTest, &QPushButton::clicked, this, &TSettingsDialog::TestClick);
  connect(ui->btSave, &QPushButton::clicked, this, &TSettingsDialog::SaveClick);
  FTest.OnChange = [this] { ShowTest(); };
  FTest.OnLine = [this](const QString& line, bool call) {
    ui->edLines->appendPlainText(call ? line : QStringLiteral("(não é chamada) ") + line);
  };

  const capture::TSiteSettingsRead read = capture::ReadSiteSettings(FFiles);
  ShowSettings(read.Settings);
  QStringList notes;
  if (!read.Ok()) {
    notes << QStringLiteral("Os arquivos de configuração têm valores que o programa não aceita (ele não inicia "
                            "assim); os campos mostram o padrão no lugar deles e \"Gravar\" corrige:")
          << read.Errors;
  }
  notes << read.Warnings;
  ui->lbMessage->setText(notes.join(QLatin1Char('\n')));
  ui->edDevice->setFocus();
}

TSettingsDialog::~TSettingsDialog() = default;

void TSettingsDialog::ShowSettings(const capture::TSiteSettings& settings) {
  ui->edDevice->setText(settings.Device);
  // A port that is not among those found (or a tcp:// line) leaves the list unchosen.
  ui->cbPorts->setCurrentIndex(ui->cbPorts->findData(settings.Device));
  Choose(*ui->cbSpeed, settings.Speed);
  Choose(*ui->cbDataBits, settings.DataBits, FirstDataBits);
  Choose(*ui->cbParity, settings.Parity);
  Choose(*ui->cbStopBits, settings.StopBits);
  Choose(*ui->cbFlow, settings.FlowControl);
  ui->sbSilence->setValue(settings.SilenceHours);
}

capture::TSiteSettings TSettingsDialog::Chosen() const {
  capture::TSiteSettings settings;
  settings.Device = ui->edDevice->text().trimmed();
  settings.Speed = ChoiceOf<TBaudRate>(*ui->cbSpeed);
  settings.DataBits = ChoiceOf<serial::TDataBits>(*ui->cbDataBits, FirstDataBits);
  settings.Parity = ChoiceOf<serial::TParityType>(*ui->cbParity);
  settings.StopBits = ChoiceOf<serial::TStopBits>(*ui->cbStopBits);
  settings.FlowControl = ChoiceOf<serial::TFlowControl>(*ui->cbFlow);
  settings.SilenceHours = ui->sbSilence->value();
  return settings;
}

void TSettingsDialog::ShowDeviceKind() {
  // A TCP line has no speed, frame or flow control: those settings mean nothing for it.
  const bool serialLine = !serial::IsTcpName(ui->edDevice->text().trimmed().toStdString());
  const std::initializer_list<QWidget*> settings = {
      ui->lbSpeed,  ui->cbSpeed,    ui->lbDataBits, ui->cbDataBits, ui->lbParity,
      ui->cbParity, ui->lbStopBits, ui->cbStopBits, ui->lbFlow,     ui->cbFlow};
  for (QWidget* setting : settings) setting->setEnabled(serialLine);
}

bool TSettingsDialog::Accepted() {
  const QString device = ui->edDevice->text().trimmed();
  if (!capture::IsLineDevice(device)) {
    ui->lbMessage->setText(QStringLiteral("Dispositivo inválido: \"%1\". Valores permitidos: %2.")
                               .arg(device, capture::LineDevicesAllowed()));
    ui->edDevice->setFocus();
    return false;
  }
  // The start would refuse these settings too.
  if (const QString error = capture::StopBitsError(Chosen()); !error.isEmpty()) {
    ui->lbMessage->setText(QStringLiteral("Configuração inválida: %1.").arg(error));
    ui->cbStopBits->setFocus();
    return false;
  }
  return true;
}

void TSettingsDialog::TestClick() {
  if (FTest.Running()) {
    FTest.Stop();
    return;
  }
  if (!Accepted()) return;
  ui->lbMessage->clear();
  ui->edLines->clear();
  FTest.Start(Chosen());
}

void TSettingsDialog::ShowTest() {
  const bool running = FTest.Running();
  ui->btTest->setText(running ? QStringLiteral("Parar &teste") : QStringLiteral("&Testar"));
  QStringList lines;
  if (FTest.Opened()) {
    lines << (running ? QStringLiteral("Testando %1: faltam %2 s.").arg(FTest.Device()).arg(FTest.SecondsLeft())
                      : QStringLiteral("Teste de %1 terminado.").arg(FTest.Device()))
          << FTest.CountsText();
  }
  lines << FTest.Verdict();
  ui->lbTest->setText(lines.join(QLatin1Char('\n')));
}

void TSettingsDialog::SaveClick() {
  if (!Accepted()) return;
  const capture::TSiteSettings settings = Chosen();
  const capture::TSiteSettingsSaved saved = capture::SaveSiteSettings(settings, FFiles);
  if (!saved.Ok()) {
    ui->lbMessage->setText(saved.Error);
    return;
  }
  QStringList notes{QStringLiteral("Configuração gravada em %1.").arg(saved.File)};
  // The user's own file wins key by key over the system-wide one.
  if (capture::ReadSiteSettings(FFiles).Settings != settings) {
    notes << QStringLiteral("Atenção: %1 muda alguns destes valores para este usuário.").arg(FFiles.User);
  }
  notes << QStringLiteral("Um logchamadas aberto passa a usá-la ao \"Desconectar\" e \"Conectar\" de novo.");
  ui->lbMessage->setText(notes.join(QLatin1Char('\n')));
}

int RunSettingsDialog(const capture::TSettingsFiles& files) {
  TSettingsDialog dialog(files, serial::ListSerialPorts());
  dialog.exec();
  return 0;
}

}  // namespace window
