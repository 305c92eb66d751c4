#include "cli_process.h"

#include <QProcess>

QByteArray CliRun::describe() const {
  return QStringLiteral("finished %1, status %2\n--- stdout:\n%3--- stderr:\n%4")
      .arg(finished)
      .arg(status)
      .arg(out, err)
      .toUtf8();
}

CliRun RunProgram(const QString& program, const QStringList& arguments, int timeoutMs,
                  const std::function<void()>& childSetup) {
  QProcess process;
  if (childSetup) process.setChildProcessModifier(childSetup);
  process.start(program, arguments);
  CliRun run;
  if (!process.waitForStarted(timeoutMs)) {
    run.err = QStringLiteral("did not start: ") + process.errorString();
    return run;
  }
  process.closeWriteChannel();
  run.finished = process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit;
  if (!run.finished) {
    process.kill();
    process.waitForFinished();
  }
  run.status = process.exitCode();
  run.out = QString::fromUtf8(process.readAllStandardOutput());
  run.err = QString::fromUtf8(process.readAllStandardError());
  return run;
}
