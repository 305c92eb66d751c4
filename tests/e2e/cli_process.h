// One run of a command-line program for a test: its exit status and both outputs.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

struct CliRun {
  // False when the program did not start or did not end in time (it is then killed).
  bool finished = false;
  int status = -1;
  QString out;
  QString err;

  // For a failed check: what the run gave.
  QByteArray describe() const;
};

// Runs the program to its end. childSetup, when given, runs in the child just before
// the program starts (to drop privileges, say).
CliRun RunProgram(const QString& program, const QStringList& arguments, int timeoutMs,
                  const std::function<void()>& childSetup = {});
