// Who may open the mouse, on a real kernel with a real systemd-udevd: a user
// without access is told so (and why), a user given access by the project's
// udev rule connects and reads the settings. The tool's device code runs as
// an unprivileged user in a child process (RunAsUser); the uhid mouse and
// udev's rules stay with root, as on a desktop.
//
// How access is granted inside the VM: the project's rule only tags the
// mouse's hidraw nodes "uaccess"; on a desktop, logind's seat then gives the
// user at the seat an ACL on them. The VM has no logind and no seat, so the
// tag alone grants nothing and the nodes stay root-only (0600). The VM also
// installs tests/vm/72-kestrine-vm-seat.rules, which stands in for the seat:
// while /run/kestrine-vm-seat exists ("a user is at the seat"), it hands every
// node carrying the uaccess tag to the test user's group (GROUP 4242, MODE
// 0660). Keyed on the tag, it grants nothing unless the project's rule matched.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "device/device_link.h"
#include "device/find_result_text.h"
#include "device/mouse_firmware.h"
#include "settings/settings_image.h"
#include "vm/support/as_user.h"
#include "vm/support/kernel_devices.h"
#include "vm/support/uhid_mouse_process.h"

namespace {

// A user and group without an account in the VM: the device code needs none.
constexpr uid_t kTestUser = 4242;
constexpr gid_t kTestGroup = 4242;

// While this file exists, the seat's stand-in grants access (see above).
constexpr char kSeatFlag[] = "/run/kestrine-vm-seat";

std::string FindResultName(FindResult result) {
    switch (result) {
        case FindResult::Found:
            return "Found";
        case FindResult::NoMouse:
            return "NoMouse";
        case FindResult::AccessDenied:
            return "AccessDenied";
        case FindResult::Gone:
            return "Gone";
        case FindResult::OpenFailed:
            break;
    }
    return "OpenFailed";
}

// What the tool's device code meets, run as the test user.
struct UserView {
    bool found = false;
    std::string findResult;
    std::string findText;
    unsigned firmwareVersion = 0;  // 0 = not read
    std::string settings;          // the image read, in hex; empty = not read
};

UserView ViewAsTestUser() {
    const std::string answer = RunAsUser(kTestUser, kTestGroup, [] {
        SetHidTransport(nullptr);  // hidapi's hidraw backend
        std::ostringstream out;
        out << FindDevice(kProductId) << '\n' << FindResultName(LastFindResult()) << '\n';
        std::array<uint8_t, kFirmwareBlockSize> block{};
        out << (ReadFirmwareInfo(block) == 1 ? block[1] + 256u * block[2] : 0u) << '\n';
        out << (ReadSettings() == 1 ? Hex(lastReadImage) : "") << '\n';
        // Last, since the words may take more than one line.
        out << FindResultText(LastFindResult());
        ReleaseDevice();
        return out.str();
    });
    UserView view;
    if (answer.rfind("error", 0) == 0) {
        view.findText = answer;
        return view;
    }
    std::istringstream in(answer);
    std::string found;
    std::getline(in, found);
    std::getline(in, view.findResult);
    in >> view.firmwareVersion;
    in.ignore(1);
    std::getline(in, view.settings);
    std::getline(in, view.findText, '\0');
    view.found = found == "1";
    return view;
}

bool RootOnly(const std::string& node) {
    struct stat status {};
    return stat(node.c_str(), &status) == 0 && status.st_uid == 0 && status.st_gid == 0 &&
           (status.st_mode & 077) == 0;
}

class UserAccessTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (access("/dev/uhid", W_OK) != 0 || getuid() != 0) {
            GTEST_SKIP() << "needs root and a writable /dev/uhid: these tests run inside the VM "
                            "(ctest -R vm.real_kernel)";
        }
        ASSERT_EQ(access("/etc/udev/rules.d/70-kestrine-xq3.rules", R_OK), 0)
            << "the VM did not install packaging/70-kestrine-xq3.rules";
        mouse_ = std::make_unique<UhidMouseProcess>();
        ASSERT_TRUE(mouse_->running()) << mouse_->error();
    }

    void TearDown() override { mouse_.reset(); }

    // Plugs the mouse and waits until udev has applied its rules to it.
    void PlugAndSettle() {
        ASSERT_EQ(mouse_->Command("plug"), "ok");
        ASSERT_TRUE(WaitUntil([] { return HidrawNodes(kVendorId, kProductId).size() == 2; },
                              kDeviceTimeoutMs));
        CommandOutput("udevadm settle --timeout=10");
    }

    std::unique_ptr<UhidMouseProcess> mouse_;
};

TEST_F(UserAccessTest, WithoutTheSeatTheUserIsToldAccessIsDenied) {
    ASSERT_NO_FATAL_FAILURE(PlugAndSettle());
    for (const std::string& node : HidrawNodes(kVendorId, kProductId)) {
        ASSERT_TRUE(RootOnly(node)) << node << ": precondition, the node is root-only";
    }

    const UserView view = ViewAsTestUser();
    EXPECT_FALSE(view.found);
    EXPECT_EQ(view.findResult, "AccessDenied") << view.findText;
    // The words name the cause and its cure.
    EXPECT_NE(view.findText.find("this user may not open it"), std::string::npos) << view.findText;
    EXPECT_NE(view.findText.find("70-kestrine-xq3.rules"), std::string::npos) << view.findText;
    EXPECT_EQ(view.firmwareVersion, 0u);
    EXPECT_TRUE(view.settings.empty()) << "settings read without access";
}

class GrantedTest : public UserAccessTest {
protected:
    void SetUp() override {
        UserAccessTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        ASSERT_EQ(access("/etc/udev/rules.d/72-kestrine-vm-seat.rules", R_OK), 0)
            << "the VM did not install the seat's stand-in";
        ASSERT_TRUE(std::ofstream(kSeatFlag).good()) << "cannot put a user at the seat";
    }

    void TearDown() override {
        UserAccessTest::TearDown();
        std::remove(kSeatFlag);
    }
};

TEST_F(GrantedTest, TheUserAtTheSeatConnectsAndReadsTheSettings) {
    // The user's own settings, so that a read of factory defaults cannot pass.
    SettingsRecord own{};
    LoadDefaultSettings(own);
    own.cpiLevels[2].x = own.cpiLevels[2].y = 2350;
    own.liftOffDistance ^= 1;
    SettingsImage image{};
    EncodeSettingsImage(own, image);
    ASSERT_NE(image, MouseFirmware::FactoryImage());
    ASSERT_EQ(mouse_->SetMemory(image), "ok");
    ASSERT_NO_FATAL_FAILURE(PlugAndSettle());

    const UserView view = ViewAsTestUser();
    EXPECT_TRUE(view.found) << view.findText;
    EXPECT_EQ(view.findResult, "Found");
    EXPECT_EQ(view.findText, FindResultText(FindResult::Found));
    EXPECT_EQ(view.firmwareVersion, 0x0107u);
    EXPECT_TRUE(view.settings == Hex(image))
        << (view.settings.empty() ? "no settings read" : "read other settings than the mouse's");
}

}  // namespace
