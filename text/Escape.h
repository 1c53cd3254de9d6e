// Text made safe for the files other programs read: XML, CSV and UTF-8. One
// rule for every output, so a frame's name reads alike in each file of a run.
// Bytes that are no UTF-8 never reach a file: each such byte becomes U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace text {

// The text with every byte that starts no well-formed UTF-8 sequence replaced
// by U+FFFD (overlong forms, surrogates and code points past U+10FFFF are not
// well-formed); with bXml also the characters XML 1.0 cannot hold (controls
// other than tab, LF and CR, U+FFFE and U+FFFF).
std::string ValidUtf8(std::string_view text, bool bXml = false);

// Element content: & < > " ' as entities, CR as a character reference (a
// reader would turn a literal one into LF), the rest as ValidUtf8(text, true).
std::string XmlText(std::string_view text);

// A double-quoted attribute value: as XmlText, and tab and LF as character
// references too, since a reader turns literal ones into blanks.
std::string XmlAttribute(std::string_view text);

// One CSV field (RFC 4180) of ValidUtf8(text): quoted, with its quotes doubled,
// when it holds a comma, a quote, CR or LF.
std::string CsvField(std::string_view text);

// One argument of a Windows command line that CommandLineToArgvW and the C
// runtime split back into exactly `text`: quoted when it is empty or holds a
// blank, a tab or a quote; a quote inside is escaped with a backslash, and
// the backslashes before a quote or before the closing quote are doubled.
std::wstring CommandLineArgument(std::wstring_view text);

}  // namespace text
