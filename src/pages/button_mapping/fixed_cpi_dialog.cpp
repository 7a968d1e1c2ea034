#include "pages/button_mapping/fixed_cpi_dialog.h"
#include "settings/cpi_scale.h"
#include "ui/accessible_slider.h"
#include "ui/digits_only.h"
#include "ui/keyboard_focus.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

int fixedCpiX = 0;
int fixedCpiY = 0;

namespace {

constexpr int kMaxCpi = static_cast<int>(kMaxLevelCpi);
constexpr int kCpiPerPosition = 10;
constexpr int kMinPosition = 1;
constexpr int kMaxPosition = 1400;  // 14000 CPI; larger values leave the bar at its end

int PositionOf(int cpi) {
    return std::clamp(cpi / kCpiPerPosition, kMinPosition, kMaxPosition);
}

}  // namespace

int NormalizeFixedCpi(const QString& text) {
    // The leading digits, read without overflow; a negative number is below
    // the range and so gives the minimum (the field takes digits only anyway).
    const QString trimmed = text.trimmed();
    const bool negative = trimmed.startsWith('-');
    long long value = 0;
    for (qsizetype i = negative || trimmed.startsWith('+') ? 1 : 0; i < trimmed.size(); ++i) {
        const char16_t digit = trimmed[i].unicode();
        if (digit < u'0' || digit > u'9') {
            break;
        }
        value = std::min<long long>(value * 10 + (digit - u'0'), kMaxCpi + 1);
    }
    if (negative) {
        value = 0;
    }
    return static_cast<int>(NormalizeFixedCpiValue(static_cast<uint32_t>(value)));
}

CFixedCPI::CFixedCPI(int x, int y, QWidget* parent)
    : QDialog(parent),
      x_(NormalizeFixedCpi(QString::number(x))),
      y_(NormalizeFixedCpi(QString::number(y))) {
    BuildLayout();
    NameControls();
    ConnectSignals();
    ShowFocusFrameFromTheStart(this);
    separateCheck_->setChecked(x_ != y_);
    xSlider_->setValue(PositionOf(x_));
    ySlider_->setValue(PositionOf(y_));
    ShowValues();
}

void CFixedCPI::BuildLayout() {
    setWindowTitle("FIXED CPI");
    setMinimumWidth(560);
    separateCheck_ = new QCheckBox("X/Y Settings", this);
    separateCheck_->setObjectName("fixedXySettingsCheck");

    auto makeSlider = [this](const char* name) {
        auto* slider = new QSlider(Qt::Horizontal, this);
        slider->setObjectName(name);
        slider->setRange(kMinPosition, kMaxPosition);
        slider->setTickPosition(QSlider::NoTicks);
        slider->setMinimumWidth(360);
        return slider;
    };
    auto makeField = [this](const char* name) {
        auto* field = new QLineEdit(this);
        field->setObjectName(name);
        SetDigitsOnly(field);
        field->setFixedWidth(80);
        field->installEventFilter(this);
        return field;
    };
    xSlider_ = makeSlider("fixedCpiXSlider");
    xField_ = makeField("fixedCpiXField");
    ySlider_ = makeSlider("fixedCpiYSlider");
    yField_ = makeField("fixedCpiYField");
    okButton_ = new QPushButton("&OK", this);
    okButton_->setObjectName("fixedCpiOkButton");
    cancelButton_ = new QPushButton("&Cancel", this);
    cancelButton_->setObjectName("fixedCpiCancelButton");
    // Enter presses a focused button, and OK from anywhere else.
    okButton_->setDefault(true);

    auto* xLabel = new QLabel("X:", this);
    xLabel->setObjectName("fixedCpiXLabel");
    auto* yLabel = new QLabel("Y:", this);
    yLabel->setObjectName("fixedCpiYLabel");
    auto* rows = new QGridLayout;
    rows->addWidget(xLabel, 0, 0);
    rows->addWidget(xSlider_, 0, 1);
    rows->addWidget(xField_, 0, 2);
    rows->addWidget(yLabel, 1, 0);
    rows->addWidget(ySlider_, 1, 1);
    rows->addWidget(yField_, 1, 2);
    rows->setColumnStretch(1, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(okButton_);
    bottom->addWidget(cancelButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(separateCheck_);
    layout->addLayout(rows);
    layout->addStretch();
    layout->addLayout(bottom);
}

// Each axis's track bar and field get one name ("X:" alone says little), and
// each track bar tells the value its field shows.
void CFixedCPI::NameControls() {
    for (Axis axis : {Axis::X, Axis::Y}) {
        const QString name = axis == Axis::X ? "Fixed CPI X" : "Fixed CPI Y";
        Slider(axis)->setAccessibleName(name);
        Field(axis)->setAccessibleName(name);
        ReportSliderValue(Slider(axis),
                          SliderScale{
                              [](int position) { return double(position * kCpiPerPosition); },
                              [](double cpi) { return PositionOf(int(cpi)); },
                              [this, axis] { return double(Value(axis)); },
                              double(kMinLevelCpi),
                              double(kMaxLevelCpi),
                              QStringLiteral("CPI"),
                          });
    }
}

void CFixedCPI::ConnectSignals() {
    connect(separateCheck_, &QCheckBox::clicked, this, &CFixedCPI::OnSeparateClicked);
    connect(xSlider_, &QSlider::actionTriggered, this, [this] { OnSliderAction(Axis::X); });
    connect(ySlider_, &QSlider::actionTriggered, this, [this] { OnSliderAction(Axis::Y); });
    connect(okButton_, &QPushButton::clicked, this, &CFixedCPI::OnOk);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
}

bool CFixedCPI::Linked() const {
    return !separateCheck_->isChecked();
}

QLineEdit* CFixedCPI::Field(Axis axis) const {
    return axis == Axis::X ? xField_ : yField_;
}

QSlider* CFixedCPI::Slider(Axis axis) const {
    return axis == Axis::X ? xSlider_ : ySlider_;
}

int& CFixedCPI::Value(Axis axis) {
    return axis == Axis::X ? x_ : y_;
}

void CFixedCPI::ShowValues() {
    xField_->setText(QString::number(x_));
    yField_->setText(QString::number(y_));
}

void CFixedCPI::CommitField(Axis axis) {
    const Axis other = axis == Axis::X ? Axis::Y : Axis::X;
    Value(axis) = NormalizeFixedCpi(Field(axis)->text());
    Slider(axis)->setValue(PositionOf(Value(axis)));
    Field(axis)->setText(QString::number(Value(axis)));
    if (Linked()) {
        Value(other) = Value(axis);
        Field(other)->setText(Field(axis)->text());
        Slider(other)->setValue(PositionOf(Value(other)));
    }
}

void CFixedCPI::OnSliderAction(Axis axis) {
    // actionTriggered comes before the value moves: the position is the new one.
    const int position = Slider(axis)->sliderPosition();
    Value(axis) = position * kCpiPerPosition;
    if (Linked()) {
        const Axis other = axis == Axis::X ? Axis::Y : Axis::X;
        Value(other) = Value(axis);
        Slider(other)->setValue(position);
    }
    ShowValues();
}

void CFixedCPI::OnSeparateClicked() {
    x_ = NormalizeFixedCpi(xField_->text());
    y_ = NormalizeFixedCpi(yField_->text());
    if (Linked()) {
        ySlider_->setValue(xSlider_->value());
        y_ = x_;
        ShowValues();
    }
}

std::optional<CFixedCPI::Axis> CFixedCPI::EditedField() const {
    for (Axis axis : {Axis::X, Axis::Y}) {
        if (Field(axis)->hasFocus()) {
            return axis;
        }
    }
    for (Axis axis : {Axis::X, Axis::Y}) {
        if (Field(axis)->text() != QString::number(axis == Axis::X ? x_ : y_)) {
            return axis;
        }
    }
    return std::nullopt;
}

void CFixedCPI::OnOk() {
    // Alt+O and Enter leave the focus in a field whose edit is not taken yet:
    // OK takes what the fields show, a linked axis following the edited one.
    if (!Linked()) {
        CommitField(Axis::X);
        CommitField(Axis::Y);
    } else if (const std::optional<Axis> edited = EditedField()) {
        CommitField(*edited);
    }
    fixedCpiX = x_;
    fixedCpiY = y_;
    accept();
}

bool CFixedCPI::eventFilter(QObject* watched, QEvent* event) {
    if (watched != xField_ && watched != yField_) {
        return QDialog::eventFilter(watched, event);
    }
    const Axis axis = watched == xField_ ? Axis::X : Axis::Y;
    switch (event->type()) {
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            CommitField(axis);
            break;
        default:
            break;
    }
    return QDialog::eventFilter(watched, event);
}

void CFixedCPI::keyPressEvent(QKeyEvent* event) {
    // Enter is OK wherever the focus is (a field passes it on); Esc cancels.
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
                OnOk();
                return;
            }
            break;
        case Qt::Key_Escape:
            reject();
            return;
        default:
            break;
    }
    QDialog::keyPressEvent(event);
}

void CFixedCPI::mousePressEvent(QMouseEvent* event) {
    // A click on the background commits the field being edited.
    if (xField_->hasFocus()) {
        CommitField(Axis::X);
    } else if (yField_->hasFocus()) {
        CommitField(Axis::Y);
    }
    QDialog::mousePressEvent(event);
}
