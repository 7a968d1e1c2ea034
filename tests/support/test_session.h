#pragma once

#include "device/mouse_session.h"
#include "pages/page_host.h"

// A test's own records, under the names the code and its comments use.
struct TestSession {
    MouseSession session;
    SettingsRecord& pendingSettings = session.pendingSettings;
    SettingsRecord& deviceSettings = session.deviceSettings;
    bool& deviceConnected = session.deviceConnected;
};

// A page on its own: records of its own and no mouse to write to.
class TestPageHost : public PageHost, public TestSession {
public:
    MouseSession& Session() override { return session; }
    void RefreshApplyState() override { ++refreshes; }
    bool WriteLevelChoice() override { return false; }
    bool WriteInProgress() const override { return false; }

    int refreshes = 0;
};
