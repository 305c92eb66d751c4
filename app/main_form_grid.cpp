// The grid of parameter boxes: eight axis slots of three parameters each, of which
// slots 0, 1, 2 and 4 are shown.
#include "bound_label.h"
#include "decimal_spin_edit.h"
#include "main_form.h"
#include "texts.h"
#include "ui_main_form.h"

namespace {

constexpr int kBoxWidth = 75;
constexpr int kColumnGap = 22;
constexpr int kFirstColumnLeft = 120;
constexpr int kRowPitch = 30;
// The throttle column (slot 4) stands where the hidden slot 3 would be, moved this far left.
constexpr int kThrottleShift = 75 + 20;
// The headings keep the form's font, at 8 points (11 pixels at 96 ppi).
constexpr int kBoundLabelPixels = 11;
constexpr int kBoundLabelIndent = 3;

bool IsHiddenSlot(int axis) { return axis == 3 || axis > 4; }

}  // namespace

void TMainForm::buildParamGrid() {
  using vorlane::ParamKind;
  for (int a = 0; a < vorlane::kAxisCount; ++a) {
    for (const ParamKind kind : vorlane::kParamKinds) {
      const int k = vorlane::KindNumber(kind);
      const std::size_t index = vorlane::ParamEditIndex(a, kind);
      auto* box = new DecimalSpinEdit(this);
      ParamEdits[index] = box;
      box->setObjectName(QStringLiteral("ParamEdits%1").arg(index));

      const QString label = kind == ParamKind::DeadZoneStart
                                ? QString::fromLatin1(texts::kColumnCaptions[a])
                                : QString();
      const bool resolution = kind == ParamKind::Resolution;
      const float minValue = resolution ? 8.0f : 0.0f;
      const float maxValue = resolution ? (a < 2 ? 12.0f : 10.0f) : 25.0f;

      CreateDSpinEditBox(box, this, kBoxWidth,
                         static_cast<std::int16_t>(a * (kBoxWidth + kColumnGap) + kFirstColumnLeft),
                         static_cast<std::int16_t>(k * kRowPitch + (ui->sLabel1->y() - 11)),
                         minValue, maxValue, label, QString());
      if (resolution) {
        box->SetIncrement(1);
        box->SetDecimalPlaces(0);
      }
      box->setAlignment(Qt::AlignCenter);
      box->setParentFont(true);
      if (IsHiddenSlot(a)) box->hide();
      if (a == 4) box->move(box->x() - kThrottleShift, box->y());
      connect(box, &DecimalSpinEdit::changed, this, &TMainForm::sDecimalSpinEdit1Change);
      box->SetTag(k + 10 * a);
      // The text shows what Save writes for the value: dead zones to the tenth as the
      // write rounds them, resolutions cut to whole numbers.
      box->SetShownValue([kind](long double value) { return vorlane::WrittenParamValue(kind, value); });
    }
  }
  // In the tab order the boxes follow the form's own controls, in the order of their index.
  QWidget* previous = ui->RadioButton2;
  for (DecimalSpinEdit* box : ParamEdits) {
    setTabOrder(previous, box);
    previous = box;
  }
}

void TMainForm::CreateDSpinEditBox(DecimalSpinEdit* box, QWidget* parent, std::int16_t width,
                                   std::int16_t left, std::int16_t top, float minValue,
                                   float maxValue, const QString& labelText,
                                   const QString& hintText) {
  // No font of the box's own: the grid has every box follow the window's font, and
  // every font set on the box lays its text out anew.
  box->setParent(parent);
  if (!labelText.isEmpty()) {
    BoundLabel* label = box->boundLabel();
    label->setCaption(labelText);
    label->setLabelLayout(BoundLabel::Layout::TopCenter);
    label->setIndent(kBoundLabelIndent);
    label->setActive(true);
    QFont labelFont = FormFont();
    labelFont.setPixelSize(kBoundLabelPixels);
    labelFont.setResolveMask(QFont::AllPropertiesResolved);
    label->setFont(labelFont);
  }
  box->SetDecimalPlaces(1);
  box->SetIncrement(0.1);
  box->SetMinValue(minValue);
  box->SetMaxValue(maxValue);
  box->setGeometry(left, top, width, box->sizeHint().height());
  if (!hintText.isEmpty()) box->setToolTip(hintText);
}

// The boxes' change event: an edit takes effect only when the values are saved.
void TMainForm::sDecimalSpinEdit1Change(DecimalSpinEdit*) {}
