#pragma once
// The list of "velt-cli ports": a table for people, or tab-separated lines
// for programs.
#include <string>
#include <vector>

#include <velt/comport/PortDetails.h>

// One line per port under a heading, in columns.
std::string PortTable(const std::vector<TPortDetails>& Ports);

// A heading line, then one line per port; fields separated by tabs: name,
// kind (usb, uart, pty, other), vendor:product id, serial number, USB
// location, description, manufacturer, identity, device path, the programs
// that hold it open (Linux). A tab or line end inside a field becomes a space.
std::string PortLines(const std::vector<TPortDetails>& Ports);
