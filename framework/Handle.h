// An owned kernel handle (file, event, thread), closed exactly once when its
// owner goes. The API's two "no handle" values — INVALID_HANDLE_VALUE from
// CreateFile, null from the rest — both mean empty, so callers test one thing.
#pragma once

#include <windows.h>

#include <utility>

class CHandle {
public:
    CHandle() = default;
    explicit CHandle(HANDLE h) : m_h(Normal(h)) {}
    ~CHandle() { reset(); }
    CHandle(CHandle&& other) noexcept : m_h(other.release()) {}
    CHandle& operator=(CHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;

    HANDLE get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }
    HANDLE release() { return std::exchange(m_h, nullptr); }
    // False when the close failed (a file's last write error can show up here).
    bool reset(HANDLE h = nullptr) {
        const HANDLE old = std::exchange(m_h, Normal(h));
        return old == nullptr || ::CloseHandle(old) != FALSE;
    }

private:
    static HANDLE Normal(HANDLE h) { return h == INVALID_HANDLE_VALUE ? nullptr : h; }
    HANDLE m_h = nullptr;
};
