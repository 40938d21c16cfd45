#include "statusline.h"

#include <QStringList>

#include "statuscolours.h"

namespace service {

namespace {

const QColor& Amber = StatusAmber;
const QColor& Red = StatusRed;

QString Calls(int count) {
  return count == 1 ? QStringLiteral("1 chamada") : QStringLiteral("%1 chamadas").arg(count);
}

QString When(const QDateTime& when) {
  return when.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}

// A statement besides delivery that keeps failing: which, since when, and the driver's words.
void AddTrouble(QStringList& detail, const calls::THostTrouble& trouble, const QString& what) {
  if (!trouble.Error.isEmpty()) detail << what.arg(When(trouble.Since), trouble.Error);
}

}  // namespace

void TStatusLine::SetStatus(const calls::THostStatus& status) {
  FStatus = status;
  FUnreported = 0;
}

bool TStatusLine::SetStatementSince(const QDateTime& since, const QDateTime& now) {
  const bool noAnswer = since.isValid() && since.msecsTo(now) > NoAnswerSeconds * 1000;
  const QDateTime noAnswerSince = noAnswer ? since : QDateTime();
  if (noAnswerSince == FNoAnswerSince) return false;
  FNoAnswerSince = noAnswerSince;
  return true;
}

TStatusView TStatusLine::View() const {
  const int waiting = FStatus.Waiting + FUnreported;
  QStringList detail;
  if (waiting > 0) detail << QStringLiteral("%1 aguardando o banco de dados no diário local.").arg(Calls(waiting));
  if (FStatus.Refused > 0) {
    detail << QStringLiteral("%1 recusadas pelo servidor; tentadas de novo a cada início e a cada dia.")
                  .arg(Calls(FStatus.Refused));
  }
  if (!FStatus.Error.isEmpty()) detail << QStringLiteral("Último erro: %1").arg(FStatus.Error);
  AddTrouble(detail, FStatus.Stamp,
             QStringLiteral("A hora da última transmissão (TBPARA) não é gravada desde %1: %2"));
  AddTrouble(
      detail, FStatus.Clock,
      QStringLiteral("A data do servidor não pôde ser lida desde %1; vale a data deste computador: %2"));
  AddTrouble(detail, FStatus.DayList,
             QStringLiteral("A lista do dia não pôde ser lida desde %1; a grade mostra o diário local: %2"));
  const bool troubled = !FStatus.Error.isEmpty() || !FStatus.Stamp.Error.isEmpty() ||
                        !FStatus.Clock.Error.isEmpty() || !FStatus.DayList.Error.isEmpty();

  if (FNoAnswerSince.isValid()) {
    detail.prepend(QStringLiteral("O banco de dados não responde: um comando aguarda desde %1.")
                       .arg(When(FNoAnswerSince)));
    return {QStringLiteral("Banco sem resposta"), Red, detail.join(QLatin1Char('\n'))};
  }
  if (!FStatus.Tried) {
    detail.prepend(QStringLiteral("Conectando ao banco de dados."));
    return {QStringLiteral("Banco..."), {}, detail.join(QLatin1Char('\n'))};
  }
  if (!FStatus.Reachable) {
    detail.prepend(QStringLiteral("Sem conexão com o banco de dados desde %1.").arg(When(FStatus.Since)));
    return {QStringLiteral("Sem banco"), Red, detail.join(QLatin1Char('\n'))};
  }
  if (waiting > 0) return {QStringLiteral("%1 na fila").arg(waiting), Amber, detail.join(QLatin1Char('\n'))};
  // Reached, but a statement failed (the list could not be read, the stamp was refused).
  if (troubled) return {QStringLiteral("Erro no banco"), Amber, detail.join(QLatin1Char('\n'))};
  if (FStatus.Refused > 0) {
    return {QStringLiteral("%1 recusadas").arg(FStatus.Refused), Amber, detail.join(QLatin1Char('\n'))};
  }
  return {QStringLiteral("Banco OK"), {}, QStringLiteral("Todas as chamadas estão no banco de dados.")};
}

}  // namespace service
