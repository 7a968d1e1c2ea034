#include "settings/settings_image.h"

#include <algorithm>

namespace {

// Image offsets of the fields.
constexpr size_t kOpaque0 = 0;
constexpr size_t kPollingRateCode = 5;
constexpr size_t kFeatureFlags = 6;
constexpr size_t kOpaque7 = 7;
constexpr size_t kLiftOffLed = 8;
constexpr size_t kLiftOffDistance = 9;
constexpr size_t kAngleSnapping = 10;
constexpr size_t kSensorTuning = 11;
constexpr size_t kMotionSync = 12;
constexpr size_t kActiveCpiLevel = 13;
constexpr size_t kCpiLevelCountByte = 14;
constexpr size_t kOpaqueBlock = 15;
constexpr size_t kCpiLevels = 35;
constexpr size_t kCpiLevelStride = 5;
constexpr size_t kButtons = 55;
constexpr size_t kButtonStride = 7;
constexpr size_t kGlassMode = 111;
constexpr size_t kSensorAngle = 112;
constexpr size_t kForceMaxFps = 113;
constexpr size_t kMulticlickAcknowledged = 114;

uint16_t ReadU16(const SettingsImage& image, size_t offset) {
    return static_cast<uint16_t>(image[offset] | (image[offset + 1] << 8));
}

void WriteU16(SettingsImage& image, size_t offset, uint16_t value) {
    image[offset] = static_cast<uint8_t>(value & 0xFF);
    image[offset + 1] = static_cast<uint8_t>(value >> 8);
}

struct DefaultButton {
    uint8_t kind;
    uint8_t code;
};

// Left, right, middle, forward, back, CPI loop, scroll up, scroll down.
constexpr std::array<DefaultButton, kButtonSlotCount> kDefaultButtons{{
    {0x00, 0x01},
    {0x00, 0x02},
    {0x00, 0x04},
    {0x00, 0x10},
    {0x00, 0x08},
    {0x09, 0xF1},
    {0x01, 0x01},
    {0x01, 0xFF},
}};
constexpr std::array<uint16_t, kCpiLevelCount> kDefaultCpi{400, 800, 1600, 3200};
constexpr uint8_t kDefaultFilter = 8;

}  // namespace

void DecodeSettingsImage(const SettingsImage& image, SettingsRecord& record) {
    record.opaque0 = image[kOpaque0];
    record.pollingRateCode = image[kPollingRateCode];
    record.featureFlags = image[kFeatureFlags];
    record.opaque7 = image[kOpaque7];
    record.liftOffLed = image[kLiftOffLed];
    record.liftOffDistance = image[kLiftOffDistance];
    record.angleSnapping = image[kAngleSnapping];
    record.sensorTuning = image[kSensorTuning];
    record.motionSync = image[kMotionSync];
    record.activeCpiLevel = image[kActiveCpiLevel];
    record.cpiLevelCount = image[kCpiLevelCountByte];
    std::copy_n(image.begin() + kOpaqueBlock, kOpaqueBlockSize, record.opaqueBlock.begin());
    for (size_t n = 0; n < kCpiLevelCount; ++n) {
        const size_t base = kCpiLevels + kCpiLevelStride * n;
        record.cpiLevels[n] = {image[base], ReadU16(image, base + 1), ReadU16(image, base + 3)};
    }
    for (size_t k = 0; k < kButtonSlotCount; ++k) {
        const size_t base = kButtons + kButtonStride * k;
        record.buttons[k] = {image[base], image[base + 1], ReadU16(image, base + 2),
                             ReadU16(image, base + 4), image[base + 6]};
    }
    record.glassMode = image[kGlassMode];
    record.sensorAngle = static_cast<int8_t>(image[kSensorAngle]);
    record.forceMaxFps = image[kForceMaxFps];
    record.multiclickAcknowledged = image[kMulticlickAcknowledged];
}

void EncodeSettingsImage(const SettingsRecord& record, SettingsImage& image) {
    image.fill(0);
    image[kOpaque0] = record.opaque0;
    image[kPollingRateCode] = record.pollingRateCode;
    image[kFeatureFlags] = record.featureFlags;
    image[kOpaque7] = record.opaque7;
    image[kLiftOffLed] = record.liftOffLed;
    image[kLiftOffDistance] = record.liftOffDistance;
    image[kAngleSnapping] = record.angleSnapping;
    image[kSensorTuning] = record.sensorTuning;
    image[kMotionSync] = record.motionSync;
    image[kActiveCpiLevel] = record.activeCpiLevel;
    image[kCpiLevelCountByte] = record.cpiLevelCount;
    std::copy(record.opaqueBlock.begin(), record.opaqueBlock.end(), image.begin() + kOpaqueBlock);
    for (size_t n = 0; n < kCpiLevelCount; ++n) {
        const size_t base = kCpiLevels + kCpiLevelStride * n;
        image[base] = record.cpiLevels[n].separateXY;
        WriteU16(image, base + 1, record.cpiLevels[n].x);
        WriteU16(image, base + 3, record.cpiLevels[n].y);
    }
    for (size_t k = 0; k < kButtonSlotCount; ++k) {
        const size_t base = kButtons + kButtonStride * k;
        const ButtonAction& action = record.buttons[k];
        image[base] = action.kind;
        image[base + 1] = action.code;
        WriteU16(image, base + 2, action.x);
        WriteU16(image, base + 4, action.y);
        image[base + 6] = action.filter;
    }
    image[kGlassMode] = record.glassMode;
    image[kSensorAngle] = static_cast<uint8_t>(record.sensorAngle);
    image[kForceMaxFps] = record.forceMaxFps;
    image[kMulticlickAcknowledged] = record.multiclickAcknowledged;
}

void LoadDefaultSettings(SettingsRecord& record) {
    record.opaque0 = 0;
    record.pollingRateCode = 1;
    record.featureFlags = kSlamclickFilterFlag;
    record.multiclickAcknowledged = 0;
    record.activeCpiLevel = 1;
    record.cpiLevelCount = 4;
    record.opaque7 = 0;
    for (size_t n = 0; n < kCpiLevelCount; ++n) {
        record.cpiLevels[n] = {0, kDefaultCpi[n], kDefaultCpi[n]};
    }
    record.liftOffLed = 1;
    record.liftOffDistance = 3;
    record.angleSnapping = 0;
    record.sensorTuning = 0;
    record.motionSync = 0;
    record.glassMode = 0;
    record.sensorAngle = 0;
    record.forceMaxFps = 0;
    for (size_t k = 0; k < kButtonSlotCount; ++k) {
        record.buttons[k] = {kDefaultButtons[k].kind, kDefaultButtons[k].code, 0, 0,
                             kDefaultFilter};
    }
}

bool SettingsDiffer(const SettingsRecord& a, const SettingsRecord& b) {
    SettingsImage imageA;
    SettingsImage imageB;
    EncodeSettingsImage(a, imageA);
    EncodeSettingsImage(b, imageB);
    return !std::equal(imageA.begin(), imageA.begin() + kSettingsFieldEnd, imageB.begin());
}
