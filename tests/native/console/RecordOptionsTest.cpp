// The record subcommand's command line and the order of its requests.
#include <gtest/gtest.h>

#include "console/RecordOptions.h"

using namespace check;

TEST(RecordOptions, RefusesWhatItCannotRecordAndNamesTheOption) {
    struct Case {
        std::vector<std::string> args;
        const char* error;  // nullptr: accepted
    } cases[] = {
        {{"--frame", "3", "--seconds", "10", "a.lgrec"}, nullptr},
        {{"--frame=Bench A", "--seconds=1", "--modes=ir,maximal", "--axes=OT", "a.lgrec"}, nullptr},
        {{"--seconds", "10", "a.lgrec"}, "--frame is required"},
        {{"--frame", "3", "a.lgrec"}, "--seconds is required"},
        {{"--frame", "3", "--seconds", "10"}, "file is missing"},
        {{"--frame", "3", "--seconds", "0", "a.lgrec"}, "--seconds takes 1 to 86400"},
        {{"--frame", "3", "--seconds", "10", "--modes", "maximal,tilt", "a.lgrec"}, "not \"tilt\""},
        {{"--frame", "3", "--seconds", "10", "--axes", "OT,XX", "a.lgrec"}, "--axes takes"},
        {{"--frame", "3", "--seconds", "10", "a.lgrec", "b.lgrec"}, "one recording file only"},
        {{"--frame", "3", "--seconds"}, "--seconds needs a value"},
        {{"--frame", "3", "--seconds", "10", "--speed", "2", "a.lgrec"}, "unknown option \"--speed\""},
    };
    for (const Case& c : cases) {
        const ParsedRecordOptions parsed = ParseRecordOptions(c.args);
        if (c.error == nullptr) {
            EXPECT_TRUE(parsed.options) << c.args[0] << ": " << parsed.error;
        } else {
            EXPECT_FALSE(parsed.options) << c.error;
            EXPECT_NE(parsed.error.find(c.error), std::string::npos) << parsed.error;
        }
    }
    EXPECT_TRUE(ParseRecordOptions({"--help"}).options->bHelp);
}

TEST(RecordOptions, EveryChosenModeOnEveryMeasuredBeamSet) {
    FrameGeometry geometry;
    geometry.x = AxisGeometry{16, 0, 3, 0};  // TL1/TR1 on X only; no tilt 2 anywhere
    geometry.y = AxisGeometry{8, 0, 0, 0};
    const ParsedRecordOptions parsed =
        ParseRecordOptions({"--frame", "1", "--seconds", "6", "--modes", "maximal,ambient", "x.lgrec"});
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(RecordRequests(*parsed.options, PlanBeamSets(geometry, parsed.options->nChosenSets)),
              (std::vector<std::uint8_t>{0x05, 0x15, 0x25, 0x02, 0x12, 0x22}));
    // By default all five modes, in the order maximal, ir, ambient-ir, ambient, percent.
    const ParsedRecordOptions all = ParseRecordOptions({"--frame", "1", "--seconds", "6", "--axes", "OT", "x"});
    EXPECT_EQ(RecordRequests(*all.options, PlanBeamSets(geometry, all.options->nChosenSets)),
              (std::vector<std::uint8_t>{0x05, 0x03, 0x01, 0x02, 0x04}));
}
