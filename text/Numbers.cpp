#include "text/Numbers.h"

#include <charconv>

namespace text {

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

std::optional<std::uint64_t> ParseWhole(std::string_view text) {
    if (text.empty()) return std::nullopt;
    for (char c : text)
        if (!IsDigit(c)) return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<double> ParseDecimal(std::string_view text) {
    bool bDigit = false, bPoint = false;
    for (char c : text) {
        if (IsDigit(c)) {
            bDigit = true;
        } else if (c == '.' && !bPoint) {
            bPoint = true;
        } else {
            return std::nullopt;
        }
    }
    if (!bDigit) return std::nullopt;
    // from_chars, not strtod: the decimal point stays '.' whatever the locale.
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string_view TrimBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace text
