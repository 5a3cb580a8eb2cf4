#include <velt/comport/framework/ExceptionReport.h>

#include <cstdio>
#include <mutex>

namespace {
std::mutex handlerLock;
TExceptionReportHandler reportHandler;
} // namespace

void SetExceptionReportHandler(TExceptionReportHandler Handler)
{
    std::lock_guard lock(handlerLock);
    reportHandler = std::move(Handler);
}

std::string ExceptionMessage(std::exception_ptr Error)
{
    try {
        std::rethrow_exception(Error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown exception";
    }
}

void ReportException(std::exception_ptr Error)
{
    const std::string message = ExceptionMessage(Error);
    TExceptionReportHandler handler;
    {
        std::lock_guard lock(handlerLock);
        handler = reportHandler;
    }
    try {
        if (handler) {
            handler(message);
            return;
        }
    } catch (...) {
        // A failing report must not take the program down; fall back below.
    }
    std::fprintf(stderr, "%s\n", message.c_str());
}
