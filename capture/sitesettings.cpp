#include "sitesettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include "linerouter.h"
#include "settingskeys.h"
#include "tcpaddress.h"

namespace capture {

namespace {

const TSettingsKey* KeyAt(const QString& path) {
  for (const TSettingsKey& key : SettingsKeys()) {
    if (key.Path() == path) return &key;
  }
  return nullptr;
}

// "[porta] velocidade" for "porta/velocidade"; a key outside any group as it is.
QString Shown(const QString& path) {
  const qsizetype slash = path.indexOf(QLatin1Char('/'));
  if (slash < 0) return path;
  return QStringLiteral("[%1] %2").arg(path.left(slash), path.mid(slash + 1));
}

// A value with commas comes back as a list; the file held it as one text.
QString ValueText(const QVariant& value) {
  return value.typeId() == QMetaType::QStringList ? value.toStringList().join(QLatin1Char(',')) : value.toString();
}

// A key's value as the file has it, for a value QSettings read differently: it takes a backslash as
// an escape, so a hand-written dispositivo=\\.\COM12 arrives as "\.OM12".
QString WrittenValue(const QString& path, const TSettingsKey& key) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
  QString group;
  while (!file.atEnd()) {
    const QString line = QString::fromUtf8(file.readLine()).trimmed();
    if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
      group = line.mid(1, line.size() - 2).trimmed();
      continue;
    }
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (group == key.Group && equals > 0 && line.left(equals).trimmed() == key.Name) return line.mid(equals + 1).trimmed();
  }
  return {};
}

// The file read last that set the stop or the data bits; empty when none did.
void ReadFile(const QString& path, TSiteSettingsRead& read, QString& framedIn) {
  if (path.isEmpty() || !QFileInfo::exists(path)) return;
  QFile probe(path);
  if (!probe.open(QIODevice::ReadOnly)) {
    read.Errors << QStringLiteral("Não foi possível ler %1: %2.").arg(path, probe.errorString());
    return;
  }
  probe.close();
  QSettings file(path, QSettings::IniFormat);
  if (file.status() != QSettings::NoError) {
    read.Errors << QStringLiteral("Arquivo de configuração mal formado: %1.").arg(path);
    return;
  }
  for (const QString& keyPath : file.allKeys()) {
    const TSettingsKey* key = KeyAt(keyPath);
    if (key == nullptr) {
      read.Warnings << QStringLiteral("Chave desconhecida ignorada em %1: %2").arg(path, Shown(keyPath));
      continue;
    }
    if (key->Name == QLatin1String("bits_parada") || key->Name == QLatin1String("bits_dados"))
      framedIn = path;
    const QString value = ValueText(file.value(keyPath));
    if (key->Read(value, read.Settings)) continue;
    // A value written with backslashes is taken, or named in the message, as the file has it.
    const QString written = WrittenValue(path, *key);
    const bool escaped = written.contains(QLatin1Char('\\'));
    if (escaped && key->Read(written, read.Settings)) continue;
    read.Errors << QStringLiteral("Valor inválido em %1: %2=%3. Valores permitidos: %4.")
                       .arg(path, Shown(keyPath), escaped ? written : value, key->Allowed);
  }
}

bool WriteFile(const QString& path, const TSiteSettings& settings) {
  if (path.isEmpty() || !QDir().mkpath(QFileInfo(path).absolutePath())) return false;
  QSettings file(path, QSettings::IniFormat);
  for (const TSettingsKey& key : SettingsKeys()) file.setValue(key.Path(), key.Write(settings));
  file.sync();
  return file.status() == QSettings::NoError;
}

}  // namespace

TSiteSettingsRead ReadSiteSettings(const TSettingsFiles& files) {
  TSiteSettingsRead read;
  QString framedIn;
  ReadFile(files.System, read, framedIn);
  ReadFile(files.User, read, framedIn);
  // After a bad value the settings hold the default in its place: the pair would be judged wrongly.
  if (const QString error = StopBitsError(read.Settings); !error.isEmpty() && read.Ok()) {
    read.Errors << QStringLiteral("Valor inválido em %1: %2.").arg(framedIn, error);
  }
  return read;
}

TSiteSettingsSaved SaveSiteSettings(const TSiteSettings& settings, const TSettingsFiles& files) {
  // Operators read the file the administrator writes, whatever the administrator's umask.
  const bool newSystemFile = !QFileInfo::exists(files.System);
  if (WriteFile(files.System, settings)) {
    if (newSystemFile) {
      QFile::setPermissions(files.System, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                              QFile::ReadOther);
    }
    return {files.System, {}};
  }
  if (WriteFile(files.User, settings)) return {files.User, {}};
  return {{}, QStringLiteral("Não foi possível gravar a configuração em %1 nem em %2.").arg(files.System, files.User)};
}

QString StopBitsError(const TSiteSettings& settings) {
  const bool five = settings.DataBits == serial::TDataBits::db5;
  if (settings.StopBits == serial::TStopBits::sbOne ||
      (settings.StopBits == serial::TStopBits::sbOnePtFive) == five) {
    return {};
  }
  return QStringLiteral(
             "[porta] bits_parada=%1 com bits_dados=%2. Valores permitidos: bits_parada=1.5 só com "
             "bits_dados=5, e bits_parada=2 só com bits_dados de 6 a 8")
      .arg(StopBitsText(settings.StopBits), DataBitsText(settings.DataBits));
}

bool IsLineDevice(const QString& device) {
  TSiteSettings scratch;
  return KeyAt(QStringLiteral("porta/dispositivo"))->Read(device, scratch);
}

QString LineDevicesAllowed() {
  return KeyAt(QStringLiteral("porta/dispositivo"))->Allowed;
}

QString LineText(const TSiteSettings& settings, const QString& device) {
  if (serial::IsTcpName(device.toStdString())) return device;
  QString text = QStringLiteral("%1 %2 %3%4%5")
                     .arg(device)
                     .arg(serial::BaudRateValue(settings.Speed))
                     .arg(DataBitsText(settings.DataBits), ParityLetter(settings.Parity),
                          StopBitsText(settings.StopBits));
  if (const QString flow = FlowText(settings.FlowControl); !flow.isEmpty()) text += QLatin1Char(' ') + flow;
  return text;
}

QString LineText(const serial::TSerialPort& port, const QString& device) {
  return LineText(TSiteSettings{.Device = device,
                                .Speed = port.BaudRate(),
                                .DataBits = port.DataBits(),
                                .Parity = port.ParityType(),
                                .StopBits = port.StopBits(),
                                .FlowControl = port.FlowControl()},
                  device);
}

void ApplyToLine(const TSiteSettings& settings, serial::TLineRouter& router, serial::TSerialPort& port) {
  // The port's own name needs no route, and is then described as it always was ("COM1 (/dev/ttyS0)").
  const std::string device = QFile::encodeName(settings.Device).toStdString();
  router.SetDevice(port.DeviceName(), device == port.DeviceName() ? std::string() : device);
  port.SetBaudRate(settings.Speed);
  port.SetDataBits(settings.DataBits);
  port.SetParityType(settings.Parity);
  port.SetStopBits(settings.StopBits);
  port.SetFlowControl(settings.FlowControl);
}

}  // namespace capture
