#include "device/pointer_report_format.h"

#include <algorithm>
#include <map>
#include <vector>

namespace {

constexpr uint16_t kGenericDesktopPage = 0x01;
constexpr uint16_t kButtonPage = 0x09;
constexpr uint16_t kUsageX = 0x30;
constexpr uint16_t kUsageY = 0x31;
constexpr uint16_t kUsageWheel = 0x38;
constexpr uint32_t kMostButtons = 32;
// No pointer report comes near this; a descriptor that does is not trusted.
constexpr uint32_t kLongestReportBits = 8 * 4096;

// Main item flags of an Input item.
constexpr uint32_t kConstant = 0x01;
constexpr uint32_t kVariable = 0x02;
constexpr uint32_t kRelative = 0x04;

struct Globals {
    uint16_t usagePage = 0;
    int32_t logicalMinimum = 0;
    uint32_t reportSize = 0;
    uint32_t reportCount = 0;
    uint8_t reportId = 0;
};

// Usages as a local item names them: with their page when given in four
// bytes, otherwise the page is the one current at the main item.
struct Locals {
    std::vector<uint32_t> usages;
    std::optional<uint32_t> minimum;
    std::optional<uint32_t> maximum;
    bool ownPage = false;  // the usages above carry their page

    uint32_t UsageOf(uint32_t index, uint16_t page) const {
        uint32_t usage = 0;
        if (minimum && maximum) {
            usage = std::min(*minimum + index, *maximum);
        } else if (!usages.empty()) {
            usage = usages[std::min<size_t>(index, usages.size() - 1)];
        }
        return usage > 0xFFFF ? usage : (uint32_t{page} << 16) | usage;
    }
};

struct Item {
    uint8_t type = 0;  // 0 main, 1 global, 2 local
    uint8_t tag = 0;
    uint32_t data = 0;
    uint32_t size = 0;  // bytes of data

    int32_t SignedData() const {
        if (size == 0 || size >= 4) {
            return static_cast<int32_t>(data);
        }
        const uint32_t sign = 1u << (size * 8 - 1);
        return static_cast<int32_t>((data ^ sign) - sign);
    }
};

// The next short item at `at`, skipping long ones; nothing at the end or when truncated.
std::optional<Item> NextItem(std::span<const uint8_t> bytes, size_t& at) {
    while (at < bytes.size()) {
        const uint8_t prefix = bytes[at];
        if (prefix == 0xFE) {  // long item: size, tag, data
            if (at + 2 >= bytes.size()) {
                return std::nullopt;
            }
            at += 3 + bytes[at + 1];
            continue;
        }
        static constexpr uint32_t kSizes[] = {0, 1, 2, 4};
        Item item{static_cast<uint8_t>((prefix >> 2) & 3), static_cast<uint8_t>(prefix >> 4), 0,
                  kSizes[prefix & 3]};
        if (at + 1 + item.size > bytes.size()) {
            return std::nullopt;
        }
        for (uint32_t n = 0; n < item.size; ++n) {
            item.data |= uint32_t{bytes[at + 1 + n]} << (8 * n);
        }
        at += 1 + item.size;
        return item;
    }
    return std::nullopt;
}

class DescriptorWalk {
public:
    bool Take(const Item& item) {
        switch (item.type) {
            case 0:
                return TakeMain(item);
            case 1:
                return TakeGlobal(item);
            case 2:
                TakeLocal(item);
                return true;
            default:
                return false;  // reserved
        }
    }

    std::optional<PointerReportFormat> Found() const {
        for (const uint8_t id : order_) {
            const PointerReportFormat& format = formats_.at(id);
            if (format.x.bitSize > 0 && format.y.bitSize > 0) {
                return format;
            }
        }
        return std::nullopt;
    }

private:
    bool TakeMain(const Item& item) {
        if (item.tag == 0x8) {  // Input
            if (!TakeInput(item.data)) {
                return false;
            }
        }
        locals_ = {};  // every main item ends the local ones
        return true;
    }

    bool TakeGlobal(const Item& item) {
        switch (item.tag) {
            case 0x0:
                globals_.usagePage = static_cast<uint16_t>(item.data);
                break;
            case 0x1:
                globals_.logicalMinimum = item.SignedData();
                break;
            case 0x7:
                globals_.reportSize = item.data;
                break;
            case 0x8:
                if (item.data == 0 || item.data > 0xFF) {
                    return false;
                }
                globals_.reportId = static_cast<uint8_t>(item.data);
                break;
            case 0x9:
                globals_.reportCount = item.data;
                break;
            case 0xA:
                stack_.push_back(globals_);
                break;
            case 0xB:
                if (stack_.empty()) {
                    return false;
                }
                globals_ = stack_.back();
                stack_.pop_back();
                break;
            default:
                break;
        }
        return true;
    }

    void TakeLocal(const Item& item) {
        const uint32_t usage = item.size == 4 ? item.data : item.data & 0xFFFF;
        switch (item.tag) {
            case 0x0:
                locals_.usages.push_back(usage);
                break;
            case 0x1:
                locals_.minimum = usage;
                break;
            case 0x2:
                locals_.maximum = usage;
                break;
            default:
                break;
        }
    }

    bool TakeInput(uint32_t flags) {
        const uint32_t size = globals_.reportSize;
        const uint32_t count = globals_.reportCount;
        if (size > 32 || count > kLongestReportBits) {
            return false;
        }
        if (!formats_.contains(globals_.reportId)) {
            order_.push_back(globals_.reportId);
            formats_[globals_.reportId].reportId = globals_.reportId;
        }
        PointerReportFormat& format = formats_[globals_.reportId];
        uint32_t& offset = inputBits_[globals_.reportId];
        for (uint32_t n = 0; n < count; ++n, offset += size) {
            if (offset + size > kLongestReportBits) {
                return false;
            }
            if ((flags & kConstant) || !(flags & kVariable)) {
                continue;  // padding, or an array of usages: no button or axis of ours
            }
            Place(format, locals_.UsageOf(n, globals_.usagePage), offset, size, flags);
        }
        return true;
    }

    void Place(PointerReportFormat& format, uint32_t usage, uint32_t offset, uint32_t size,
               uint32_t flags) const {
        const uint16_t page = usage >> 16;
        const uint16_t id = usage & 0xFFFF;
        const ReportField field{offset, size, globals_.logicalMinimum < 0};
        if (page == kButtonPage && size == 1 && id >= 1 && id <= kMostButtons &&
            offset >= id - 1u) {
            if (format.buttonCount == 0 || id == 1) {
                format.buttonsBitOffset = offset - (id - 1);
            }
            format.buttonCount = std::max<uint32_t>(format.buttonCount, id);
        } else if (page == kGenericDesktopPage && (flags & kRelative)) {
            if (id == kUsageX && format.x.bitSize == 0) {
                format.x = field;
            } else if (id == kUsageY && format.y.bitSize == 0) {
                format.y = field;
            } else if (id == kUsageWheel && format.wheel.bitSize == 0) {
                format.wheel = field;
            }
        }
    }

    Globals globals_;
    std::vector<Globals> stack_;
    Locals locals_;
    std::map<uint8_t, PointerReportFormat> formats_;
    std::map<uint8_t, uint32_t> inputBits_;
    std::vector<uint8_t> order_;
};

uint32_t Bits(std::span<const uint8_t> data, uint32_t offset, uint32_t size) {
    uint32_t value = 0;
    for (uint32_t bit = 0; bit < size; ++bit) {
        const uint32_t at = offset + bit;
        value |= uint32_t{(data[at / 8] >> (at % 8)) & 1u} << bit;
    }
    return value;
}

int32_t FieldValue(std::span<const uint8_t> data, const ReportField& field) {
    if (field.bitSize == 0) {
        return 0;
    }
    const uint32_t raw = Bits(data, field.bitOffset, field.bitSize);
    if (!field.isSigned || field.bitSize >= 32) {
        return static_cast<int32_t>(raw);
    }
    const uint32_t sign = 1u << (field.bitSize - 1);
    return static_cast<int32_t>((raw ^ sign) - sign);
}

uint32_t EndBit(const ReportField& field) {
    return field.bitOffset + field.bitSize;
}

}  // namespace

std::optional<PointerReportFormat> ParsePointerReportFormat(std::span<const uint8_t> descriptor) {
    DescriptorWalk walk;
    size_t at = 0;
    while (at < descriptor.size()) {
        const std::optional<Item> item = NextItem(descriptor, at);
        if (!item || !walk.Take(*item)) {
            return std::nullopt;
        }
    }
    return walk.Found();
}

std::optional<PointerReport> DecodePointerReport(const PointerReportFormat& format,
                                                 std::span<const uint8_t> report) {
    if (format.reportId != 0) {
        if (report.empty() || report[0] != format.reportId) {
            return std::nullopt;
        }
        report = report.subspan(1);
    }
    const uint32_t endBit = std::max({EndBit(format.x), EndBit(format.y), EndBit(format.wheel),
                                      format.buttonsBitOffset + format.buttonCount});
    if (report.size() * 8 < endBit) {
        return std::nullopt;
    }
    PointerReport decoded;
    decoded.dx = FieldValue(report, format.x);
    decoded.dy = FieldValue(report, format.y);
    decoded.wheel = FieldValue(report, format.wheel);
    decoded.buttons = Bits(report, format.buttonsBitOffset, format.buttonCount);
    return decoded;
}
