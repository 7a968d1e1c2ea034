#include "ui/accessible_slider.h"

#include "ui/accessible_interface.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QSlider>
#include <cmath>

namespace {

// Lives as a child of its track bar, so the scale goes with it.
class ScaleHolder : public QObject {
public:
    ScaleHolder(QSlider* slider, SliderScale scale) : QObject(slider), scale(std::move(scale)) {
        setObjectName(kName);
    }
    static constexpr char kName[] = "sliderScale";
    SliderScale scale;
};

const ScaleHolder* HolderOf(const QObject* object) {
    return object->findChild<ScaleHolder*>(ScaleHolder::kName, Qt::FindDirectChildrenOnly);
}

class ScaledSliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit ScaledSliderAccessible(QSlider* slider)
        : QAccessibleWidget(slider, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) {
            return static_cast<QAccessibleValueInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override {
        if (kind != QAccessible::Value) {
            return QAccessibleWidget::text(kind);
        }
        const QString number = QString::number(Shown());
        return Scale().unit.isEmpty() ? number : number + ' ' + Scale().unit;
    }

    QVariant currentValue() const override { return Shown(); }
    QVariant minimumValue() const override {
        return HasRange() ? Scale().minimum : Scale().toShown(Slider()->minimum());
    }
    QVariant maximumValue() const override {
        return HasRange() ? Scale().maximum : Scale().toShown(Slider()->maximum());
    }
    QVariant minimumStepSize() const override {
        return std::abs(Scale().toShown(Slider()->minimum() + 1) -
                        Scale().toShown(Slider()->minimum()));
    }

    // As a drag: the page hears of it through the bar's own action signal.
    void setCurrentValue(const QVariant& value) override {
        if (Slider()->isEnabled()) {
            Slider()->setSliderPosition(Scale().toPosition(value.toDouble()));
        }
    }

private:
    QSlider* Slider() const { return static_cast<QSlider*>(widget()); }
    const SliderScale& Scale() const { return HolderOf(widget())->scale; }
    bool HasRange() const { return Scale().minimum != 0 || Scale().maximum != 0; }
    double Shown() const {
        return Scale().shown ? Scale().shown() : Scale().toShown(Slider()->value());
    }
};

}  // namespace

void ReportSliderValue(QSlider* slider, SliderScale scale) {
    delete HolderOf(slider);
    new ScaleHolder(slider, std::move(scale));
    ReplaceAccessibleInterface(new ScaledSliderAccessible(slider));
}

void ReportSliderPosition(QSlider* slider, const QString& unit) {
    ReportSliderValue(slider, SliderScale{
                                  [](int position) { return double(position); },
                                  [](double value) { return int(std::lround(value)); },
                                  {},
                                  0,
                                  0,
                                  unit,
                              });
}
