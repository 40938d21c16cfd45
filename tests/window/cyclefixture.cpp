#include "cyclefixture.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include "calllistmodel.h"

namespace window {

namespace {

// unixODBC reads its configuration folder once per process, so every rig of a process shares one.
QString OdbcFolder() {
  static const QTemporaryDir folder;
  return folder.path();
}

std::string Padded(const std::string& text, std::size_t width) {
  return text + std::string(width - text.size(), ' ');
}

}  // namespace

std::string CallLine(const std::string& when, const std::string& extension, const std::string& number,
                     const std::string& code) {
  std::string line = when + "  01 " + Padded(extension, 9) + "00:01:23" + Padded(number, 37);
  if (!code.empty()) line += " " + code;
  return line;
}

TCycleRig::TCycleRig(testsupport::TEngine engine, const QDateTime& now)
    : Now(now), Db(engine, OdbcFolder()), Store(Db.Settings()) {
  if (!Store.Connect()) throw std::runtime_error("store: " + Store.LastError().toStdString());
  std::string error;
  FarEnd = testsupport::MakeFarEnd(error);
  if (!FarEnd) throw std::runtime_error("far end: " + error);
  // Opened before the port takes the device for itself.
  FObserver = ::open(std::getenv("LOGCHAMADAS_COM1"), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  if (FObserver < 0) throw std::runtime_error("cannot watch the port's device");

  auto watch = std::make_unique<TReadWatch>(serial::MakeSystemCommLayer());
  Watch = watch.get();
  Port = std::make_unique<serial::TSerialPort>(std::move(watch));
  Port->SetCommPort(serial::TCommPort::cpCOM1);
  Cycle = std::make_unique<TReceiveCycle>(*Port, *Watch, Store, Log, [this] { return Now; });
  Port->AfterReceive = [this](serial::TSerialPort&, const std::string& data) { Cycle->SPAfterReceive(data); };
  if (!Port->OpenPort()) throw std::runtime_error("cannot open COM1");

  // What the window does when it is shown.
  Cycle->SetDataAtual(Now.date().startOfDay());
  if (!Store.OpenDayList(Cycle->FDataAtual())) throw std::runtime_error("cannot open the day's list");
}

TCycleRig::~TCycleRig() {
  Port.reset();
  ::close(FObserver);
}

void TCycleRig::Send(const std::string& bytes) {
  ASSERT_TRUE(FarEnd->Write(bytes));
  FWaiting += bytes.size();
  // The kernel holds at most 4095 unread bytes: more would never all be waiting at once.
  ASSERT_LT(FWaiting, 4096u);
  int waiting = 0;
  for (int i = 0; i < 500 && waiting < static_cast<int>(FWaiting); ++i) {
    if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(::ioctl(FObserver, FIONREAD, &waiting), 0);
  }
  ASSERT_EQ(waiting, static_cast<int>(FWaiting)) << "bytes never reached the port";
}

void TCycleRig::Tick() {
  Cycle->TimerTimer();
  FWaiting = 0;
}

std::vector<QVariantList> TCycleRig::Query(const QString& statement) {
  // A connection of its own each time: one kept open would not survive a restart of the server.
  const QString name = QStringLiteral("cycle-check");
  std::vector<QVariantList> rows;
  {
    const calls::TStoreSettings settings = Db.Settings();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
    db.setDatabaseName(settings.AliasName);
    db.setUserName(settings.UserName);
    db.setPassword(settings.Password);
    if (!db.open()) throw std::runtime_error("check connection: " + db.lastError().text().toStdString());
    QSqlQuery query(db);
    if (!query.exec(statement)) throw std::runtime_error(query.lastError().text().toStdString());
    while (query.next()) {
      QVariantList row;
      for (int column = 0; column < query.record().count(); ++column) row.append(query.value(column));
      rows.push_back(row);
    }
  }
  QSqlDatabase::removeDatabase(name);
  return rows;
}

QStringList TCycleRig::StoredCalls() {
  QStringList calls;
  for (const QVariantList& row :
       Query(QStringLiteral("SELECT RAMA, NUME_DISC, DATA FROM TBCALL ORDER BY DATA"))) {
    calls.append(row[0].toString().trimmed() + QLatin1Char('|') + row[1].toString().trimmed() +
                 QLatin1Char('|') + row[2].toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
  }
  return calls;
}

std::optional<QDateTime> TCycleRig::Stamp() {
  const QVariant stamp = Query(QStringLiteral("SELECT HORA_ULTI_TRAN_FONE FROM TBPARA")).at(0).at(0);
  if (stamp.isNull()) return std::nullopt;
  return stamp.toDateTime();
}

QStringList TCycleRig::ListedExtensions() {
  QAbstractItemModel& list = Store.dsCall();
  QStringList extensions;
  for (int row = 0; row < list.rowCount(); ++row) {
    extensions.append(list.data(list.index(row, calls::ccRAMA)).toString().trimmed());
  }
  return extensions;
}

}  // namespace window
