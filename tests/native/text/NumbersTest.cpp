#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "text/Numbers.h"

namespace {

using text::ParseDecimal;
using text::ParseWhole;

// One rule for every option and setting. The copies before it disagreed:
// one took "-0" (strtoll), one refused "0000000005" (a 9-character limit),
// one summed tenths so that "0.3" became 0.30000000000000004.
TEST(Numbers, WholeNumbersArePlainDigits) {
    struct Case {
        const char* text;
        std::optional<std::uint64_t> value;
    };
    for (const Case& c :
         {Case{"0", 0}, Case{"42", 42}, Case{"007", 7}, Case{"0000000005", 5}, Case{"18446744073709551615", UINT64_MAX},
          Case{"18446744073709551616", {}}, Case{"99999999999999999999999", {}}, Case{"", {}}, Case{"-0", {}},
          Case{"-5", {}}, Case{"+5", {}}, Case{" 5", {}}, Case{"5 ", {}}, Case{"0x10", {}}, Case{"1e3", {}},
          Case{"5abc", {}}, Case{"1.0", {}}, Case{"\xd9\xa3", {}}})
        EXPECT_EQ(ParseWhole(c.text), c.value) << '"' << c.text << '"';
}

TEST(Numbers, DecimalsAreDigitsWithOnePoint) {
    struct Case {
        const char* text;
        std::optional<double> value;
    };
    for (const Case& c :
         {Case{"7", 7.0}, Case{"12.5", 12.5}, Case{"0.3", 0.3}, Case{".3", 0.3}, Case{"5.", 5.0}, Case{"000.50", 0.5},
          Case{"1000.1", 1000.1}, Case{".", {}}, Case{"", {}}, Case{"1.2.3", {}}, Case{"-1", {}}, Case{"+1", {}},
          Case{"1e1", {}}, Case{"nan", {}}, Case{"inf", {}}, Case{"0x1p3", {}}, Case{" 1", {}}, Case{"1,5", {}}})
        EXPECT_EQ(ParseDecimal(c.text), c.value) << '"' << c.text << '"';
}

TEST(Numbers, TrimBlanksTakesSpacesAndTabsOnly) {
    EXPECT_EQ(text::TrimBlanks(" \t33\t "), "33");
    EXPECT_EQ(text::TrimBlanks("3 3"), "3 3");
    EXPECT_EQ(text::TrimBlanks(" \t "), "");
    EXPECT_EQ(text::TrimBlanks("\n33"), "\n33");
}

}  // namespace
