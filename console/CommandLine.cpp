#include "console/CommandLine.h"

#include <algorithm>

namespace console {

namespace {

constexpr char kHelp[] = "--help";

bool IsHelp(const std::string& word) { return word == "-h" || word == kHelp; }

// "-" alone names a file; "--" ends the options.
bool IsOptionWord(const std::string& word) { return word.size() >= 2 && word[0] == '-'; }

}  // namespace

bool CommandLine::Asks(std::string_view name) const {
    return std::find(answers.begin(), answers.end(), name) != answers.end();
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

CommandLine ParseCommandLine(const std::vector<std::string>& args, const std::vector<OptionRule>& rules) {
    CommandLine line;
    // Asking for help (or the version) is never a bad command line.
    const auto end = std::find(args.begin(), args.end(), "--");
    if (std::any_of(args.begin(), end, IsHelp)) line.answers.push_back(kHelp);
    for (const OptionRule& rule : rules)
        if (rule.bAnswers && std::find(args.begin(), end, rule.pszName) != end) line.answers.push_back(rule.pszName);
    if (!line.answers.empty()) return line;

    const OptionRule help{kHelp, nullptr};
    std::vector<std::string> given;
    bool bOptionsEnd = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (bOptionsEnd || !IsOptionWord(arg)) {
            line.words.push_back({{}, arg});
            continue;
        }
        if (arg == "--") {
            bOptionsEnd = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const OptionRule* rule = name == kHelp ? &help : nullptr;
        for (const OptionRule& s : rules)
            if (name == s.pszName) rule = &s;
        if (rule == nullptr) {
            line.error = "unknown option " + Quoted(name);
            return line;
        }
        if (rule->pszValue == nullptr && equals != std::string::npos) {
            line.error = name + " takes no value";
            return line;
        }
        if (!rule->bRepeatable) {
            if (std::find(given.begin(), given.end(), name) != given.end()) {
                line.error = name + " is given twice";
                return line;
            }
            given.push_back(name);
        }
        CommandWord word{name, {}};
        if (equals != std::string::npos) {
            word.value = arg.substr(equals + 1);
        } else if (rule->pszValue != nullptr) {
            if (i + 1 >= args.size() || args[i + 1].compare(0, 2, "--") == 0) {
                line.error = name + " needs a value: " + name + " " + rule->pszValue;
                return line;
            }
            word.value = args[++i];
        }
        line.words.push_back(std::move(word));
    }
    return line;
}

}  // namespace console
