#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <memory>

#include "device/pointer_reader.h"

class MouseSession;

// Which of the mouse's buttons are pressed now, from its pointer reports:
// the Button Mapping page lights them. A button lights while its report
// says it is held; a wheel step, or a click that came and went between two
// readings, lights for kGlowMs.
//
// It reads the mouse only while the page is shown and the mouse is there.
// Nothing runs meanwhile: the reader waits in a read without a time limit,
// and the timer runs only while something glows.
class LiveButtons : public QObject {
    Q_OBJECT
public:
    static constexpr int kGlowMs = 200;

    explicit LiveButtons(MouseSession& session, QObject* parent = nullptr);
    ~LiveButtons() override;

    void SetDeviceAvailable(bool connected);
    void SetShown(bool shown);
    bool Reading() const { return reader_ != nullptr; }
    // The slots lit now: bit k = slot k.
    uint8_t LitSlots() const { return held_ | glowing_; }
    // Takes the reports read so far, as a wake of the reader does (tests).
    void TakeReports();
    // Ends the glow now, as its timer does (tests).
    void EndGlow();
    // The pause between rounds of later readers (tests).
    void SetPause(PointerReader::Pause pause) { pause_ = std::move(pause); }

signals:
    void LitSlotsChanged(uint8_t lit);

private:
    void StartReading();
    void StopReading();
    void Show(uint8_t held, uint8_t glowing);

    MouseSession& session_;
    bool connected_ = false;
    bool shown_ = false;
    PointerReader::Pause pause_;
    std::unique_ptr<PointerReader> reader_;
    uint8_t held_ = 0;
    uint8_t glowing_ = 0;
    QTimer glowTimer_;
};
