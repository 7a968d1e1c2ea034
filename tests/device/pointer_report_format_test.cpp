#include "device/pointer_report_format.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "device/pointer_reader.h"
#include "device/simulated/simulated_mouse.h"

namespace {

// Three buttons, then relative X, Y and wheel of one byte each; no report id
// (the uhid mouse of the real-kernel tests sends these).
const std::vector<uint8_t> kByteAxes = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09, 0x19,
    0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02,
    0x95, 0x01, 0x75, 0x05, 0x81, 0x03, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x09,
    0x38, 0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x03, 0x81, 0x06, 0xC0, 0xC0,
};

// Report id 1: five buttons and three bits of padding, 16-bit X and Y, an
// 8-bit wheel, as fast mice send them.
const std::vector<uint8_t> kWordAxes = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09,
    0x19, 0x01, 0x29, 0x05, 0x15, 0x00, 0x25, 0x01, 0x95, 0x05, 0x75, 0x01, 0x81, 0x02,
    0x95, 0x01, 0x75, 0x03, 0x81, 0x03, 0x05, 0x01, 0x16, 0x01, 0x80, 0x26, 0xFF, 0x7F,
    0x75, 0x10, 0x95, 0x02, 0x09, 0x30, 0x09, 0x31, 0x81, 0x06, 0x15, 0x81, 0x25, 0x7F,
    0x75, 0x08, 0x95, 0x01, 0x09, 0x38, 0x81, 0x06, 0xC0, 0xC0,
};

// Eight buttons, then X and Y packed in 12 bits each.
const std::vector<uint8_t> kPackedAxes = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x05, 0x09, 0x19, 0x01, 0x29, 0x08, 0x15, 0x00,
    0x25, 0x01, 0x95, 0x08, 0x75, 0x01, 0x81, 0x02, 0x05, 0x01, 0x16, 0x01, 0xF8, 0x26,
    0xFF, 0x07, 0x75, 0x0C, 0x95, 0x02, 0x09, 0x30, 0x09, 0x31, 0x81, 0x06, 0xC0,
};

TEST(PointerReportFormat, FindsEachFieldWhereTheDescriptorPutsIt) {
    const auto bytes = ParsePointerReportFormat(kByteAxes);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->reportId, 0);
    EXPECT_EQ(bytes->buttonCount, 3u);
    EXPECT_EQ(bytes->x.bitOffset, 8u);
    EXPECT_EQ(bytes->x.bitSize, 8u);
    EXPECT_EQ(bytes->y.bitOffset, 16u);
    EXPECT_EQ(bytes->wheel.bitOffset, 24u);
    EXPECT_TRUE(bytes->x.isSigned);

    const auto words = ParsePointerReportFormat(kWordAxes);
    ASSERT_TRUE(words);
    EXPECT_EQ(words->reportId, 1);
    EXPECT_EQ(words->buttonCount, 5u);
    EXPECT_EQ(words->x.bitOffset, 8u);
    EXPECT_EQ(words->x.bitSize, 16u);
    EXPECT_EQ(words->y.bitOffset, 24u);
    EXPECT_EQ(words->wheel.bitOffset, 40u);
}

TEST(PointerReportFormat, DecodesSignedCountsOfEveryWidth) {
    struct Case {
        const std::vector<uint8_t>* descriptor;
        std::vector<uint8_t> report;
        PointerReport expected;
    } cases[] = {
        {&kByteAxes, {0x05, 0x7F, 0x81, 0xFF}, {127, -127, -1, 0b101}},
        {&kWordAxes, {0x01, 0x10, 0x40, 0x06, 0xC0, 0xF9, 0x01}, {1600, -1600, 1, 0b10000}},
        // X = -1 and Y = 5 share the middle byte.
        {&kPackedAxes, {0x80, 0xFF, 0x5F, 0x00}, {-1, 5, 0, 0x80}},
    };
    for (const Case& c : cases) {
        const auto format = ParsePointerReportFormat(*c.descriptor);
        ASSERT_TRUE(format);
        const auto decoded = DecodePointerReport(*format, c.report);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->dx, c.expected.dx);
        EXPECT_EQ(decoded->dy, c.expected.dy);
        EXPECT_EQ(decoded->wheel, c.expected.wheel);
        EXPECT_EQ(decoded->buttons, c.expected.buttons);
    }
}

TEST(PointerReportFormat, RefusesReportsThatAreNotItsOwn) {
    const auto format = ParsePointerReportFormat(kWordAxes);
    ASSERT_TRUE(format);
    const std::vector<uint8_t> otherId = {0x02, 0x10, 0x40, 0x06, 0xC0, 0xF9, 0x01};
    const std::vector<uint8_t> cutShort = {0x01, 0x10, 0x40, 0x06};
    EXPECT_FALSE(DecodePointerReport(*format, otherId));
    EXPECT_FALSE(DecodePointerReport(*format, cutShort));
    EXPECT_FALSE(DecodePointerReport(*format, {}));
}

TEST(PointerReportFormat, NoRelativeAxesOrABrokenDescriptorGivesNothing) {
    std::vector<uint8_t> absolute = kByteAxes;
    absolute[absolute.size() - 3] = 0x02;  // the axes' Input item: absolute
    const std::vector<uint8_t> truncated(kWordAxes.begin(), kWordAxes.begin() + 37);
    const std::vector<uint8_t> popWithoutPush = {0xB4, 0x05, 0x01};
    EXPECT_FALSE(ParsePointerReportFormat(absolute));
    EXPECT_FALSE(ParsePointerReportFormat(truncated));
    EXPECT_FALSE(ParsePointerReportFormat(popWithoutPush));
    EXPECT_FALSE(ParsePointerReportFormat({}));
}

}  // namespace

namespace {

// The simulated mouse declares the reports its motion sends, as a mouse does.
TEST(PointerReportFormat, TheSimulatedPointerDeclaresTheReportsItSends) {
    SimulatedMouse mouse;
    SetHidTransport(&mouse);
    const std::unique_ptr<HidConnection> pointer = OpenPointerInterface();
    SetHidTransport(nullptr);
    ASSERT_TRUE(pointer);
    const auto format = ParsePointerReportFormat(pointer->ReportDescriptor());
    ASSERT_TRUE(format);
    EXPECT_EQ(format->buttonCount, 5u);
    const std::vector<uint8_t> oneStepRight{0, 1, 0, 0, 0, 0, 0, 0};
    const auto decoded = DecodePointerReport(*format, oneStepRight);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->dx, 1);
    EXPECT_EQ(decoded->dy, 0);
}

}  // namespace
