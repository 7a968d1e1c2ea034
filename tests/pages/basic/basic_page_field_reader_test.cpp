#include <gtest/gtest.h>

#include <QString>
#include <optional>

#include "pages/basic/cpi_field_reader.h"

namespace {

struct ReaderCase {
    const char* text;
    uint32_t committed;
    std::optional<uint32_t> edited;
};

TEST(CpiFieldReaderTest, ReadsTheLeadingNumber) {
    const ReaderCase cases[] = {
        {"", 10, std::nullopt},
        {"abc", 0, std::nullopt},
        {"15", 15, 15},
        {"0", 0, 0},
        {"  800", 800, 800},
        {"1600 cpi", 1600, 1600},
        {"12x34", 12, 12},
        {"-5", 0, std::nullopt},
        {" ", 0, std::nullopt},
        // Too long for 32 bits: the largest number, which clamps to the top.
        {"99999999999999999999", 4294967295u, 4294967295u},
    };
    for (const ReaderCase& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        EXPECT_EQ(ReadCommittedCpiText(text), c.committed) << '"' << c.text << '"';
        EXPECT_EQ(ReadEditedCpiText(text), c.edited) << '"' << c.text << '"';
    }
}

}  // namespace
