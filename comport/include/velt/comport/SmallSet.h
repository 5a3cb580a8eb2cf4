#pragma once
/// @file
/// A set of enumeration values held in a few bits: bit n is set when the value
/// of ordinal n is a member.
#include <cstdint>
#include <initializer_list>

template <typename Enum, typename Bits>
/// A set of values of Enum stored as the bits of Bits (bit n: ordinal n).
class SmallSet {
public:
    constexpr SmallSet() = default; ///< The empty set.
    /// The set of the given values.
    constexpr SmallSet(std::initializer_list<Enum> values)
    {
        for (Enum v : values)
            FBits = static_cast<Bits>(FBits | BitOf(v));
    }
    /// The set whose bits are bits.
    static constexpr SmallSet FromBits(Bits bits)
    {
        SmallSet s;
        s.FBits = bits;
        return s;
    }

    constexpr bool Contains(Enum v) const { return (FBits & BitOf(v)) != 0; }        ///< Whether v is a member.
    constexpr bool Empty() const { return FBits == 0; }                              ///< Whether the set has no member.
    constexpr Bits ToBits() const { return FBits; }                                  ///< The bits of the set.
    constexpr void Include(Enum v) { FBits = static_cast<Bits>(FBits | BitOf(v)); }  ///< Adds v.
    constexpr void Exclude(Enum v) { FBits = static_cast<Bits>(FBits & ~BitOf(v)); } ///< Removes v.
    constexpr bool operator==(const SmallSet&) const = default;                      ///< Same members.

private:
    static constexpr Bits BitOf(Enum v) { return static_cast<Bits>(Bits{1} << static_cast<unsigned>(v)); }
    Bits FBits = 0;
};
