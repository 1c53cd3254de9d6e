#include "console/TrendCommand.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <new>
#include <ostream>
#include <string_view>

#include "console/CommandLine.h"
#include "reports/DailyTable.h"
#include "reports/DailyTableReader.h"
#include "text/Numbers.h"
#include "trend/Trend.h"
#include "trend/TrendOutputs.h"

namespace check {

namespace {

struct CommandLine {
    std::vector<std::string> tables;
    trend::TrendOptions options;
    std::string csv, svg;
    bool bHelp = false;
};

const std::vector<console::OptionRule> kOptionRules = {
    {"--days", "N"},        {"--horizon", "D"}, {"--drop", "PCT"},
    {"--threshold", "PCT"}, {"--csv", "FILE"},  {"--svg", "FILE"},
};

bool WholeIn(const std::string& text, std::uint64_t low, std::uint64_t high, int& value) {
    const std::optional<std::uint64_t> v = text::ParseWhole(text);
    if (!v || *v < low || *v > high) return false;
    value = static_cast<int>(*v);
    return true;
}

bool DecimalIn(const std::string& text, double low, double high, double& value) {
    const std::optional<double> v = text::ParseDecimal(text);
    if (!v || *v < low || *v > high) return false;
    value = *v;
    return true;
}

// The options' words; false with the reason for a bad command line.
bool Parse(const std::vector<std::string>& args, CommandLine& line, std::string& error) {
    const console::CommandLine words = console::ParseCommandLine(args, kOptionRules);
    line.bHelp = words.Asks("--help");
    if (line.bHelp) return true;
    for (const console::CommandWord& word : words.words) {
        if (word.IsOperand()) {
            line.tables.push_back(word.value);
            continue;
        }
        const std::string& name = word.name;
        const std::string& value = word.value;
        const auto bad = [&](const char* wants) {
            error = name + " wants " + wants + ", not \"" + value + "\"";
            return false;
        };
        if (name == "--days") {
            if (!WholeIn(value, 1, 100000, line.options.days)) return bad("a whole number of days from 1 to 100000");
        } else if (name == "--horizon") {
            if (!DecimalIn(value, 0, 100000, line.options.horizonDays)) return bad("a number of days from 0 to 100000");
        } else if (name == "--drop") {
            if (!DecimalIn(value, 0, 100, line.options.dropPercent)) return bad("a percentage from 0 to 100");
        } else if (name == "--threshold") {
            if (!WholeIn(value, 0, 100, line.options.thresholdPercent)) return bad("a whole percentage from 0 to 100");
        } else {
            if (value.empty()) return bad("a file name");
            (name == "--csv" ? line.csv : line.svg) = value;
        }
    }
    if (!words.error.empty()) {
        error = words.error;
        return false;
    }
    if (line.tables.empty()) {
        error = "no table given";
        return false;
    }
    for (const std::string& table : line.tables) {
        if (!WildcardInFolder(table)) continue;
        error = "wildcards only in the file name, not in the folder: " + table;
        return false;
    }
    return true;
}

// An output over a table would lose the table, the only copy of its history;
// one output over the other would lose the first. Compared as files, so that
// "./t_1.txt" or "T_1.TXT" is the table "t_1.txt" too.
bool OutputsCollide(const CommandLine& line, const SameFileFn& sameFile, std::string& error) {
    error = SharedFileError({{"--csv", line.csv}, {"--svg", line.svg}}, sameFile);
    if (!error.empty()) return true;
    for (const auto& [role, output] : {std::pair{"--csv", &line.csv}, std::pair{"--svg", &line.svg}}) {
        for (const std::string& table : line.tables) {
            if (output->empty() || HasWildcard(table) || !sameFile(*output, table)) continue;
            error =
                std::string(role) + " " + *output + " is also a table" + (*output == table ? "" : " (" + table + ")");
            return true;
        }
    }
    return false;
}

bool Write(const TrendEnvironment& env, const std::string& path, const std::string& bytes, std::ostream& err) {
    std::string error;
    if (env.writeFile && env.writeFile(path, bytes, error)) return true;
    err << "trend: cannot write " << path << ": " << (error.empty() ? "no file access" : error) << "\n";
    return false;
}

}  // namespace

TrendSettingUse TrendSettingUseOf(const std::vector<std::string>& args) {
    const console::CommandLine line = console::ParseCommandLine(args, kOptionRules);
    if (line.Asks("--help")) return TrendSettingUse::Shown;
    for (const console::CommandWord& word : line.words)
        if (word.name == "--threshold") return TrendSettingUse::Unused;
    return TrendSettingUse::Default;
}

std::string TrendUsage(int defaultThreshold) {
    std::string text =
        "usage: LumagridCheck trend TABLE... [--days N] [--horizon D] [--drop PCT] [--threshold PCT]\n"
        "                           [--csv FILE] [--svg FILE]\n"
        "\n"
        "Which receivers are getting weaker, from the daily tables of the automatic save\n"
        "(\"<frame>_<row>.txt\"), and when they will fail the LED check. Each receiver is\n"
        "followed as a percentage of its axis' average of that day, as the LED check judges it.\n"
        "\n"
        "  TABLE            a daily table; give as many as you like; * and ? in the file\n"
        "                   name match tables of that folder (in name order)\n"
        "  --days N         follow each receiver over its last N days with a value (default 30)\n"
        "  --horizon D      flag a receiver whose trend reaches the threshold within D days\n"
        "                   (default 30)\n"
        "  --drop PCT       flag a receiver whose median of the last 7 of those days lies more\n"
        "                   than PCT % below that of the first 7 (default 25)\n"
        "  --threshold PCT  the LED check's share of the axis average (default MIN_ADC_O_PER of\n"
        "                   [SETTING] in Lumagrid.ini beside the program, else 33; now ";
    text += std::to_string(defaultThreshold);
    text +=
        ")\n"
        "  --csv FILE       write one row per receiver and table with every figure\n"
        "  --svg FILE       draw each table's axis averages, cutlines and flagged receivers\n"
        "  --help           show this text\n"
        "Options also take the form --days=N.\n"
        "\n"
        "Reasons: below (under the cutline on its latest day), crossing (reaches the threshold\n"
        "within the horizon), dropped (see --drop), dead (0 on every day: not trended).\n"
        "Exit codes: 0 nothing flagged, 1 a receiver flagged, 2 a table could not be read or\n"
        "holds no receiver value above 0, a pattern matched no table or an output file could not\n"
        "be written, 64 a bad command line (an output that is a table or the other output too).\n";
    return text;
}

int RunTrendCommand(const std::vector<std::string>& args, const TrendEnvironment& env, std::ostream& out,
                    std::ostream& err) {
    CommandLine line;
    line.options.thresholdPercent = env.defaultThreshold;
    std::string error;
    if (!Parse(args, line, error)) {
        err << "trend: " << error << "\n\n" << TrendUsage(env.defaultThreshold);
        return kTrendExitUsage;
    }
    if (line.bHelp) {
        out << TrendUsage(env.defaultThreshold);
        return kTrendExitNothingFlagged;
    }
    const SameFileFn sameFile =
        env.sameFile ? env.sameFile : [](const std::string& a, const std::string& b) { return a == b; };
    if (OutputsCollide(line, sameFile, error)) {
        err << "trend: " << error << "\n\n" << TrendUsage(env.defaultThreshold);
        return kTrendExitUsage;
    }

    bool bFileError = false, bFlagged = false;
    ExpandedTables expanded = ExpandTablePatterns(line.tables, env.listFolder, {line.csv, line.svg});
    // A pattern never takes an output as a table, however the output is spelled.
    expanded.paths.erase(std::remove_if(expanded.paths.begin(), expanded.paths.end(),
                                        [&](const std::string& path) {
                                            return (!line.csv.empty() && sameFile(path, line.csv)) ||
                                                   (!line.svg.empty() && sameFile(path, line.svg));
                                        }),
                         expanded.paths.end());
    for (const std::string& message : expanded.errors) err << "trend: " << message << "\n";
    bFileError = !expanded.errors.empty();
    std::vector<trend::TrendedTable> tables;
    for (const std::string& path : expanded.paths) {
        try {
            std::string bytes;
            error.clear();
            if (!env.readFile || !env.readFile(path, bytes, error)) {
                err << "trend: cannot read " << path << ": " << (error.empty() ? "no file access" : error) << "\n";
                bFileError = true;
                continue;
            }
            trend::TrendedTable t;
            t.path = path;
            t.name = trend::ParseTableName(path);
            t.table = reports::ParseDailyTable(bytes, env.today == INT64_MAX ? INT64_MAX : env.today + 1);
            if (t.table.days.empty()) {
                err << "trend: cannot read " << path << ": "
                    << (t.table.bDateRow ? "its Date row holds no date (YYYY:MM:DD) up to today"
                                         : "no Date row, not a daily table")
                    << "\n";
                bFileError = true;
                continue;
            }
            t.trend = trend::ComputeTrend(t.table, line.options);
            // Nothing to judge is no verdict of "nothing flagged".
            const auto lit = [](const trend::AxisTrend& a) {
                return std::any_of(a.average.begin(), a.average.end(), [](double v) { return v > 0; });
            };
            if (!lit(t.trend.x) && !lit(t.trend.y)) {
                err << "trend: " << path << ": not one receiver value above 0 on its " << t.table.days.size()
                    << (t.table.days.size() == 1 ? " day" : " days") << ", nothing to trend\n";
                bFileError = true;
                continue;
            }
            out << trend::TrendReport(t, line.options) << std::flush;
            bFlagged = bFlagged || t.trend.nFlagged > 0;
            tables.push_back(std::move(t));
        } catch (const std::bad_alloc&) {
            err << "trend: cannot read " << path << ": too big for the memory\n";
            bFileError = true;
        }
    }
    if (!line.csv.empty() && !Write(env, line.csv, trend::TrendCsv(tables, line.options), err)) bFileError = true;
    if (!line.svg.empty() && !Write(env, line.svg, trend::TrendSvg(tables, line.options), err)) bFileError = true;
    if (bFileError) return kTrendExitFileError;
    return bFlagged ? kTrendExitFlagged : kTrendExitNothingFlagged;
}

TrendEnvironment PortableTrendEnvironment() {
    TrendEnvironment env;
    const std::time_t now = std::time(nullptr);
    if (const std::tm* local = std::localtime(&now)) {
        char date[16];
        std::strftime(date, sizeof date, "%Y:%m:%d", local);
        reports::ParseTableDate(date, env.today);
    }
    env.readFile = [](const std::string& path, std::string& bytes, std::string& error) {
        bytes.clear();
        errno = 0;
        std::FILE* f = std::fopen(path.c_str(), "rb");
        if (!f) {
            error = errno ? std::strerror(errno) : "cannot be opened";
            return false;
        }
        char buffer[65536];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
        const bool bOk = !std::ferror(f);
        if (!bOk) error = errno ? std::strerror(errno) : "read error";
        std::fclose(f);
        return bOk;
    };
    env.listFolder = [](const std::string& folder, std::vector<std::string>& names, std::string& error) {
        namespace fs = std::filesystem;
        names.clear();
        std::error_code ec;
        for (fs::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end; it.increment(ec))
            if (!it->is_directory(ec)) names.push_back(it->path().filename().string());
        if (ec) error = ec.message();
        return !ec;
    };
    env.sameFile = [](const std::string& a, const std::string& b) {
        namespace fs = std::filesystem;
        std::error_code ec;
        if (fs::exists(a, ec) && fs::exists(b, ec)) return fs::equivalent(a, b, ec);
        std::error_code ecA, ecB;
        const fs::path fa = fs::weakly_canonical(a, ecA), fb = fs::weakly_canonical(b, ecB);
        return !ecA && !ecB && fa == fb;
    };
    env.writeFile = [](const std::string& path, const std::string& bytes, std::string& error) {
        namespace fs = std::filesystem;
        std::error_code ec;
        // A name of our own beside the target, never an existing file.
        std::string temp;
        for (int n = 0; n < 1000; ++n) {
            temp = path + ".tmp" + std::to_string(n);
            if (!fs::exists(temp, ec)) break;
        }
        errno = 0;
        std::FILE* f = std::fopen(temp.c_str(), "wb");
        if (!f) {
            error = errno ? std::strerror(errno) : "cannot be created";
            return false;
        }
        bool bOk = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        if (!bOk) error = errno ? std::strerror(errno) : "write error";
        if (std::fclose(f) != 0 && bOk) {
            bOk = false;
            error = errno ? std::strerror(errno) : "write error";
        }
        if (bOk) {
            fs::rename(temp, path, ec);
            if (ec) {
                bOk = false;
                error = ec.message();
            }
        }
        if (!bOk) fs::remove(temp, ec);
        return bOk;
    };
    return env;
}

}  // namespace check
