#pragma once
/// @file
/// EComPort: the port's only exception, carrying the component's error code
/// and the platform's error number (errno here; -1 when there is none).
#include <velt/comport/Export.h>
#include <cstdint>
#include <string>

#include <velt/comport/framework/Exception.h>

/// The error codes of EComPort::PortErrorCode(); PortErrorText() gives their texts.
enum TPortError : int32_t {
    peOpenDevice = 1,
    peWriteFailed = 2,
    peReadFailed = 3,
    peBadTransfer = 4,
    pePurgeFailed = 5,
    peTransferStatus = 6,
    peSetLineFailed = 7,
    peSetTimeoutsFailed = 8,
    peSetQueuesFailed = 9,
    peClearErrorFailed = 10,
    peModemStatusFailed = 11,
    peEscapeFailed = 12,
    peTransmitCharFailed = 13,
    peWhileConnected = 14,
    peEnumPortsFailed = 15,
    peSettingsStore = 16,
    peSettingsLoad = 17,
    peLinkFailed = 18,
    peLedState = 19,
    peThreadRunning = 20,
    peWaitFailed = 21,
    peRxBufLinked = 22,
    peRegistry = 23,
    /// ShowSettingsDialog() in a program that installed no dialog.
    peNoSettingsDialog = 24,
};

/// What the platform's error number of a failed open tells (EComPort::OpenFailure()).
enum TOpenFailure : uint8_t {
    ofOther,        ///< nothing a user can act on beyond the message
    ofNoSuchPort,   ///< no such port (a name mistyped, an adapter not plugged in)
    ofInUse,        ///< another program holds the port
    ofAccessDenied, ///< this user may not use the device (AccessDenied())
};

/// The fixed message of an error code.
VELT_COMPORT_EXPORT std::string PortErrorText(int32_t Code);

/// A failure of a port: an error code (TPortError) and the platform's error
/// number where there is one (-1 otherwise).
class VELT_COMPORT_EXPORT EComPort : public Exception {
public:
    /// Message: the code's text followed by " (win error code: N)". The
    /// wording is kept as it is so that reports read the same everywhere.
    EComPort(int32_t ACode, int32_t ASystemErrorCode);
    /// Message: the code's text alone; SystemErrorCode is -1.
    explicit EComPort(int32_t ACode);

    int32_t SystemErrorCode() const { return FSystemErrorCode; } ///< The platform's error number, or -1.
    int32_t PortErrorCode() const { return FPortErrorCode; }     ///< The error code, a TPortError value.
    /// True when the platform refused this user access to the device, so
    /// that a program can say what to do about it.
    bool AccessDenied() const;
    /// What the platform's error number says of a failed open, so that a
    /// program can say it in words beside the message.
    TOpenFailure OpenFailure() const;

private:
    int32_t FSystemErrorCode;
    int32_t FPortErrorCode;
};
