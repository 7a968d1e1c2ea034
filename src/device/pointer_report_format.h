#pragma once

#include <cstdint>
#include <optional>
#include <span>

// Where a mouse's pointer report keeps its buttons, X, Y and wheel, as its
// HID report descriptor declares them. Mice differ: 8- or 16-bit axes,
// a report id or none, buttons packed with padding. Reading the descriptor
// rather than assuming a layout is what lets counts be summed exactly.
struct ReportField {
    uint32_t bitOffset = 0;  // from the first byte after the report id
    uint32_t bitSize = 0;    // 0: the report has no such field
    bool isSigned = false;   // the logical minimum is below zero
};

struct PointerReportFormat {
    uint8_t reportId = 0;  // 0: the reports carry no id byte
    ReportField x;
    ReportField y;
    ReportField wheel;
    uint32_t buttonsBitOffset = 0;
    uint32_t buttonCount = 0;  // buttons 1..N as bits 0..N-1
};

// One pointer report, decoded.
struct PointerReport {
    int32_t dx = 0;
    int32_t dy = 0;
    int32_t wheel = 0;
    uint32_t buttons = 0;  // bit 0 = button 1 (left)
};

// The layout of the first input report that carries relative X and Y of the
// generic desktop page; nothing when the descriptor has none or is malformed.
std::optional<PointerReportFormat> ParsePointerReportFormat(std::span<const uint8_t> descriptor);

// Decodes one report as read from the interface (with its id byte when the
// format has one); nothing for a report of another id or one too short.
std::optional<PointerReport> DecodePointerReport(const PointerReportFormat& format,
                                                 std::span<const uint8_t> report);
