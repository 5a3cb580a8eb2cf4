#pragma once
// The command line of velt-cli: one command and the options that override
// the stored port settings.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <velt/comport/ComSettingsTable.h>

#include "ProgramCommand.h"

class TLineLog;

// A meter command (its word from the command table), or one of the tool's own.
enum class CliCommand { Meter, Ports, Find, Monitor, Help };

struct CliOptions {
    CliCommand Command = CliCommand::Help;
    ProgramCommand Meter = ProgramCommand::LastMeasurement; // the meter command, for CliCommand::Meter
    uint8_t Number = 1;                                     // the measurement of "get"
    // The port settings given, in the order given: each a row of the
    // settings table and a text that the row accepts.
    std::vector<std::pair<TPortSetting, std::string>> Settings;
    std::string OutFile;                // empty: standard output
    bool TabSeparated = false;          // "ports": lines for programs instead of the table
    std::vector<std::string> FindPorts; // "find": the ports to ask (empty: every listed port)
    std::string LogFile;                // --log: the line log's text ("-": standard error)
    std::string MonitorPort;            // "monitor": the port named (empty: the stored one)
    int32_t MonitorSeconds = 0;         // "monitor --for": how long (0: until Ctrl+C)
    std::shared_ptr<TLineLog> LineLog;  // where the ports record their line, when --log asks
};

// Gives Port the settings of the options, in their order, and the line log.
// A port given is used as it is: the stored adapter's identity is dropped
// for this run.
void ApplyCliSettings(const CliOptions& Options, TCustomComPort& Port);

struct CliParseResult {
    std::optional<CliOptions> Options;
    std::string Error; // why the command line is wrong, when Options is empty
};

// Arguments without the program name. Options may come before or after the
// command, as "--name value" or "--name=value".
CliParseResult ParseCliOptions(const std::vector<std::string>& Arguments);

// The text --help prints.
std::string CliUsage();
