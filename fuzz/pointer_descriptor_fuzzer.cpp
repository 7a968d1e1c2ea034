// A mouse's HID report descriptor comes from the device: whatever it holds
// must give a layout or nothing, never a crash or a read outside a report.
#include <cstddef>
#include <cstdint>
#include <span>

#include "device/pointer_report_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    if (const auto format = ParsePointerReportFormat(bytes)) {
        // Its own bytes, as a report of every length, must decode within bounds.
        for (size_t length = 0; length <= size && length <= 64; ++length) {
            (void)DecodePointerReport(*format, bytes.first(length));
        }
    }
    return 0;
}
