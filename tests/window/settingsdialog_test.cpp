// The settings dialog off screen, used from the keyboard alone, over real files and COM1's far end: it
// shows what the files hold, a port found fills the device, the lists set the line, "Testar" shows what
// the line brings, Enter saves to the system-wide file and says so (and that the user's file overrides
// it), a device the settings do not take is refused, Esc closes.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "appfonts.h"
#include "settingsdialog.h"
#include "watchedline.h"

namespace window {

namespace {

void WriteFile(const QString& path, const char* text) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(text) < 0) throw std::runtime_error("cannot write settings");
}

template <class W>
W& Child(const QWidget& parent, const char* name) {
  return *parent.findChild<W*>(QLatin1String(name));
}

// A key as the operator presses it, to whatever has the focus.
void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
}

}  // namespace

class TSettingsDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void FromTheKeyboardTestAndSave() {
    QTemporaryDir folder;
    const capture::TSettingsFiles files{folder.filePath(QStringLiteral("etc/logchamadas/logchamadas.conf")),
                                        folder.filePath(QStringLiteral("home/logchamadas/logchamadas.conf"))};
    WriteFile(files.System, "[porta]\ndispositivo=tcp://10.0.0.5:4001\n");
    WriteFile(files.User, "[porta]\nvelocidade=2400\n");
    testsupport::TWatchedLine line;
    TSettingsDialog dialog(files, {{"COM1", "a linha do teste"}, {"COM9", "outra porta"}}, std::chrono::milliseconds(1500));
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QLineEdit& device = Child<QLineEdit>(dialog, "edDevice");
    QCOMPARE(device.text(), QStringLiteral("tcp://10.0.0.5:4001"));
    QCOMPARE(Child<QComboBox>(dialog, "cbSpeed").currentText(), QStringLiteral("2400"));
    QCOMPARE(QApplication::focusWidget(), &device);

    // Tab walks the fields in their order, the buttons last; a tcp:// line's serial settings are greyed out.
    QStringList order;
    for (int i = 0; i < 7; ++i) {
      Press(Qt::Key_Tab);
      order << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order,
             (QStringList{"sbSilence", "btTest", "edLines", "btSave", "btClose", "cbPorts", "edDevice"}));

    Press(Qt::Key_E, Qt::AltModifier);  // the ports found
    Press(Qt::Key_Down);
    QCOMPARE(device.text(), QStringLiteral("COM1"));
    Press(Qt::Key_V, Qt::AltModifier);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("96"));
    Press(Qt::Key_R, Qt::AltModifier);
    Press(Qt::Key_Down);  // par
    Press(Qt::Key_S, Qt::AltModifier);
    Press(Qt::Key_Up);  // one hour of silence

    Press(Qt::Key_T, Qt::AltModifier);
    QVERIFY(line.Send(testsupport::CallLine("09/12/2610:15:30", "201", "0113456789") + "\r\n" +
                      testsupport::CallLine("09/12/2610:15:31", "202", "0113456789") + "\r\n"));
    QLabel& test = Child<QLabel>(dialog, "lbTest");
    QTRY_VERIFY2(test.text().contains(QStringLiteral("2 linhas, 2 chamadas reconhecidas (154 bytes)")),
                 qPrintable(test.text()));
    QTRY_VERIFY2(test.text().contains(QStringLiteral(" terminado.")), qPrintable(test.text()));
    QVERIFY(test.text().endsWith(QStringLiteral("A linha está certa: as chamadas chegam e são reconhecidas.")));
    QCOMPARE(Child<QPlainTextEdit>(dialog, "edLines").blockCount(), 2);

    // Enter in a field presses the default button, "Gravar".
    QLabel& message = Child<QLabel>(dialog, "lbMessage");
    Press(Qt::Key_D, Qt::AltModifier);
    Press(Qt::Key_Return);
    QVERIFY2(message.text().startsWith(QStringLiteral("Configuração gravada em %1.\nAtenção: %2 muda alguns destes "
                                                      "valores para este usuário.")
                                           .arg(files.System, files.User)),
             qPrintable(message.text()));
    const capture::TSiteSettingsRead saved = capture::ReadSiteSettings({files.System, {}});
    QVERIFY(saved.Ok());
    QCOMPARE(saved.Settings.Device, QStringLiteral("COM1"));
    QCOMPARE(saved.Settings.Speed, serial::TBaudRate::br9600);
    QCOMPARE(saved.Settings.Parity, serial::TParityType::pcEven);
    QCOMPARE(saved.Settings.SilenceHours, 1);

    QTest::keyClicks(&device, QStringLiteral("X"));  // over the field's text, which the mnemonic selected
    Press(Qt::Key_G, Qt::AltModifier);  // a mnemonic's click lands a moment later
    QTRY_VERIFY2(message.text().startsWith(QStringLiteral("Dispositivo inválido: \"X\". Valores permitidos: ")),
             qPrintable(message.text()));
    QCOMPARE(capture::ReadSiteSettings({files.System, {}}).Settings, saved.Settings);

    Press(Qt::Key_Escape);
    QTRY_VERIFY(!dialog.isVisible());
  }
};

}  // namespace window

int main(int argc, char* argv[]) {
  QTemporaryDir runtime;
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  window::InstallFontSubstitutes();
  window::TSettingsDialogTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "settingsdialog_test.moc"
