// An exception escaping start-up is shown in a message box (the exception's text, or
// an empty text for anything that is not a std::exception), and the entry routine
// still returns 0. Each case runs the real entry routine; the box is read and closed
// from a timer that the failing start-up itself arms.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <optional>
#include <stdexcept>

#include "startup.h"

namespace {

struct Outcome {
  int result = -1;
  std::optional<QString> shownText;
};

// Reads and closes the message box as soon as it is up.
void ArmBoxReader(std::optional<QString>& shown) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, [&shown, poll] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      shown = box->text();
      box->done(0);
      poll->stop();
    }
  });
  poll->start(10);
}

template <typename Thrower>
Outcome RunFailingStartup(Thrower thrower) {
  Outcome outcome;
  int argc = 1;
  char name[] = "tst_startup_guard";
  char* argv[] = {name, nullptr};
  outcome.result = RunApplication(argc, argv, [&]() -> std::unique_ptr<vorlane::HidBackend> {
    ArmBoxReader(outcome.shownText);
    thrower();
    return nullptr;
  });
  return outcome;
}

int failures = 0;
int passes = 0;

void Check(bool ok, const char* what) {
  std::printf("%s: %s\n", ok ? "PASS" : "FAIL", what);
  (ok ? passes : failures)++;
}

}  // namespace

int main() {
  qputenv("QT_QPA_PLATFORM", "offscreen");

  const Outcome standard = RunFailingStartup([] { throw std::runtime_error("no window today"); });
  Check(standard.result == 0, "returns 0 after a std::exception");
  Check(standard.shownText == QStringLiteral("no window today"), "shows the exception's text");

  const Outcome other = RunFailingStartup([] { throw 42; });
  Check(other.result == 0, "returns 0 after another exception");
  Check(other.shownText.has_value() && other.shownText->isEmpty(), "shows an empty text");

  std::printf("%d passed, %d failed\n", passes, failures);
  return failures == 0 ? 0 : 1;
}
