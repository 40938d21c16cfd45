#include "settingskeys.h"

#include <QStringList>
#include <utility>

#include "devicepath.h"
#include "tcpaddress.h"

namespace capture {

namespace {

using serial::TBaudRate;
using serial::TDataBits;
using serial::TFlowControl;
using serial::TParityType;
using serial::TStopBits;

template <class E>
using TChoices = std::vector<std::pair<QString, E>>;

template <class E>
QString Listed(const TChoices<E>& choices) {
  QStringList texts;
  for (const auto& [text, value] : choices) texts << text;
  return texts.join(QStringLiteral(", "));
}

template <class E>
QString TextOf(const TChoices<E>& choices, E value) {
  for (const auto& [text, choice] : choices) {
    if (choice == value) return text;
  }
  return {};
}

// A key whose value is one of a few words or numbers, each standing for one value of a field.
template <class E>
TSettingsKey ChoiceKey(const char* group, const char* name, E TSiteSettings::*field, TChoices<E> choices) {
  TSettingsKey key;
  key.Group = QLatin1String(group);
  key.Name = QLatin1String(name);
  key.Allowed = Listed(choices);
  key.Read = [field, choices](const QString& value, TSiteSettings& settings) {
    for (const auto& [text, choice] : choices) {
      if (text == value) {
        settings.*field = choice;
        return true;
      }
    }
    return false;
  };
  key.Write = [field, choices](const TSiteSettings& settings) { return TextOf(choices, settings.*field); };
  return key;
}

TChoices<TBaudRate> Speeds() {
  TChoices<TBaudRate> speeds;
  for (int i = 0; i <= static_cast<int>(TBaudRate::br256000); ++i) {
    const auto rate = static_cast<TBaudRate>(i);
    speeds.emplace_back(QString::number(serial::BaudRateValue(rate)), rate);
  }
  return speeds;
}

const TChoices<TDataBits> kDataBits = {{QStringLiteral("5"), TDataBits::db5},
                                       {QStringLiteral("6"), TDataBits::db6},
                                       {QStringLiteral("7"), TDataBits::db7},
                                       {QStringLiteral("8"), TDataBits::db8}};
const TChoices<TParityType> kParities = {{QStringLiteral("nenhuma"), TParityType::pcNone},
                                         {QStringLiteral("par"), TParityType::pcEven},
                                         {QStringLiteral("impar"), TParityType::pcOdd},
                                         {QStringLiteral("marca"), TParityType::pcMark},
                                         {QStringLiteral("espaco"), TParityType::pcSpace}};
const TChoices<TStopBits> kStopBits = {{QStringLiteral("1"), TStopBits::sbOne},
                                       {QStringLiteral("1.5"), TStopBits::sbOnePtFive},
                                       {QStringLiteral("2"), TStopBits::sbTwo}};
const TChoices<TFlowControl> kFlows = {{QStringLiteral("nenhum"), TFlowControl::fcNone},
                                       {QStringLiteral("xon_xoff"), TFlowControl::fcXON_XOFF},
                                       {QStringLiteral("rts_cts"), TFlowControl::fcRTS_CTS},
                                       {QStringLiteral("dtr_dsr"), TFlowControl::fsDSR_DTR}};

bool IsDevice(const QString& value) {
  const std::string name = value.toStdString();
  return serial::IsTcpName(name) ? serial::ParseTcpAddress(name).has_value() : serial::IsSerialDeviceName(name);
}

TSettingsKey DeviceKey() {
  TSettingsKey key;
  key.Group = QStringLiteral("porta");
  key.Name = QStringLiteral("dispositivo");
  key.Allowed = QString::fromUtf8(serial::SerialDeviceNames) +
                QStringLiteral(", ou tcp://HOST:PORTA com a porta de 1 a 65535");
  key.Read = [](const QString& value, TSiteSettings& settings) {
    if (!IsDevice(value)) return false;
    settings.Device = value;
    return true;
  };
  key.Write = [](const TSiteSettings& settings) { return settings.Device; };
  return key;
}

TSettingsKey SilenceKey() {
  TSettingsKey key;
  key.Group = QStringLiteral("linha");
  key.Name = QStringLiteral("silencio_horas");
  key.Allowed = QStringLiteral("horas, de 0 (sem aviso) a %1").arg(MaxSilenceHours);
  key.Read = [](const QString& value, TSiteSettings& settings) {
    bool number = false;
    const int hours = value.toInt(&number);
    if (!number || hours < 0 || hours > MaxSilenceHours) return false;
    settings.SilenceHours = hours;
    return true;
  };
  key.Write = [](const TSiteSettings& settings) { return QString::number(settings.SilenceHours); };
  return key;
}

}  // namespace

const std::vector<TSettingsKey>& SettingsKeys() {
  static const std::vector<TSettingsKey> keys = {
      DeviceKey(),
      ChoiceKey("porta", "velocidade", &TSiteSettings::Speed, Speeds()),
      ChoiceKey("porta", "bits_dados", &TSiteSettings::DataBits, kDataBits),
      ChoiceKey("porta", "paridade", &TSiteSettings::Parity, kParities),
      ChoiceKey("porta", "bits_parada", &TSiteSettings::StopBits, kStopBits),
      ChoiceKey("porta", "controle_fluxo", &TSiteSettings::FlowControl, kFlows),
      SilenceKey(),
  };
  return keys;
}

QString DataBitsText(TDataBits bits) {
  return QString::number(static_cast<int>(bits) + 4);
}

QString ParityLetter(TParityType parity) {
  static const TChoices<TParityType> letters = {{QStringLiteral("N"), TParityType::pcNone},
                                                {QStringLiteral("E"), TParityType::pcEven},
                                                {QStringLiteral("O"), TParityType::pcOdd},
                                                {QStringLiteral("M"), TParityType::pcMark},
                                                {QStringLiteral("S"), TParityType::pcSpace}};
  return TextOf(letters, parity);
}

QString StopBitsText(TStopBits bits) {
  return TextOf(kStopBits, bits);
}

QString FlowText(TFlowControl flow) {
  static const TChoices<TFlowControl> names = {{QString(), TFlowControl::fcNone},
                                               {QStringLiteral("XON/XOFF"), TFlowControl::fcXON_XOFF},
                                               {QStringLiteral("RTS/CTS"), TFlowControl::fcRTS_CTS},
                                               {QStringLiteral("DTR/DSR"), TFlowControl::fsDSR_DTR}};
  return TextOf(names, flow);
}

}  // namespace capture
