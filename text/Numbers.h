// Numbers typed by a person: on a command line or in Lumagrid.ini. One rule
// for every option, so that a value one subcommand takes another does not
// refuse: plain decimal digits, nothing else. Range checks stay with the
// caller, which names the range in its refusal.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace text {

// "0", "42", "007": digits only. Nothing for a sign, blanks, hex, an
// exponent, trailing text or a value beyond 64 bits.
std::optional<std::uint64_t> ParseWhole(std::string_view text);

// "7", "12.5", ".5", "5.": digits with at most one decimal point, rounded to
// the nearest double. Nothing for a sign, blanks, an exponent, "nan" or "inf".
std::optional<double> ParseDecimal(std::string_view text);

// The text without the blanks (spaces and tabs) around it.
std::string_view TrimBlanks(std::string_view text);

}  // namespace text
