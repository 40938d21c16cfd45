#include "linestatusview.h"

#include <QStringList>

#include "comm_tcp.h"
#include "statuscolours.h"

namespace service {

namespace {

QString LastLineText(const QDateTime& when) {
  return when.isValid() ? QStringLiteral("Última linha recebida: %1.").arg(StatusTime(when))
                        : QStringLiteral("Nenhuma linha recebida desde o início.");
}

QString DriverErrorsText(const capture::TLineStatus& line) {
  const serial::TLineErrors& e = line.Errors;
  return QStringLiteral("Erros contados pelo driver: quadro %1, paridade %2, sobrecarga %3, quebra %4.")
      .arg(e.Frame)
      .arg(e.Parity)
      .arg(e.Overrun)
      .arg(e.Break);
}

}  // namespace

QString StatusTime(const QDateTime& when) {
  return when.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}

TStatusView LineView(const capture::TLineStatus& line) {
  QStringList detail;
  TStatusView view;
  switch (line.Port) {
    case capture::TPortState::psClosed:
      view.Text = QStringLiteral("Porta fechada");
      detail << QStringLiteral("Porta %1 fechada: \"Conectar\" a abre.").arg(line.Device);
      break;
    case capture::TPortState::psConnecting: {
      QString target = line.Device;
      if (target.startsWith(QStringLiteral("tcp://"), Qt::CaseInsensitive)) target = target.mid(6);
      view = {QStringLiteral("Conectando a %1 desde %2")
                  .arg(target, line.Since.toString(QStringLiteral("HH:mm:ss"))),
              StatusAmber,
              {}};
      detail << QStringLiteral(
                    "Conectando a %1 desde %2; as chamadas são lidas assim que a conexão se completar.")
                    .arg(line.Device, StatusTime(line.Since))
             << QStringLiteral("Sem conexão em %1 s, a linha não abre e é tentada de novo a cada %2 s.")
                    .arg(std::chrono::duration_cast<std::chrono::seconds>(serial::TcpConnectTimeout).count())
                    .arg(capture::TPortKeeper::RetryInterval.count());
      break;
    }
    case capture::TPortState::psLost:
      view = {QStringLiteral("Sem porta"), StatusRed, {}};
      detail << QStringLiteral("A porta %1 não responde desde %2.").arg(line.Device, StatusTime(line.Since))
             << QStringLiteral("Erro do sistema: %1").arg(line.Error.isEmpty() ? QStringLiteral("(nenhum)") : line.Error)
             << QStringLiteral("Nova tentativa a cada %1 segundos; as chamadas voltam a ser lidas assim que ela abrir.")
                    .arg(capture::TPortKeeper::RetryInterval.count());
      break;
    case capture::TPortState::psOpen:
      if (line.SilentHours > 0) {
        view = {QStringLiteral("sem linhas há %1 h").arg(line.SilentHours), StatusAmber, {}};
        detail << QStringLiteral("Nenhuma linha desde %1; o aviso vem depois de %2 h sem linhas.")
                      .arg(StatusTime(line.QuietSince))
                      .arg(line.SilenceLimit)
               << QStringLiteral("Em uso: %1, %2.").arg(line.Device, line.Settings)
               << QStringLiteral("Confira se a central está ligada e enviando as chamadas, e o cabo.");
      } else if (line.Unreadable) {
        view = {QStringLiteral("Linha ilegível"), StatusAmber, {}};
        detail << QStringLiteral("Desde %1, %2 das últimas %3 linhas não são chamadas ou o driver acusou erros.")
                      .arg(StatusTime(line.UnreadableSince))
                      .arg(line.NoCalls)
                      .arg(line.Recent)
               << QStringLiteral("Em uso: %1, %2.").arg(line.Device, line.Settings)
               << QStringLiteral("Confira a velocidade, a paridade e os bits de dados da central.");
      } else {
        view.Text = QStringLiteral("Linha OK");
        detail << QStringLiteral("Porta %1 aberta desde %2 (%3).")
                      .arg(line.Device, StatusTime(line.Since), line.Settings);
      }
      break;
  }
  if (!line.Name.isEmpty()) detail.prepend(QStringLiteral("Linha: %1").arg(line.Name));
  if (line.Counted) detail << DriverErrorsText(line);
  detail << LastLineText(line.LastLine);
  view.ToolTip = detail.join(QLatin1Char('\n'));
  return view;
}

}  // namespace service
