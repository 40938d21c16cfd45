#include "statusline.h"

#include <QStringList>

#include "statuscolours.h"

namespace window {

namespace {

const QColor& Amber = StatusAmber;
const QColor& Red = StatusRed;

QString Calls(int count) {
  return count == 1 ? QStringLiteral("1 chamada") : QStringLiteral("%1 chamadas").arg(count);
}

}  // namespace

void TStatusLine::SetStatus(const calls::THostStatus& status) {
  FStatus = status;
  FUnreported = 0;
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

  if (!FStatus.Tried) {
    detail.prepend(QStringLiteral("Conectando ao banco de dados."));
    return {QStringLiteral("Banco..."), {}, detail.join(QLatin1Char('\n'))};
  }
  if (!FStatus.Reachable) {
    detail.prepend(QStringLiteral("Sem conexão com o banco de dados desde %1.")
                       .arg(FStatus.Since.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"))));
    return {QStringLiteral("Sem banco"), Red, detail.join(QLatin1Char('\n'))};
  }
  if (waiting > 0) return {QStringLiteral("%1 na fila").arg(waiting), Amber, detail.join(QLatin1Char('\n'))};
  // Reached, but a statement failed (the list could not be read, the stamp was refused).
  if (!FStatus.Error.isEmpty()) return {QStringLiteral("Erro no banco"), Amber, detail.join(QLatin1Char('\n'))};
  if (FStatus.Refused > 0) {
    return {QStringLiteral("%1 recusadas").arg(FStatus.Refused), Amber, detail.join(QLatin1Char('\n'))};
  }
  return {QStringLiteral("Banco OK"), {}, QStringLiteral("Todas as chamadas estão no banco de dados.")};
}

}  // namespace window
