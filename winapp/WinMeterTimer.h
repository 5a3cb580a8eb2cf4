#pragma once
// A window timer (SetTimer on the main window) as a timer of the meter
// session. Starting a running timer starts its count again.
#include <windows.h>

#include "MeterTimer.h"

class WinMeterTimer : public MeterTimer {
public:
    WinMeterTimer(HWND Window, UINT_PTR Id, UINT IntervalMs) : FWindow(Window), FId(Id), FInterval(IntervalMs) {}
    ~WinMeterTimer() override { Stop(); }
    WinMeterTimer(const WinMeterTimer&) = delete;
    WinMeterTimer& operator=(const WinMeterTimer&) = delete;

    void Start() override { FActive = SetTimer(FWindow, FId, FInterval, nullptr) != 0; }
    void Stop() override
    {
        if (FActive)
            KillTimer(FWindow, FId);
        FActive = false;
    }
    // A WM_TIMER that was on its way when the timer stopped finds it inactive.
    bool IsActive() const override { return FActive; }

private:
    HWND FWindow;
    UINT_PTR FId;
    UINT FInterval;
    bool FActive = false;
};
