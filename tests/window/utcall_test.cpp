// The main window against a real SQLite database and a real pseudo-terminal, off screen: the state
// table, the port message boxes, closing, the day's list and one call arriving on the line.
#include <QApplication>
#include <QDateTime>
#include <QHeaderView>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <memory>

#include "appfonts.h"
#include "callgrid.h"
#include "calllistmodel.h"
#include "fmtcallrig.h"
#include "serialport.h"
#include "startup.h"
#include "storesettings.h"

namespace window {

namespace {

const QString Started = QStringLiteral("Log de chamadas");
const QString Connected = QStringLiteral("Log de Chamadas - CONECTADO");
const QString Disconnected = QStringLiteral("Log de Chamadas - DESCONECTADO");

// Presses the buttons named by the letters: C "&Conectar", D "&Desconectar".
void Press(TFmtCallRig& rig, const QString& clicks) {
  for (const QChar click : clicks) {
    QPushButton& button = rig.Button(click == QLatin1Char('C') ? "bb08" : "bb05");
    QTest::mouseClick(&button, Qt::LeftButton);
  }
}

bool SecondOpenSucceeds() {
  serial::TSerialPort second;
  second.SetCommPort(serial::TCommPort::cpCOM1);
  return second.OpenPort();
}

QString Cell(const QTableView& grid, int row, int column) {
  return grid.model()->data(grid.model()->index(row, column)).toString();
}

}  // namespace

class TfmtCallTest : public QObject {
  Q_OBJECT

 private slots:
  void StateTable_data() {
    QTest::addColumn<QString>("clicks");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("bb08");
    QTest::addColumn<bool>("bb05");
    QTest::addColumn<bool>("timer");
    QTest::newRow("started") << "" << Started << true << true << false;
    QTest::newRow("connected") << "C" << Connected << false << true << true;
    QTest::newRow("disconnected") << "CD" << Disconnected << true << false << false;
    QTest::newRow("connected again") << "CDC" << Connected << false << true << true;
    // A disabled button does nothing: a second connect or disconnect changes nothing.
    QTest::newRow("connect twice") << "CC" << Connected << false << true << true;
    QTest::newRow("disconnect twice") << "CDD" << Disconnected << true << false << false;
  }
  void StateTable() {
    QFETCH(QString, clicks);
    QFETCH(QString, caption);
    QFETCH(bool, bb08);
    QFETCH(bool, bb05);
    QFETCH(bool, timer);
    TFmtCallRig rig;
    rig.Show();
    rig.Boxes.Arm();
    Press(rig, clicks);
    QVERIFY(!rig.Boxes.Take());
    QCOMPARE(rig.fmtCall->windowTitle(), caption);
    QCOMPARE(rig.Button("bb08").isEnabled(), bb08);
    QCOMPARE(rig.Button("bb05").isEnabled(), bb05);
    QCOMPARE(rig.TimerOn(), timer);
  }

  void Accelerators() {
    TFmtCallRig rig;
    rig.Show();
    // A mnemonic presses its button the way a click looks: the click lands a moment later.
    QTest::keyClick(&rig.Grid(), Qt::Key_C, Qt::AltModifier);
    QTRY_COMPARE(rig.fmtCall->windowTitle(), Connected);
    QTest::keyClick(&rig.Grid(), Qt::Key_D, Qt::AltModifier);
    QTRY_COMPARE(rig.fmtCall->windowTitle(), Disconnected);
  }

  void PortFailures_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("missingDevice");
    QTest::addColumn<QString>("click");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("bb08");
    QTest::addColumn<bool>("bb05");
    QTest::newRow("connect to a missing device, started")
        << "" << true << "C"
        << "Não foi possível abrir a porta" << Started << true << true;
    QTest::newRow("connect to a missing device, disconnected")
        << "CD" << true << "C"
        << "Não foi possível abrir a porta" << Disconnected << true << false;
    // Nothing was opened, so there is nothing to close.
    QTest::newRow("disconnect before any connect")
        << "" << false << "D"
        << "Não foi possível fechar a porta" << Started << true << true;
  }
  void PortFailures() {
    QFETCH(QString, before);
    QFETCH(bool, missingDevice);
    QFETCH(QString, click);
    QFETCH(QString, text);
    QFETCH(QString, caption);
    QFETCH(bool, bb08);
    QFETCH(bool, bb05);
    TFmtCallRig rig;
    rig.Show();
    Press(rig, before);
    if (missingDevice) {
      qputenv("LOGCHAMADAS_COM1", QFile::encodeName(rig.Folder().filePath(QStringLiteral("no-such-tty"))));
    }
    rig.Boxes.Arm();
    Press(rig, click);
    const std::optional<TBoxSeen> box = rig.Boxes.Take();
    QVERIFY(box);
    QCOMPARE(box->Title, QStringLiteral("Error"));
    QCOMPARE(box->Icon, QMessageBox::Critical);
    QCOMPARE(box->Text, text);
    QCOMPARE(box->Buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(rig.fmtCall->windowTitle(), caption);
    QCOMPARE(rig.Button("bb08").isEnabled(), bb08);
    QCOMPARE(rig.Button("bb05").isEnabled(), bb05);
    QVERIFY(!rig.TimerOn());
  }

  void EscCloses_data() {
    QTest::addColumn<QString>("clicks");
    QTest::newRow("started") << "";
    QTest::newRow("connected") << "C";
    QTest::newRow("disconnected") << "CD";
  }
  void EscCloses() {
    QFETCH(QString, clicks);
    TFmtCallRig rig;
    rig.Show();
    Press(rig, clicks);
    // From the grid, where the window puts the focus.
    QTest::keyClick(&rig.Grid(), Qt::Key_Escape);
    QVERIFY(rig.Destroyed());
  }

  void ClosingWhileConnectedReleasesThePort() {
    TFmtCallRig rig;
    rig.Show();
    Press(rig, QStringLiteral("C"));
    QVERIFY(!SecondOpenSucceeds());  // the window holds COM1 for itself
    rig.Boxes.Arm();
    QTest::mouseClick(&rig.Button("bb12"), Qt::LeftButton);
    QVERIFY(!rig.Boxes.Take());
    // Closed without going through the disconnect: the caption is left as it was.
    QCOMPARE(rig.fmtCall->windowTitle(), Connected);
    QVERIFY(rig.Destroyed());
    QVERIFY(SecondOpenSucceeds());
  }

  void FormShowListsTheServersDay() {
    TFmtCallRig rig;
    const QDate today = QDate::currentDate();
    const QString insert = QStringLiteral(
        "INSERT INTO TBCALL (RAMA, TRON, DURA, SENH, TIPO, DATA, NUME_DISC) VALUES (?, ?, ?, ?, NULL, ?, ?)");
    rig.Db.Exec(insert, {"101", "01", "00:00:10", "1111", QDateTime(today.addDays(-1), QTime(23, 59, 59)),
                         "1130001000"});
    rig.Db.Exec(insert, {"203", "02", "00:03:00", "2222", QDateTime(today, QTime(9, 30, 15)), "1130002000"});
    rig.Db.Exec(insert, {"202", "01", "00:01:05", "3333", QDateTime(today, QTime(8, 0, 0)), "1130003000"});
    rig.Show();

    const QTableView& grid = rig.Grid();
    QVERIFY(grid.hasFocus());
    QCOMPARE(grid.model()->rowCount(), 2);
    QCOMPARE(Cell(grid, 0, calls::ccRAMA), QStringLiteral("202"));
    QCOMPARE(Cell(grid, 1, calls::ccRAMA), QStringLiteral("203"));
    QCOMPARE(Cell(grid, 1, calls::ccNUME_DISC), QStringLiteral("1130002000"));
    QCOMPARE(Cell(grid, 1, calls::ccTRON), QStringLiteral("02"));
    // The system's formats are Brazilian here (see main).
    QCOMPARE(Cell(grid, 1, calls::ccDATA),
             today.toString(QStringLiteral("dd/MM/yyyy")) + QStringLiteral(" 09:30:15"));
  }

  void FormShowWithoutTheCallTable() {
    TFmtCallRig rig;
    rig.Db.Exec(QStringLiteral("DROP TABLE TBCALL"));
    rig.Boxes.Arm();
    rig.Show();
    const std::optional<TBoxSeen> box = rig.Boxes.Take();
    QVERIFY(box);
    QCOMPARE(box->Title, QStringLiteral("Error"));
    QVERIFY2(box->Text.contains(QStringLiteral("no such table: TBCALL")), qPrintable(box->Text));
    QCOMPARE(rig.Grid().model()->rowCount(), 0);
    QCOMPARE(rig.fmtCall->windowTitle(), Started);
  }

  void StartupWithoutTheDatabase() {
    TFmtCallRig rig;  // the ODBC configuration, which names only alQuivarProd
    calls::TStoreSettings settings = rig.Db.Settings();
    settings.AliasName = QStringLiteral("noSuchSource");
    QStringList reports;
    QCOMPARE(RunLogger(settings, [&reports](const QString& text) { reports.append(text); }), 1);
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports[0].startsWith(
                 QStringLiteral("Não foi possível conectar ao banco de dados \"noSuchSource\".")),
             qPrintable(reports[0]));
    QVERIFY2(reports[0].contains(QStringLiteral("Data source name not found")), qPrintable(reports[0]));
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
  }

  void GridColumns() {
    TFmtCallRig rig;
    rig.Show();
    const QTableView& grid = rig.Grid();
    const QStringList titles{"Data", "Ramal", "Número Discado", "Duração", "Tronco"};
    const QList<int> widths{120, 44, 120, 68, 39};
    for (int column = calls::ccDATA; column <= calls::ccTRON; ++column) {
      QVERIFY(!grid.isColumnHidden(column));
      QCOMPARE(grid.model()->headerData(column, Qt::Horizontal).toString(), titles[column]);
      QCOMPARE(grid.columnWidth(column), widths[column]);
    }
    QVERIFY(grid.isColumnHidden(calls::ccSENH));
    QVERIFY(grid.isColumnHidden(calls::ccTIPO));
    QCOMPARE(grid.selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(grid.editTriggers(), QAbstractItemView::NoEditTriggers);
  }

  void DateTimeFormat_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("format");
    QTest::newRow("pt_BR") << "pt_BR"
                           << "dd/MM/yyyy HH:mm:ss";
    QTest::newRow("de_DE") << "de_DE"
                           << "dd.MM.yy HH:mm:ss";
    QTest::newRow("en_US, seconds added") << "en_US"
                                          << "M/d/yy h:mm:ss AP";
  }
  void DateTimeFormat() {
    QFETCH(QString, locale);
    QFETCH(QString, format);
    QCOMPARE(DateTimeWithSecondsFormat(QLocale(locale)), format);
  }

  void CallArrivesThroughThePseudoTerminal() {
    TFmtCallRig rig;
    rig.Db.Exec(QStringLiteral("INSERT INTO TBCALL (RAMA, TRON, DURA, SENH, TIPO, DATA, NUME_DISC) "
                               "VALUES ('202', '01', '00:01:05', '3333', NULL, ?, '1130003000')"),
                {QDate::currentDate().startOfDay()});
    rig.Show();
    Press(rig, QStringLiteral("C"));
    const QDateTime when(QDate::currentDate(), QTime::currentTime().addSecs(-1));
    const std::string line = CallLine(when, "07", "2041", "00:02:15", "01133334444", "4321");
    QVERIFY(rig.Send(line));
    rig.fmtCall->TimerTimer();

    const QTableView& grid = rig.Grid();
    QCOMPARE(grid.model()->rowCount(), 2);
    QCOMPARE(Cell(grid, 1, calls::ccRAMA), QStringLiteral("2041"));
    QCOMPARE(Cell(grid, 1, calls::ccNUME_DISC), QStringLiteral("01133334444"));
    QCOMPARE(Cell(grid, 1, calls::ccDURA), QStringLiteral("00:02:15"));
    QCOMPARE(Cell(grid, 1, calls::ccTRON), QStringLiteral("07"));
    QCOMPARE(grid.currentIndex().row(), 1);
    QCOMPARE(grid.model()->headerData(1, Qt::Vertical).toString(), QStringLiteral("\u25B8"));
    // The personal code in columns 77-80 stays out of the log.
    QCOMPARE(rig.Memo().toPlainText(), QString::fromStdString(line.substr(0, 76)));
    QCOMPARE(
        rig.Db.Count(QStringLiteral("SELECT COUNT(*) FROM TBCALL WHERE RAMA = '2041' AND SENH = '4321'")), 1);
  }
};

}  // namespace window

int main(int argc, char* argv[]) {
  // Off screen, with the runtime folder Qt wants (private to the user) and the dates of a Brazilian site.
  QTemporaryDir runtime;
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("LC_TIME", "pt_BR.UTF-8");
  QApplication application(argc, argv);
  window::InstallFontSubstitutes();
  window::TfmtCallTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "utcall_test.moc"
