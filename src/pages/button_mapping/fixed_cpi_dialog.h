#pragma once

#include <QDialog>
#include <QString>
#include <optional>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSlider;

// The result of the last "FIXED CPI" dialog that ended with OK.
extern int fixedCpiX;
extern int fixedCpiY;

// The CPI value a field's text stands for: 10..30000, rounded to the nearest
// multiple of 10 (a remainder of 5 rounds up); empty or non-numeric text
// gives 10.
int NormalizeFixedCpi(const QString& text);

// "FIXED CPI": one CPI value for both axes, or X and Y apart, opened at the
// button's values (`x`, `y`; apart when they differ). OK, Enter and Alt+O take
// what the fields show, a linked axis following the one edited; the values
// are then in fixedCpiX and fixedCpiY. Cancel, Esc and the close box change
// nothing.
class CFixedCPI : public QDialog {
    Q_OBJECT
public:
    static constexpr int kOpeningCpi = 400;

    explicit CFixedCPI(QWidget* parent = nullptr) : CFixedCPI(kOpeningCpi, kOpeningCpi, parent) {}
    CFixedCPI(int x, int y, QWidget* parent = nullptr);

    int X() const { return x_; }
    int Y() const { return y_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    enum class Axis { X, Y };

    void BuildLayout();
    // What a screen reader says for each control.
    void NameControls();
    void ConnectSignals();
    void CommitField(Axis axis);
    void OnSliderAction(Axis axis);
    void OnSeparateClicked();
    // The field being edited (focused, or showing a value not taken yet):
    // the one a linked axis follows.
    std::optional<Axis> EditedField() const;
    void OnOk();
    void ShowValues();
    bool Linked() const;
    QLineEdit* Field(Axis axis) const;
    QSlider* Slider(Axis axis) const;
    int& Value(Axis axis);

    QCheckBox* separateCheck_ = nullptr;
    QSlider* xSlider_ = nullptr;
    QLineEdit* xField_ = nullptr;
    QSlider* ySlider_ = nullptr;
    QLineEdit* yField_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    int x_ = kOpeningCpi;
    int y_ = kOpeningCpi;
};
