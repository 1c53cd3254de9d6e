#include "console/TablePatterns.h"

#include <algorithm>

namespace check {

namespace {

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return FoldAscii(x) == FoldAscii(y); });
}

// Bytes of the UTF-8 sequence that starts at name[i] (1 for a stray byte).
std::size_t SequenceLength(std::string_view name, std::size_t i) {
    std::size_t n = 1;
    while (i + n < name.size() && (static_cast<unsigned char>(name[i + n]) & 0xC0) == 0x80) ++n;
    return n;
}

// Where the file name starts: after the last separator, or after "C:".
std::size_t NameStart(std::string_view operand) {
    const std::size_t slash = operand.find_last_of("\\/");
    if (slash != std::string_view::npos) return slash + 1;
    return operand.size() >= 2 && operand[1] == ':' ? 2 : 0;
}

}  // namespace

bool HasWildcard(std::string_view operand) { return operand.find_first_of("*?") != std::string_view::npos; }

bool WildcardInFolder(std::string_view operand) { return HasWildcard(operand.substr(0, NameStart(operand))); }

bool WildcardMatches(std::string_view pattern, std::string_view name) {
    // Greedy with one backtrack point: the latest '*' and where it resumes.
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = ++p;
            starN = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += SequenceLength(name, n);
        } else if (p < pattern.size() && FoldAscii(pattern[p]) == FoldAscii(name[n])) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP;
            starN += SequenceLength(name, starN);
            n = starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool NameLess(std::string_view a, std::string_view b) {
    const auto folded = [](char x, char y) {
        return static_cast<unsigned char>(FoldAscii(x)) < static_cast<unsigned char>(FoldAscii(y));
    };
    if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), folded)) return true;
    if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), folded)) return false;
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    });
}

ExpandedTables ExpandTablePatterns(const std::vector<std::string>& operands, const FolderLister& list,
                                   const std::vector<std::string>& skip) {
    ExpandedTables out;
    const auto add = [&](const std::string& path) {
        for (const std::string& known : out.paths)
            if (SameName(known, path)) return;
        out.paths.push_back(path);
    };
    for (const std::string& operand : operands) {
        if (!HasWildcard(operand)) {
            add(operand);
            continue;
        }
        const std::size_t start = NameStart(operand);
        const std::string folder = operand.substr(0, start);
        const std::string pattern = operand.substr(start);
        std::vector<std::string> names;
        std::string error;
        if (!list || !list(folder, names, error)) {
            out.errors.push_back("cannot read " + operand + ": " + (error.empty() ? "no folder access" : error));
            continue;
        }
        std::vector<std::string> matches;
        for (const std::string& name : names) {
            if (!WildcardMatches(pattern, name)) continue;
            const std::string path = folder + name;
            if (std::none_of(skip.begin(), skip.end(), [&](const std::string& s) { return SameName(s, path); }))
                matches.push_back(path);
        }
        if (matches.empty()) {
            out.errors.push_back("no table matches " + operand);
            continue;
        }
        std::sort(matches.begin(), matches.end(),
                  [](const std::string& a, const std::string& b) { return NameLess(a, b); });
        for (const std::string& path : matches) add(path);
    }
    return out;
}

}  // namespace check
