#include "pages/button_mapping/live_buttons.h"

#include "device/mouse_session.h"
#include "pages/pointer_reading.h"
#include "settings/pointer_actions.h"

LiveButtons::LiveButtons(MouseSession& session, QObject* parent)
    : QObject(parent), session_(session) {
    glowTimer_.setSingleShot(true);
    glowTimer_.setInterval(kGlowMs);
    connect(&glowTimer_, &QTimer::timeout, this, &LiveButtons::EndGlow);
}

LiveButtons::~LiveButtons() {
    if (reader_) {
        reader_->Stop();
    }
}

void LiveButtons::SetDeviceAvailable(bool connected) {
    connected_ = connected;
    if (connected && shown_) {
        StartReading();
    } else {
        StopReading();
    }
}

void LiveButtons::SetShown(bool shown) {
    shown_ = shown;
    SetDeviceAvailable(connected_);
}

void LiveButtons::StartReading() {
    if (reader_ && !reader_->Gone()) {
        return;
    }
    StopReading();
    reader_ = ReadPointerFor(
        this, [this] { TakeReports(); }, PointerReader::SteadyNanoseconds, pause_);
}

void LiveButtons::StopReading() {
    reader_.reset();  // its end stops and joins the reading thread
    // Whatever was held when reading stopped may be let go unseen.
    glowTimer_.stop();
    Show(0, 0);
}

void LiveButtons::TakeReports() {
    if (!reader_) {
        return;
    }
    const std::vector<ReportBatch> batches = reader_->TakeBatches();
    if (batches.empty()) {
        return;
    }
    // The mouse acts on what it holds, not on what the page shows.
    const SettingsRecord& held = session_.deviceSettings;
    uint8_t stepped = 0;
    for (const ReportBatch& batch : batches) {
        stepped |= SlotsSending(held, batch.buttonsPressed, batch.wheel);
    }
    const uint8_t heldNow = SlotsSending(held, batches.back().buttonsHeld);
    // A wheel step or a click already let go: lit a moment, longer while it goes on.
    stepped &= static_cast<uint8_t>(~heldNow);
    if (stepped != 0) {
        glowTimer_.start();
    }
    const uint8_t glowing = (glowing_ | stepped) & static_cast<uint8_t>(~heldNow);
    Show(heldNow, glowing);
}

void LiveButtons::EndGlow() {
    glowTimer_.stop();
    Show(held_, 0);
}

void LiveButtons::Show(uint8_t held, uint8_t glowing) {
    const uint8_t before = LitSlots();
    held_ = held;
    glowing_ = glowing;
    if (LitSlots() != before) {
        emit LitSlotsChanged(LitSlots());
    }
}
