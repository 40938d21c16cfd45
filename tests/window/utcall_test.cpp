// The main window against a real SQLite database and a real pseudo-terminal, off screen: the state
// table with the port message boxes and Esc, closing, the day's list and one call arriving on the line.
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLockFile>
#include <QLocale>
#include <QMessageBox>
#include <QListView>
#include <QLocalSocket>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QScopeGuard>
#include <QPushButton>
#include <QScrollBar>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <optional>

#include "appfonts.h"
#include "callgrid.h"
#include "calllistmodel.h"
#include "hostdatabase.h"
#include "instancelock.h"
#include "journal.h"
#include "pipeline.h"
#include "serviceview.h"
#include "statehistory.h"
#include "viewserver.h"
#include "journaldamage.h"
#include "loglines.h"
#include "memolog.h"
#include "pgcluster.h"
#include "serialport.h"
#include "startup.h"
#include "storesettings.h"
#include "utcall.h"
#include "watchedline.h"

namespace window {

namespace {

using testsupport::CallLine;
using testsupport::TWatchedLine;

const QString Started = QStringLiteral("Log de chamadas");
const QString Connected = QStringLiteral("Log de Chamadas - CONECTADO");
const QString Disconnected = QStringLiteral("Log de Chamadas - DESCONECTADO");

// What a modal message box showed before the catcher pressed its OK button.
struct TBoxSeen {
  QString Title;
  QString Text;
  QMessageBox::Icon Icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons Buttons;
};

// Answers the next modal message box the way the operator would, and notes what it showed.
class TBoxCatcher {
 public:
  TBoxCatcher() {
    FTimer.setInterval(10);
    QObject::connect(&FTimer, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      FTimer.stop();
      FSeen = TBoxSeen{box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
      box->button(QMessageBox::Ok)->click();
    });
  }
  void Arm() {
    FSeen.reset();
    FTimer.start();
  }
  // The box seen since Arm, if any; stops watching.
  std::optional<TBoxSeen> Take() {
    FTimer.stop();
    return std::exchange(FSeen, std::nullopt);
  }

 private:
  QTimer FTimer;
  std::optional<TBoxSeen> FSeen;
};

// The main window on a fresh SQLite host database behind "alQuivarProd" and COM1's far end.
class TFmtCallRig {
 public:
  explicit TFmtCallRig(testsupport::TEngine engine = testsupport::TEngine::Sqlite) : Db(engine, Folder().path()) {}
  ~TFmtCallRig() {
    Boxes.Take();
    if (fmtCall) fmtCall->close();
    Destroyed();
  }

  // Builds the window over a fresh journal (or the one named) on the line the files name, and shows
  // it; FormShow runs here.
  void Show(const calls::TStoreSettings& settings, QString path = {}, const capture::TSettingsFiles& lineFiles = {}) {
    static int journals = 0;
    if (path.isEmpty()) path = Folder().filePath(QStringLiteral("journal-%1.sqlite").arg(++journals));
    JournalPath = path;
    auto journal = std::make_unique<calls::TJournal>(QStringLiteral("journal-ui"));
    if (!journal->Open(path)) throw std::runtime_error("journal: " + journal->LastError().toStdString());
    fmtCall = new TfmtCall(
        std::move(journal), path, settings, ShowErrorBox,
        [this](QWidget&, const QString& text) {
          Questions.append(text);
          return CloseAnyway;
        },
        lineFiles);
    // The line as start-up reads it.
    fmtCall->UseLine(capture::ReadSiteSettings(lineFiles).Settings);
    fmtCall->show();
    QApplication::setActiveWindow(fmtCall);
    if (!QTest::qWaitForWindowActive(fmtCall)) throw std::runtime_error("the window never became active");
  }
  void Show() { Show(Db.Settings()); }
  // The window as the view of a service.
  void ShowView(std::unique_ptr<service::TLogger> logger) {
    fmtCall = new TfmtCall(std::move(logger));
    fmtCall->show();
    if (!QTest::qWaitForWindowExposed(fmtCall)) throw std::runtime_error("the view never showed");
  }
  // Presses the buttons named by the letters: C "&Conectar", D "&Desconectar".
  void Press(const QString& clicks) {
    for (const QChar click : clicks)
      QTest::mouseClick(&Button(click == QLatin1Char('C') ? "bb08" : "bb05"), Qt::LeftButton);
  }
  QPushButton& Button(const char* name) const {
    return *fmtCall->findChild<QPushButton*>(QLatin1String(name));
  }
  QTableView& Grid() const { return *fmtCall->findChild<QTableView*>(QStringLiteral("gr")); }
  QString Cell(int row, int column) const {
    return Grid().model()->data(Grid().model()->index(row, column)).toString();
  }
  bool TimerOn() const { return fmtCall->findChild<QTimer*>(QStringLiteral("Timer"))->isActive(); }
  QLabel& Status() const { return *fmtCall->findChild<QLabel*>(QStringLiteral("lbStatus")); }
  QLabel& LineStatus() const { return *fmtCall->findChild<QLabel*>(QStringLiteral("lbLine")); }
  // Bytes on the line, read at once.
  void SendAndTick(const std::string& bytes) {
    if (!Line.Send(bytes)) throw std::runtime_error("the bytes never reached the port");
    fmtCall->TimerTimer();
    Line.Drained();
  }
  int Stored(const QString& condition = QStringLiteral("1 = 1")) {
    return Db.Count(QStringLiteral("SELECT COUNT(*) FROM TBCALL WHERE ") + condition);
  }
  // A call of a second ago through the pseudo-terminal, read at once; the line as sent.
  std::string SendCall(const std::string& extension) {
    const QDateTime when = QDateTime::currentDateTime().addSecs(-1);
    const std::string line = CallLine(when.toString(QStringLiteral("dd/MM/yyhh:mm:ss")).toStdString(), extension,
                                      "01133334444", "4321", "07", "00:02:15") +
                             "\r\n";
    if (!Line.Send(line)) throw std::runtime_error("the line never reached the port");
    fmtCall->TimerTimer();
    Line.Drained();
    return line;
  }
  // Lets the event loop run the window's deferred deletion; true once it is gone.
  bool Destroyed() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return fmtCall.isNull();
  }

  // One for the whole run: unixODBC reads its configuration folder once per process.
  static const QTemporaryDir& Folder() {
    static const QTemporaryDir folder;
    return folder;
  }

  testsupport::THostDatabase Db;
  TWatchedLine Line;
  QPointer<TfmtCall> fmtCall;
  QString JournalPath;
  TBoxCatcher Boxes;
  // What closing asked the operator, and the answer it gets.
  QStringList Questions;
  bool CloseAnyway = false;
};

// Writes a settings file whole.
void WriteFile(const QString& path, const QString& text) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text.toUtf8()) < 0)
    throw std::runtime_error("cannot write " + path.toStdString());
}

// The journal's lines as "SITU|BYTE", read as any other program would.
QStringList JournalLines(const QString& path) {
  QStringList lines;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("reader"));
    db.setDatabaseName(path);
    QSqlQuery query(db);
    if (db.open() && query.exec(QStringLiteral("SELECT SITU, BYTE FROM TBDIAR ORDER BY ID"))) {
      while (query.next()) lines.append(query.value(0).toString() + '|' + query.value(1).toString());
    }
  }
  QSqlDatabase::removeDatabase(QStringLiteral("reader"));
  return lines;
}

// Every text the status line shows, in order (the window sets the tool tip with each).
class TStatusSeen : public QObject {
 public:
  explicit TStatusSeen(QLabel& status) : FStatus(status) {
    Texts.append(status.text());
    status.installEventFilter(this);
  }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::ToolTipChange && Texts.back() != FStatus.text()) Texts.append(FStatus.text());
    return false;
  }
  QStringList Texts;

 private:
  QLabel& FStatus;
};

bool SecondOpenSucceeds() {
  serial::TSerialPort second;
  second.SetCommPort(serial::TCommPort::cpCOM1);
  return second.OpenPort();
}

}  // namespace

class TfmtCallTest : public QObject {
  Q_OBJECT

 private slots:
  void StateTable_data() {
    QTest::addColumn<QString>("clicks");
    QTest::addColumn<bool>("missingDevice");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("bb08");
    QTest::addColumn<bool>("bb05");
    QTest::addColumn<bool>("timer");
    QTest::newRow("started") << "" << false << "" << Started << true << true << false;
    QTest::newRow("connected") << "C" << false << "" << Connected << false << true << true;
    QTest::newRow("disconnected") << "CD" << false << "" << Disconnected << true << false << false;
    QTest::newRow("connected again") << "CDC" << false << "" << Connected << false << true << true;
    // A disabled button does nothing: a second connect or disconnect changes nothing.
    QTest::newRow("connect twice") << "CC" << false << "" << Connected << false << true << true;
    QTest::newRow("disconnect twice") << "CDD" << false << "" << Disconnected << true << false << false;
    QTest::newRow("connect to a missing device")
        << "C" << true << "Não foi possível abrir a porta" << Started << true << true << false;
    // Nothing was opened: the port is closed as asked, without a message.
    QTest::newRow("disconnect before any connect")
        << "D" << false << "" << Disconnected << true << false << false;
  }
  // Every state shows its caption and buttons, and Esc closes the window from it.
  void StateTable() {
    QFETCH(QString, clicks);
    QFETCH(bool, missingDevice);
    QFETCH(QString, box);
    QFETCH(QString, caption);
    QFETCH(bool, bb08);
    QFETCH(bool, bb05);
    QFETCH(bool, timer);
    TFmtCallRig rig;
#ifdef _WIN32
    // COM1 is the far end's: the site's settings name COM7, which the test's Wine prefix leaves unmapped.
    const QString missing = TFmtCallRig::Folder().filePath(QStringLiteral("missing.conf"));
    WriteFile(missing, QStringLiteral("[porta]\ndispositivo=COM7\n"));
    rig.Show(rig.Db.Settings(), {}, missingDevice ? capture::TSettingsFiles{missing, {}} : capture::TSettingsFiles{});
#else
    rig.Show();
    if (missingDevice) qputenv("LOGCHAMADAS_COM1", "/nonexistent/tty");
#endif
    rig.Boxes.Arm();
    rig.Press(clicks);
    const std::optional<TBoxSeen> seen = rig.Boxes.Take();
    QCOMPARE(seen.has_value(), !box.isEmpty());
    if (seen) {
      QCOMPARE(seen->Title, QStringLiteral("Error"));
      QCOMPARE(seen->Icon, QMessageBox::Critical);
      QCOMPARE(seen->Text, box);
      QCOMPARE(seen->Buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
    QCOMPARE(rig.fmtCall->windowTitle(), caption);
    QCOMPARE(rig.Button("bb08").isEnabled(), bb08);
    QCOMPARE(rig.Button("bb05").isEnabled(), bb05);
    QCOMPARE(rig.TimerOn(), timer);
    // From the grid, where the window puts the focus, once the window is active again after a box.
    QApplication::setActiveWindow(rig.fmtCall);
    QVERIFY(QTest::qWaitForWindowActive(rig.fmtCall));
    QTest::keyClick(&rig.Grid(), Qt::Key_Escape);
    QVERIFY(rig.Destroyed());
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

  void ClosingWhileConnectedReleasesThePort() {
    TFmtCallRig rig;
    rig.Show();
    rig.Press(QStringLiteral("C"));
    // The window holds COM1 for itself (where the system refuses a second open).
    QCOMPARE(SecondOpenSucceeds(), !testsupport::LineLimits().refusesSecondOpen);
    rig.Boxes.Arm();
    QTest::mouseClick(&rig.Button("bb12"), Qt::LeftButton);
    QVERIFY(!rig.Boxes.Take());
    // Closed without going through the disconnect: the caption is left as it was.
    QCOMPARE(rig.fmtCall->windowTitle(), Connected);
    QVERIFY(rig.Destroyed());
    QVERIFY(SecondOpenSucceeds());
  }

  // The list shows the server's day in date order; a call through the pseudo-terminal becomes its
  // last row, current and marked, and its first 76 characters the log.
  void FormShowListsTheServersDayAndACallArrivesAsTheLastRow() {
    TFmtCallRig rig;
    const QDate today = QDate::currentDate();
    const QString insert = QStringLiteral(
        "INSERT INTO TBCALL (RAMA, TRON, DURA, SENH, TIPO, DATA, NUME_DISC) VALUES (?, ?, ?, ?, NULL, ?, ?)");
    rig.Db.Exec(insert, {"101", "01", "00:00:10", "1111", QDateTime(today.addDays(-1), QTime(23, 59, 59)),
                         "1130001000"});
    rig.Db.Exec(insert, {"203", "02", "00:03:00", "2222", QDateTime(today, QTime(9, 30, 15)), "1130002000"});
    rig.Db.Exec(insert, {"202", "01", "00:01:05", "3333", QDateTime(today, QTime(8, 0, 0)), "1130003000"});
    rig.Show();

    QVERIFY(rig.Grid().hasFocus());
    QTRY_COMPARE(rig.Grid().model()->rowCount(), 2);
    QCOMPARE(rig.Cell(0, calls::ccRAMA), QStringLiteral("202"));
    QCOMPARE(rig.Cell(1, calls::ccRAMA), QStringLiteral("203"));
    QCOMPARE(rig.Cell(1, calls::ccNUME_DISC), QStringLiteral("1130002000"));
    QCOMPARE(rig.Cell(1, calls::ccTRON), QStringLiteral("02"));
    // The system's formats are Brazilian here (see main).
    QCOMPARE(rig.Cell(1, calls::ccDATA),
             today.toString(QStringLiteral("dd/MM/yyyy")) + QStringLiteral(" 09:30:15"));

    rig.Press(QStringLiteral("C"));
    const std::string line = rig.SendCall("2041");

    QCOMPARE(rig.Grid().model()->rowCount(), 3);
    QCOMPARE(rig.Cell(2, calls::ccRAMA), QStringLiteral("2041"));
    QCOMPARE(rig.Cell(2, calls::ccNUME_DISC), QStringLiteral("01133334444"));
    QCOMPARE(rig.Cell(2, calls::ccDURA), QStringLiteral("00:02:15"));
    QCOMPARE(rig.Cell(2, calls::ccTRON), QStringLiteral("07"));
    QTRY_COMPARE(rig.Grid().currentIndex().row(), 2);
    QCOMPARE(rig.Grid().model()->headerData(2, Qt::Vertical).toString(), QStringLiteral("\u25B8"));
    // The personal code in columns 77-80 stays out of the log.
    const QAbstractItemModel& log = *rig.fmtCall->findChild<QListView*>(QStringLiteral("Memo1"))->model();
    QCOMPARE(log.rowCount(), 1);
    QCOMPARE(log.index(0, 0).data().toString(), QString::fromStdString(line.substr(0, 76)));
    QTRY_COMPARE(rig.Stored(QStringLiteral("RAMA = '2041' AND SENH = '4321'")), 1);
    // Grey italics while waiting, ordinary once the host has it.
    QTRY_COMPARE(rig.Grid().model()->data(rig.Grid().model()->index(2, 0), Qt::FontRole).value<QFont>().italic(),
                 false);
    QTRY_COMPARE(rig.Status().text(), QStringLiteral("Banco OK"));
  }

  // The service's pipeline and a window as its view over the real socket: the view shows the state, the
  // day's calls and the log on arrival and each change after; its Desconectar stops the service reading
  // (the line waits in the port) until Conectar; a client sending garbage or another version is let go;
  // closing the view leaves the service reading.
  void ServiceAndItsView() {
    TFmtCallRig rig;
    const QString path = TFmtCallRig::Folder().filePath(QStringLiteral("service.sqlite"));
    const QString socket = TFmtCallRig::Folder().filePath(QStringLiteral("service.sock"));
    auto journal = std::make_unique<calls::TJournal>(QStringLiteral("journal-ui"));
    QVERIFY(journal->Open(path));
    service::TPipeline pipeline(std::move(journal), path, rig.Db.Settings(), {});
    service::TStateHistory history;
    service::TViewServer server(pipeline, history);
    QVERIFY(server.Listen(socket));
    pipeline.Start();
    pipeline.ConnectUnattended();
    int sent = 0;
    const auto send = [&](const char* extension) {
      const std::string line = CallLine(QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyhh:mm:ss")).toStdString(),
                                        extension, "01133334444", "4321") + "\r\n";
      if (!rig.Line.Send(line)) throw std::runtime_error("the line never reached the port");
      ++sent;
    };
    send("2041");
    QTRY_COMPARE_WITH_TIMEOUT(rig.Stored(), 1, 10000);
    rig.Line.Drained();

    auto view = std::make_unique<service::TServiceView>(socket);
    QVERIFY(view->Reach(std::chrono::seconds(2)));
    rig.ShowView(std::move(view));
    QTRY_COMPARE(rig.fmtCall->windowTitle(), Connected);
    QTRY_COMPARE(rig.Grid().model()->rowCount(), 1);
    QCOMPARE(rig.Cell(0, calls::ccRAMA), QStringLiteral("2041"));
    const QAbstractItemModel& log = *rig.fmtCall->findChild<QListView*>(QStringLiteral("Memo1"))->model();
    QCOMPARE(log.rowCount(), 1);
    QCOMPARE(rig.LineStatus().text(), QStringLiteral("Linha OK"));
    QCOMPARE(rig.LineStatus().toolTip(), pipeline.LineView().ToolTip);
    QTRY_COMPARE(rig.Status().text(), pipeline.StatusView().Text);

    send("2042");
    QTRY_COMPARE(rig.Grid().model()->rowCount(), 2);
    rig.Line.Drained();
    QCOMPARE(log.rowCount(), 2);
    QTRY_COMPARE(rig.Stored(), 2);
    QTRY_COMPARE(rig.Grid().model()->data(rig.Grid().model()->index(1, 0), Qt::FontRole).value<QFont>().italic(), false);

    QTest::keyClick(rig.fmtCall, Qt::Key_D, Qt::AltModifier);
    QTRY_COMPARE(rig.fmtCall->windowTitle(), Disconnected);
    QCOMPARE(pipeline.State().State(), service::TWindowState::TState::wsDisconnected);
    send("2043");  // true only while the bytes wait unread at the port
    QTest::qWait(1500);
    QCOMPARE(rig.Stored(), 2);
    QTest::keyClick(rig.fmtCall, Qt::Key_C, Qt::AltModifier);
    QTRY_COMPARE(rig.fmtCall->windowTitle(), Connected);
    QTRY_COMPARE_WITH_TIMEOUT(rig.Stored(), 3, 10000);
    rig.Line.Drained();

    for (const QByteArray& first : {QByteArray("lixo\n"), QByteArray(R"({"tipo":"ola","versao":99})" "\n")}) {
      QLocalSocket client;
      client.connectToServer(socket);
      QVERIFY(client.waitForConnected(2000));
      client.write(first);
      QByteArray received;
      QTRY_VERIFY((received += client.readAll(), client.state() == QLocalSocket::UnconnectedState));
      QCOMPARE(received.contains(R"("tipo":"erro")"), first.contains("versao"));
    }

    QTest::mouseClick(&rig.Button("bb12"), Qt::LeftButton);
    QVERIFY(rig.Destroyed());
    QCOMPARE(pipeline.State().State(), service::TWindowState::TState::wsConnected);
    send("2044");
    QTRY_COMPARE_WITH_TIMEOUT(rig.Stored(), 4, 10000);
    QCOMPARE(sent, 4);
  }

  // A host database without the call table gives no box: the status line says so, in the driver's words.
  void FormShowWithoutTheCallTable() {
    TFmtCallRig rig;
    rig.Db.Exec(QStringLiteral("DROP TABLE TBCALL"));
    rig.Boxes.Arm();
    rig.Show();
    QTRY_COMPARE(rig.Status().text(), QStringLiteral("Sem banco"));
    QVERIFY2(rig.Status().toolTip().contains(QStringLiteral("no such table: TBCALL")),
             qPrintable(rig.Status().toolTip()));
    QVERIFY(!rig.Boxes.Take());
    QCOMPARE(rig.Grid().model()->rowCount(), 0);
    QCOMPARE(rig.fmtCall->windowTitle(), Started);
  }

  // With no database at all the window runs: calls go to the journal and the grid, in grey italics.
  void StartupWithoutTheDatabase() {
    TFmtCallRig rig;
    calls::TStoreSettings settings = rig.Db.Settings();
    settings.AliasName = QStringLiteral("noSuchSource");
    rig.Show(settings);
    QTRY_COMPARE(rig.Status().text(), QStringLiteral("Sem banco"));
    QVERIFY2(rig.Status().toolTip().contains(QStringLiteral("Data source name not found")),
             qPrintable(rig.Status().toolTip()));
    rig.Press(QStringLiteral("C"));
    QCOMPARE(rig.fmtCall->windowTitle(), Connected);
    rig.SendCall("2042");
    QCOMPARE(rig.Grid().model()->rowCount(), 1);
    QVERIFY(rig.Grid().model()->data(rig.Grid().model()->index(0, 0), Qt::FontRole).value<QFont>().italic());
    // Kept for the server in the journal, and counted in the status line.
    const QStringList journaled = JournalLines(rig.JournalPath);
    QCOMPARE(journaled.size(), 1);
    QVERIFY2(journaled[0].startsWith(QStringLiteral("0|")) && journaled[0].contains(QStringLiteral("2042")),
             qPrintable(journaled[0]));
    QTRY_VERIFY2(rig.Status().toolTip().contains(QStringLiteral("1 chamada aguardando")),
                 qPrintable(rig.Status().toolTip()));
    QCOMPARE(rig.Status().text(), QStringLiteral("Sem banco"));
  }

  // A journal damaged in a page of calls: the program starts on a new one, keeps the damaged file and
  // says how many calls not yet delivered it could still read from it.
  void StartupRecoversADamagedJournal() {
    TFmtCallRig rig;
    const QString path = TFmtCallRig::Folder().filePath(QStringLiteral("damaged.sqlite"));
    const QStringList readable = testsupport::JournalDamagedAt(
        path, testsupport::NumberedCalls(300, QDateTime::currentDateTime()), 150);
    QVERIFY(!readable.isEmpty());
    QStringList reports;
    // The window RunLogger shows is closed as soon as its loop runs.
    QTimer::singleShot(0, [] {
      for (QWidget* window : QApplication::topLevelWidgets()) window->close();
    });
    QCOMPARE(
        RunLogger(rig.Db.Settings(), path, {}, [&reports](const QString& text) { reports.append(text); }), 0);
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports[0].contains(path + QStringLiteral(".danificado-")), qPrintable(reports[0]));
    QVERIFY2(reports[0].contains(
                 QStringLiteral("%1 chamadas ainda não entregues foram recuperadas").arg(readable.size())),
             qPrintable(reports[0]));
  }

  // Start-up refused before any window: another logger holds the journal, or it cannot be made.
  void StartupRefusals() {
    TFmtCallRig rig;
    const QString held = TFmtCallRig::Folder().filePath(QStringLiteral("held.sqlite"));
    QProcess other;  // a logger of its own on that journal
    other.start(QStringLiteral(LOGCHAMADAS_LOGGER_DRIVER), {held});
    QVERIFY(other.waitForStarted());
    QTRY_VERIFY(QFile::exists(held + QStringLiteral(".lock")));
    QFile plainFile(TFmtCallRig::Folder().filePath(QStringLiteral("plain-file")));
    QVERIFY(plainFile.open(QIODevice::WriteOnly));
    plainFile.close();
    const struct {
      QString Path;
      QString Report;
    } cases[] = {
        {held, QStringLiteral("O logchamadas já está em execução neste computador.")},
        {plainFile.fileName() + QStringLiteral("/journal.sqlite"),
         QStringLiteral("Não foi possível abrir o diário de chamadas")},
    };
    for (const auto& c : cases) {
      QStringList reports;
      QCOMPARE(RunLogger(rig.Db.Settings(), c.Path, {}, [&reports](const QString& text) { reports.append(text); }),
               1);
      QCOMPARE(reports.size(), 1);
      QVERIFY2(reports[0].startsWith(c.Report), qPrintable(reports[0]));
    }
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
    other.write("close\n");
    QVERIFY(other.waitForFinished(15000));
  }

  // A bad value in the line's settings stops the start before the journal is touched: status 1, and
  // the file, the key, the value and what is allowed on standard error; a key it does not know is
  // only noted there.
  void StartupRefusedForABadLineSetting() {
    const QString settings = TFmtCallRig::Folder().filePath(QStringLiteral("bad-at-start.conf"));
    WriteFile(settings, QStringLiteral("[porta]\nvelocidade=9601\nparidade=par\n[linha]\nsilencio=3\n"));
    const QString journal = TFmtCallRig::Folder().filePath(QStringLiteral("bad-at-start.sqlite"));
    QProcess logger;
    logger.start(QStringLiteral(LOGCHAMADAS_LOGGER_DRIVER), {journal, settings});
    QVERIFY(logger.waitForFinished(30000));
    QCOMPARE(logger.exitStatus(), QProcess::NormalExit);
    QCOMPARE(logger.exitCode(), 1);
    const QString errors = QString::fromUtf8(logger.readAllStandardError()).remove(QLatin1Char('\r'));
    const QString file = QDir::toNativeSeparators(QFileInfo(settings).absoluteFilePath());
    for (const QString& expected :
         {QStringLiteral("Valor inválido em %1: [porta] velocidade=9601. Valores permitidos: 110, 300, 600, "
                         "1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 128000, 256000.\n"),
          QStringLiteral("logchamadas: Chave desconhecida ignorada em %1: [linha] silencio\n")}) {
      QVERIFY2(errors.contains(expected.arg(settings)) || errors.contains(expected.arg(file)), qPrintable(errors));
    }
    QVERIFY(!QFile::exists(journal));
  }

  // The line comes from the site's settings file, read again at each Conectar: a pseudo-terminal's
  // path without any environment variable (under Wine COM2, which leads to the same line) stores
  // calls, and the tool tip names the line; a bad value gives a box and the port stays closed.
  void LineFromTheSettingsFile() {
    TFmtCallRig rig;
#ifdef _WIN32
    const QString device = QStringLiteral("COM2");
    // Wine refuses even parity on a pseudo-terminal opened a second time (tcsetattr: Invalid argument).
    const auto frame = std::pair{QStringLiteral("bits_dados=8\nparidade=nenhuma\n"), QStringLiteral("8N1")};
#else
    const auto frame = std::pair{QStringLiteral("bits_dados=7\nparidade=par\n"), QStringLiteral("7E1")};
    const QByteArray link = qgetenv("LOGCHAMADAS_COM1");
    qunsetenv("LOGCHAMADAS_COM1");
    const auto restore = qScopeGuard([&] { qputenv("LOGCHAMADAS_COM1", link); });
    const QString device = QString::fromLocal8Bit(link);
#endif
    const QString settings = TFmtCallRig::Folder().filePath(QStringLiteral("line.conf"));
    // Each write a different size: QSettings reads a file again only when its size or time changed.
    const auto write = [&](const char* speed) {
      WriteFile(settings,
                QStringLiteral("[porta]\ndispositivo=%1\nvelocidade=%2\n%3").arg(device, QLatin1String(speed), frame.first));
    };
    write("1200");
    rig.Show(rig.Db.Settings(), {}, {settings, {}});
    QVERIFY2(rig.LineStatus().toolTip().startsWith(QStringLiteral("Linha: %1 1200 %2\n").arg(device, frame.second)),
             qPrintable(rig.LineStatus().toolTip()));
    rig.Press(QStringLiteral("C"));
    QCOMPARE(rig.fmtCall->windowTitle(), Connected);
    rig.SendCall("2081");
    QTRY_COMPARE(rig.Stored(QStringLiteral("RAMA = '2081'")), 1);
    QCOMPARE(rig.LineStatus().text(), QStringLiteral("Linha OK"));

    rig.Press(QStringLiteral("D"));
    write("12000");
    rig.Boxes.Arm();
    rig.Press(QStringLiteral("C"));
    const std::optional<TBoxSeen> seen = rig.Boxes.Take();
    QVERIFY(seen.has_value());
    QVERIFY2(seen->Text.contains(QStringLiteral("[porta] velocidade=12000. Valores permitidos: 110,")),
             qPrintable(seen->Text));
    QCOMPARE(rig.fmtCall->windowTitle(), Disconnected);
    QCOMPARE(rig.LineStatus().text(), QStringLiteral("Porta fechada"));

    write("19200");
    rig.Press(QStringLiteral("C"));
    QCOMPARE(rig.fmtCall->windowTitle(), Connected);
    rig.SendCall("2082");
    QTRY_COMPARE(rig.Stored(QStringLiteral("RAMA = '2082'")), 1);
    QVERIFY2(rig.LineStatus().toolTip().startsWith(QStringLiteral("Linha: %1 19200 %2\n").arg(device, frame.second)),
             qPrintable(rig.LineStatus().toolTip()));
  }

  // A lock left by a killed run whose process id this process now has is no logger running.
  void StaleLockOfThisProcessId() {
    const QString lockPath = TFmtCallRig::Folder().filePath(QStringLiteral("stale.sqlite.lock"));
    QByteArray left;
    {
      QLockFile earlier(lockPath);
      QVERIFY(earlier.tryLock(0));
      QFile file(lockPath);
      QVERIFY(file.open(QIODevice::ReadOnly));
      left = file.readAll();
    }
    QFile file(lockPath);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(left) == left.size());
    file.close();
    service::TInstanceLock lock(TFmtCallRig::Folder().filePath(QStringLiteral("stale.sqlite")));
    QVERIFY(lock.Take());
  }

  // A server that hangs (every process stopped) holds only the database worker: the timer goes on
  // reading, journaling and showing calls, and the buttons answer at once. Once it resumes, every
  // call is stored once.
  void ServerHangs() {
    if (qEnvironmentVariableIsEmpty("LOGCHAMADAS_PG_DIR")) QSKIP("needs the test PostgreSQL cluster (ctest -R utcall.postgres)");
    const testsupport::TPostgresCluster cluster = testsupport::TPostgresCluster::FromEnvironment();
    TFmtCallRig rig(testsupport::TEngine::Postgres);
    rig.Show();
    rig.Press(QStringLiteral("C"));
    rig.SendCall("3001");
    QTRY_COMPARE(rig.Stored(), 1);
    cluster.Freeze();
    const auto thaw = qScopeGuard([&] { cluster.Thaw(); });
    for (const char* extension : {"3002", "3003", "3004"}) {
      QTest::qWait(1100);  // a call a second, each a second later than the last
      rig.SendCall(extension);
    }
    QCOMPARE(rig.Grid().model()->rowCount(), 4);
    QTRY_COMPARE(rig.Status().text(), QStringLiteral("3 na fila"));
    rig.Press(QStringLiteral("D"));
    QCOMPARE(rig.fmtCall->windowTitle(), Disconnected);
    cluster.Thaw();
    QTRY_COMPARE_WITH_TIMEOUT(rig.Stored(), 4, 40000);
    QCOMPARE(rig.Db.Count(QStringLiteral("SELECT COUNT(DISTINCT RAMA) FROM TBCALL")), 4);
    QTRY_COMPARE_WITH_TIMEOUT(rig.Status().text(), QStringLiteral("Banco OK"), 40000);
  }

  // Started while the server is down, the logger runs: calls are journaled and listed, and reach the
  // server once it is up; the status line goes from red to amber to OK.
  void ServerStoppedAtStartup() {
    if (qEnvironmentVariableIsEmpty("LOGCHAMADAS_PG_DIR")) QSKIP("needs the test PostgreSQL cluster (ctest -R utcall.postgres)");
    const testsupport::TPostgresCluster cluster = testsupport::TPostgresCluster::FromEnvironment();
    TFmtCallRig rig(testsupport::TEngine::Postgres);
    cluster.Stop();
    const auto start = qScopeGuard([&] { cluster.Start(); });
    rig.Show();
    QTRY_COMPARE(rig.Status().text(), QStringLiteral("Sem banco"));
    rig.Press(QStringLiteral("C"));
    rig.SendCall("3101");
    rig.SendCall("3102");
    QCOMPARE(rig.Grid().model()->rowCount(), 2);
    TStatusSeen seen(rig.Status());
    cluster.Start();
    QTRY_COMPARE_WITH_TIMEOUT(rig.Stored(), 2, 40000);
    QTRY_COMPARE_WITH_TIMEOUT(rig.Status().text(), QStringLiteral("Banco OK"), 40000);
    QCOMPARE(seen.Texts, (QStringList{"Sem banco", "2 na fila", "Banco OK"}));
  }

  // The far end goes away (an adapter pulled, a cable cut) and comes back at the same place: no box,
  // the status line goes red and back by itself, and the calls after it are stored once each.
  void PortUnpluggedAndPluggedInAgain() {
    TFmtCallRig rig;
    rig.Show();
    QCOMPARE(rig.LineStatus().text(), QStringLiteral("Porta fechada"));
    rig.Press(QStringLiteral("C"));
    rig.SendCall("2051");
    QTRY_COMPARE(rig.Stored(), 1);
    TStatusSeen seen(rig.LineStatus());
    QCOMPARE(rig.LineStatus().text(), QStringLiteral("Linha OK"));
    QVERIFY2(rig.LineStatus().toolTip().contains(QStringLiteral("Última linha recebida: ")),
             qPrintable(rig.LineStatus().toolTip()));

    rig.Boxes.Arm();
    rig.Line.FarEnd->Vanish();
    rig.fmtCall->TimerTimer();
    QCOMPARE(rig.LineStatus().text(), QStringLiteral("Sem porta"));
    const QString lost = rig.LineStatus().toolTip();
    QVERIFY2(lost.contains(QStringLiteral("A porta COM1")) && lost.contains(QStringLiteral(" desde ")) &&
                 lost.contains(QStringLiteral("Erro do sistema: ")) && lost.contains(QStringLiteral("Última linha")),
             qPrintable(lost));
    QCOMPARE(rig.fmtCall->windowTitle(), Connected);
    QTest::qWait(2500);  // tried again and again while nothing is there
    QCOMPARE(rig.LineStatus().text(), QStringLiteral("Sem porta"));

    rig.Line = TWatchedLine();
    QTRY_COMPARE_WITH_TIMEOUT(rig.LineStatus().text(), QStringLiteral("Linha OK"), 10000);
    QVERIFY(!rig.Boxes.Take());
    rig.SendCall("2052");
    rig.SendCall("2053");
    QTRY_COMPARE(rig.Stored(), 3);
    QCOMPARE(rig.Stored(QStringLiteral("RAMA IN ('2051', '2052', '2053')")), 3);
    QCOMPARE(seen.Texts, (QStringList{"Linha OK", "Sem porta", "Linha OK"}));
  }

  // An exchange at another speed prints garbage: the line turns amber with the settings in use, and
  // back once calls can be read again.
  void GarbageThenCalls() {
    TFmtCallRig rig;
    rig.Show();
    rig.Press(QStringLiteral("C"));
    std::string garbage;
    for (int i = 0; i < 10; ++i) garbage += "\x8e\xfc\x1e\xf0\x80\xe6~\x9c\xfe" + std::to_string(i) + "\r\n";
    rig.SendAndTick(garbage);
    QCOMPARE(rig.LineStatus().text(), QStringLiteral("Linha ilegível"));
    const QString tip = rig.LineStatus().toolTip();
    QVERIFY2(tip.contains(QStringLiteral("10 das últimas 10 linhas")) &&
                 tip.contains(QStringLiteral("9600 bit/s, 8 bits de dados, sem paridade, 1 bit de parada")) &&
                 tip.contains(QStringLiteral("Confira a velocidade, a paridade e os bits de dados")),
             qPrintable(tip));
    rig.SendCall("2061");
    rig.SendCall("2062");
    QCOMPARE(rig.LineStatus().text(), QStringLiteral("Linha ilegível"));
    rig.SendCall("2063");
    QCOMPARE(rig.LineStatus().text(), QStringLiteral("Linha OK"));
  }

  // Closing reads what the driver holds and journals it: the call reaches the host at the next start.
  // Lines the journal cannot take make closing ask first; staying (the default) keeps them.
  void NothingReceivedIsLostAtClose() {
    TFmtCallRig rig;
    calls::TStoreSettings away = rig.Db.Settings();
    away.AliasName = QStringLiteral("noSuchSource");
    const QString journal = TFmtCallRig::Folder().filePath(QStringLiteral("closing.sqlite"));
    rig.Show(away, journal);
    rig.Press(QStringLiteral("C"));
    QSqlQuery pragma(QSqlDatabase::database(QStringLiteral("journal-ui")));
    QVERIFY(pragma.exec(QStringLiteral("PRAGMA page_count")) && pragma.next());
    const int pages = pragma.value(0).toInt();
    QVERIFY(pragma.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pages)));
    // More than the pages left with room hold.
    std::string many;
    for (int i = 0; i < 40; ++i)
      many += CallLine(QStringLiteral("09/12/2610:15:%1").arg(i, 2, 10, QLatin1Char('0')).toStdString(),
                       std::to_string(2100 + i), "0113456789") + "\r\n";
    rig.SendAndTick(many);
    QTest::keyClick(&rig.Grid(), Qt::Key_Escape);
    QCOMPARE(rig.Questions.size(), 1);
    QVERIFY2(rig.Questions[0].startsWith(QStringLiteral("40 linhas recebidas estão só na memória: o diário")),
             qPrintable(rig.Questions[0]));
    QVERIFY(!rig.Destroyed());
    QVERIFY(pragma.exec(QStringLiteral("PRAGMA max_page_count = 1073741823")));
    pragma = QSqlQuery();

    const std::string last = CallLine(QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyhh:mm:ss")).toStdString(),
                                      "2072", "01133334444") + "\r\n";
    QVERIFY(rig.Line.Send(last));
    QTest::keyClick(&rig.Grid(), Qt::Key_Escape);
    QVERIFY(rig.Destroyed());
    QCOMPARE(rig.Questions.size(), 1);
    const QStringList lines = JournalLines(journal);
    QCOMPARE(lines.size(), 41);
    QCOMPARE(lines[40], QStringLiteral("0|") + QString::fromStdString(last.substr(0, last.size() - 2)));

    rig.Show(rig.Db.Settings(), journal);
    QTRY_COMPARE(rig.Stored(), 41);
    QCOMPARE(rig.Stored(QStringLiteral("RAMA = '2072'")), 1);
  }

  // The system asks the program to end while a box waits for the operator: the box goes, the window
  // closes without asking, and what the driver holds is journaled.
  void EndedOnRequestUnderAnOpenBox() {
    TFmtCallRig rig;
    rig.Show();
    rig.Press(QStringLiteral("C"));
    QVERIFY(rig.Line.Send(CallLine("09/12/2610:15:00", "2080", "01133334444") + "\r\n"));
    QTimer::singleShot(0, rig.fmtCall, [&rig] { rig.fmtCall->EndOnRequest(QStringLiteral("SIGTERM")); });
    bool stuck = false;
    QTimer::singleShot(10000, [&stuck] {
      stuck = true;
      QApplication::activeModalWidget()->hide();
    });
    ShowErrorBox(*rig.fmtCall, QStringLiteral("Não foi possível abrir a porta"));
    QVERIFY(!stuck);
    QTRY_VERIFY(rig.Destroyed());
    QVERIFY(rig.Questions.isEmpty());
    QCOMPARE(JournalLines(rig.JournalPath).size(), 1);
  }

  void GridColumns() {
    TFmtCallRig rig;
    rig.Show();
    const QTableView& grid = rig.Grid();
    const QStringList titles{"Data", "Ramal", "Número Discado", "Duração", "Tronco", "SENH", "TIPO"};
    const QList<int> widths{120, 44, 120, 68, 39};
    for (int column = calls::ccDATA; column <= calls::ccTIPO; ++column) {
      QCOMPARE(grid.model()->headerData(column, Qt::Horizontal).toString(), titles[column]);
      QCOMPARE(grid.isColumnHidden(column), column >= calls::ccSENH);
      if (column < widths.size()) QCOMPARE(grid.columnWidth(column), widths[column]);
    }
    QCOMPARE(grid.selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(grid.editTriggers(), QAbstractItemView::NoEditTriggers);
  }

  // A line on each cell's right edge in the grid's line colour, none along the bottom.
  void GridDrawsColumnLinesOnly() {
    TFmtCallRig rig;
    for (const char* rama : {"202", "203"}) {
      rig.Db.Exec(QStringLiteral("INSERT INTO TBCALL (RAMA, TRON, DURA, SENH, TIPO, DATA, NUME_DISC) "
                                 "VALUES (?, '01', '00:00:10', '1111', NULL, ?, '1130001000')"),
                  {rama, QDateTime::currentDateTime()});
    }
    rig.Show();
    QTRY_COMPARE(rig.Grid().model()->rowCount(), 2);
    const QTableView& grid = rig.Grid();
    const QImage cells = grid.viewport()->grab().toImage();
    QStyleOptionViewItem option;
    option.initFrom(&grid);
    const QColor line = QColor::fromRgba(
        static_cast<QRgb>(grid.style()->styleHint(QStyle::SH_Table_GridLineColor, &option, &grid)));
    // Row 1: row 0 is current, in the selection's colour.
    const int left = grid.columnViewportPosition(calls::ccRAMA);
    const int top = grid.rowViewportPosition(1);
    QCOMPARE(cells.pixelColor(left + grid.columnWidth(calls::ccRAMA) - 1, top + 5), line);
    QCOMPARE(cells.pixelColor(left + 1, top + grid.rowHeight(1) - 1), QColor(192, 220, 192));
  }

  // The panel keeps the day's lines in order and shows a whole call line; it follows the last line once
  // the event loop runs, drops the oldest tenth beyond its bound, and empties for a new day.
  void LogPanel() {
    QListView memo;
    memo.resize(426, 110);
    service::TLogLines log;
    TMemoLog panel(memo, log);
    memo.show();
    const QAbstractItemModel& lines = *memo.model();
    const QString call = QString::fromStdString(
        CallLine("05/03/2409:30:15", "2041", "01133334444", "4321", "07", "00:02:15").substr(0, 76));
    for (int i = 0; i < service::MaxLogLines; ++i) log.AppendLine(i == 1 ? call : QString::number(i));
    QCOMPARE(lines.rowCount(), service::MaxLogLines);
    QCOMPARE(lines.index(1, 0).data().toString(), call);
    const int textMargins = 2 * (memo.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &memo) + 1);
    QVERIFY(memo.visualRect(lines.index(1, 0)).width() >= memo.fontMetrics().horizontalAdvance(call) + textMargins);

    log.AppendLine(QStringLiteral("Última linha"));
    QCOMPARE(lines.rowCount(), service::MaxLogLines - service::MaxLogLines / 10 + 1);
    QCOMPARE(lines.index(0, 0).data().toString(), QString::number(service::MaxLogLines / 10));
    QCOMPARE(lines.index(lines.rowCount() - 1, 0).data().toString(), QStringLiteral("Última linha"));
    QVERIFY(memo.verticalScrollBar()->value() < memo.verticalScrollBar()->maximum());
    QTRY_COMPARE(memo.verticalScrollBar()->value(), memo.verticalScrollBar()->maximum());

    log.Clear();
    QCOMPARE(lines.rowCount(), 0);
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
