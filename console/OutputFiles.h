// Which files a run may write: never one output over another, over a table it
// reads, or over the recording the library is playing. Names are compared as
// files, not as text ("t_1.txt", ".\T_1.TXT" and "Z:\...\t_1.txt" are one
// file on Windows). Portable: the platform gives the identity of a name.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace check {

// What the platform knows of a name. An existing file has an identity (its
// volume and its number on that volume), which no spelling changes; a file
// that does not exist yet only its full path, in the form the platform
// compares (on Windows the long form, upper case).
struct FileIdentity {
    bool bExists = false;
    std::uint64_t nVolume = 0;
    std::uint64_t nIndex = 0;
    std::string comparablePath;  // empty when the name cannot be resolved
};

// Both existing: the same volume and number. Otherwise the same comparable
// path (a name that cannot be resolved matches nothing).
bool SameFileIdentity(const FileIdentity& a, const FileIdentity& b);

// Whether two names name one file.
using SameFileFn = std::function<bool(const std::string& a, const std::string& b)>;

struct NamedFile {
    std::string role;  // "--json", "the table", ...
    std::string path;  // empty: not given
};

// The first two given files that are one file, as "--json and --log name the
// same file (check.json)"; empty when all differ.
std::string SharedFileError(const std::vector<NamedFile>& files, const SameFileFn& sameFile);

// The recordings the substitute library plays when QUORVANE_SIM holds
// `simValue`: the file itself when it is a recording (".lgrec" in any case,
// or a file that starts as one), else every `recording = FILE` of the
// scenario it names, relative to the scenario's folder. Only what this
// process can see: nothing for the maker's library or an unreadable scenario.
using ReadFileFn = std::function<bool(const std::string& path, std::string& bytes, std::string& error)>;
std::vector<std::string> RecordingsPlayed(const std::string& simValue, const ReadFileFn& readFile);

}  // namespace check
