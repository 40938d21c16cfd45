#include "linestatus.h"

#include "serialport.h"

namespace capture {

namespace {

QString ParityText(serial::TParityType parity) {
  switch (parity) {
    case serial::TParityType::pcEven:
      return QStringLiteral("paridade par");
    case serial::TParityType::pcOdd:
      return QStringLiteral("paridade ímpar");
    case serial::TParityType::pcMark:
      return QStringLiteral("paridade marca");
    case serial::TParityType::pcSpace:
      return QStringLiteral("paridade espaço");
    case serial::TParityType::pcNone:
      break;
  }
  return QStringLiteral("sem paridade");
}

QString StopBitsText(serial::TStopBits stopBits) {
  switch (stopBits) {
    case serial::TStopBits::sbOnePtFive:
      return QStringLiteral("1,5 bit de parada");
    case serial::TStopBits::sbTwo:
      return QStringLiteral("2 bits de parada");
    case serial::TStopBits::sbOne:
      break;
  }
  return QStringLiteral("1 bit de parada");
}

}  // namespace

QString LineSettingsText(const serial::TSerialPort& port) {
  return QStringLiteral("%1 bit/s, %2 bits de dados, %3, %4")
      .arg(serial::BaudRateValue(port.BaudRate()))
      .arg(static_cast<int>(port.DataBits()) + 4)
      .arg(ParityText(port.ParityType()), StopBitsText(port.StopBits()));
}

}  // namespace capture
