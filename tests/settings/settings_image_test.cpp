#include "settings/settings_image.h"
#include "device/device_link.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

SettingsRecord DefaultsFromZero() {
    SettingsRecord record{};
    LoadDefaultSettings(record);
    return record;
}

TEST(SettingsImage, DefaultsEncodeToTheKnownImage) {
    const std::vector<uint8_t> expected = {
        0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x01, 0x00, 0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x04,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x90, 0x01, 0x90, 0x01, 0x00, 0x20, 0x03, 0x20, 0x03,
        0x00, 0x40, 0x06, 0x40, 0x06, 0x00, 0x80, 0x0C, 0x80, 0x0C, 0x00, 0x01, 0x00, 0x00, 0x00,
        0x00, 0x08, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00,
        0x08, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x08,
        0x09, 0xF1, 0x00, 0x00, 0x00, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x08, 0x01,
        0xFF, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00};
    ASSERT_EQ(expected.size(), kSettingsFieldEnd);

    SettingsImage image;
    image.fill(0xEE);  // encoding must overwrite every byte
    EncodeSettingsImage(DefaultsFromZero(), image);

    for (size_t i = 0; i < kSettingsImageSize; ++i) {
        const uint8_t want = i < expected.size() ? expected[i] : 0;
        ASSERT_EQ(image[i], want) << "byte " << i;
    }
}

TEST(SettingsImage, RandomImagesRoundTripFieldBytesAndZeroTheRest) {
    std::mt19937 random(20261210);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int run = 0; run < 200; ++run) {
        SettingsImage original;
        for (uint8_t& b : original) {
            b = static_cast<uint8_t>(byte(random));
        }
        SettingsRecord record{};
        DecodeSettingsImage(original, record);
        SettingsImage encoded;
        EncodeSettingsImage(record, encoded);

        for (size_t i = 0; i < kSettingsImageSize; ++i) {
            const bool field = i == 0 || (i >= 5 && i < kSettingsFieldEnd);
            ASSERT_EQ(encoded[i], field ? original[i] : 0) << "run " << run << " byte " << i;
        }
    }
}

TEST(SettingsImage, SixteenBitValuesAreLittleEndianAndTheAngleIsSigned) {
    SettingsRecord record = DefaultsFromZero();
    record.cpiLevels[2].x = 400;
    record.cpiLevels[2].y = 3200;
    record.buttons[7].x = 0x1234;
    record.sensorAngle = -5;
    SettingsImage image;
    EncodeSettingsImage(record, image);

    EXPECT_EQ(image[36 + 10], 0x90);
    EXPECT_EQ(image[37 + 10], 0x01);
    EXPECT_EQ(image[38 + 10], 0x80);
    EXPECT_EQ(image[39 + 10], 0x0C);
    EXPECT_EQ(image[57 + 49], 0x34);
    EXPECT_EQ(image[58 + 49], 0x12);
    EXPECT_EQ(image[112], 0xFB);

    SettingsRecord decoded{};
    DecodeSettingsImage(image, decoded);
    EXPECT_EQ(decoded.sensorAngle, -5);
    EXPECT_EQ(decoded.cpiLevels[2].y, 3200);
    EXPECT_EQ(decoded.buttons[7].x, 0x1234);
}

TEST(SettingsImage, OutOfRangeValuesAreHeldUnchanged) {
    SettingsImage image{};
    image[13] = 7;     // activeCpiLevel
    image[14] = 0;     // cpiLevelCount
    image[5] = 0x99;   // pollingRateCode
    image[61] = 0xF7;  // buttons[0].filter
    SettingsRecord record{};
    DecodeSettingsImage(image, record);
    EXPECT_EQ(record.activeCpiLevel, 7);
    EXPECT_EQ(record.cpiLevelCount, 0);
    EXPECT_EQ(record.pollingRateCode, 0x99);
    EXPECT_EQ(record.buttons[0].filter, 0xF7);

    SettingsImage again;
    EncodeSettingsImage(record, again);
    EXPECT_EQ(again, image);
}

TEST(SettingsImage, DefaultsKeepTheOpaqueBlock) {
    SettingsRecord record{};
    for (int i = 0; i < kOpaqueBlockSize; ++i) {
        record.opaqueBlock[i] = static_cast<uint8_t>(0xA0 + i);
    }
    record.opaque0 = 0x55;
    LoadDefaultSettings(record);
    for (int i = 0; i < kOpaqueBlockSize; ++i) {
        EXPECT_EQ(record.opaqueBlock[i], 0xA0 + i);
    }
    EXPECT_EQ(record.opaque0, 0);
    EXPECT_EQ(DefaultsFromZero().opaqueBlock, (std::array<uint8_t, kOpaqueBlockSize>{}));
}

TEST(SettingsImage, DifferSeesEveryField) {
    const SettingsRecord base = DefaultsFromZero();
    EXPECT_FALSE(SettingsDiffer(base, base));

    SettingsRecord acknowledged = base;
    acknowledged.multiclickAcknowledged = 1;
    EXPECT_TRUE(SettingsDiffer(base, acknowledged));

    SettingsRecord opaque = base;
    opaque.opaqueBlock[19] = 1;
    EXPECT_TRUE(SettingsDiffer(base, opaque));

    SettingsRecord filter = base;
    filter.buttons[6].filter = 9;
    EXPECT_TRUE(SettingsDiffer(base, filter));
}

TEST(SettingsImage, ProcessWideStateStartsZeroFilled) {
    // Nothing in this program writes the image the link last read.
    EXPECT_EQ(lastReadImage, SettingsImage{});
}

}  // namespace
