// The text escaping of every file other programs read: XML, CSV, UTF-8.
#include <gtest/gtest.h>

#include <string>

#include "text/Escape.h"

namespace {

using namespace text;

TEST(Escape, InvalidUtf8AndXmlForbiddenCharactersAreReplaced) {
    const std::string r = "\xEF\xBF\xBD";
    struct Case {
        std::string in;
        bool bXml;
        std::string out;
    };
    for (const Case& c : {Case{"Gulim \xEA\xB5\xB4\xEB\xA6\xBC \xF0\x9F\x98\x80", true,
                               "Gulim \xEA\xB5\xB4\xEB\xA6\xBC \xF0\x9F\x98\x80"},
                          Case{"\xC0\x80", false, r + r}, Case{"\xED\xA0\x80", false, r + r + r},
                          Case{"\xF4\x90\x80\x80", false, r + r + r + r}, Case{"ab\xE2\x82", false, "ab" + r + r},
                          Case{"\xB7x", false, r + "x"}, Case{"\xEF\xBF\xBF", false, "\xEF\xBF\xBF"},
                          Case{"\xEF\xBF\xBF", true, r + r + r}, Case{"a\x01\tb\x7F", true, "a" + r + "\tb\x7F"},
                          Case{"a\x01", false, "a\x01"}})
        EXPECT_EQ(ValidUtf8(c.in, c.bXml), c.out) << c.in;
}

// The nasty inputs, each with what element text, an attribute value and a CSV
// field make of it. Where the frame check's and the trend's escaping used to
// differ, the row says which rule was kept:
// - quotes and apostrophes in element text: the trend's entities (safe in any
//   context; a reader gets the same text either way);
// - CR: the check's reference (a literal CR comes back as LF);
// - tab and LF in attributes: the check's references (they come back as blanks);
// - CSV of bytes that are no UTF-8: the check's U+FFFD (the trend's CSV declares
//   UTF-8 with its byte-order mark, so a strict reader refused the whole file).
TEST(Escape, NastyInputsInEachFormat) {
    const std::string r = "\xEF\xBF\xBD";
    struct Case {
        const char* what;
        std::string in, xml, attribute, csv;
    } cases[] = {
        {"plain", "IR96 SN-1001", "IR96 SN-1001", "IR96 SN-1001", "IR96 SN-1001"},
        {"empty", "", "", "", ""},
        {"markup", "R&D <x>", "R&amp;D &lt;x&gt;", "R&amp;D &lt;x&gt;", "R&D <x>"},
        {"quotes", "say \"hi\" 'a'", "say &quot;hi&quot; &apos;a&apos;", "say &quot;hi&quot; &apos;a&apos;",
         "\"say \"\"hi\"\" 'a'\""},
        {"separator", "a,b;c", "a,b;c", "a,b;c", "\"a,b;c\""},
        {"CR LF", "a\r\nb", "a&#13;\nb", "a&#13;&#10;b", "\"a\r\nb\""},
        {"lone CR", "a\rb", "a&#13;b", "a&#13;b", "\"a\rb\""},
        {"tab", "a\tb", "a\tb", "a&#9;b", "a\tb"},
        {"control characters", std::string("a\0b\x1F\x7F", 5), "a" + r + "b" + r + "\x7F", "a" + r + "b" + r + "\x7F",
         std::string("a\0b\x1F\x7F", 5)},
        {"CP949 bytes", "\xB0\xA1", r + r, r + r, r + r},
        {"cut short", "ab\xE2\x82", "ab" + r + r, "ab" + r + r, "ab" + r + r},
        {"U+FFFF", "\xEF\xBF\xBF", r + r + r, r + r + r, "\xEF\xBF\xBF"},
        {"non-BMP", "\xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF", "\xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF",
         "\xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF", "\xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF"},
        {"past U+10FFFF", "\xF4\x90\x80\x80", r + r + r + r, r + r + r + r, r + r + r + r},
        {"CSV quote and invalid byte", "\"\xFF", "&quot;" + r, "&quot;" + r, "\"\"\"" + r + "\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(XmlText(c.in), c.xml) << c.what;
        EXPECT_EQ(XmlAttribute(c.in), c.attribute) << c.what;
        EXPECT_EQ(CsvField(c.in), c.csv) << c.what;
    }
}

// The rules CommandLineToArgvW splits by: 2n backslashes before a quote are n
// and the quote delimits, 2n+1 are n and a literal quote; other backslashes
// are literal. The win tier splits these with the real function.
TEST(CommandLineArgument, QuotesWhatWouldSplitOrVanish) {
    struct Case {
        const char* what;
        std::wstring in;
        std::wstring out;
    };
    const Case cases[] = {
        {"plain path", L"C:\\Sites\\rec.lgrec", L"C:\\Sites\\rec.lgrec"},
        {"blank", L"C:\\Hall 3\\rec.lgrec", L"\"C:\\Hall 3\\rec.lgrec\""},
        {"tab", L"a\tb", L"\"a\tb\""},
        {"empty", L"", L"\"\""},
        {"folder ending in a backslash", L"C:\\Hall 3\\", L"\"C:\\Hall 3\\\\\""},
        {"quote", L"a\"b", L"\"a\\\"b\""},
        {"backslashes before a quote", L"a\\\\\"b", L"\"a\\\\\\\\\\\"b\""},
        {"backslashes inside stay single", L"\\\\server\\share x\\f", L"\"\\\\server\\share x\\f\""},
        {"Hangul", L"C:\\\uC2DC\uD5D8 1\\r.lgrec", L"\"C:\\\uC2DC\uD5D8 1\\r.lgrec\""},
    };
    for (const Case& c : cases) EXPECT_EQ(CommandLineArgument(c.in), c.out) << c.what;
}

}  // namespace
