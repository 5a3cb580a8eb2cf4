#pragma once
// A window timer as a timer of the meter session.
#include <QTimer>

#include "MeterTimer.h"

class QtMeterTimer : public MeterTimer {
public:
    explicit QtMeterTimer(QTimer* Timer) : FTimer(Timer) {}
    void Start() override { FTimer->start(); }
    void Stop() override { FTimer->stop(); }
    bool IsActive() const override { return FTimer->isActive(); }

private:
    QTimer* FTimer;
};
