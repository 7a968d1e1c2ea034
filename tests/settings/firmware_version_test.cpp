#include <gtest/gtest.h>

#include "settings/firmware_version.h"

TEST(FirmwareVersionText, HexDigitsReadAsDecimalUpToTheFirstLetter) {
    const struct {
        unsigned version;
        const char* text;
    } cases[] = {
        {0x0107, "V1.07"}, {0x1234, "V12.34"}, {0x01A3, "V0.01"}, {0xA107, "V0.00"}, {0, "V0.00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FirmwareVersionText(c.version), c.text) << std::hex << c.version;
    }
}
