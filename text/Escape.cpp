#include "text/Escape.h"

namespace text {

namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD

std::string Xml(std::string_view text, bool bAttribute) {
    std::string out;
    const std::string valid = ValidUtf8(text, true);
    out.reserve(valid.size());
    for (const char c : valid) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            case '\r': out += "&#13;"; break;
            case '\n': out += bAttribute ? "&#10;" : "\n"; break;
            case '\t': out += bAttribute ? "&#9;" : "\t"; break;
            default: out += c;
        }
    }
    return out;
}

}  // namespace

std::string ValidUtf8(std::string_view text, bool bXml) {
    std::string out;
    out.reserve(text.size());
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = byte(i);
        if (c < 0x80) {
            const bool bAllowed = !bXml || c >= 0x20 || c == '\t' || c == '\n' || c == '\r';
            if (bAllowed) out += static_cast<char>(c);
            else out += kReplacement;
            ++i;
            continue;
        }
        // Length and the allowed range of the second byte (no overlong forms,
        // no surrogates, nothing past U+10FFFF).
        std::size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) length = 2;
        else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0) low = 0xA0;
            if (c == 0xED) high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0) low = 0x90;
            if (c == 0xF4) high = 0x8F;
        }
        bool bValid = length > 0 && i + length <= text.size() && byte(i + 1) >= low && byte(i + 1) <= high;
        for (std::size_t k = 2; bValid && k < length; ++k) bValid = byte(i + k) >= 0x80 && byte(i + k) <= 0xBF;
        // XML 1.0 has no U+FFFE and U+FFFF.
        if (bValid && bXml && length == 3 && c == 0xEF && byte(i + 1) == 0xBF && byte(i + 2) >= 0xBE) bValid = false;
        if (!bValid) {
            out += kReplacement;
            ++i;
            continue;
        }
        out.append(text.substr(i, length));
        i += length;
    }
    return out;
}

std::string XmlText(std::string_view text) { return Xml(text, false); }

std::string XmlAttribute(std::string_view text) { return Xml(text, true); }

std::string CsvField(std::string_view text) {
    std::string valid = ValidUtf8(text);
    if (valid.find_first_of(",\"\r\n") == std::string::npos) return valid;
    std::string out = "\"";
    for (const char c : valid) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::wstring CommandLineArgument(std::wstring_view text) {
    if (!text.empty() && text.find_first_of(L" \t\"") == std::wstring_view::npos) return std::wstring(text);
    std::wstring out = L"\"";
    std::size_t nBackslashes = 0;
    for (const wchar_t c : text) {
        if (c == L'\\') {
            ++nBackslashes;
            continue;
        }
        // Backslashes are literal unless a quote follows them.
        out.append(c == L'"' ? nBackslashes * 2 + 1 : nBackslashes, L'\\');
        nBackslashes = 0;
        out += c;
    }
    out.append(nBackslashes * 2, L'\\');
    return out + L"\"";
}

}  // namespace text
