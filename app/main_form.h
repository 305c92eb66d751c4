// The main window: status line and connection icon, calibrated display, language
// choice, the grid of 24 parameter boxes, Save / Load defaults, and the log area and
// Bootloader button below the visible part of the window.
//
// The window's state is public on purpose: it is the one object of the program, its
// parts (texts, grid, protocol, device handling) live in separate files, and the tests
// drive it the way the event handlers do.
#pragma once

#include <QFont>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "config_report.h"
#include "hid_backend.h"
#include "hid_controller.h"
#include "image_list.h"
#include "stick_session.h"

class DecimalSpinEdit;
class QTimer;
namespace Ui {
class TMainForm;
}

class TMainForm : public QWidget {
  Q_OBJECT

 public:
  // Client area of the fixed-size window: the full width of the layout, and a height
  // that shows the lowest row of texts whole while the log area stays out of view.
  static constexpr int kClientWidth = 679;
  static constexpr int kClientHeight = 190;

  // The controller takes the backend; a null backend gives a window that never finds a stick.
  explicit TMainForm(std::unique_ptr<vorlane::HidBackend> backend, QWidget* parent = nullptr);
  ~TMainForm() override;

  // Shows the window centred on its screen.
  void showCentred();

  // The controls of the form layout, each with its objectName.
  Ui::TMainForm& controls() { return *ui; }

  // --- The window's state --------------------------------------------------------
  // Element ParamEditIndex(axis, kind); paramEdit() finds it.
  std::array<DecimalSpinEdit*, vorlane::kParamCount> ParamEdits{};
  DecimalSpinEdit* paramEdit(int axis, vorlane::ParamKind kind) const {
    return ParamEdits[vorlane::ParamEditIndex(axis, kind)];
  }
  vorlane::HidDevice* CurDevice = nullptr;
  std::uint8_t FeatureLen = 0;
  QString ProductName;
  bool Closing = false;
  std::uint16_t DevVendorId = 0;
  std::uint16_t DevProductCode = 0;
  std::int32_t LangIndex = 0;
  bool Calibrated = false;

  std::unique_ptr<vorlane::HidController> HidCtl;
  QTimer* Timer1 = nullptr;  // 25 ms, connection icon
  QTimer* Timer3 = nullptr;  // 100 ms one shot, first read after connecting
  ImageList sAlphaImageList1;

  // The protocol's pauses block the UI thread; tests put a recorder here.
  std::function<void(int milliseconds)> Sleep;
  // The conversation with the connected stick; it holds the report buffer.
  vorlane::StickSession Session;

  // What last went wrong with the connected stick. It is shown after the product name
  // until the next transfer that succeeds, or until a stick is connected anew.
  enum class LinkFault { None, ReadFailed, SaveFailed, SaveRefused, DefaultsFailed, BootloaderFailed };
  LinkFault Fault = LinkFault::None;
  QString FaultDetail;  // the device layer's words, for the tooltip
  // Asked by the copyright line's click; tests put their own key state here.
  std::function<bool()> LeftShiftDown;

  // --- Parameter grid ---------------------------------------------------------------
  void CreateDSpinEditBox(DecimalSpinEdit* box, QWidget* parent, std::int16_t width,
                          std::int16_t left, std::int16_t top, float minValue, float maxValue,
                          const QString& labelText, const QString& hintText);

  // --- Texts ------------------------------------------------------------------------
  void ChangeLanguage(int langIndex);
  void ShowCalibrated();

  // --- Report protocol --------------------------------------------------------------
  vorlane::StepResult ShortCMD(std::uint16_t command, std::uint8_t group);
  bool preCMD();
  void Read_Param_DZ();
  void Write_Param_DZ();
  // One trace line; a note (such as why the transfer failed) follows the bytes.
  void ShowData(const std::uint8_t* bytes, std::uint16_t count, vorlane::TraceDirection direction,
                const QString& note = QString());

  // --- Connection ---------------------------------------------------------------------
  // Makes device the connected stick (null: none); a new stick starts a new session
  // and forgets the last fault.
  void SetCurDevice(vorlane::HidDevice* device, std::uint8_t featureLen);

  // --- Event handlers ---------------------------------------------------------------
  void FormClose();
  void sBitBtn3Click();
  void Label2Click();
  void sHTMLLabel1Click();
  void RadioButton1Click();
  void RadioButton2Click();
  void sDecimalSpinEdit1Change(DecimalSpinEdit* sender);
  void sButton1Click();
  void sButton2Click();
  void btnStartClick();
  bool HidCtlEnumerate(vorlane::HidDevice* HidDev, int Idx);
  void HidCtlDeviceChange();
  void HidCtlDeviceUnplug(vorlane::HidDevice* HidDev);
  void Timer1Timer();
  void Timer3Timer();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void setUpFormLayout(std::unique_ptr<vorlane::HidBackend> backend);
  void buildParamGrid();
  // The status line while a stick is connected: its name, then what keeps it from
  // working (no access, or the last fault), with a tooltip that says more.
  void showStickStatus();
  // Records how a step with the stick ended: a success clears the fault, a failure
  // becomes the fault onFailure.
  void noteStep(const vorlane::StepResult& step, LinkFault onFailure);
  void traceTransfer(std::span<const std::uint8_t> bytes, vorlane::TraceDirection direction,
                     const vorlane::TransferResult& result);
  void fitLabelsToText();

  std::unique_ptr<Ui::TMainForm> ui;
};

// Sets a label's text and lets the label take the size of its text.
void SetCaption(class QLabel* label, const QString& text);

// The font of the form layout, kept by the link, the log and the grid's headings.
inline constexpr const char* kFormFontFamily = "MS Sans Serif";
inline constexpr int kFormFontPixels = 13;
QFont FormFont();
