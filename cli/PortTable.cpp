#include "PortTable.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

constexpr size_t kColumns = 8;
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

// The adapter's latency timer, empty where the driver shows none.
std::string LatencyText(const TPortDetails& Port, const char* Unit = "")
{
    return Port.LatencyTimer == 0 ? std::string() : std::to_string(Port.LatencyTimer) + Unit;
}

// Processes this user may not look at may hold a port too: the table says
// so, once, under itself.
std::string UnseenHoldersNote(const std::vector<TPortDetails>& Ports)
{
    int32_t unseen = 0;
    for (const TPortDetails& port : Ports)
        unseen = std::max(unseen, port.UnreadableProcesses);
    if (unseen == 0 || Ports.empty())
        return {};
    return "(kolumna UŻYWANY PRZEZ pomija procesy innych użytkowników: " + std::to_string(unseen) +
           " nie do sprawdzenia bez uprawnień administratora)\n";
}

} // namespace

std::string PortTable(const std::vector<TPortDetails>& Ports)
{
    std::vector<Row> rows{{"PORT", "RODZAJ", "USB", "NR SERYJNY", "POŁOŻENIE", "LATENCJA", "UŻYWANY PRZEZ", "OPIS"}};
    for (const TPortDetails& port : Ports)
        rows.push_back({Field(port.Name), KindText(port.Kind), Ids(port), Field(port.SerialNumber),
                        Field(port.Location), LatencyText(port, " ms"), Field(DescribePortHolders(port.Holders)),
                        Field(Product(port))});
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
    return table + UnseenHoldersNote(Ports);
}

std::string PortLines(const std::vector<TPortDetails>& Ports)
{
    std::string lines =
        "name\tkind\tusb_id\tserial\tlocation\tdescription\tmanufacturer\tidentity\tpath\tholders\tlatency_ms\n";
    for (const TPortDetails& port : Ports)
        lines += Field(port.Name) + "\t" + KindWord(port.Kind) + "\t" + Ids(port) + "\t" + Field(port.SerialNumber) +
                 "\t" + Field(port.Location) + "\t" + Field(port.Description) + "\t" + Field(port.Manufacturer) + "\t" +
                 Field(PortIdentity(port)) + "\t" + Field(port.DevicePath) + "\t" +
                 Field(DescribePortHolders(port.Holders)) + "\t" + LatencyText(port) + "\n";
    return lines;
}

std::string HolderNote(const std::string& Port, const EComPort& Failure)
{
    const std::string note = PortHolderNote(Port, Failure.SystemErrorCode());
    return note.empty() ? note : "; " + note;
}
