#include "main_form.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QGraphicsDropShadowEffect>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <thread>

#include "app_font.h"
#include "left_shift.h"
#include "stick_identity.h"
#include "texts.h"
#include "ui_main_form.h"
#include "window_icon.h"

QFont FormFont() {
  QFont font(QString::fromLatin1(kFormFontFamily));
  font.setPixelSize(kFormFontPixels);
  return font;
}

namespace {

// The window's own font: the form's, in the embedded family.
QFont WindowFont() {
  QFont font = FormFont();
  font.setFamily(QString::fromLatin1(kWindowFontFamily));
  font.setWeight(QFont::Medium);
  return font;
}

void BlockingSleep(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace

void SetCaption(QLabel* label, const QString& text) {
  label->setText(text);
  label->adjustSize();
}

TMainForm::TMainForm(std::unique_ptr<vorlane::HidBackend> backend, QWidget* parent)
    : QWidget(parent),
      Sleep(BlockingSleep),
      Session([this](int milliseconds) { Sleep(milliseconds); },
              [this](std::span<const std::uint8_t> bytes, vorlane::TraceDirection direction,
                     const vorlane::TransferResult& result) { traceTransfer(bytes, direction, result); }),
      LeftShiftDown(IsLeftShiftDown),
      ui(std::make_unique<Ui::TMainForm>()) {
  setUpFormLayout(std::move(backend));

  DevVendorId = vorlane::kStickVendorId;
  DevProductCode = vorlane::kStickProductCode;
  ProductName = QString();

  setWindowTitle(QString::fromLatin1(texts::kCaption) + QString::fromLatin1(texts::kVersion));

  buildParamGrid();
  fitLabelsToText();

  ChangeLanguage(0);

  setFixedSize(kClientWidth, kClientHeight);

  ui->cbLog->setChecked(false);
}

TMainForm::~TMainForm() {
  // The controller goes first, while every control still exists. As it is destroyed it
  // reports the held stick as unplugged; the handler must then neither touch the
  // controls nor give the stick back, just as after the window was closed (a window
  // may also be destroyed without being closed).
  Closing = true;
  HidCtl.reset();
  // The controls are destroyed by the base class, after this part of the window is
  // gone; none of their signals may reach it then (a focused box that loses the focus
  // as the window goes reports a change).
  const QList<QObject*> children = findChildren<QObject*>();
  for (QObject* child : children) child->disconnect(this);
}

// What the form layout gives the window before the constructor completes it.
void TMainForm::setUpFormLayout(std::unique_ptr<vorlane::HidBackend> backend) {
  ui->setupUi(this);
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setWindowIcon(WindowIcon());
  // The window takes its final font before the grid is built and any text is laid
  // out: every later change of the window's font would lay out every control again.
  setFont(WindowFont());

  QFont linkFont = FormFont();
  linkFont.setUnderline(true);
  ui->Label2->setFont(linkFont);
  QPalette linkPalette = ui->Label2->palette();
  linkPalette.setColor(QPalette::WindowText, Qt::blue);
  ui->Label2->setPalette(linkPalette);
  ui->sMemo1->setFont(FormFont());
  ui->Label2->setText(QString::fromLatin1(texts::kWebAddress));
  ui->sHTMLLabel1->setText(QString::fromUtf8(texts::kCopyrightLine));

  auto* shadow = new QGraphicsDropShadowEffect(ui->sLabelFX3);
  shadow->setOffset(1, 1);
  shadow->setBlurRadius(3);
  shadow->setColor(QColor(0, 0, 0, 90));
  ui->sLabelFX3->setGraphicsEffect(shadow);

  sAlphaImageList1 = ImageList::Discs();
  ui->img_Target->setImageList(&sAlphaImageList1);
  ui->sImage2->setImageList(&sAlphaImageList1);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(25);
  connect(Timer1, &QTimer::timeout, this, &TMainForm::Timer1Timer);
  Timer1->start();

  Timer3 = new QTimer(this);
  Timer3->setObjectName(QStringLiteral("Timer3"));
  Timer3->setInterval(100);
  // The read follows the stick's 100 ms wait as closely as the system allows; a coarse
  // timer may fire up to 5 % late.
  Timer3->setTimerType(Qt::PreciseTimer);
  connect(Timer3, &QTimer::timeout, this, &TMainForm::Timer3Timer);

  HidCtl = std::make_unique<vorlane::HidController>(std::move(backend));
  HidCtl->setObjectName(QStringLiteral("HidCtl"));
  HidCtl->OnEnumerate = [this](vorlane::HidDevice* device, int index) {
    return HidCtlEnumerate(device, index);
  };
  HidCtl->OnDeviceChange = [this] { HidCtlDeviceChange(); };
  HidCtl->OnDeviceUnplug = [this](vorlane::HidDevice* device) { HidCtlDeviceUnplug(device); };

  connect(ui->sBitBtn3, &QPushButton::clicked, this, &TMainForm::sBitBtn3Click);
  connect(ui->Label2, &ClickLabel::clicked, this, &TMainForm::Label2Click);
  connect(ui->sHTMLLabel1, &ClickLabel::clicked, this, &TMainForm::sHTMLLabel1Click);
  // A radio button reports a click only when it becomes selected.
  connect(ui->RadioButton1, &QRadioButton::toggled, this, [this](bool on) {
    if (on) RadioButton1Click();
  });
  connect(ui->RadioButton2, &QRadioButton::toggled, this, [this](bool on) {
    if (on) RadioButton2Click();
  });
  connect(ui->sButton1, &QPushButton::clicked, this, &TMainForm::sButton1Click);
  connect(ui->sButton2, &QPushButton::clicked, this, &TMainForm::sButton2Click);
  connect(ui->btnStart, &QToolButton::clicked, this, &TMainForm::btnStartClick);
}

// The plain labels take the size of their text, also after a change of font.
void TMainForm::fitLabelsToText() {
  QLabel* const labels[] = {ui->sLabel1, ui->sLabel2, ui->sLabel3,
                            ui->sLabel4, ui->Label2, ui->sHTMLLabel1};
  for (QLabel* label : labels) {
    label->adjustSize();
  }
}

void TMainForm::showCentred() {
  if (const QScreen* shown = screen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(shown->availableGeometry().center());
    move(frame.topLeft());
  }
  show();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  FormClose();
  QWidget::closeEvent(event);
}

void TMainForm::FormClose() { Closing = true; }

void TMainForm::sBitBtn3Click() { ui->sMemo1->clear(); }

void TMainForm::Label2Click() {
  QDesktopServices::openUrl(QUrl::fromUserInput(QString::fromLatin1(texts::kWebAddress)));
}

void TMainForm::sHTMLLabel1Click() {
  if (LeftShiftDown && LeftShiftDown()) {
    SetCaption(ui->sHTMLLabel1, QString::fromLatin1(texts::kCreditLine));
  }
}
