#pragma once
/// @file
/// A set of enumeration values held in a few bits: bit n is set when the value
/// of ordinal n is a member.
#include <cstdint>
#include <initializer_list>

template <typename Enum, typename Bits>
class SmallSet {
public:
    constexpr SmallSet() = default;
    constexpr SmallSet(std::initializer_list<Enum> values)
    {
        for (Enum v : values)
            FBits = static_cast<Bits>(FBits | BitOf(v));
    }
    static constexpr SmallSet FromBits(Bits bits)
    {
        SmallSet s;
        s.FBits = bits;
        return s;
    }

    constexpr bool Contains(Enum v) const { return (FBits & BitOf(v)) != 0; }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr Bits ToBits() const { return FBits; }
    constexpr void Include(Enum v) { FBits = static_cast<Bits>(FBits | BitOf(v)); }
    constexpr void Exclude(Enum v) { FBits = static_cast<Bits>(FBits & ~BitOf(v)); }
    constexpr bool operator==(const SmallSet&) const = default;

private:
    static constexpr Bits BitOf(Enum v) { return static_cast<Bits>(Bits{1} << static_cast<unsigned>(v)); }
    Bits FBits = 0;
};
