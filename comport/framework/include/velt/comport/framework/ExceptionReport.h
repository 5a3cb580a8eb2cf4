#pragma once
/// @file
/// The application's exception report: where an exception that nobody caught
/// in an event handler goes. The application installs a handler (a message box
/// in the program); without one, the message is written to standard error.
#include <velt/comport/Export.h>
#include <exception>
#include <functional>
#include <string>

/// Shows the message of an exception nobody caught in a handler.
using TExceptionReportHandler = std::function<void(const std::string& Message)>;

/// Installs Handler (empty: messages go to standard error).
VELT_COMPORT_EXPORT void SetExceptionReportHandler(TExceptionReportHandler Handler);

/// Shows the exception's message through the installed handler. Never throws.
VELT_COMPORT_EXPORT void ReportException(std::exception_ptr Error);

/// The message text of any exception.
VELT_COMPORT_EXPORT std::string ExceptionMessage(std::exception_ptr Error);
