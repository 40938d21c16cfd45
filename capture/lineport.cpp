#include "lineport.h"

namespace capture {

TLinePort MakeLinePort() {
  TLinePort line;
  auto router = std::make_unique<serial::TLineRouter>();
  line.Router = router.get();
  auto watch = std::make_unique<TReadWatch>(std::move(router));
  line.Watch = watch.get();
  line.Port = std::make_unique<serial::TSerialPort>(std::move(watch));
  line.Port->SetCommPort(serial::TCommPort::cpCOM1);
  return line;
}

}  // namespace capture
