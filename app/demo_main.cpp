// vorlane-demo: the program with one simulated stick instead of the system's HID
// devices. The stick is plugged in shortly after start; F2 (or the window's context
// menu) pulls it and plugs it in again.
//
//   vorlane-demo --screenshot FILE.png [--german]
// saves a picture of the window once the stick's parameters are shown, and quits.
#include <QAction>
#include <QApplication>
#include <QRadioButton>
#include <QTimer>

#include <memory>
#include <string>

#include "main_form.h"
#include "sim_backend.h"
#include "stick_identity.h"
#include "startup.h"
#include "ui_main_form.h"

namespace {

constexpr int kPlugDelayMs = 500;
// Long enough for the plug, the 100 ms wait and the read.
constexpr int kScreenshotDelayMs = kPlugDelayMs + 700;

struct Options {
  QString screenshot;
  bool german = false;
};

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    if (arg == QLatin1String("--screenshot") && i + 1 < argc) {
      options.screenshot = QString::fromLocal8Bit(argv[++i]);
    } else if (arg == QLatin1String("--german")) {
      options.german = true;
    }
  }
  return options;
}

void SaveScreenshotAndQuit(TMainForm& form, const Options& options) {
  if (options.german) form.controls().RadioButton2->click();
  if (!form.grab().save(options.screenshot)) qWarning("cannot write %s", qPrintable(options.screenshot));
  QApplication::quit();
}

vorlane::SimDevice DemoStick() {
  vorlane::ParamBlock block{};
  const std::uint8_t deadStart[8] = {3, 3, 5, 0, 12, 0, 0, 0};
  const std::uint8_t deadEnd[8] = {8, 8, 15, 0, 20, 0, 0, 0};
  const std::uint8_t resolution[8] = {12, 11, 9, 8, 10, 8, 8, 8};
  for (int a = 0; a < vorlane::kAxisCount; ++a) {
    block[vorlane::ParamBlockIndex(a, vorlane::ParamKind::DeadZoneStart)] = deadStart[a];
    block[vorlane::ParamBlockIndex(a, vorlane::ParamKind::DeadZoneEnd)] = deadEnd[a];
    block[vorlane::ParamBlockIndex(a, vorlane::ParamKind::Resolution)] = resolution[a];
  }
  vorlane::SimDevice stick;
  stick.attributes = {vorlane::kStickVendorId, vorlane::kStickProductId, 0x0100};
  stick.featureReportByteLength = 64;
  stick.productString = u"Vorlane Demo Stick";
  stick.stick = std::make_shared<vorlane::StickModel>(block, true);
  return stick;
}

// Plugs the demo stick in and pulls it out again, one step per call.
class DemoStickSwitch {
 public:
  explicit DemoStickSwitch(vorlane::SimBackend& sim) : sim_(sim), stick_(DemoStick()) {}

  void toggle() {
    if (plugged_) {
      sim_.Pull(path_);
    } else if (path_.empty()) {
      path_ = sim_.Plug(stick_);
    } else {
      sim_.Replug(path_);
    }
    plugged_ = !plugged_;
  }

 private:
  vorlane::SimBackend& sim_;
  vorlane::SimDevice stick_;
  std::string path_;
  bool plugged_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv);
  vorlane::SimBackend* sim = nullptr;
  std::unique_ptr<DemoStickSwitch> stickSwitch;
  return RunApplication(
      argc, argv,
      [&sim] {
        auto backend = std::make_unique<vorlane::SimBackend>();
        sim = backend.get();
        return backend;
      },
      [&sim, &stickSwitch, &options](TMainForm& form) {
        stickSwitch = std::make_unique<DemoStickSwitch>(*sim);
        form.setWindowTitle(form.windowTitle() + QStringLiteral(" (demo)"));
        auto* toggle = new QAction(QStringLiteral("Pull or plug the demo stick"), &form);
        toggle->setShortcut(Qt::Key_F2);
        QObject::connect(toggle, &QAction::triggered, &form, [&stickSwitch] { stickSwitch->toggle(); });
        form.addAction(toggle);
        form.setContextMenuPolicy(Qt::ActionsContextMenu);
        QTimer::singleShot(kPlugDelayMs, &form, [&stickSwitch] { stickSwitch->toggle(); });
        if (!options.screenshot.isEmpty()) {
          QTimer::singleShot(kScreenshotDelayMs, &form,
                             [&form, &options] { SaveScreenshotAndQuit(form, options); });
        }
      });
}
