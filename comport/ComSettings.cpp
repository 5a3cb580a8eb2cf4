#include <velt/comport/ComSettings.h>

#include "ComPortPrivate.h"

#include <velt/comport/ComPort.h>

// ---- TComTimeouts ---------------------------------------------------------

void TComTimeouts::Change(int32_t& Field, int32_t Value)
{
    if (Field == Value)
        return;
    Field = Value;
    if (OwnerPort() != nullptr)
        TComPortPrivate::ApplyTimeoutSettings(*OwnerPort());
}

void TComTimeouts::SetReadInterval(int32_t Value) { Change(FReadInterval, Value); }
void TComTimeouts::SetReadTotalMultiplier(int32_t Value) { Change(FReadTotalMultiplier, Value); }
void TComTimeouts::SetReadTotalConstant(int32_t Value) { Change(FReadTotalConstant, Value); }
void TComTimeouts::SetWriteTotalMultiplier(int32_t Value) { Change(FWriteTotalMultiplier, Value); }
void TComTimeouts::SetWriteTotalConstant(int32_t Value) { Change(FWriteTotalConstant, Value); }

bool TComTimeouts::AssignFrom(const TPersistent& Source)
{
    const auto* src = dynamic_cast<const TComTimeouts*>(&Source);
    if (src == nullptr)
        return false;
    FReadInterval = src->FReadInterval;
    FReadTotalMultiplier = src->FReadTotalMultiplier;
    FReadTotalConstant = src->FReadTotalConstant;
    FWriteTotalMultiplier = src->FWriteTotalMultiplier;
    FWriteTotalConstant = src->FWriteTotalConstant;
    return true;
}

// ---- TComFlowControl ------------------------------------------------------

template <typename T>
void TComFlowControl::Change(T& Field, T Value)
{
    if (Field == Value)
        return;
    Field = Value;
    if (OwnerPort() != nullptr)
        TComPortPrivate::ApplyLineSettings(*OwnerPort());
}

void TComFlowControl::SetOutCTSFlow(bool Value) { Change(FOutCTSFlow, Value); }
void TComFlowControl::SetOutDSRFlow(bool Value) { Change(FOutDSRFlow, Value); }
void TComFlowControl::SetControlDTR(TDTRFlowControl Value) { Change(FControlDTR, Value); }
void TComFlowControl::SetControlRTS(TRTSFlowControl Value) { Change(FControlRTS, Value); }
void TComFlowControl::SetXonXoffOut(bool Value) { Change(FXonXoffOut, Value); }
void TComFlowControl::SetXonXoffIn(bool Value) { Change(FXonXoffIn, Value); }
void TComFlowControl::SetDSRSensitivity(bool Value) { Change(FDSRSensitivity, Value); }
void TComFlowControl::SetTxContinueOnXoff(bool Value) { Change(FTxContinueOnXoff, Value); }
void TComFlowControl::SetXonChar(uint8_t Value) { Change(FXonChar, Value); }
void TComFlowControl::SetXoffChar(uint8_t Value) { Change(FXoffChar, Value); }

TFlowControl TComFlowControl::FlowControl() const
{
    const bool noXonXoff = !FXonXoffIn && !FXonXoffOut;
    if (FControlRTS == rtsHandshake && FOutCTSFlow && noXonXoff)
        return fcHardware;
    if (FControlRTS == rtsDisable && !FOutCTSFlow && FXonXoffIn && FXonXoffOut)
        return fcSoftware;
    if (FControlRTS == rtsDisable && !FOutCTSFlow && noXonXoff)
        return fcNone;
    return fcCustom;
}

void TComFlowControl::SetFlowControl(TFlowControl Value)
{
    if (Value != fcCustom) {
        FControlRTS = rtsDisable;
        FOutCTSFlow = false;
        FXonXoffIn = false;
        FXonXoffOut = false;
        if (Value == fcHardware) {
            FControlRTS = rtsHandshake;
            FOutCTSFlow = true;
        } else if (Value == fcSoftware) {
            FXonXoffIn = true;
            FXonXoffOut = true;
        }
    }
    if (OwnerPort() != nullptr)
        TComPortPrivate::ApplyLineSettings(*OwnerPort());
}

bool TComFlowControl::AssignFrom(const TPersistent& Source)
{
    const auto* src = dynamic_cast<const TComFlowControl*>(&Source);
    if (src == nullptr)
        return false;
    FOutCTSFlow = src->FOutCTSFlow;
    FOutDSRFlow = src->FOutDSRFlow;
    FControlDTR = src->FControlDTR;
    FControlRTS = src->FControlRTS;
    FXonXoffOut = src->FXonXoffOut;
    FXonXoffIn = src->FXonXoffIn;
    FDSRSensitivity = src->FDSRSensitivity;
    FTxContinueOnXoff = src->FTxContinueOnXoff;
    FXonChar = src->FXonChar;
    FXoffChar = src->FXoffChar;
    return true;
}

// ---- TComParity -----------------------------------------------------------

template <typename T>
void TComParity::Change(T& Field, T Value)
{
    if (Field == Value)
        return;
    Field = Value;
    if (OwnerPort() != nullptr)
        TComPortPrivate::ApplyLineSettings(*OwnerPort());
}

void TComParity::SetBits(TParityBits Value) { Change(FBits, Value); }
void TComParity::SetCheck(bool Value) { Change(FCheck, Value); }
void TComParity::SetReplace(bool Value) { Change(FReplace, Value); }
void TComParity::SetReplaceChar(uint8_t Value) { Change(FReplaceChar, Value); }

bool TComParity::AssignFrom(const TPersistent& Source)
{
    const auto* src = dynamic_cast<const TComParity*>(&Source);
    if (src == nullptr)
        return false;
    FBits = src->FBits;
    FCheck = src->FCheck;
    FReplace = src->FReplace;
    FReplaceChar = src->FReplaceChar;
    return true;
}

// ---- TComBuffer -----------------------------------------------------------

void TComBuffer::Change(int32_t& Field, int32_t Value)
{
    // Equality is judged before the size is evened, so 1025 over a stored
    // 1024 stores 1024 again and still re-applies the queue sizes.
    if (Field == Value)
        return;
    Field = (Value > 0 && Value % 2 != 0) ? Value - 1 : Value;
    if (OwnerPort() != nullptr)
        TComPortPrivate::ApplyBufferSettings(*OwnerPort());
}

void TComBuffer::SetInputSize(int32_t Value) { Change(FInputSize, Value); }
void TComBuffer::SetOutputSize(int32_t Value) { Change(FOutputSize, Value); }

bool TComBuffer::AssignFrom(const TPersistent& Source)
{
    const auto* src = dynamic_cast<const TComBuffer*>(&Source);
    if (src == nullptr)
        return false;
    FInputSize = src->FInputSize;
    FOutputSize = src->FOutputSize;
    return true;
}
