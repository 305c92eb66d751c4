// One virtual-stick process for a test: plugged in by start(), pulled by pull(),
// with the reports it received read back from its log.
#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class VirtualStickProcess {
 public:
  // arguments: options of the tool beyond the name, log and ready file, which this
  // class chooses; every instance gets a name of its own unless arguments give one.
  explicit VirtualStickProcess(QStringList arguments = {});
  // Pulls the stick if it is still plugged in.
  ~VirtualStickProcess();

  VirtualStickProcess(const VirtualStickProcess&) = delete;
  VirtualStickProcess& operator=(const VirtualStickProcess&) = delete;

  // Starts the tool and waits until the kernel has made its hidraw node, handling
  // events meanwhile (so a controller may find the stick before this returns). False,
  // with error() telling why, when that did not happen within a few seconds.
  bool plug();
  // Stops the tool (SIGTERM) and waits until its hidraw node has gone. Handles no
  // events: the system's announcement of the removal is still waiting when it returns.
  bool pull();
  QString error() const { return error_; }

  // The product name, also used to find the device in sysfs.
  QString name() const { return name_; }
  // /dev/hidrawN while plugged in.
  QString node() const { return node_; }

  QStringList logLines() const;
  // Bytes of every feature report written to the stick, in order.
  QList<QByteArray> written() const;
  // Bytes of every answer the stick gave to a read.
  QList<QByteArray> answered() const;
  // How often the host opened the device.
  int openCount() const;

 private:
  QString findNode() const;
  QList<QByteArray> reports(QStringView prefix) const;

  QStringList arguments_;
  QString name_;
  QTemporaryDir dir_;
  QProcess process_;
  QString node_;
  QString error_;
};
