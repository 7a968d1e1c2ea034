#pragma once

#include <QKeyEvent>
#include <QString>
#include <QWidget>
#include <cstdint>

#include "device/mouse_session.h"
#include "pages/page_host.h"
#include "ui/dialog_keys.h"

// One page of the main window. The window keeps a list of them and treats
// them all alike; a new page implements this and is added where the pages
// are created (app/settings_pages.cpp).
class SettingsPage : public QWidget {
    Q_OBJECT
public:
    explicit SettingsPage(PageHost& host, QWidget* parent = nullptr)
        : QWidget(parent), host_(host) {}

    // The tab's text.
    virtual QString Title() const = 0;
    // Shows pendingSettings.
    virtual void LoadFromSettings() = 0;
    // Collects into pendingSettings what the page keeps apart from it (APPLY).
    virtual void StoreToSettings() {}
    // The mouse came or went: the controls follow.
    virtual void SetDeviceAvailable(bool connected) = 0;
    // A change made with the mouse's own buttons, on the UI thread.
    virtual void OnDeviceEvent(uint8_t /*code*/, uint8_t /*value*/) {}
    // The mouse confirmed a write of pendingSettings.
    virtual void OnSettingsWritten() {}

protected:
    // Enter and Escape neither close the window nor reset the page.
    void keyPressEvent(QKeyEvent* event) override {
        if (!SwallowEnterAndEscape(event)) {
            QWidget::keyPressEvent(event);
        }
    }

    MouseSession& Session() { return host_.Session(); }
    void RefreshApplyState() { host_.RefreshApplyState(); }

    PageHost& host_;
};
