#pragma once
// The command line of velt-cli: one command and the options that override
// the stored port settings.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <velt/comport/ComTypes.h>

enum class CliCommand { Last, Get, All, SetClock, Help };

struct CliOptions {
    CliCommand Command = CliCommand::Help;
    uint8_t Number = 1; // the measurement of "get"
    std::optional<std::string> Port;
    std::optional<TBaudRate> BaudRate;
    int32_t CustomBaudRate = 0; // the rate when BaudRate is brCustom
    std::optional<TDataBits> DataBits;
    std::optional<TParityBits> Parity;
    std::optional<TStopBits> StopBits;
    std::optional<TFlowControl> FlowControl;
    std::string OutFile; // empty: standard output
};

struct CliParseResult {
    std::optional<CliOptions> Options;
    std::string Error; // why the command line is wrong, when Options is empty
};

// Arguments without the program name. Options may come before or after the
// command, as "--name value" or "--name=value".
CliParseResult ParseCliOptions(const std::vector<std::string>& Arguments);

// The text --help prints.
std::string CliUsage();
