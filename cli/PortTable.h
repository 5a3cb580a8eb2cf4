#pragma once
// The list of "velt-cli ports": a table for people, or tab-separated lines
// for programs; and who holds a port that could not be opened.
#include <string>
#include <vector>

#include <velt/comport/ComError.h>
#include <velt/comport/PortDetails.h>

// One line per port under a heading, in columns; under them a note when
// processes of other users could not be looked at for holding a port.
std::string PortTable(const std::vector<TPortDetails>& Ports);

// A heading line, then one line per port; fields separated by tabs: name,
// kind (usb, uart, pty, other), vendor:product id, serial number, USB
// location, description, manufacturer, identity, device path, the other
// processes that hold it ("minicom (PID 812)", comma-separated), the
// adapter's latency timer in ms. A tab or line end inside a field becomes a
// space.
std::string PortLines(const std::vector<TPortDetails>& Ports);

// Who holds the port, for the message of an open that failed with Failure
// because the port is in use: "; " and the holders, or empty.
std::string HolderNote(const std::string& Port, const EComPort& Failure);
