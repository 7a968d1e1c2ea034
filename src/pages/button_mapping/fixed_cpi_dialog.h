#pragma once

#include <QDialog>
#include <QString>

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

// "FIXED CPI": one CPI value for both axes, or X and Y apart. On OK the
// values are in fixedCpiX and fixedCpiY.
class CFixedCPI : public QDialog {
    Q_OBJECT
public:
    explicit CFixedCPI(QWidget* parent = nullptr);

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
    int x_ = 400;
    int y_ = 400;
};
