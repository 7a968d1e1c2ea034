#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The mouse keeps everything the tool can configure in one 1024-byte image,
// 16-bit values little-endian. Only bytes 0 and 5..114 carry fields.
using SettingsImage = std::array<uint8_t, 1024>;

inline constexpr size_t kSettingsImageSize = 1024;
inline constexpr size_t kSettingsFieldEnd = 115;  // first byte after the last field
inline constexpr int kCpiLevelCount = 4;
inline constexpr int kButtonSlotCount = 8;
inline constexpr int kOpaqueBlockSize = 20;

struct CpiLevel {
    uint8_t separateXY;
    uint16_t x;
    uint16_t y;
};

struct ButtonAction {
    uint8_t kind;
    uint8_t code;
    uint16_t x;
    uint16_t y;
    uint8_t filter;
};

// The decoded image. No field is validated: whatever the mouse sends is held
// and written back unchanged; range rules belong to the pages.
struct SettingsRecord {
    uint8_t opaque0;
    uint8_t pollingRateCode;
    uint8_t featureFlags;
    uint8_t multiclickAcknowledged;
    uint8_t activeCpiLevel;
    uint8_t cpiLevelCount;
    uint8_t opaque7;
    std::array<CpiLevel, kCpiLevelCount> cpiLevels;
    uint8_t liftOffLed;
    uint8_t liftOffDistance;
    uint8_t angleSnapping;
    uint8_t sensorTuning;
    uint8_t motionSync;
    uint8_t glassMode;
    int8_t sensorAngle;
    uint8_t forceMaxFps;
    std::array<ButtonAction, kButtonSlotCount> buttons;
    std::array<uint8_t, kOpaqueBlockSize> opaqueBlock;
};

// featureFlags bits the pages edit; the other bits are carried through.
inline constexpr uint8_t kSlamclickFilterFlag = 0x01;
inline constexpr uint8_t kMotionJitterFilterFlag = 0x10;

void DecodeSettingsImage(const SettingsImage& image, SettingsRecord& record);
void EncodeSettingsImage(const SettingsRecord& record, SettingsImage& image);
// Sets every field but opaqueBlock, which keeps what the mouse sent.
void LoadDefaultSettings(SettingsRecord& record);
bool SettingsDiffer(const SettingsRecord& a, const SettingsRecord& b);
