#pragma once
// Owns one handle of the system and closes it once: when the owner goes, or
// is given another. Null and INVALID_HANDLE_VALUE own nothing.
#include <windows.h>

#include <utility>

namespace platform {

class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE Handle) : FHandle(Handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& Other) noexcept : FHandle(std::exchange(Other.FHandle, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& Other) noexcept
    {
        if (this != &Other)
            Reset(std::exchange(Other.FHandle, nullptr));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE Get() const { return FHandle; }
    bool Valid() const { return FHandle != nullptr && FHandle != INVALID_HANDLE_VALUE; }
    // Gives up the handle without closing it.
    HANDLE Release() { return std::exchange(FHandle, nullptr); }
    // Closes what it owns and owns Handle instead.
    void Reset(HANDLE Handle = nullptr)
    {
        if (Valid())
            CloseHandle(FHandle);
        FHandle = Handle;
    }

private:
    HANDLE FHandle = nullptr;
};

} // namespace platform
