#pragma once
/// @file
/// The application framework's exception classes: every failure the component
/// reports is an Exception carrying a ready-to-show message.
#include <velt/comport/Export.h>
#include <exception>
#include <string>

/// The base of every exception the component raises: a message ready to show.
class VELT_COMPORT_EXPORT Exception : public std::exception {
public:
    explicit Exception(std::string message) : FMessage(std::move(message)) {} ///< An exception with the given message.
    const char* what() const noexcept override { return FMessage.c_str(); }   ///< The message.
    const std::string& Message() const { return FMessage; }                   ///< The message.

private:
    std::string FMessage;
};

/// Raised when an object is asked to copy itself from something it cannot take.
class VELT_COMPORT_EXPORT EConvertError : public Exception {
public:
    using Exception::Exception;
};
