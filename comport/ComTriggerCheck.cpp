// Whether the class of a port replaces TriggerTxEmpty. The transmitter-empty
// watch costs the device a helper and every write an extra wake-up, so it
// runs only while someone listens, and a subclass's own TriggerTxEmpty is a
// listener too. The compiler tells which function a virtual call reaches on
// a given object; compilers that cannot tell count every port as listening.
#include <velt/comport/ComPort.h>

#include "ComPortPrivate.h"

#if defined(__GNUC__) && !defined(__clang__)

// The bound member function's address is the compiler's own extension.
#pragma GCC diagnostic ignored "-Wpmf-conversions"
#pragma GCC diagnostic ignored "-Wpedantic"

using TxEmptyTrigger = void (*)(TCustomComPort*);

const void* TCustomComPort::TxEmptyTriggerInUse()
{
    return reinterpret_cast<const void*>(reinterpret_cast<TxEmptyTrigger>(this->*(&TCustomComPort::TriggerTxEmpty)));
}

bool TCustomComPort::TxEmptyTriggerReplaced() { return TxEmptyTriggerInUse() != FPrivate->FBaseTxEmptyTrigger; }

#else

const void* TCustomComPort::TxEmptyTriggerInUse() { return nullptr; }

bool TCustomComPort::TxEmptyTriggerReplaced() { return true; }

#endif
