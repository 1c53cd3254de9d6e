// The TABLE operands of "trend" with wildcards expanded by the program itself:
// neither cmd.exe nor PowerShell expands "*.txt" for a Windows program.
// Portable: the folder listing comes from the caller.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace check {

// The file names (no folders) in a folder ("" the current one); false with the reason.
using FolderLister =
    std::function<bool(const std::string& folder, std::vector<std::string>& names, std::string& error)>;

// '*' or '?' in the operand.
bool HasWildcard(std::string_view operand);

// A wildcard in a folder part ("saves\*\a.txt"): only the file name may hold one.
bool WildcardInFolder(std::string_view operand);

// '*' any run of characters (none included), '?' exactly one character (a
// UTF-8 sequence); ASCII letters match in either case, as Windows names do.
bool WildcardMatches(std::string_view pattern, std::string_view name);

// Name order: ASCII letters folded to lower case, then byte order (which is
// code-point order in UTF-8), so "_0.txt" < "a_1.txt" < "B_1.txt" < "b_2.txt".
bool NameLess(std::string_view a, std::string_view b);

struct ExpandedTables {
    std::vector<std::string> paths;   // in operand order; a pattern's matches sorted by name
    std::vector<std::string> errors;  // one line per pattern that matched nothing or whose folder cannot be read
};

// Each operand without a wildcard as given; each pattern replaced by the
// files of its folder whose names match, the folder part kept as written.
// A file named twice (by name or by two patterns, in any case) is kept once,
// at its first place; a pattern never yields a name of `skip` (the outputs).
ExpandedTables ExpandTablePatterns(const std::vector<std::string>& operands, const FolderLister& list,
                                   const std::vector<std::string>& skip = {});

}  // namespace check
