#pragma once
// The application's exception report: where an exception that nobody caught
// in an event handler goes. The application installs a handler (a message box
// in the program); without one, the message is written to standard error.
#include <exception>
#include <functional>
#include <string>

using TExceptionReportHandler = std::function<void(const std::string& Message)>;

void SetExceptionReportHandler(TExceptionReportHandler Handler);

// Shows the exception's message through the installed handler. Never throws.
void ReportException(std::exception_ptr Error);

// The message text of any exception.
std::string ExceptionMessage(std::exception_ptr Error);
