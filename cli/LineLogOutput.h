#pragma once
// Writes the text of a line log (--log FILE, "-" for standard error, and for
// "monitor" standard output as well) on a thread of its own, so that the
// line never waits for a disk or a terminal.
#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include <velt/comport/LineLog.h>

class LineLogOutput {
public:
    // FileName empty: no file; "-": standard error. AlsoTo: another stream
    // that gets every line (null: none). Throws std::runtime_error with a
    // message for the user when the file cannot be created.
    explicit LineLogOutput(const std::string& FileName, std::FILE* AlsoTo = nullptr);
    // Finish() when it was not called.
    ~LineLogOutput();
    LineLogOutput(const LineLogOutput&) = delete;
    LineLogOutput& operator=(const LineLogOutput&) = delete;

    // The log to attach to the port.
    const std::shared_ptr<TLineLog>& Log() const { return FLog; }
    // Whether a hang-up has been written.
    bool HangUpSeen() const { return FHangUpSeen; }
    // Writes what is left and closes the file; false with a message on
    // standard error when a line could not be written.
    bool Finish();

private:
    void WriteRecords();

    std::shared_ptr<TLineLog> FLog = std::make_shared<TLineLog>();
    std::string FFileName;
    std::FILE* FFile = nullptr;
    std::FILE* FAlsoTo = nullptr;
    std::atomic<bool> FStop{false};
    std::atomic<bool> FHangUpSeen{false};
    bool FWriteFailed = false; // only the writing thread touches it until it has ended
    bool FFinished = false;
    std::thread FWriter;
};
