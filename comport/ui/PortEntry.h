#pragma once
// How the port list shows one port: its name with what the system tells of
// the device, or its name marked "(brak)" when the system does not have it
// now; and a hint with the rest of what is known.
#include <QString>
#include <string>
#include <vector>

#include <velt/comport/PortDetails.h>

struct TPortEntry {
    QString Text; // the item's text
    QString Hint; // its tool tip; empty when nothing more is known
};

// Listed: the names the system lists now; Details: what it tells of them.
TPortEntry PortEntryOf(const std::string& Name, const std::vector<std::string>& Listed,
                       const std::vector<TPortDetails>& Details);
