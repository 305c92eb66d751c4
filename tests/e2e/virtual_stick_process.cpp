#include "virtual_stick_process.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QThread>

namespace {

constexpr int kWaitMs = 5000;

int instances = 0;

QString ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

enum class Events { Handle, Hold };

// Polls until done() holds or the deadline passes, handling events meanwhile or not.
template <typename Done>
bool WaitFor(Done done, Events events) {
  const QDeadlineTimer deadline(kWaitMs);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    if (events == Events::Handle) {
      QTest::qWait(1);
    } else {
      QThread::msleep(1);
    }
  }
  return true;
}

}  // namespace

VirtualStickProcess::VirtualStickProcess(QStringList arguments) : arguments_(std::move(arguments)) {
  const int nameAt = arguments_.indexOf(QStringLiteral("--name"));
  name_ = nameAt >= 0 && nameAt + 1 < arguments_.size()
              ? arguments_[nameAt + 1]
              : QStringLiteral("E2E Stick %1").arg(++instances);
  if (nameAt < 0) arguments_ << QStringLiteral("--name") << name_;
  arguments_ << QStringLiteral("--log") << dir_.filePath(QStringLiteral("log"))
             << QStringLiteral("--ready-file") << dir_.filePath(QStringLiteral("ready"));
  process_.setProgram(QStringLiteral(VIRTUAL_STICK_PATH));
  process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

VirtualStickProcess::~VirtualStickProcess() {
  if (process_.state() != QProcess::NotRunning) pull();
}

bool VirtualStickProcess::plug() {
  const QString ready = dir_.filePath(QStringLiteral("ready"));
  QFile::remove(ready);
  process_.setArguments(arguments_);
  process_.start();
  if (!process_.waitForStarted(kWaitMs)) {
    error_ = QStringLiteral("virtual-stick did not start: ") + process_.errorString();
    return false;
  }
  WaitFor([&] { return QFileInfo::exists(ready) || process_.state() == QProcess::NotRunning; },
          Events::Handle);
  if (!QFileInfo::exists(ready)) {
    error_ = QStringLiteral("the kernel did not start the virtual stick (no ready file)");
    return false;
  }
  if (!WaitFor([&] {
        node_ = findNode();
        return !node_.isEmpty() && QFileInfo::exists(node_);
      }, Events::Handle)) {
    error_ = QStringLiteral("no hidraw node appeared for ") + name_;
    return false;
  }
  return true;
}

bool VirtualStickProcess::pull() {
  const QString sysfsEntry = QStringLiteral("/sys/class/hidraw/") + QFileInfo(node_).fileName();
  process_.terminate();
  if (!process_.waitForFinished(kWaitMs)) {
    process_.kill();
    process_.waitForFinished(kWaitMs);
    error_ = QStringLiteral("virtual-stick did not stop on SIGTERM");
    return false;
  }
  if (process_.exitStatus() != QProcess::NormalExit || process_.exitCode() != 0) {
    error_ = QStringLiteral("virtual-stick ended with status %1").arg(process_.exitCode());
    return false;
  }
  if (!node_.isEmpty() &&
      !WaitFor([&] { return !QFileInfo::exists(sysfsEntry); }, Events::Hold)) {
    error_ = QStringLiteral("the hidraw node of ") + name_ + QStringLiteral(" did not go");
    return false;
  }
  node_.clear();
  return true;
}

QString VirtualStickProcess::findNode() const {
  const QDir hidraw(QStringLiteral("/sys/class/hidraw"));
  const QString wanted = QStringLiteral("HID_NAME=") + name_;
  for (const QString& entry : hidraw.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    const QString uevent = ReadFile(hidraw.filePath(entry + QStringLiteral("/device/uevent")));
    if (uevent.split(QLatin1Char('\n')).contains(wanted)) return QStringLiteral("/dev/") + entry;
  }
  return {};
}

QStringList VirtualStickProcess::logLines() const {
  return ReadFile(dir_.filePath(QStringLiteral("log"))).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QList<QByteArray> VirtualStickProcess::reports(QStringView prefix) const {
  QList<QByteArray> result;
  for (const QString& line : logLines()) {
    if (line.startsWith(prefix)) result << QByteArray::fromHex(line.mid(prefix.size()).toLatin1());
  }
  return result;
}

QList<QByteArray> VirtualStickProcess::written() const { return reports(u"W  "); }

QList<QByteArray> VirtualStickProcess::answered() const { return reports(u"R  "); }

int VirtualStickProcess::openCount() const {
  return static_cast<int>(logLines().count(QStringLiteral("# open")));
}
