#include "vm/support/pointer_plug.h"

#include <gtest/gtest.h>

#include "device/device_link.h"
#include "device/hid_transport.h"
#include "device/pointer_reader.h"
#include "vm/support/kernel_devices.h"

bool PointerListed() {
    for (const HidInterfaceInfo& info : CurrentHidTransport().Enumerate(kVendorId, kProductId)) {
        if (IsMouseInterface(info, kProductId, kPointerUsagePage, kPointerUsage))
            return true;
    }
    return false;
}

void PlugWithPointer(UhidMouseProcess& mouse) {
    ASSERT_TRUE(mouse.running()) << mouse.error();
    ASSERT_EQ(mouse.Command("plug"), "ok");
    ASSERT_EQ(mouse.Command("pointer plug"), "ok");
    ASSERT_TRUE(WaitUntil(PointerListed, kDeviceTimeoutMs))
        << "hidapi does not list the pointer interface";
}
