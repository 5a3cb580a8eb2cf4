#pragma once
// Driving the program's window in-process, by messages, as the operator's
// clicks would: the test's own message loop runs until a condition holds or
// a deadline passes.
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

// Runs the thread's messages until Done holds; false when Limit passed first.
bool PumpUntil(const std::function<bool()>& Done, std::chrono::milliseconds Limit = std::chrono::seconds(10));
// Runs the thread's messages for Time.
void PumpFor(std::chrono::milliseconds Time);

// The window's text (UTF-16) of a control.
std::wstring WindowText(HWND Window);
// The system clipboard's content in Format, as bytes; empty when absent.
std::string ClipboardBytes(UINT Format);

// The serial port that the runner maps to the simulated meter, and the one
// mapped to a meter that never answers ("" when the runner gave none).
std::string MeterPortName();
std::string SilentMeterPortName();
