// The local journal on a real file: what it keeps, what it will not write twice, what it drops, and a
// file it cannot use.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include "journal.h"
#include "journalcounts.h"
#include "journalsql.h"

using namespace calls;

namespace {

const QDateTime Now(QDate(2026, 12, 9), QTime(10, 0, 0));

TReceivedLine Line(const std::string& bytes, const QDateTime& received = Now, bool call = true) {
  TReceivedLine line{received, bytes, std::nullopt};
  if (call) line.Call = TCallRecord{{2026, 12, 9, 9, 59, 0}, bytes.substr(0, 4), "0113456789", "00:01:00", "", "01", std::nullopt};
  return line;
}

class JournalTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(Journal.Open(Path())) << Journal.LastError().toStdString(); }
  QString Path() const { return Folder.filePath(QStringLiteral("journal.sqlite")); }

  std::vector<TJournaled> Append(const std::vector<TReceivedLine>& lines) {
    std::vector<TJournaled> journaled;
    EXPECT_TRUE(Journal.Append(lines, journaled)) << Journal.LastError().toStdString();
    return journaled;
  }
  TJournalCounts Counts() { return CountsOf(Journal); }

  QTemporaryDir Folder;
  TJournal Journal{QStringLiteral("journal-test")};
};

// An exchange re-sends its buffer after the link was down: a call already journaled in the last
// seven days is not written again, also within one tick; older ones and lines that are no call are.
TEST_F(JournalTest, ResentCallsAreNotWrittenAgain) {
  std::vector<TReceivedLine> twenty;
  for (int i = 0; i < 20; ++i) twenty.push_back(Line("20" + std::to_string(10 + i) + " call"));
  for (const TJournaled& j : Append(twenty)) EXPECT_GT(j.Id, 0);
  for (const TJournaled& j : Append(twenty)) EXPECT_TRUE(j.Resent);

  const auto mixed = Append({Line("2099 new"), Line("2099 new"), Line("garbage", Now, false),
                             Line("garbage", Now, false), Line("2010 call", Now.addDays(8))});
  EXPECT_GT(mixed[0].Id, 0);
  EXPECT_TRUE(mixed[1].Resent);
  EXPECT_GT(mixed[2].Id, 0);
  EXPECT_GT(mixed[3].Id, 0);
  EXPECT_FALSE(mixed[4].Resent);
  EXPECT_EQ(Counts().Waiting, 22);
}

TEST_F(JournalTest, WaitingCallsComeBackInArrivalOrderUntilDeliveredAndArePrunedAfterAMonth) {
  const auto ids = Append({Line("2001 a"), Line("noise", Now, false), Line("2002 b"), Line("2003 c")});
  std::vector<TWaitingCall> waiting;
  ASSERT_TRUE(Journal.Waiting(0, 2, waiting));
  ASSERT_EQ(waiting.size(), 2u);
  EXPECT_EQ(waiting[0].Id, ids[0].Id);
  EXPECT_EQ(waiting[1].Row.RAMA.Text(), "2002");
  EXPECT_EQ(waiting[1].Row.DATA.DateTime(), QDateTime(QDate(2026, 12, 9), QTime(9, 59, 0)));

  std::vector<TSetAside> none;
  ASSERT_TRUE(Journal.Mark({.Delivered = {ids[0].Id, ids[2].Id}, .Committed = Now}, none));
  ASSERT_TRUE(Journal.Waiting(0, 10, waiting));
  ASSERT_EQ(waiting.size(), 1u);
  EXPECT_EQ(waiting[0].Id, ids[3].Id);

  // Delivered calls and noise go after 31 days; a call still waiting stays however old.
  ASSERT_TRUE(Journal.Prune(Now.addDays(32)));
  EXPECT_EQ(Counts().Waiting, 1);
  TRowBlocks rows;
  qint64 lastId = 0;
  ASSERT_TRUE(Journal.UndeliveredCalls(rows, lastId));
  EXPECT_EQ(rows.size(), 1u);
  EXPECT_EQ(lastId, ids[3].Id);
  EXPECT_TRUE(rows[0].Waiting);
}

// Refusals count only while the server takes other calls; the third sets the call aside.
TEST_F(JournalTest, ACallRefusedThreeTimesWhileOthersWereTakenIsSetAside) {
  const qint64 id = Append({Line("2001 bad")})[0].Id;
  std::vector<TSetAside> aside;
  QDateTime t = Now;
  // Nothing taken since it arrived: not counted.
  ASSERT_TRUE(
      Journal.Mark({.Refused = {{id, "no"}}, .Now = t = t.addSecs(1), .LastTaken = Now.addSecs(-1)}, aside));
  for (int i = 0; i < 3; ++i) {
    t = t.addSecs(1);
    ASSERT_TRUE(Journal.Mark({.Refused = {{id, "CHECK failed"}}, .Now = t, .LastTaken = t}, aside));
    EXPECT_EQ(aside.size(), i == 2 ? 1u : 0u);
  }
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(aside[0].Reason, "CHECK failed");
  EXPECT_EQ(aside[0].Bytes, "2001 bad");
  EXPECT_EQ(Counts().Waiting, 0);
  EXPECT_EQ(Counts().Refused, 1);
  ASSERT_TRUE(Journal.ReviveRefused());
  EXPECT_EQ(Counts().Waiting, 1);
}

TEST_F(JournalTest, AFullDiskFailsTheWholeTickAndTheNextWriteSucceeds) {
  QSqlQuery limit(QSqlDatabase::database(QStringLiteral("journal-test")));
  ASSERT_TRUE(limit.exec(QStringLiteral("PRAGMA max_page_count")) && limit.next());
  const int pages = limit.value(0).toInt();
  ASSERT_TRUE(limit.exec(QStringLiteral("PRAGMA page_count")) && limit.next());
  ASSERT_TRUE(limit.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(limit.value(0).toInt())));
  std::vector<TReceivedLine> lines;
  for (int i = 0; i < 200; ++i) lines.push_back(Line(std::to_string(1000 + i) + std::string(70, 'x')));
  std::vector<TJournaled> journaled;
  EXPECT_FALSE(Journal.Append(lines, journaled));
  EXPECT_TRUE(Journal.LastError().contains(QStringLiteral("full"))) << Journal.LastError().toStdString();
  EXPECT_EQ(Counts().Waiting, 0);

  ASSERT_TRUE(limit.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pages)));
  Append(lines);
  EXPECT_EQ(Counts().Waiting, 200);
}

// The statements run at every delivery pass and at start-up read only the calls not yet delivered,
// through the partial index: a journal of a million delivered calls must not be scanned for them.
TEST_F(JournalTest, TheUndeliveredCallsAreFoundThroughTheirIndex) {
  using namespace journalsql;
  const struct {
    const QString& Statement;
    QVariantList Values;
  } cases[] = {{WaitingSQL, {0, 500}}, {LeastTriedSQL, {0}}, {UndeliveredSQL, {}}, {CountsSQL, {}}};
  for (const auto& c : cases) {
    QSqlQuery plan(QSqlDatabase::database(QStringLiteral("journal-test")));
    ASSERT_TRUE(plan.prepare(QStringLiteral("EXPLAIN QUERY PLAN ") + c.Statement));
    for (const QVariant& value : c.Values) plan.addBindValue(value);
    ASSERT_TRUE(plan.exec());
    QStringList steps;
    while (plan.next()) steps.append(plan.value(3).toString());
    EXPECT_TRUE(steps.join(QLatin1Char('|')).contains(QStringLiteral("USING INDEX TBDIAR_AGUA")))
        << c.Statement.toStdString() << "\n  " << steps.join(QStringLiteral("\n  ")).toStdString();
  }
}

TEST(JournalFile, AFileThatIsNoJournalIsSetAsideAndANewOneBegun) {
  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("journal.sqlite"));
  QFile garbage(path);
  ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
  garbage.write(QByteArray(8192, 'G'));
  garbage.close();

  TJournal journal(QStringLiteral("journal-garbage"));
  ASSERT_TRUE(journal.Open(path)) << journal.LastError().toStdString();
  EXPECT_TRUE(journal.SetAsideFile().startsWith(path + QStringLiteral(".danificado-")));
  QFile aside(journal.SetAsideFile());
  ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
  EXPECT_EQ(aside.readAll(), QByteArray(8192, 'G'));
  EXPECT_EQ(journal.Recovered().Calls, 0);
  EXPECT_TRUE(journal.Recovered().Error.isEmpty()) << journal.Recovered().Error.toStdString();
  std::vector<TJournaled> journaled;
  EXPECT_TRUE(journal.Append({Line("2001 a")}, journaled));
}

// Killed during a recovery: the damaged file set aside, its calls not in a journal yet. The next open
// takes it up, once; an older version's files, open to others, are left to the owner.
TEST(JournalFile, AnInterruptedRecoveryIsTakenUpOnceAndTheFilesArePrivate) {
  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("journal.sqlite"));
  const QString aside = path + QStringLiteral(".danificado-20261209-100000");
  {
    TJournal damaged(QStringLiteral("journal-aside"));
    std::vector<TJournaled> journaled;
    ASSERT_TRUE(damaged.Open(aside) && damaged.Append({Line("2001 a"), Line("2002 b")}, journaled));
  }
  QFile::setPermissions(aside, QFile::Permissions(0x6644));
  QFile::setPermissions(folder.path(), QFile::Permissions(0x7755));
  for (int open = 0; open < 2; ++open) {
    TJournal journal(QStringLiteral("journal-resumed"));
    ASSERT_TRUE(journal.Open(path)) << journal.LastError().toStdString();
    EXPECT_EQ(journal.SetAsideFile(), open == 0 ? aside : QString());
    EXPECT_EQ(journal.Recovered().Calls, open == 0 ? 2 : 0) << journal.Recovered().Error.toStdString();
    EXPECT_EQ(CountsOf(journal).Waiting, 2);
  }
#ifndef _WIN32
  for (const QString& name : {aside, folder.path()}) EXPECT_EQ(QFileInfo(name).permissions() & 0x77, 0);
#endif
}

TEST(JournalFile, AFolderThatCannotBeMadeIsReportedWithThePath) {
  QTemporaryDir folder;
  QFile file(folder.filePath(QStringLiteral("plain-file")));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  const QString path = folder.filePath(QStringLiteral("plain-file/journal.sqlite"));
  TJournal journal(QStringLiteral("journal-nofolder"));
  EXPECT_FALSE(journal.Open(path));
  EXPECT_TRUE(journal.LastError().startsWith(path)) << journal.LastError().toStdString();
}

}  // namespace
