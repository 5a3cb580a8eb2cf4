#pragma once
// Owns one descriptor and closes it once: when the owner goes, or is given
// another. -1 owns nothing.
#include <unistd.h>

#include <utility>

namespace platform {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int Fd) : FFd(Fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& Other) noexcept : FFd(std::exchange(Other.FFd, -1)) {}
    UniqueFd& operator=(UniqueFd&& Other) noexcept
    {
        if (this != &Other)
            Reset(std::exchange(Other.FFd, -1));
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return FFd; }
    bool Valid() const { return FFd >= 0; }
    // Gives up the descriptor without closing it.
    int Release() { return std::exchange(FFd, -1); }
    // Closes what it owns and owns Fd instead.
    void Reset(int Fd = -1)
    {
        if (FFd >= 0)
            close(FFd);
        FFd = Fd;
    }

private:
    int FFd = -1;
};

} // namespace platform
