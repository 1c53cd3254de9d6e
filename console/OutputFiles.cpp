#include "console/OutputFiles.h"

#include <cstring>

#include "recording/Recording.h"

namespace check {

namespace {

std::string Trim(const std::string& s) {
    const std::size_t from = s.find_first_not_of(" \t");
    if (from == std::string::npos) return {};
    return s.substr(from, s.find_last_not_of(" \t") + 1 - from);
}

bool EndsWithLgrec(const std::string& path) {
    static const char kExtension[] = ".lgrec";
    const std::size_t n = sizeof kExtension - 1;
    if (path.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        char c = path[path.size() - n + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != kExtension[i]) return false;
    }
    return true;
}

bool IsAbsolute(const std::string& path) {
    return (!path.empty() && (path[0] == '\\' || path[0] == '/')) || (path.size() >= 2 && path[1] == ':');
}

}  // namespace

bool SameFileIdentity(const FileIdentity& a, const FileIdentity& b) {
    if (a.bExists && b.bExists) return a.nVolume == b.nVolume && a.nIndex == b.nIndex;
    return !a.comparablePath.empty() && a.comparablePath == b.comparablePath;
}

std::string SharedFileError(const std::vector<NamedFile>& files, const SameFileFn& sameFile) {
    for (std::size_t i = 0; i < files.size(); ++i) {
        for (std::size_t k = i + 1; k < files.size(); ++k) {
            if (files[i].path.empty() || files[k].path.empty() || !sameFile(files[i].path, files[k].path)) continue;
            const std::string names =
                files[i].path == files[k].path ? files[i].path : files[i].path + " and " + files[k].path;
            return files[i].role + " and " + files[k].role + " name the same file (" + names + ")";
        }
    }
    return {};
}

std::vector<std::string> RecordingsPlayed(const std::string& simValue, const ReadFileFn& readFile) {
    if (simValue.empty()) return {};
    if (EndsWithLgrec(simValue)) return {simValue};
    std::string text, error;
    if (!readFile(simValue, text, error)) return {};
    if (text.size() >= recording::kMagicBytes &&
        std::memcmp(text.data(), recording::kMagic, recording::kMagicBytes) == 0)
        return {simValue};
    // The scenario's frame keys "recording = FILE"; the library refuses a
    // scenario it cannot parse, but a name too many only refuses one output more.
    const std::size_t slash = simValue.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? std::string() : simValue.substr(0, slash + 1);
    std::vector<std::string> recordings;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = Trim(line.substr(0, eq));
        if (key.compare(0, 3, "\xEF\xBB\xBF") == 0) key = Trim(key.substr(3));
        if (key != "recording") continue;
        const std::string file = Trim(line.substr(eq + 1));
        if (!file.empty()) recordings.push_back(IsAbsolute(file) ? file : folder + file);
    }
    return recordings;
}

}  // namespace check
