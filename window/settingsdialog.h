// The settings dialog (logchamadas --configurar): the site's line, chosen from the serial ports found
// or written as any device or tcp:// address, with its line settings (greyed out for a tcp:// address,
// where they mean nothing) and silence limit; "Testar"
// opens it for a while and shows what arrives (capture::TLineTest); "Gravar" writes the system-wide
// file when it can, else the user's, and says which. Laid out in settingsdialog.ui; it only binds.
#pragma once

#include <QDialog>
#include <memory>
#include <vector>

#include "linetest.h"
#include "portlist.h"
#include "sitesettings.h"

namespace Ui {
class TSettingsDialog;
}

namespace window {

class TSettingsDialog : public QDialog {
  Q_OBJECT
 public:
  // Shows what the files hold now (and what is wrong in them); ports are the ones to offer.
  TSettingsDialog(capture::TSettingsFiles files, const std::vector<serial::TPortInfo>& ports,
                  std::chrono::milliseconds testDuration = capture::TLineTest::Duration, QWidget* parent = nullptr);
  ~TSettingsDialog() override;

 private:
  void ShowSettings(const capture::TSiteSettings& settings);
  capture::TSiteSettings Chosen() const;
  // Greys out the serial settings for a tcp:// device.
  void ShowDeviceKind();
  // The device field holds one the settings take, and the stop bits go with the data bits; otherwise
  // says so and gives the field the focus.
  bool Accepted();
  void TestClick();
  void SaveClick();
  void ShowTest();

  std::unique_ptr<Ui::TSettingsDialog> ui;
  capture::TSettingsFiles FFiles;
  capture::TLineTest FTest;
};

// The dialog over this machine's files and ports; the exit status.
int RunSettingsDialog(const capture::TSettingsFiles& files);

}  // namespace window
