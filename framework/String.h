// CString: a narrow string in the system code page, as the library's texts and
// the settings file's names are. Korean resource texts are handled as UTF-16
// (std::wstring) where they are shown; see Widen.
#pragma once

#include <windows.h>

#include <string>

// printf-style argument checking where the compiler offers it.
#if defined(__GNUC__)
#define AFX_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define AFX_PRINTF_FORMAT(fmt, args)
#endif

class CString {
public:
    CString() = default;
    CString(const char* psz) : m_str(psz ? psz : "") {}
    CString(const char* pch, int nLength) : m_str(pch, static_cast<size_t>(nLength)) {}
    CString(const std::string& s) : m_str(s) {}

    void Format(const char* pszFormat, ...) AFX_PRINTF_FORMAT(2, 3);

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    const char* GetString() const { return m_str.c_str(); }
    operator const char*() const { return m_str.c_str(); }
    const std::string& str() const { return m_str; }

    CString& operator=(const char* psz) {
        m_str = psz ? psz : "";
        return *this;
    }
    CString& operator+=(const CString& s) {
        m_str += s.m_str;
        return *this;
    }
    CString& operator+=(const char* psz) {
        m_str += psz ? psz : "";
        return *this;
    }
    friend CString operator+(const CString& a, const CString& b) { return CString(a.m_str + b.m_str); }
    friend CString operator+(const CString& a, const char* b) { return CString(a.m_str + (b ? b : "")); }
    bool operator==(const CString& o) const { return m_str == o.m_str; }
    bool operator!=(const CString& o) const { return m_str != o.m_str; }
    bool operator==(const char* psz) const { return m_str == (psz ? psz : ""); }

private:
    std::string m_str;
};

// Converts between the system code page (the library's texts) and UTF-16 (the windows).
std::wstring Widen(const char* psz, UINT nCodePage = CP_ACP);
std::string Narrow(const wchar_t* psz, UINT nCodePage = CP_ACP);

// A Windows error as "error 5 (Access is denied.)", in the system's words as
// characters: an ANSI text would turn to replacement characters in UTF-8.
std::wstring SystemErrorText(DWORD nError);

// Whether `byte` opens a two-byte character in the system code page (the
// library's names are in it), so that a cut never splits a character.
bool IsCodePageLeadByte(unsigned char byte);
