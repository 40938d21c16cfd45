// What the main window shows and asks for, whether the pipeline runs in this process (TPipeline) or in
// the service whose view the window is (TServiceView): the window binds to this alone.
#pragma once

#include <QObject>
#include <QString>

#include "calllistmodel.h"
#include "loglines.h"
#include "statusline.h"
#include "windowstate.h"

namespace service {

class TLogger : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;

  virtual TWindowState State() const = 0;
  // The status line's two rows: the serial line, the host database.
  virtual TStatusView LineView() const = 0;
  virtual TStatusView StatusView() const = 0;
  // The day's calls (waiting and delivered) and the log panel's lines.
  virtual calls::TCallListModel& List() = 0;
  virtual TLogLines& Log() = 0;

  // The operator's "&Conectar" and "&Desconectar"; a failure comes as Failed.
  virtual void Connect() = 0;
  virtual void Disconnect() = 0;
  // A line in the history of state changes.
  virtual void Note(const QString& text) = 0;

 signals:
  // The state or a row of the status line may have changed.
  void Changed();
  // "&Conectar" opened the port.
  void Opened();
  // What the operator must be told in a box.
  void Failed(const QString& text);
};

}  // namespace service
