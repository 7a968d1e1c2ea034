#pragma once

#include <QWidget>
#include <optional>

// The CPI check's picture: a ruler, the mouse at its start mark, the stroke's
// end mark and an arrow to it. While a stroke is measured the mouse moves
// along the ruler by the distance its counts stand for at the set CPI, so the
// user sees the counts arrive. Drawn in the palette's colours.
class CpiCheckPicture : public QWidget {
    Q_OBJECT
public:
    explicit CpiCheckPicture(QWidget* parent = nullptr);

    // The stroke's length, and whether the ruler is read in inches.
    void SetDistance(double inches, bool inInches);
    // How far the mouse has come, in inches; nothing between strokes.
    void SetTravelled(std::optional<double> inches);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Describe();

    double distanceInches_ = 0;
    bool inInches_ = false;
    std::optional<double> travelled_;
};
