#include "PortTable.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "PortHolderText.h"

namespace {

constexpr size_t kColumns = 7;
using Row = std::array<std::string, kColumns>;

std::string KindText(TPortKind Kind)
{
    switch (Kind) {
    case pkUsb:
        return "USB";
    case pkBuiltInUart:
        return "wbudowany";
    case pkPseudoTerminal:
        return "pseudoterminal";
    case pkBluetooth:
        return "Bluetooth";
    case pkOther:
        break;
    }
    return "inny";
}

std::string KindWord(TPortKind Kind)
{
    switch (Kind) {
    case pkUsb:
        return "usb";
    case pkBuiltInUart:
        return "uart";
    case pkPseudoTerminal:
        return "pty";
    case pkBluetooth:
        return "bluetooth";
    case pkOther:
        break;
    }
    return "other";
}

std::string Ids(const TPortDetails& Port)
{
    if (!Port.IsUsb)
        return {};
    char text[16];
    std::snprintf(text, sizeof text, "%04x:%04x", static_cast<unsigned>(Port.VendorId),
                  static_cast<unsigned>(Port.ProductId));
    return text;
}

std::string Product(const TPortDetails& Port)
{
    if (Port.Manufacturer.empty())
        return Port.Description;
    return Port.Description.empty() ? Port.Manufacturer : Port.Description + " (" + Port.Manufacturer + ")";
}

// How many characters a UTF-8 text shows: the bytes that start one.
size_t Width(const std::string& Text)
{
    return static_cast<size_t>(
        std::count_if(Text.begin(), Text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string Field(std::string Text)
{
    std::replace_if(
        Text.begin(), Text.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    return Text;
}

} // namespace

std::string PortTable(const std::vector<TPortDetails>& Ports)
{
    std::vector<Row> rows{{"PORT", "RODZAJ", "USB", "NR SERYJNY", "POŁOŻENIE", "OPIS", "OTWARTY PRZEZ"}};
    for (const TPortDetails& port : Ports)
        rows.push_back({Field(port.Name), KindText(port.Kind), Ids(port), Field(port.SerialNumber),
                        Field(port.Location), Field(Product(port)), Field(PortHolderNames(port.Name))});
    std::array<size_t, kColumns> widths{};
    for (const Row& row : rows)
        for (size_t i = 0; i < kColumns; ++i)
            widths[i] = std::max(widths[i], Width(row[i]));
    std::string table;
    for (const Row& row : rows) {
        std::string line;
        for (size_t i = 0; i < kColumns; ++i)
            line += row[i] + (i + 1 < kColumns ? std::string(widths[i] - Width(row[i]) + 2, ' ') : "");
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        table += line + "\n";
    }
    return table;
}

std::string PortLines(const std::vector<TPortDetails>& Ports)
{
    std::string lines = "name\tkind\tusb_id\tserial\tlocation\tdescription\tmanufacturer\tidentity\tpath\theld_by\n";
    for (const TPortDetails& port : Ports)
        lines += Field(port.Name) + "\t" + KindWord(port.Kind) + "\t" + Ids(port) + "\t" + Field(port.SerialNumber) +
                 "\t" + Field(port.Location) + "\t" + Field(port.Description) + "\t" + Field(port.Manufacturer) + "\t" +
                 Field(PortIdentity(port)) + "\t" + Field(port.DevicePath) + "\t" + Field(PortHolderNames(port.Name)) +
                 "\n";
    return lines;
}
