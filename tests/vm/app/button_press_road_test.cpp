// A button pressed on the mouse, through the real road: a pointer report of
// the uhid mouse's standard interface, the kernel's hidraw node (found and
// described by the kernel's own report descriptor) and the Button Mapping
// page's reader. Runs inside the test VM; elsewhere it skips.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "device/hid_transport.h"
#include "pages/button_mapping/button_mapping_page.h"
#include "pages/button_mapping/live_buttons.h"
#include "settings/settings_image.h"
#include "support/message_recorder.h"
#include "support/test_session.h"
#include "ui/mouse_drawing.h"
#include "vm/support/kernel_devices.h"
#include "vm/support/uhid_mouse_process.h"

namespace {

class ButtonPressRoadTest : public testing::Test, protected TestPageHost {
protected:
    void SetUp() override {
        if (access("/dev/uhid", W_OK) != 0) {
            GTEST_SKIP() << "no writable /dev/uhid: this test runs inside the VM "
                            "(ctest -R vm.real_kernel)";
        }
        SetHidTransport(nullptr);  // hidapi's hidraw backend
        LoadDefaultSettings(pendingSettings);
        LoadDefaultSettings(deviceSettings);
        mouse = std::make_unique<UhidMouseProcess>();
        ASSERT_NO_FATAL_FAILURE(PlugWithPointer(*mouse));
        page = std::make_unique<CMouseSet>(static_cast<PageHost&>(*this));
        page->LoadFromSettings();
        page->SetDeviceAvailable(true);
        page->show();
        ASSERT_TRUE(page->Live().Reading());
        ASSERT_EQ(mouse->Command("await-pointer-open"), "ok");
    }
    void TearDown() override {
        page.reset();
        mouse.reset();
    }

    // The row "Forward Button" as the user and a screen reader see it.
    bool ForwardRowLit() const {
        auto* label = page->findChild<QLabel*>("rowLabel3");
        auto* button = page->findChild<QPushButton*>("actionButton3");
        EXPECT_EQ(label->text(), "Forward Button");
        const bool pressed = QAccessible::queryAccessibleInterface(button)->state().pressed;
        return pressed && label->autoFillBackground() && page->Drawing()->Lit(MousePart::Forward);
    }

    MessageRecorder messages;
    std::unique_ptr<UhidMouseProcess> mouse;
    std::unique_ptr<CMouseSet> page;
};

TEST_F(ButtonPressRoadTest, ButtonBit4LightsTheForwardButtonWhileHeld) {
    // Button 5 of the HID button page, bit 4 of the report's button byte.
    ASSERT_EQ(mouse->Command("pointer-input 10"), "ok");
    EXPECT_TRUE(QTest::qWaitFor([&] { return ForwardRowLit(); }, kDeviceTimeoutMs));
    EXPECT_FALSE(page->Drawing()->Lit(MousePart::Back));
    // Moved while held: still lit.
    ASSERT_EQ(mouse->Command("pointer-input 10 01"), "ok");
    ASSERT_EQ(mouse->Command("pointer-input 00"), "ok");
    EXPECT_TRUE(QTest::qWaitFor([&] { return page->Live().LitSlots() == 0; }, kDeviceTimeoutMs));
    EXPECT_FALSE(page->Drawing()->Lit(MousePart::Forward));
}

}  // namespace
