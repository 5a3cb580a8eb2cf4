#pragma once
// Runs a handler's body so that no exception leaves it: what leaves the body
// goes to the framework's exception report. A window system's frames may lie
// beneath any handler, and an exception must not unwind through them.
#include <exception>

#include <velt/comport/framework/ExceptionReport.h>

template <typename Body>
void RunReported(Body&& Run) noexcept
{
    try {
        Run();
    } catch (...) {
        ReportException(std::current_exception());
    }
}
