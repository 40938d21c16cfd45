// The site's settings through real files: the line with no file, which file wins, each bad value's
// message, keys that mean nothing, saving where it can be written, and the files QSettings would use.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "linerouter.h"
#include "sitesettings.h"

namespace {

using capture::TSiteSettings;
using serial::TBaudRate;
using serial::TDataBits;
using serial::TFlowControl;
using serial::TParityType;
using serial::TStopBits;

#ifdef _WIN32
const QString kPathDevice = QStringLiteral("\\\\.\\COM12");
#else
const QString kPathDevice = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K-if00-port0");
#endif

TSiteSettings Line(const QString& device, TBaudRate speed, TDataBits bits, TParityType parity, TStopBits stop,
                   TFlowControl flow, int silenceHours = 0) {
  return {device, speed, bits, parity, stop, flow, silenceHours};
}

class SiteSettings : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder.isValid()); }

  void Write(const QString& path, const char* text) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
  }

  // A file no earlier step wrote: QSettings keeps the files it parsed and reads one again only when its
  // time stamp or size has changed, so two writes of one size within a moment would read as the first.
  QString NewFile() { return folder.filePath(QStringLiteral("file-%1.conf").arg(++written)); }

  int written = 0;
  QTemporaryDir folder;
  capture::TSettingsFiles files{folder.filePath(QStringLiteral("etc/logchamadas/logchamadas.conf")),
                                folder.filePath(QStringLiteral("home/logchamadas/logchamadas.conf"))};
};

TEST_F(SiteSettings, WithoutFilesTheLineIsTheOneTheProgramAlwaysHad) {
  const capture::TSiteSettingsRead read = capture::ReadSiteSettings(files);
  EXPECT_TRUE(read.Ok());
  EXPECT_TRUE(read.Warnings.isEmpty());
  EXPECT_EQ(read.Settings, Line(QStringLiteral("COM1"), TBaudRate::br9600, TDataBits::db8, TParityType::pcNone,
                                 TStopBits::sbOne, TFlowControl::fcNone, 0));
}

// Key by key the user's file over the system's over the defaults; then the port's environment variable
// over both, where the system has one (Linux).
TEST_F(SiteSettings, TheUsersValuesWinKeyByKeyAndTheEnvironmentWinsForTheDevice) {
  Write(files.System,
        "[porta]\ndispositivo=COM2\nvelocidade=1200\nbits_dados=7\nparidade=par\n[linha]\nsilencio_horas=8\n");
  Write(files.User, "[porta]\ndispositivo=COM3\nvelocidade=2400\nbits_parada=2\ncontrole_fluxo=rts_cts\n");
  const capture::TSiteSettingsRead read = capture::ReadSiteSettings(files);
  ASSERT_TRUE(read.Ok()) << read.ErrorMessage().toStdString();
  EXPECT_EQ(read.Settings, Line(QStringLiteral("COM3"), TBaudRate::br2400, TDataBits::db7, TParityType::pcEven,
                                 TStopBits::sbTwo, TFlowControl::fcRTS_CTS, 8));

  // The port, as the window will set it up, and the line it then opens.
  serial::TLineRouter router;
  serial::TSerialPort port(nullptr);
  port.SetCommPort(serial::TCommPort::cpCOM1);
  capture::ApplyToLine(read.Settings, router, port);
  EXPECT_EQ(port.ParityType(), TParityType::pcEven);
  EXPECT_EQ(port.FlowControl(), TFlowControl::fcRTS_CTS);
  EXPECT_EQ(router.DeviceFor("COM1"), "COM3");
  qputenv("LOGCHAMADAS_COM1", "/dev/pts/9");
  const QString inUse = QString::fromStdString(router.DeviceFor("COM1"));
  qunsetenv("LOGCHAMADAS_COM1");
#ifdef _WIN32
  EXPECT_EQ(inUse, QStringLiteral("COM3"));  // Windows reads no environment
#else
  EXPECT_EQ(inUse, QStringLiteral("/dev/pts/9"));
#endif
  EXPECT_EQ(capture::LineText(read.Settings, inUse), inUse + QStringLiteral(" 2400 7E2 RTS/CTS"));
}

TEST_F(SiteSettings, EachBadValueStopsWithFileKeyValueAndWhatIsAllowed) {
  const QString speeds = QStringLiteral("110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 128000, 256000");
  const QString parities = QStringLiteral("nenhuma, par, impar, marca, espaco");
  const QString hours = QStringLiteral("horas, de 0 (sem aviso) a 720");
  const struct {
    const char* line;
    const char* shown;  // as the message shows the key and value
    QString allowed;
  } cases[] = {
      {"[porta]\nvelocidade=9601", "[porta] velocidade=9601", speeds},
      {"[porta]\nvelocidade=", "[porta] velocidade=", speeds},
      {"[porta]\nbits_dados=4", "[porta] bits_dados=4", QStringLiteral("5, 6, 7, 8")},
      {"[porta]\nparidade=odd", "[porta] paridade=odd", parities},
      {"[porta]\nbits_parada=1,5", "[porta] bits_parada=1,5", QStringLiteral("1, 1.5, 2")},
      {"[porta]\ncontrole_fluxo=hardware", "[porta] controle_fluxo=hardware",
       QStringLiteral("nenhum, xon_xoff, rts_cts, dtr_dsr")},
      {"[linha]\nsilencio_horas=721", "[linha] silencio_horas=721", hours},
      {"[linha]\nsilencio_horas=2h", "[linha] silencio_horas=2h", hours},
      {"[porta]\ndispositivo=COM0", "[porta] dispositivo=COM0", QStringLiteral("tcp://HOST:PORTA")},
      {"[porta]\ndispositivo=tcp://pabx:70000", "[porta] dispositivo=tcp://pabx:70000",
       QStringLiteral("de 1 a 65535")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const QString user = NewFile();
    Write(user, c.line);
    const capture::TSiteSettingsRead read = capture::ReadSiteSettings({files.System, user});
    ASSERT_EQ(read.Errors.size(), 1);
    const QString message = read.ErrorMessage();
    EXPECT_TRUE(message.startsWith(QStringLiteral("Valor inválido em ") + user + QStringLiteral(": ") +
                                   QString::fromUtf8(c.shown) + QStringLiteral(". Valores permitidos: ")))
        << message.toStdString();
    EXPECT_TRUE(message.contains(c.allowed)) << message.toStdString();
    EXPECT_EQ(read.Settings, TSiteSettings{});  // nothing of a bad value is taken
  }

  // A bad value in the system's file counts although the user's file sets the key; both are named.
  Write(files.System, "[porta]\nvelocidade=9601\n");
  Write(files.User, "[porta]\nvelocidade=1200\nbits_dados=9\n");
  const capture::TSiteSettingsRead both = capture::ReadSiteSettings(files);
  EXPECT_EQ(both.Errors.size(), 2);
  EXPECT_EQ(both.ErrorMessage(), both.Errors.join(QLatin1Char('\n')));
  EXPECT_TRUE(both.Errors[0].contains(files.System));
  EXPECT_TRUE(both.Errors[1].contains(files.User));

  const QString malformed = NewFile();
  Write(malformed, "[porta\nvelocidade=1200\n");
  EXPECT_EQ(capture::ReadSiteSettings({QString(), malformed}).Errors,
            QStringList{QStringLiteral("Arquivo de configuração mal formado: ") + malformed + QLatin1Char('.')});
}

// Stop bits a UART cannot make with the data bits stop the start, the pair judged as both files leave
// it and named in the file that wrote it last.
TEST_F(SiteSettings, StopBitsTheDataBitsDoNotAllowAreRefused) {
  const struct {
    const char* System;
    const char* User;
    const char* Refused;  // as the message shows the pair; null: taken
  } cases[] = {
      {"bits_dados=5\nbits_parada=1.5", "", nullptr},
      {"bits_dados=8\nbits_parada=1.5", "", "bits_parada=1.5 com bits_dados=8"},
      {"bits_dados=5\nbits_parada=2", "", "bits_parada=2 com bits_dados=5"},
      {"bits_dados=6\nbits_parada=2", "", nullptr},
      {"bits_parada=1.5", "[porta]\nbits_dados=5", nullptr},
      {"bits_dados=5\nbits_parada=1.5", "[porta]\nbits_dados=7", "bits_parada=1.5 com bits_dados=7"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.System);
    const capture::TSettingsFiles pair{NewFile(), NewFile()};
    Write(pair.System, (std::string("[porta]\n") + c.System).c_str());
    Write(pair.User, c.User);
    const QString message = capture::ReadSiteSettings(pair).ErrorMessage();
    const QString refused = QStringLiteral("Valor inválido em %1: [porta] %2. Valores permitidos: ")
                                .arg(*c.User != 0 ? pair.User : pair.System, c.Refused);
    EXPECT_TRUE(c.Refused == nullptr ? message.isEmpty() : message.startsWith(refused)) << message.toStdString();
  }
}

TEST_F(SiteSettings, UnknownKeysAreIgnoredWithAWarningEach) {
  Write(files.User, "solto=1\n[porta]\nvelocidad=1200\nvelocidade=19200\n[linhas]\nsilencio_horas=2\n");
  const capture::TSiteSettingsRead read = capture::ReadSiteSettings(files);
  EXPECT_TRUE(read.Ok());
  EXPECT_EQ(read.Settings.Speed, TBaudRate::br19200);
  EXPECT_EQ(read.Settings.SilenceHours, 0);
  const QString in = QStringLiteral("Chave desconhecida ignorada em ") + files.User + QStringLiteral(": ");
  EXPECT_EQ(read.Warnings, (QStringList{in + QStringLiteral("[linhas] silencio_horas"),
                                        in + QStringLiteral("[porta] velocidad"), in + QStringLiteral("solto")}));
}

// The system's file when it can be written, else the user's; what is saved reads back the same, and
// other keys in the file stay.
TEST_F(SiteSettings, SavedToTheFirstFileThatCanBeWrittenAndReadBackAlike) {
  TSiteSettings settings = Line(kPathDevice, TBaudRate::br256000, TDataBits::db5, TParityType::pcSpace,
                                TStopBits::sbOnePtFive, TFlowControl::fsDSR_DTR, 720);

  // No folder can be made under a file: the system's file cannot be written, even by an administrator.
  const capture::TSettingsFiles blocked{folder.filePath(QStringLiteral("file/logchamadas.conf")), files.User};
  Write(folder.filePath(QStringLiteral("file")), "");
  Write(files.User, "[porta]\nvelocidade=1200\n[outro]\nchave=valor\n");
  const capture::TSiteSettingsSaved toUser = capture::SaveSiteSettings(settings, blocked);
  ASSERT_TRUE(toUser.Ok()) << toUser.Error.toStdString();
  EXPECT_EQ(toUser.File, files.User);
  const capture::TSiteSettingsRead user = capture::ReadSiteSettings(blocked);
  EXPECT_EQ(user.Settings, settings);
  EXPECT_EQ(user.Warnings.size(), 1);  // [outro] chave, kept

  settings.Device = QStringLiteral("tcp://10.0.0.5:4001");
  const capture::TSiteSettingsSaved toSystem = capture::SaveSiteSettings(settings, files);
  ASSERT_TRUE(toSystem.Ok());
  EXPECT_EQ(toSystem.File, files.System);
  EXPECT_EQ(capture::ReadSiteSettings({files.System, QString()}).Settings, settings);
#ifndef _WIN32
  EXPECT_TRUE(QFile::permissions(files.System) & QFile::ReadOther);
#endif

  const capture::TSettingsFiles nowhere{blocked.System, folder.filePath(QStringLiteral("file/user.conf"))};
  const capture::TSiteSettingsSaved none = capture::SaveSiteSettings(settings, nowhere);
  EXPECT_FALSE(none.Ok());
  EXPECT_TRUE(none.Error.contains(nowhere.System) && none.Error.contains(nowhere.User));
}

// A hand-written \\.\COM12 (which QSettings would read as escapes) is taken as written where it is a
// device name (Windows), and named as written where it is not.
TEST_F(SiteSettings, BackslashesAreReadAsWritten) {
  Write(files.User, "[porta]\ndispositivo=\\\\.\\COM12\n");
  const capture::TSiteSettingsRead read = capture::ReadSiteSettings(files);
#ifdef _WIN32
  ASSERT_TRUE(read.Ok()) << read.ErrorMessage().toStdString();
  EXPECT_EQ(read.Settings.Device, QStringLiteral("\\\\.\\COM12"));
#else
  ASSERT_EQ(read.Errors.size(), 1);
  EXPECT_TRUE(read.Errors[0].contains(QStringLiteral("[porta] dispositivo=\\\\.\\COM12. Valores permitidos: ")))
      << read.Errors[0].toStdString();
#endif
}

#ifdef LOGCHAMADAS_EXAMPLE_SETTINGS
// The packaged example, all comments, is the line the program always had; each of its keys, taken out
// of its comment, is one the program knows, with a value it takes.
TEST_F(SiteSettings, ThePackagedExample) {
  const QString example = QStringLiteral(LOGCHAMADAS_EXAMPLE_SETTINGS);
  const capture::TSiteSettingsRead commented = capture::ReadSiteSettings({example, {}});
  EXPECT_TRUE(commented.Ok() && commented.Warnings.isEmpty());
  EXPECT_EQ(commented.Settings, TSiteSettings{});

  QFile file(example);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QString text = QString::fromUtf8(file.readAll());
  const qsizetype keys = text.count(QRegularExpression(QStringLiteral("\n;\\w+=")));
  EXPECT_EQ(keys, 7);
  text.replace(QRegularExpression(QStringLiteral("\n;(\\w+=)")), QStringLiteral("\n\\1"));
  const QString uncommented = NewFile();
  Write(uncommented, text.toUtf8().constData());
  const capture::TSiteSettingsRead read = capture::ReadSiteSettings({uncommented, {}});
  EXPECT_TRUE(read.Ok()) << read.ErrorMessage().toStdString();
  EXPECT_TRUE(read.Warnings.isEmpty()) << read.Warnings.join('\n').toStdString();
  EXPECT_EQ(read.Settings, TSiteSettings{});
}
#endif

TEST(LineText, NamesDeviceRateAndFrame) {
  const struct {
    TSiteSettings settings;
    const char* text;
  } cases[] = {
      {Line(QStringLiteral("/dev/ttyUSB0"), TBaudRate::br1200, TDataBits::db7, TParityType::pcEven, TStopBits::sbOne,
            TFlowControl::fcNone),
       "/dev/ttyUSB0 1200 7E1"},
      {Line(QStringLiteral("COM12"), TBaudRate::br19200, TDataBits::db8, TParityType::pcOdd, TStopBits::sbOnePtFive,
            TFlowControl::fcXON_XOFF),
       "COM12 19200 8O1.5 XON/XOFF"},
      {Line(QStringLiteral("COM1"), TBaudRate::br110, TDataBits::db5, TParityType::pcMark, TStopBits::sbTwo,
            TFlowControl::fsDSR_DTR),
       "COM1 110 5M2 DTR/DSR"},
      // A TCP line has no speed or frame of its own.
      {Line(QStringLiteral("tcp://10.0.0.5:4001"), TBaudRate::br1200, TDataBits::db7, TParityType::pcEven,
            TStopBits::sbOne, TFlowControl::fcNone),
       "tcp://10.0.0.5:4001"},
  };
  for (const auto& c : cases) EXPECT_EQ(capture::LineText(c.settings, c.settings.Device), QString::fromUtf8(c.text));
}

#ifdef _WIN32
TEST(SiteSettingsFiles, IniFilesUnderTheCommonAndTheUsersApplicationData) {
  const capture::TSettingsFiles files = capture::SiteSettingsFiles();
  EXPECT_TRUE(QDir::fromNativeSeparators(files.System).endsWith(QStringLiteral("/logchamadas/logchamadas.ini")));
  EXPECT_TRUE(QDir::fromNativeSeparators(files.User).endsWith(QStringLiteral("/logchamadas/logchamadas.ini")));
  EXPECT_NE(files.System, files.User);
}
#else
TEST(SiteSettingsFiles, WhereTheXdgVariablesSay) {
  QTemporaryDir folder;
  const QString home = folder.filePath(QStringLiteral("home"));
  const QString first = folder.filePath(QStringLiteral("first"));
  const QString last = folder.filePath(QStringLiteral("last"));
  qputenv("XDG_CONFIG_HOME", home.toLocal8Bit());
  qputenv("XDG_CONFIG_DIRS", (first + QLatin1Char(':') + last).toLocal8Bit());
  const QString relative = QStringLiteral("/logchamadas/logchamadas.conf");

  capture::TSettingsFiles files = capture::SiteSettingsFiles();
  EXPECT_EQ(files.User, home + relative);
  EXPECT_EQ(files.System, last + relative);  // none yet: where every session reads

  QDir().mkpath(first + QStringLiteral("/logchamadas"));
  QFile(first + relative).open(QIODevice::WriteOnly);
  files = capture::SiteSettingsFiles();
  EXPECT_EQ(files.System, first + relative);  // the first found, as QSettings takes precedence
  qunsetenv("XDG_CONFIG_HOME");
  qunsetenv("XDG_CONFIG_DIRS");

  files = capture::SiteSettingsFiles();
  EXPECT_EQ(files.User, QDir::homePath() + QStringLiteral("/.config") + relative);
  EXPECT_EQ(files.System, QStringLiteral("/etc/xdg") + relative);
}
#endif

}  // namespace
