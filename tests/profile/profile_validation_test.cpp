// What a profile or a set command may hold: every value the pages could not
// produce is refused with its line and what is allowed, and nothing is set.
#include <gtest/gtest.h>

#include "profile/profile.h"
#include "settings/button_actions.h"

namespace {

struct BadCase {
    const char* name;
    const char* text;  // follows "format = 1\n"
    int line;
    const char* message;
};

void PrintTo(const BadCase& c, std::ostream* os) {
    *os << c.name;
}

SettingsRecord Defaults() {
    SettingsRecord record{};
    LoadDefaultSettings(record);
    return record;
}

SettingsImage ImageOf(const SettingsRecord& record) {
    SettingsImage image{};
    EncodeSettingsImage(record, image);
    return image;
}

class BadProfileTest : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadProfileTest, IsRefusedWithLineAndReasonAndChangesNothing) {
    const BadCase& c = GetParam();
    SettingsRecord record = Defaults();
    const auto problems =
        ApplyProfile(ParseProfileText(std::string("format = 1\n") + c.text), record);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].line, c.line);
    EXPECT_NE(problems[0].message.find(c.message), std::string::npos) << problems[0].message;
    EXPECT_EQ(ImageOf(record), ImageOf(Defaults()));
}

const std::string kLevels = "[[cpi_level]]\nx = 400\ny = 400\n";

INSTANTIATE_TEST_SUITE_P(
    Values, BadProfileTest,
    ::testing::Values(
        BadCase{"SyntaxError", "polling_rate_hz = = 3\n", 2, "TOML syntax: "},
        BadCase{"KeyTwice", "motion_sync = true\nmotion_sync = false\n", 3, "motion_sync"},
        BadCase{"UnknownSetting", "dpi = 800\n", 2,
                "unknown setting \"dpi\"; the settings are: format, polling_rate_hz"},
        BadCase{"UnknownRate", "polling_rate_hz = 1001\n", 2,
                "polling_rate_hz: 1001 Hz is not offered; Hz, one of 125, 250, 500, 1000, 2000, "
                "4000, 8000"},
        BadCase{"RateAsText", "polling_rate_hz = \"1000Hz\"\n", 2, "expects a whole number"},
        BadCase{"CpiOffFineGrid",
                "[[cpi_level]]\nx = 1655\ny = 400\n[[cpi_level]]\nx = 400\ny = "
                "400\n[[cpi_level]]\nx = 400\ny = 400\n[[cpi_level]]\nx = 400\ny = 400\n",
                3,
                "cpi_level.1.x: CPI 1655 is not allowed: CPI, 10 to 10000 in steps of 10, above "
                "that to 30000 in steps of 50"},
        BadCase{"CpiOffCoarseGrid",
                "[[cpi_level]]\nx = 400\ny = 10010\n[[cpi_level]]\nx = 400\ny = "
                "400\n[[cpi_level]]\nx = 400\ny = 400\n[[cpi_level]]\nx = 400\ny = 400\n",
                4, "cpi_level.1.y: CPI 10010 is not allowed"},
        BadCase{"CpiTooHigh",
                "[[cpi_level]]\nx = 30050\ny = 400\n[[cpi_level]]\nx = 400\ny = "
                "400\n[[cpi_level]]\nx = 400\ny = 400\n[[cpi_level]]\nx = 400\ny = 400\n",
                3, "CPI 30050 is not allowed"},
        BadCase{"CpiZero",
                "[[cpi_level]]\nx = 0\ny = 400\n[[cpi_level]]\nx = 400\ny = 400\n[[cpi_level]]\nx "
                "= 400\ny = 400\n[[cpi_level]]\nx = 400\ny = 400\n",
                3, "CPI 0 is not allowed"},
        BadCase{"ThreeLevels",
                "[[cpi_level]]\nx = 400\ny = 400\n[[cpi_level]]\nx = 400\ny = "
                "400\n[[cpi_level]]\nx = 400\ny = 400\n",
                2, "expected 4 [[cpi_level]] tables, one per level, found 3"},
        BadCase{"UnknownKeyInLevel",
                "[[cpi_level]]\nx = 400\nz = 400\n[[cpi_level]]\nx = 400\ny = "
                "400\n[[cpi_level]]\nx = 400\ny = 400\n[[cpi_level]]\nx = 400\ny = 400\n",
                4, "unknown setting \"cpi_level.1.z\""},
        BadCase{"NoLevels", "cpi_level_count = 0\n", 2, "0 levels are not offered; 1 to 4"},
        BadCase{"FiveLevels", "cpi_level_count = 5\n", 2, "5 levels are not offered; 1 to 4"},
        BadCase{"ActiveLevelNotInUse", "cpi_level_count = 2\nactive_cpi_level = 3\n", 3,
                "active_cpi_level: level 3 is not in use; 1 to cpi_level_count (2)"},
        BadCase{"UnknownKeyName", "forward = \"key:Ctrl+Hyper\"\n", 2,
                "forward: unknown key \"Hyper\""},
        BadCase{"UnknownAction", "back = \"PLAY\"\n", 2,
                "back: unknown action \"PLAY\": one of \"LEFT CLICK\""},
        BadCase{"FixedCpiOnWheel", "wheel_up = \"fixed-cpi:800\"\n", 2,
                "the wheel cannot be given a fixed CPI"},
        BadCase{"FixedCpiOffGrid", "middle = \"fixed-cpi:805x800\"\n", 2,
                "fixed CPI 805 is not allowed: 10 to 30000 in steps of 10"},
        BadCase{"NoLeftClick", "left = \"DISABLE\"\n", 2,
                "one of left and right must be \"LEFT CLICK\""},
        BadCase{"FilterTooHigh", "[multiclick_filter]\nmiddle = 26\n", 3,
                "multiclick_filter.middle: level 26 is not offered; a multiclick filter level, 0 "
                "to 25"},
        BadCase{"SwitchModeOnMiddle", "[multiclick_filter]\nmiddle = \"HV Speed Mode\"\n", 3,
                "\"HV Speed Mode\" is not offered"},
        BadCase{"LiftOffBetweenSteps", "lift_off_mm = 1.05\n", 2,
                "lift_off_mm: 1.05 mm is not offered; one of 0.7, 0.8"},
        BadCase{"AngleTooLarge", "sensor_angle = 128\n", 2, "128 is out of range; -127 to 127"},
        BadCase{"SwitchAsNumber", "motion_sync = 1\n", 2, "motion_sync: expects true or false"},
        BadCase{"UnknownTuning", "smoothing = \"Ripple\"\n", 2,
                "smoothing: \"Ripple\" is not offered; one of \"Force Off\""},
        BadCase{"FilterAsTableValue", "[multiclick_filter]\nleft = [8]\n", 3,
                "expects a single value"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProfileValidation, AProfileWithoutFormatIsNoProfile) {
    SettingsRecord record = Defaults();
    const auto problems = ApplyProfile(ParseProfileText("polling_rate_hz = 1000\n"), record);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].line, 0);
    EXPECT_EQ(DescribeProblem("p.toml", problems[0]),
              "p.toml: not a profile: it has no \"format = 1\" line");
}

TEST(ProfileValidation, AnotherFormatIsRefused) {
    SettingsRecord record = Defaults();
    const auto problems = ApplyProfile(ParseProfileText("format = 2\n"), record);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(DescribeProblem("p.toml", problems[0]),
              "p.toml:1: format: format 2 is not known; this version reads format = 1");
}

TEST(ProfileValidation, EveryBadLineIsReportedInFileOrder) {
    SettingsRecord record = Defaults();
    const auto problems =
        ApplyProfile(ParseProfileText("format = 1\nsensor_angle = 300\nmotion_sync = 2\n"), record);
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(DescribeProblem("p.toml", problems[0]).substr(0, 22), "p.toml:2: sensor_angle");
    EXPECT_EQ(problems[1].line, 3);
}

TEST(ProfileValidation, GlassModeOffersItsOwnLiftOffDistances) {
    SettingsRecord record = Defaults();
    record.glassMode = 1;
    EXPECT_TRUE(ApplyProfile(ParseProfileText("format = 1\nlift_off_mm = 2\n"), record).empty());
    EXPECT_EQ(record.liftOffDistance, 2);
    const auto problems = ApplyProfile(ParseProfileText("format = 1\nlift_off_mm = 0.7\n"), record);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].message.find("with the mouse in glass mode, one of 1.0, 2.0"),
              std::string::npos)
        << problems[0].message;
}

TEST(ProfileAssignments, SetChangesOnlyTheNamedSettingsAllAtOnce) {
    SettingsRecord record = Defaults();
    const auto problems =
        ApplyAssignments({"polling_rate_hz=1000", "cpi_level.2.x=1600", "forward=key:F13",
                          "smoothing=Ripple Control On", "back=\"media:MUTE\"",
                          "multiclick_filter.left=HV Safe Mode"},
                         record);
    ASSERT_TRUE(problems.empty()) << problems[0].message;
    SettingsRecord expected = Defaults();
    expected.pollingRateCode = 8;
    expected.cpiLevels[1] = {1, 1600, 800};
    AssignAction(expected.buttons[3], EncodeKeyAction({0x7C, 0, ""}));
    AssignAction(expected.buttons[4], FindActionByCommand(8024)->values);
    expected.sensorTuning = SettingsRecord{}.sensorTuning | 0x01;
    expected.buttons[0].filter = 0xF0;
    EXPECT_EQ(ImageOf(record), ImageOf(expected));
}

TEST(ProfileAssignments, ABadAssignmentSetsNoneOfThem) {
    struct Case {
        std::vector<std::string> assignments;
        const char* message;
    };
    const Case cases[] = {
        {{"polling_rate_hz=1000", "cpi_level.2.x=1655"}, "cpi_level.2.x: CPI 1655 is not allowed"},
        {{"polling_rate_hz"}, "\"polling_rate_hz\" is not NAME=VALUE"},
        {{"polling_rate_hz=1000", "polling_rate_hz=500"}, "polling_rate_hz: given more than once"},
        {{"cpi_level.5.x=800"}, "unknown setting \"cpi_level.5.x\""},
        {{"angle_snapping=yes"}, "angle_snapping: expects true or false"},
    };
    for (const Case& c : cases) {
        SettingsRecord record = Defaults();
        const auto problems = ApplyAssignments(c.assignments, record);
        ASSERT_EQ(problems.size(), 1u) << c.message;
        EXPECT_NE(problems[0].message.find(c.message), std::string::npos) << problems[0].message;
        EXPECT_EQ(ImageOf(record), ImageOf(Defaults())) << c.message;
    }
}

}  // namespace
