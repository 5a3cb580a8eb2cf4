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
class VELT_COMPORT_EXPORT TComSettingsObject : public TPersistent {
public:
    TCustomComPort* OwnerPort() const { return FOwnerPort; }
    void SetOwnerPort(TCustomComPort* Port) { FOwnerPort = Port; }

private:
    TCustomComPort* FOwnerPort = nullptr;
};

class VELT_COMPORT_EXPORT TComTimeouts : public TComSettingsObject {
public:
    std::string ClassName() const override { return "TComTimeouts"; }
    int32_t ReadInterval() const { return FReadInterval; }
    int32_t ReadTotalMultiplier() const { return FReadTotalMultiplier; }
    int32_t ReadTotalConstant() const { return FReadTotalConstant; }
    int32_t WriteTotalMultiplier() const { return FWriteTotalMultiplier; }
    int32_t WriteTotalConstant() const { return FWriteTotalConstant; }
    void SetReadInterval(int32_t Value);
    void SetReadTotalMultiplier(int32_t Value);
    void SetReadTotalConstant(int32_t Value);
    void SetWriteTotalMultiplier(int32_t Value);
    void SetWriteTotalConstant(int32_t Value);

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

class VELT_COMPORT_EXPORT TComFlowControl : public TComSettingsObject {
public:
    std::string ClassName() const override { return "TComFlowControl"; }
    bool OutCTSFlow() const { return FOutCTSFlow; }
    bool OutDSRFlow() const { return FOutDSRFlow; }
    TDTRFlowControl ControlDTR() const { return FControlDTR; }
    TRTSFlowControl ControlRTS() const { return FControlRTS; }
    bool XonXoffOut() const { return FXonXoffOut; }
    bool XonXoffIn() const { return FXonXoffIn; }
    bool DSRSensitivity() const { return FDSRSensitivity; }
    bool TxContinueOnXoff() const { return FTxContinueOnXoff; }
    uint8_t XonChar() const { return FXonChar; }
    uint8_t XoffChar() const { return FXoffChar; }
    void SetOutCTSFlow(bool Value);
    void SetOutDSRFlow(bool Value);
    void SetControlDTR(TDTRFlowControl Value);
    void SetControlRTS(TRTSFlowControl Value);
    void SetXonXoffOut(bool Value);
    void SetXonXoffIn(bool Value);
    void SetDSRSensitivity(bool Value);
    void SetTxContinueOnXoff(bool Value);
    void SetXonChar(uint8_t Value);
    void SetXoffChar(uint8_t Value);

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

class VELT_COMPORT_EXPORT TComParity : public TComSettingsObject {
public:
    std::string ClassName() const override { return "TComParity"; }
    TParityBits Bits() const { return FBits; }
    bool Check() const { return FCheck; }
    bool Replace() const { return FReplace; }
    uint8_t ReplaceChar() const { return FReplaceChar; }
    void SetBits(TParityBits Value);
    void SetCheck(bool Value);
    void SetReplace(bool Value);
    void SetReplaceChar(uint8_t Value);

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

class VELT_COMPORT_EXPORT TComBuffer : public TComSettingsObject {
public:
    std::string ClassName() const override { return "TComBuffer"; }
    int32_t InputSize() const { return FInputSize; }
    int32_t OutputSize() const { return FOutputSize; }
    /// A positive odd size is stored one less, so the queues stay even.
    void SetInputSize(int32_t Value);
    void SetOutputSize(int32_t Value);

protected:
    bool AssignFrom(const TPersistent& Source) override;

private:
    void Change(int32_t& Field, int32_t Value);
    int32_t FInputSize = 1024;
    int32_t FOutputSize = 1024;
};
