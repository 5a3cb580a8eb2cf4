#include "PortEntry.h"

#include <QStringList>

#include <velt/comport/ComTypes.h>
#include <velt/comport/PortList.h>

namespace {

const QString kAbsentPortMark = QStringLiteral(" (brak)");
const QString kAbsentPortHint = QStringLiteral("Tego portu nie ma teraz w systemie");

const TPortDetails* DetailsOf(const std::string& Name, const std::vector<TPortDetails>& Details)
{
    const std::string wanted = UpperCaseAscii(Name);
    for (const TPortDetails& port : Details)
        if (UpperCaseAscii(port.Name) == wanted)
            return &port;
    return nullptr;
}

QString UsbId(uint16_t Number) { return QStringLiteral("%1").arg(Number, 4, 16, QLatin1Char('0')); }

// One line per fact the system gave, for the item's tool tip.
QString HintOf(const TPortDetails& Port)
{
    QStringList lines;
    const auto add = [&lines](const char* Label, const std::string& Value) {
        if (!Value.empty())
            lines << QString::fromUtf8(Label) + QString::fromStdString(Value);
    };
    add("Opis: ", Port.Description);
    add("Producent: ", Port.Manufacturer);
    add("Nr seryjny: ", Port.SerialNumber);
    if (Port.IsUsb && (Port.VendorId != 0 || Port.ProductId != 0))
        lines << QStringLiteral("USB: %1:%2").arg(UsbId(Port.VendorId), UsbId(Port.ProductId));
    add("Gniazdo USB: ", Port.Location);
    add("Urządzenie: ", Port.DevicePath);
    return lines.join(QLatin1Char('\n'));
}

} // namespace

TPortEntry PortEntryOf(const std::string& Name, const std::vector<std::string>& Listed,
                       const std::vector<TPortDetails>& Details)
{
    const QString name = QString::fromStdString(Name);
    if (!IsPortPresent(Name, Listed))
        return {name + kAbsentPortMark, kAbsentPortHint};
    const TPortDetails* port = DetailsOf(Name, Details);
    if (port == nullptr)
        return {name, {}};
    return {QString::fromStdString(DescribePort(*port)), HintOf(*port)};
}
