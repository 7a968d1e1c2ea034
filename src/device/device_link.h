#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "device/hid_transport.h"
#include "settings/settings_image.h"

inline constexpr uint16_t kVendorId = 0x5B29;
inline constexpr uint16_t kProductId = 0x0C7E;

// Configuration interface: vendor page 0xFF01, usage 2.
inline constexpr uint16_t kConfigUsagePage = 0xFF01;
inline constexpr uint16_t kConfigUsage = 0x0002;
// Event interface: vendor page 0xFF02, usage 1.
inline constexpr uint16_t kEventUsagePage = 0xFF02;
inline constexpr uint16_t kEventUsage = 0x0001;

// Command report: id, command/status, firmware block at 16..29.
inline constexpr uint8_t kCommandReportId = 0xA1;
inline constexpr size_t kCommandReportSize = 64;
// Settings report: id, command/status, image at 16..1039.
inline constexpr uint8_t kSettingsReportId = 0xA0;
inline constexpr size_t kSettingsReportSize = 1041;
inline constexpr size_t kReportPayloadOffset = 16;
inline constexpr size_t kFirmwareBlockSize = 14;

inline constexpr uint8_t kCommandReadFirmware = 0x02;
inline constexpr uint8_t kCommandWriteSettings = 0x11;
inline constexpr uint8_t kCommandReadSettings = 0x12;
inline constexpr uint8_t kCommandFactoryReset = 0x13;

inline constexpr uint8_t kStatusDone = 1;
inline constexpr uint8_t kStatusBusy = 3;

// Whether an enumerated interface is one of this mouse's, with that top-level usage.
bool IsMouseInterface(const HidInterfaceInfo& info, uint16_t productId, uint16_t usagePage,
                      uint16_t usage);

// The image the last successful ReadSettings received.
extern SettingsImage lastReadImage;

bool FindDevice(uint16_t productId);

// The configuration interface of each connected mouse, in the system's order:
// one entry per mouse.
std::vector<HidInterfaceInfo> ListMice(uint16_t productId);
// From now on FindDevice opens only the configuration interface at `path`;
// empty = the first one that opens, as the window does.
void ChooseDevice(const std::string& path);

// What the last FindDevice met: the mouse opened, no configuration interface
// at all, or one that could not be opened (and why).
enum class FindResult { Found, NoMouse, AccessDenied, Gone, OpenFailed };
FindResult LastFindResult();
// The path of the interface the last successful FindDevice opened.
const std::string& FoundDevicePath();
// Closes the link's connection, at exit, before the transport behind it ends.
void ReleaseDevice();
bool SetFeatureReport(uint8_t* buffer, size_t length);
bool GetFeatureReport(uint8_t* buffer, size_t length);
// 1 read into lastReadImage; 2 failed.
int ReadSettings();
// The status fetched after the write (1 = success); 2 not sent; 0 no status fetched.
int WriteSettings(const SettingsRecord& record, uint16_t waitMs);
// 1 filled; 2 not sent; 255 no valid answer.
int ReadFirmwareInfo(std::array<uint8_t, kFirmwareBlockSize>& block);
// 1 done; 255 failed.
int FactoryReset();
// How many writes and resets the user's processes have sent to the mouse so
// far (see user_command_lock.h); taken in turn, so a write under way ends first.
uint64_t WritesByAnyProcess();
