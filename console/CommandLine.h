// The one grammar of LumagridCheck's command lines (the check, record and
// trend alike). Portable: the program passes its arguments as UTF-8 strings.
//
//   --name VALUE or --name=VALUE   a word starting with "--" is never taken for
//                                  a VALUE: "--json --log x" lacks its FILE
//   -h, --help                     anywhere before "--": the usage, whatever else is given
//   --                             every later word is an operand, even "-h" or "--x"
//   -                              an operand (a file of that name)
//   an option given twice          refused, unless it is repeatable (the check's --frame)
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace console {

struct OptionRule {
    const char* pszName;   // "--wait"
    const char* pszValue;  // what it takes, as the usage names it ("SECONDS"); nullptr: a switch
    bool bRepeatable = false;
    bool bAnswers = false;  // like --help: answers alone (the check's --version)
};

struct CommandWord {
    std::string name;   // the option; empty for an operand
    std::string value;  // the option's value, or the operand itself
    bool IsOperand() const { return name.empty(); }
};

struct CommandLine {
    // The answering options given ("--help" also for "-h"), in the order of
    // the rules; when there is one, words and error stay empty.
    std::vector<std::string> answers;
    // In the order given, up to the first word the grammar refuses.
    std::vector<CommandWord> words;
    // That refusal in one line, naming the option; empty when every word is taken.
    // A command checks the values in words first, so that the leftmost fault is
    // the one reported.
    std::string error;

    bool Asks(std::string_view name) const;
};

// args: the words after the program name or the subcommand. -h and --help
// need no rule.
CommandLine ParseCommandLine(const std::vector<std::string>& args, const std::vector<OptionRule>& rules);

// "\"text\"": how refusals quote what was typed.
std::string Quoted(const std::string& text);

}  // namespace console
