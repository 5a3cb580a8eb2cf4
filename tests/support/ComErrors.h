#pragma once
// The port error a call raised, for tests that look at its codes.
#include <optional>
#include <utility>

#include <gtest/gtest.h>

#include <velt/comport/ComError.h>

// The error Action raised; none when it raised nothing, for each test
// framework to report its way.
template <typename Action>
std::optional<EComPort> ComErrorOf(Action&& A)
{
    try {
        std::forward<Action>(A)();
    } catch (const EComPort& e) {
        return e;
    }
    return std::nullopt;
}

// The port error code Action raised; 0 when it raised none.
template <typename Action>
int PortErrorOf(Action&& A)
{
    const std::optional<EComPort> error = ComErrorOf(std::forward<Action>(A));
    return error ? error->PortErrorCode() : 0;
}

// For GoogleTest: the error Action raised, or a failure of the test (and an
// error of codes 0, 0) when it raised none.
template <typename Action>
EComPort ExpectComError(Action&& A)
{
    if (std::optional<EComPort> error = ComErrorOf(std::forward<Action>(A)))
        return *error;
    ADD_FAILURE() << "no EComPort raised";
    return EComPort(0, 0);
}
