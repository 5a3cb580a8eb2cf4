#pragma once
// Owns one descriptor or handle of the system and closes it once: when the
// owner goes, or is given another. Traits names the kind: its Value type,
// whether a value is one (IsValid), the value that owns nothing (Invalid)
// and how to close one (Close).
#include <utility>

namespace platform {

template <typename Traits>
class UniqueOwner {
public:
    using Value = typename Traits::Value;

    UniqueOwner() = default;
    explicit UniqueOwner(Value Owned) : FValue(Owned) {}
    ~UniqueOwner() { Reset(); }
    UniqueOwner(UniqueOwner&& Other) noexcept : FValue(Other.Release()) {}
    UniqueOwner& operator=(UniqueOwner&& Other) noexcept
    {
        if (this != &Other)
            Reset(Other.Release());
        return *this;
    }
    UniqueOwner(const UniqueOwner&) = delete;
    UniqueOwner& operator=(const UniqueOwner&) = delete;

    Value Get() const { return FValue; }
    bool Valid() const { return Traits::IsValid(FValue); }
    // Gives up the value without closing it.
    Value Release() { return std::exchange(FValue, Traits::Invalid()); }
    // Closes what it owns and owns Owned instead.
    void Reset(Value Owned = Traits::Invalid())
    {
        if (Valid())
            Traits::Close(FValue);
        FValue = Owned;
    }

private:
    Value FValue = Traits::Invalid();
};

} // namespace platform
