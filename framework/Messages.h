// Message boxes and the framework's exceptions.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

#include "framework/String.h"

// A message box captioned with the application name.
int AfxMessageBox(const char* pszText, UINT nType = MB_OK);
int AfxMessageBoxW(const wchar_t* pszText, UINT nType = MB_OK);

// Thrown when a resource (a window class, a GDI object) cannot be created.
class CResourceException : public std::exception {
public:
    const char* what() const noexcept override { return "resource could not be created"; }
};
[[noreturn]] void AfxThrowResourceException();
