#pragma once

#include <QDialog>
#include <QTimer>
#include <memory>
#include <optional>
#include <vector>

#include "device/cpi_check.h"

class CpiCheckPicture;
class MouseSession;
class PointerReader;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QListWidget;
class QPushButton;

// "CPI check": the mouse is moved along a ruler a known distance, and the
// counts of its own pointer reports give the CPI its sensor really has,
// beside the CPI the active level is set to (what the mouse holds).
//
// A stroke starts and ends with Space or a click on the stroke button, or
// runs while that button is held: a press starts it, and a release after the
// mouse moved ends it. The pointer is read only while the dialog is open.
class CpiCheckDialog : public QDialog {
    Q_OBJECT
public:
    // Readings of the counts a second while a stroke runs.
    static constexpr int kReadingMs = 100;

    explicit CpiCheckDialog(MouseSession& session, QWidget* parent = nullptr);
    ~CpiCheckDialog() override;

    bool Measuring() const { return measuring_; }
    bool Reading() const { return reader_ != nullptr; }
    // Takes the counts read so far, as the timer does (tests); between
    // strokes it lets them go.
    void TakeReading();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildLayout();
    void ConnectSignals();
    void StartReading();
    void StopReading();

    void OnStrokePressed();
    void OnStrokeReleased();
    void StartStroke();
    void FinishStroke();
    void ClearStrokes();
    void OnUnitChosen(int index);
    void OnDistanceChanged();

    double DistanceInches() const;
    bool InInches() const;
    void ShowSetCpi();
    void ShowStrokes();
    void ShowStatus(const QString& text);

    MouseSession& session_;
    std::unique_ptr<PointerReader> reader_;
    QTimer timer_;
    bool measuring_ = false;
    bool startedByPress_ = false;
    Stroke stroke_;
    double strokeInches_ = 0;
    std::vector<StrokeResult> results_;
    // The set CPI the strokes so far were made at.
    std::optional<SetCpi> resultsSet_;

    QLabel* setLabel_ = nullptr;
    QLabel* instructionsLabel_ = nullptr;
    CpiCheckPicture* picture_ = nullptr;
    QDoubleSpinBox* distanceField_ = nullptr;
    QComboBox* unitList_ = nullptr;
    QPushButton* strokeButton_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QListWidget* resultsList_ = nullptr;
    QLabel* summaryLabel_ = nullptr;
    QLabel* meaningLabel_ = nullptr;
    QPushButton* clearButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
};
