#pragma once
/// @file
/// The port's enumerations and sets, with their texts and device values.
#include <velt/comport/Export.h>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include <velt/comport/SmallSet.h>

/// Bit rates by name; brCustom uses the port's CustomBaudRate().
enum TBaudRate : uint8_t {
    brCustom,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
/// Stop bits: 1, 1.5 or 2.
enum TStopBits : uint8_t { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
/// Data bits per character: 5 to 8.
enum TDataBits : uint8_t { dbFive, dbSix, dbSeven, dbEight };
/// The kind of parity bit.
enum TParityBits : uint8_t { prNone, prOdd, prEven, prMark, prSpace };
/// How DTR is driven.
enum TDTRFlowControl : uint8_t { dtrDisable, dtrEnable, dtrHandshake };
/// How RTS is driven.
enum TRTSFlowControl : uint8_t { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
/// Flow control summed up.
enum TFlowControl : uint8_t { fcHardware, fcSoftware, fcNone, fcCustom };
/// The line events a port can listen for (see TCustomComPort::Events()).
enum TComEvent : uint8_t { evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evCTS, evDSR, evError, evRLSD, evRx80Full };
/// Where handlers run (see TCustomComPort::SyncMethod()).
enum TSyncMethod : uint8_t { smThreadSync, smWindowSync, smNone };
/// Line errors.
enum TComError : uint8_t { ceFrame, ceRxParity, ceOverrun, ceBreak, ceIO, ceMode, ceRxOver, ceTxFull };
/// Modem input lines.
enum TComLineSignal : uint8_t { lsCTS, lsDSR, lsRing, lsRLSD };

using TComEvents = SmallSet<TComEvent, uint16_t>;          ///< A set of line events.
using TComErrors = SmallSet<TComError, uint8_t>;           ///< A set of line errors.
using TComLineSignals = SmallSet<TComLineSignal, uint8_t>; ///< A set of modem lines.

constexpr int kBaudRateCount = 16; ///< The number of TBaudRate values.
constexpr int kComEventCount = 10; ///< The number of TComEvent values.

/// All ten line events, the default of a port's Events.
VELT_COMPORT_EXPORT TComEvents AllComEvents();

/// The bits per second a named rate stands for (0 for brCustom).
VELT_COMPORT_EXPORT uint32_t BaudRateValue(TBaudRate Rate);

/// @name Texts of the settings
/// The texts the settings are stored and shown as ("9600", "8", "1.5",
/// "Even", "Hardware", ...); reading a text compares without regard to
/// letter case, and an unknown text gives the first value.
/// @{
VELT_COMPORT_EXPORT std::string BaudRateToText(TBaudRate Value);             ///< The text of a value.
VELT_COMPORT_EXPORT TBaudRate TextToBaudRate(const std::string& Text);       ///< The value a text stands for.
VELT_COMPORT_EXPORT std::string StopBitsToText(TStopBits Value);             ///< The text of a value.
VELT_COMPORT_EXPORT TStopBits TextToStopBits(const std::string& Text);       ///< The value a text stands for.
VELT_COMPORT_EXPORT std::string DataBitsToText(TDataBits Value);             ///< The text of a value.
VELT_COMPORT_EXPORT TDataBits TextToDataBits(const std::string& Text);       ///< The value a text stands for.
VELT_COMPORT_EXPORT std::string ParityToText(TParityBits Value);             ///< The text of a value.
VELT_COMPORT_EXPORT TParityBits TextToParity(const std::string& Text);       ///< The value a text stands for.
VELT_COMPORT_EXPORT std::string FlowControlToText(TFlowControl Value);       ///< The text of a value.
VELT_COMPORT_EXPORT TFlowControl TextToFlowControl(const std::string& Text); ///< The value a text stands for.
VELT_COMPORT_EXPORT std::string BoolToText(bool Value);                      ///< "Yes" or "No".
VELT_COMPORT_EXPORT bool TextToBool(const std::string& Text);                ///< True for "Yes" in any letter case.
VELT_COMPORT_EXPORT std::string DTRToText(TDTRFlowControl Value);            ///< "Disable", "Enable" or "Handshake".
VELT_COMPORT_EXPORT TDTRFlowControl
TextToDTR(const std::string& Text); ///< The DTR control a text names; dtrDisable when none.
VELT_COMPORT_EXPORT std::string RTSToText(TRTSFlowControl Value); ///< "Disable", "Enable", "Handshake" or "Toggle".
VELT_COMPORT_EXPORT TRTSFlowControl
TextToRTS(const std::string& Text);                        ///< The RTS control a text names; rtsDisable when none.
VELT_COMPORT_EXPORT std::string CharToText(uint8_t Value); ///< A character as stored: its decimal code.
VELT_COMPORT_EXPORT uint8_t TextToChar(const std::string& Text); ///< The character CharToText() stored.
/// @}

/// The platform event-mask bit of each event (kEvRxChar and its kin).
VELT_COMPORT_EXPORT uint32_t EventMaskBit(TComEvent Event);
VELT_COMPORT_EXPORT uint32_t EventsToMask(TComEvents Events); ///< The event-mask bits of a set of events.
VELT_COMPORT_EXPORT TComEvents MaskToEvents(uint32_t Mask);   ///< The events of event-mask bits.

/// ASCII-only upper case, as the text conversions compare.
VELT_COMPORT_EXPORT std::string UpperCaseAscii(std::string Text);

/// The position of the first of Texts (any range of texts) that equals Text
/// without regard to ASCII case; -1 when none does. Nothing is trimmed.
template <typename Range>
int IndexIgnoringCase(const Range& Texts, const std::string& Text)
{
    const std::string wanted = UpperCaseAscii(Text);
    int index = 0;
    for (const auto& candidate : Texts) {
        if (UpperCaseAscii(candidate) == wanted)
            return index;
        ++index;
    }
    return -1;
}

/// The value whose text (Texts, indexed by ordinal) equals Text without
/// regard to ASCII case, the first in ordinal order; Fallback when none does.
/// Nothing is trimmed.
template <typename Enum, size_t N>
Enum MatchEnumText(const std::array<const char*, N>& Texts, const std::string& Text, Enum Fallback)
{
    const int index = IndexIgnoringCase(Texts, Text);
    return index < 0 ? Fallback : static_cast<Enum>(index);
}

/// Where a port's settings are kept, and which groups of them.
enum TSettingsStore : uint8_t { ssRegistry, ssIniFile };
/// Whether restoring settings may create the store's key (saReadWrite) or
/// must leave the store as it is (saReadOnly).
enum TStoreAccess : uint8_t { saReadWrite, saReadOnly };
/// Groups of settings that are stored.
enum TSettingsGroup : uint8_t { sgBasic, sgFlowDetails, sgBuffer, sgTimeouts, sgParityDetails, sgExtras };
using TSettingsGroups = SmallSet<TSettingsGroup, uint8_t>; ///< A set of settings groups.
