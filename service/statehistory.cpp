#include "statehistory.h"

#include <QStringList>
#include <cstdio>

namespace service {

void WriteToStandardError(const QString& line) {
  std::fprintf(stderr, "%s\n", qUtf8Printable(line));
  std::fflush(stderr);
}

QString HistoryLine(const QDateTime& when, const QString& text) {
  return QStringLiteral("%1 logchamadas: %2").arg(when.toString(Qt::ISODate), text);
}

namespace {

// A statement that began to fail (its text and the driver's words) or works again.
void TroubleChange(QStringList& changes, const calls::THostTrouble& before, const calls::THostTrouble& now,
                   const QString& failing, const QString& working) {
  if (!now.Error.isEmpty() && before.Error.isEmpty()) changes << failing.arg(now.Error);
  if (now.Error.isEmpty() && !before.Error.isEmpty()) changes << working;
}

}  // namespace

QStringList HostChanges(const calls::THostStatus& before, const calls::THostStatus& now) {
  QStringList changes;
  const bool wasDown = before.Tried && !before.Reachable;
  const bool isDown = now.Tried && !now.Reachable;
  if (isDown && !wasDown) changes << QStringLiteral("banco de dados inacessível: %1").arg(now.Error);
  if (wasDown && now.Reachable) changes << QStringLiteral("banco de dados de volta");
  // Reached, delivery failing: refused or unanswered inserts, or the journal.
  if (before.Reachable && now.Reachable) {
    if (before.Error.isEmpty() && !now.Error.isEmpty())
      changes << QStringLiteral("entrega de chamadas falhando: %1").arg(now.Error);
    if (!before.Error.isEmpty() && now.Error.isEmpty()) changes << QStringLiteral("entrega de chamadas normal de novo");
  }
  TroubleChange(changes, before.Stamp, now.Stamp,
                QStringLiteral("hora da última transmissão (TBPARA) não gravada: %1"),
                QStringLiteral("hora da última transmissão gravada de novo"));
  TroubleChange(changes, before.Clock, now.Clock,
                QStringLiteral("data do servidor não lida, vale a deste computador: %1"),
                QStringLiteral("data do servidor lida de novo"));
  TroubleChange(changes, before.DayList, now.DayList,
                QStringLiteral("lista do dia não lida, a grade mostra o diário local: %1"),
                QStringLiteral("lista do dia lida de novo"));
  return changes;
}

QStringList LineChanges(const capture::TLineStatus& before, const capture::TLineStatus& now) {
  using capture::TPortState;
  QStringList changes;
  if (now.Port == TPortState::psLost && before.Port != TPortState::psLost) {
    changes << QStringLiteral("porta %1 %2: %3; nova tentativa a cada %4 s")
                   .arg(now.Device,
                        before.Port == TPortState::psOpen ? QStringLiteral("perdida") : QStringLiteral("não abre"),
                        now.Error)
                   .arg(capture::TPortKeeper::RetryInterval.count());
  }
  if (now.Port == TPortState::psOpen && before.Port == TPortState::psLost) {
    changes << QStringLiteral("porta %1 de volta").arg(now.Device);
  }
  if (now.Unreadable && !before.Unreadable) {
    changes << QStringLiteral("linha ilegível: %1 das últimas %2 linhas não são chamadas (%3, %4)")
                   .arg(now.NoCalls)
                   .arg(now.Recent)
                   .arg(now.Device, now.Settings);
  }
  if (before.Unreadable && !now.Unreadable) changes << QStringLiteral("linha legível de novo");
  if (now.SilentHours > 0 && before.SilentHours == 0) {
    changes << QStringLiteral("sem linhas há %1 h em %2 (aviso depois de %3 h)")
                   .arg(now.SilentHours)
                   .arg(now.Device)
                   .arg(now.SilenceLimit);
  }
  // Only a line ends the silence; closing the port merely stops watching it.
  if (before.SilentHours > 0 && now.SilentHours == 0 && now.Port == TPortState::psOpen) {
    changes << QStringLiteral("linhas de novo após %1 h sem linhas").arg(before.SilentHours);
  }
  return changes;
}

TStateHistory::TStateHistory(THistoryWriter writer, std::function<QDateTime()> clock)
    : FWriter(std::move(writer)), FClock(std::move(clock)) {}

void TStateHistory::Note(const QString& text) {
  FWriter(HistoryLine(FClock(), text));
}

void TStateHistory::Host(const calls::THostStatus& status) {
  for (const QString& change : HostChanges(FHost, status)) Note(change);
  FHost = status;
}

void TStateHistory::Line(const capture::TLineStatus& status) {
  for (const QString& change : LineChanges(FLine, status)) Note(change);
  FLine = status;
}

void TStateHistory::Journal(bool failing, const QString& error) {
  if (failing == FJournalFailing) return;
  FJournalFailing = failing;
  Note(failing ? QStringLiteral("não foi possível gravar o diário de chamadas: %1").arg(error)
               : QStringLiteral("diário de chamadas gravado de novo"));
}

void TStateHistory::NoAnswer(const QDateTime& since) {
  if (since.isValid() == FNoAnswerSince.isValid()) return;
  if (since.isValid()) {
    Note(QStringLiteral("banco de dados sem resposta: um comando aguarda desde %1").arg(since.toString(Qt::ISODate)));
  } else {
    Note(QStringLiteral("banco de dados responde de novo após %1 s").arg(FNoAnswerSince.secsTo(FClock())));
  }
  FNoAnswerSince = since;
}

}  // namespace service
