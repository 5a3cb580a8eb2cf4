#pragma once
/// @file
/// The four small settings objects a port owns: timeouts, flow control,
/// parity and queue sizes. A setter stores a changed value and asks the owning
/// port, if any, to write the affected group to its device.
#include <velt/comport/Export.h>
#include <cstdint>

#include <velt/comport/ComTypes.h>
#include <velt/comport/framework/Persistent.h>

class TCustomComPort;

/// Common part: the port that owns the object, or none.
/// A group of a port's settings; a change made through a setter is written
/// to the owning port's device at once while the port is open.
class VELT_COMPORT_EXPORT TComSettingsObject : public TPersistent {
public:
    TCustomComPort* OwnerPort() const
    {
        return FOwnerPort;
    } ///< The port whose settings these are (null for a free-standing copy).
    void SetOwnerPort(TCustomComPort* Port) { FOwnerPort = Port; } ///< Binds the settings to Port.

private:
    TCustomComPort* FOwnerPort = nullptr;
};

/// The read and write timeouts, in milliseconds, with the meaning of the
/// first platform: a read waits at most ReadTotalMultiplier() per byte asked
/// for plus ReadTotalConstant(), and at most ReadInterval() between two bytes
/// (-1: return at once with what is there); a write likewise. 0 means no limit.
class VELT_COMPORT_EXPORT TComTimeouts : public TComSettingsObject {
public:
    std::string ClassName() const override { return "TComTimeouts"; } ///< "TComTimeouts".
    int32_t ReadInterval() const
    {
        return FReadInterval;
    } ///< Longest gap between two bytes of a read; -1 returns at once.
    int32_t ReadTotalMultiplier() const { return FReadTotalMultiplier; }   ///< Read limit per byte asked for.
    int32_t ReadTotalConstant() const { return FReadTotalConstant; }       ///< Read limit added once.
    int32_t WriteTotalMultiplier() const { return FWriteTotalMultiplier; } ///< Write limit per byte written.
    int32_t WriteTotalConstant() const { return FWriteTotalConstant; }     ///< Write limit added once.
    void SetReadInterval(int32_t Value);                                   ///< Sets ReadInterval().
    void SetReadTotalMultiplier(int32_t Value);                            ///< Sets ReadTotalMultiplier().
    void SetReadTotalConstant(int32_t Value);                              ///< Sets ReadTotalConstant().
    void SetWriteTotalMultiplier(int32_t Value);                           ///< Sets WriteTotalMultiplier().
    void SetWriteTotalConstant(int32_t Value);                             ///< Sets WriteTotalConstant().

protected:
    bool AssignFrom(const TPersistent& Source) override;

private:
    void Change(int32_t& Field, int32_t Value);
    int32_t FReadInterval = -1;
    int32_t FReadTotalMultiplier = 0;
    int32_t FReadTotalConstant = 0;
    int32_t FWriteTotalMultiplier = 100;
    int32_t FWriteTotalConstant = 1000;
};

/// Flow control, field by field, and summed up as FlowControl().
class VELT_COMPORT_EXPORT TComFlowControl : public TComSettingsObject {
public:
    std::string ClassName() const override { return "TComFlowControl"; } ///< "TComFlowControl".
    bool OutCTSFlow() const { return FOutCTSFlow; }                      ///< Output waits while CTS is off.
    bool OutDSRFlow() const { return FOutDSRFlow; }                      ///< Output waits while DSR is off.
    TDTRFlowControl ControlDTR() const { return FControlDTR; } ///< How DTR is driven: off, on, or as input handshake.
    TRTSFlowControl ControlRTS() const
    {
        return FControlRTS;
    }                                               ///< How RTS is driven: off, on, handshake, or on while sending.
    bool XonXoffOut() const { return FXonXoffOut; } ///< Output stops at XOFF and goes on at XON.
    bool XonXoffIn() const { return FXonXoffIn; }   ///< XOFF and XON are sent as the input queue fills and empties.
    bool DSRSensitivity() const { return FDSRSensitivity; }     ///< Bytes received while DSR is off are dropped.
    bool TxContinueOnXoff() const { return FTxContinueOnXoff; } ///< Output goes on after XOFF was sent.
    uint8_t XonChar() const { return FXonChar; }                ///< The XON character (17 by default).
    uint8_t XoffChar() const { return FXoffChar; }              ///< The XOFF character (19 by default).
    void SetOutCTSFlow(bool Value);                             ///< Sets OutCTSFlow().
    void SetOutDSRFlow(bool Value);                             ///< Sets OutDSRFlow().
    void SetControlDTR(TDTRFlowControl Value);                  ///< Sets ControlDTR().
    void SetControlRTS(TRTSFlowControl Value);                  ///< Sets ControlRTS().
    void SetXonXoffOut(bool Value);                             ///< Sets XonXoffOut().
    void SetXonXoffIn(bool Value);                              ///< Sets XonXoffIn().
    void SetDSRSensitivity(bool Value);                         ///< Sets DSRSensitivity().
    void SetTxContinueOnXoff(bool Value);                       ///< Sets TxContinueOnXoff().
    void SetXonChar(uint8_t Value);                             ///< Sets XonChar().
    void SetXoffChar(uint8_t Value);                            ///< Sets XoffChar().

    /// The summary of the fields above, derived on every read.
    TFlowControl FlowControl() const;
    /// Rewrites RTS control, CTS output flow and both XON/XOFF flags at once
    /// (fcCustom changes nothing) and re-applies the line settings once.
    void SetFlowControl(TFlowControl Value);

protected:
    bool AssignFrom(const TPersistent& Source) override;

private:
    template <typename T>
    void Change(T& Field, T Value);
    bool FOutCTSFlow = false;
    bool FOutDSRFlow = false;
    TDTRFlowControl FControlDTR = dtrDisable;
    TRTSFlowControl FControlRTS = rtsDisable;
    bool FXonXoffOut = false;
    bool FXonXoffIn = false;
    bool FDSRSensitivity = false;
    bool FTxContinueOnXoff = false;
    uint8_t FXonChar = 17;
    uint8_t FXoffChar = 19;
};

/// Parity: its kind, whether received bytes are checked, and what a byte
/// with a parity error is replaced by.
class VELT_COMPORT_EXPORT TComParity : public TComSettingsObject {
public:
    std::string ClassName() const override { return "TComParity"; } ///< "TComParity".
    TParityBits Bits() const { return FBits; }                      ///< The kind of parity.
    bool Check() const { return FCheck; }                           ///< Whether received bytes are checked.
    bool Replace() const { return FReplace; } ///< Whether a byte with a parity error is replaced by ReplaceChar().
    uint8_t ReplaceChar() const { return FReplaceChar; } ///< The byte put in place of one with a parity error.
    void SetBits(TParityBits Value);                     ///< Sets Bits().
    void SetCheck(bool Value);                           ///< Sets Check().
    void SetReplace(bool Value);                         ///< Sets Replace().
    void SetReplaceChar(uint8_t Value);                  ///< Sets ReplaceChar().

protected:
    bool AssignFrom(const TPersistent& Source) override;

private:
    template <typename T>
    void Change(T& Field, T Value);
    TParityBits FBits = prNone;
    bool FCheck = false;
    bool FReplace = false;
    uint8_t FReplaceChar = 0;
};

/// The recommended sizes of the input and output queues, in bytes (the
/// device may keep larger ones).
class VELT_COMPORT_EXPORT TComBuffer : public TComSettingsObject {
public:
    std::string ClassName() const override { return "TComBuffer"; } ///< "TComBuffer".
    int32_t InputSize() const { return FInputSize; }                ///< Input queue size (1024 by default).
    int32_t OutputSize() const { return FOutputSize; }              ///< Output queue size (1024 by default).
    /// A positive odd size is stored one less, so the queues stay even.
    void SetInputSize(int32_t Value);
    void SetOutputSize(int32_t Value); ///< Sets OutputSize(), stored even as SetInputSize() does.

protected:
    bool AssignFrom(const TPersistent& Source) override;

private:
    void Change(int32_t& Field, int32_t Value);
    int32_t FInputSize = 1024;
    int32_t FOutputSize = 1024;
};
