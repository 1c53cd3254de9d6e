#include "scope/RecordingName.h"

#include <cstdio>

namespace scope {

std::string RecordingDefaultName(std::string_view frameName, int nYear, int nMonth, int nDay, int nHour, int nMinute,
                                 int nSecond, reports::LeadByteFn isLeadByte) {
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "_%04d-%02d-%02d_%02d-%02d-%02d", nYear, nMonth, nDay, nHour, nMinute, nSecond);
    return reports::FileNameSafeText(frameName, isLeadByte) + stamp + kRecordingExtension;
}

namespace {
bool EndsWithNoCase(std::string_view text, std::string_view tail) {
    if (text.size() < tail.size()) return false;
    for (std::size_t i = 0; i < tail.size(); ++i) {
        char c = text[text.size() - tail.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != tail[i]) return false;
    }
    return true;
}
}  // namespace

std::string WithRecordingExtension(std::string_view path) {
    const std::size_t slash = path.find_last_of("\\/");
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    std::size_t nameEnd = path.size();
    while (nameEnd > nameStart && (path[nameEnd - 1] == '.' || path[nameEnd - 1] == ' ')) --nameEnd;
    if (nameEnd == nameStart) return std::string(path);
    std::string result(path.substr(0, nameEnd));
    if (!EndsWithNoCase(path.substr(nameStart, nameEnd - nameStart), kRecordingExtension))
        result += kRecordingExtension;
    return result;
}

}  // namespace scope
