// The history on standard error: which state changes make a line, and how a line reads.
#include "statehistory.h"

#include <gtest/gtest.h>

#include <QStringList>

#include "linestatusview.h"
#include "statuscolours.h"

namespace service {
namespace {

using capture::TPortState;

calls::THostStatus Host(bool tried, bool reachable, const char* error = "") {
  calls::THostStatus status;
  status.Tried = tried;
  status.Reachable = reachable;
  status.Error = QString::fromUtf8(error);
  return status;
}

// Reached, with the stamp and the day's list failing as given.
calls::THostStatus Troubled(const char* stamp, const char* dayList) {
  calls::THostStatus status = Host(true, true);
  status.Stamp.Error = QString::fromUtf8(stamp);
  status.DayList.Error = QString::fromUtf8(dayList);
  return status;
}

TEST(StateHistory, DatabaseChanges) {
  const struct {
    const char* Name;
    calls::THostStatus Before, Now;
    QString Lines;  // one a line; empty: none
  } cases[] = {
      {"reached at the first try", Host(false, false), Host(true, true), ""},
      {"not reached at the first try", Host(false, false), Host(true, false, "timeout"),
       "banco de dados inacessível: timeout"},
      {"lost", Host(true, true), Host(true, false, "08S01"), "banco de dados inacessível: 08S01"},
      {"still lost, another error", Host(true, false, "a"), Host(true, false, "b"), ""},
      {"back", Host(true, false, "a"), Host(true, true), "banco de dados de volta"},
      {"reached, calls refused", Host(true, true), Host(true, true, "violates check"),
       "entrega de chamadas falhando: violates check"},
      {"calls taken again", Host(true, true, "violates check"), Host(true, true), "entrega de chamadas normal de novo"},
      {"two reads begin to fail", Host(true, true), Troubled("lock timeout", "permission denied"),
       "hora da última transmissão (TBPARA) não gravada: lock timeout\n"
       "lista do dia não lida, a grade mostra o diário local: permission denied"},
      {"still failing, another error", Troubled("a", ""), Troubled("b", ""), ""},
      {"the stamp works again", Troubled("a", "b"), Troubled("", "b"), "hora da última transmissão gravada de novo"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(HostChanges(c.Before, c.Now).join(QLatin1Char('\n')), c.Lines);
  }
}

TEST(StateHistory, LineJournalAndStatementChangesOneLineEachWithTheLocalTime) {
  QStringList written;
  const QDateTime when(QDate(2026, 12, 9), QTime(10, 20, 30));
  TStateHistory history([&written](const QString& line) { written.append(line); }, [when] { return when; });
  capture::TLineStatus line;
  line.Device = QStringLiteral("COM1 (/dev/ttyUSB0)");
  line.Settings = QStringLiteral("9600 bit/s");
  const auto step = [&](TPortState port, bool unreadable, const char* error = "") {
    line.Port = port;
    line.Unreadable = unreadable;
    line.Error = QString::fromUtf8(error);
    line.NoCalls = unreadable ? 9 : 0;
    line.Recent = 10;
    history.Line(line);
  };
  step(TPortState::psLost, false, "No such file or directory");  // an unattended start, no device yet
  step(TPortState::psLost, false, "No such file or directory");
  step(TPortState::psOpen, false);
  step(TPortState::psOpen, true);
  step(TPortState::psOpen, false);
  step(TPortState::psLost, false, "Input/output error");
  step(TPortState::psClosed, false);
  step(TPortState::psConnecting, false);  // a TCP line: its connect completes, no news
  step(TPortState::psOpen, false);
  step(TPortState::psClosed, false);
  step(TPortState::psConnecting, false);  // its connect times out, then each retry's too
  step(TPortState::psLost, false, "sem resposta em 10 s");
  step(TPortState::psLost, false, "sem resposta em 10 s");
  history.Journal(true, QStringLiteral("disk full"));
  history.Journal(true, QStringLiteral("disk full"));
  history.Journal(false, {});
  const QDateTime waitingSince = when.addSecs(-12);
  history.NoAnswer(waitingSince);
  history.NoAnswer(waitingSince);
  history.NoAnswer({});
  const QString at = when.toString(Qt::ISODate) + QStringLiteral(" logchamadas: ");
  EXPECT_EQ(written, (QStringList{
                         at + "porta COM1 (/dev/ttyUSB0) não abre: No such file or directory; nova tentativa a cada 2 s",
                         at + "porta COM1 (/dev/ttyUSB0) de volta",
                         at + "linha ilegível: 9 das últimas 10 linhas não são chamadas (COM1 (/dev/ttyUSB0), 9600 bit/s)",
                         at + "linha legível de novo",
                         at + "porta COM1 (/dev/ttyUSB0) perdida: Input/output error; nova tentativa a cada 2 s",
                         at + "porta COM1 (/dev/ttyUSB0) não abre: sem resposta em 10 s; nova tentativa a cada 2 s",
                         at + "não foi possível gravar o diário de chamadas: disk full",
                         at + "diário de chamadas gravado de novo",
                         at + "banco de dados sem resposta: um comando aguarda desde " +
                             waitingSince.toString(Qt::ISODate),
                         at + "banco de dados responde de novo após 12 s",
                     }));
  EXPECT_TRUE(written[0].startsWith(QStringLiteral("2026-12-09T10:20:30")));
}

// Past the site's limit the line turns amber with the hours so far; the history notes the start and
// the end of the silence, which only a line ends.
TEST(StateHistory, SilenceOnTheStatusLineAndInTheHistory) {
  QStringList written;
  const QDateTime when(QDate(2026, 12, 10), QTime(3, 0));
  TStateHistory history([&written](const QString& line) { written.append(line); }, [when] { return when; });
  capture::TLineStatus line;
  line.Port = TPortState::psOpen;
  line.Device = line.Name = QStringLiteral("tcp://10.0.0.5:4001");
  line.SilenceLimit = 8;
  line.QuietSince = QDateTime(QDate(2026, 12, 9), QTime(18, 0));
  for (const int hours : {0, 8, 9}) {
    line.SilentHours = hours;
    history.Line(line);
  }
  const TStatusView view = LineView(line);
  EXPECT_EQ(view.Text, QStringLiteral("sem linhas há 9 h"));
  EXPECT_EQ(view.Colour, StatusAmber);
  EXPECT_TRUE(view.ToolTip.startsWith(QStringLiteral("Linha: tcp://10.0.0.5:4001\nNenhuma linha desde 09/12/2026 "
                                                     "18:00:00; o aviso vem depois de 8 h sem linhas.")))
      << view.ToolTip.toStdString();
  line.SilentHours = 0;  // a line came
  history.Line(line);
  capture::TLineStatus connecting = line;
  connecting.Port = TPortState::psConnecting;
  connecting.Since = line.QuietSince;
  EXPECT_EQ(LineView(connecting).Text, QStringLiteral("Conectando a 10.0.0.5:4001 desde 18:00:00"));
  EXPECT_EQ(LineView(connecting).Colour, StatusAmber);
  line.SilentHours = 8;
  history.Line(line);
  line.Port = TPortState::psClosed;  // disconnected: no longer watched, no line came
  line.SilentHours = 0;
  history.Line(line);
  const QString at = when.toString(Qt::ISODate) + QStringLiteral(" logchamadas: ");
  EXPECT_EQ(written, (QStringList{at + "sem linhas há 8 h em tcp://10.0.0.5:4001 (aviso depois de 8 h)",
                                  at + "linhas de novo após 9 h sem linhas",
                                  at + "sem linhas há 8 h em tcp://10.0.0.5:4001 (aviso depois de 8 h)"}));
}

}  // namespace
}  // namespace service
