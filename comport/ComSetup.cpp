// The setup model: the lists of the setup dialogs, their entries and rules,
// the port list that follows the system's, and OK's one settings update.
#include <velt/comport/ComSetup.h>

#include <algorithm>
#include <cstdio>

#include <velt/comport/ComError.h>
#include <velt/comport/ComPort.h>
#include <velt/comport/PortList.h>

namespace {

const char* const kAbsentPortMark = " (brak)";
const char* const kAbsentPortHint = "Tego portu nie ma teraz w systemie";

std::string UsbId(uint16_t Number)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04x", static_cast<unsigned>(Number));
    return text;
}

// One line per fact the system gave.
std::string HintOf(const TPortDetails& Port)
{
    std::string hint;
    const auto add = [&hint](const char* Label, const std::string& Value) {
        if (!Value.empty())
            hint += (hint.empty() ? "" : "\n") + std::string(Label) + Value;
    };
    add("Opis: ", Port.Description);
    add("Producent: ", Port.Manufacturer);
    add("Nr seryjny: ", Port.SerialNumber);
    if (Port.IsUsb && (Port.VendorId != 0 || Port.ProductId != 0))
        add("USB: ", UsbId(Port.VendorId) + ":" + UsbId(Port.ProductId));
    add("Gniazdo USB: ", Port.Location);
    add("Urządzenie: ", Port.DevicePath);
    return hint;
}

std::vector<TPortDetails> ListedPorts()
{
    std::vector<TPortDetails> listed;
    ListPortDetails(listed);
    return listed;
}

const TPortSetting& SettingOf(TComProperty Property) { return *PortSettingOf(Property); }

} // namespace

TSetupEntry PortEntryOf(const std::string& Name, const std::vector<TPortDetails>& Listed)
{
    const TPortDetails* port = FindListedPort(Name, Listed);
    if (port == nullptr) {
        // A path the kernel does not list as a serial device (a
        // pseudo-terminal, a link) is there all the same.
        if (IsExistingDevicePath(Name))
            return {Name, Name, {}, {}, false};
        return {Name, Name + kAbsentPortMark, kAbsentPortHint, {}, false};
    }
    TPortDetails shown = *port;
    shown.Name = Name; // "COM1" stays "COM1" where the system lists "ttyS0"
    return {Name, DescribePort(shown), HintOf(shown), PortIdentity(*port), true};
}

// ---- TSetupList -------------------------------------------------------------

TSetupList::TSetupList(TComProperty Property) : FProperty(Property)
{
    if (Property == cpNone)
        return;
    if (SettingOf(Property).Kind() == skName) {
        FillPorts(ListedPorts());
        return;
    }
    for (const std::string& value : SettingOf(Property).Choices())
        FEntries.push_back({value, value, {}, {}, false});
}

std::string TSetupList::Caption() const { return FProperty == cpNone ? std::string() : SettingOf(FProperty).Caption(); }

void TSetupList::FillPorts(const std::vector<TPortDetails>& Listed)
{
    FListed = Listed;
    FEntries.clear();
    for (const TPortDetails& port : Listed)
        FEntries.push_back(PortEntryOf(port.Name, Listed));
}

// A name is an entry once, in the letter case listed first.
void TSetupList::KeepPort(const std::string& Name)
{
    const bool listed = std::any_of(FEntries.begin(), FEntries.end(), [&Name](const TSetupEntry& Entry) {
        return UpperCaseAscii(Entry.Value) == UpperCaseAscii(Name);
    });
    if (Name.empty() || listed)
        return;
    FEntries.push_back(PortEntryOf(Name, FListed));
}

bool TSetupList::Show(const std::string& Value)
{
    std::vector<std::string> values;
    for (const TSetupEntry& entry : FEntries)
        values.push_back(entry.Value);
    const int index = IndexIgnoringCase(values, Value);
    if (index < 0)
        return false;
    FShown = index;
    return true;
}

void TSetupList::ShowFirst() { FShown = FEntries.empty() ? -1 : 0; }

void TSetupList::ShowPortValue(const TCustomComPort& Port)
{
    if (FProperty == cpNone)
        return;
    const std::string value = SettingOf(FProperty).Text(Port);
    if (SettingOf(FProperty).Kind() == skName) {
        FOwnPort = value;
        KeepPort(value);
    }
    if (!Show(value)) {
        FShown = -1;
        return;
    }
    FChosen = FEntries[static_cast<size_t>(FShown)].Value;
    FPicked = false;
}

void TSetupList::Pick(int Index)
{
    if (Index < 0 || Index >= static_cast<int>(FEntries.size()))
        return;
    FShown = Index;
    FChosen = FEntries[static_cast<size_t>(Index)].Value;
    FPicked = true;
}

void TSetupList::ReadPorts()
{
    if (FProperty == cpNone || SettingOf(FProperty).Kind() != skName)
        return;
    const std::vector<TPortDetails> listed = ListedPorts(); // may throw: the list stays
    const std::string shown = FShown >= 0 ? FEntries[static_cast<size_t>(FShown)].Value : std::string();
    // A port the system does not list now stays offered: the port in use
    // survives an OK, and the operator's pick stays theirs.
    FillPorts(listed);
    KeepPort(FOwnPort);
    KeepPort(shown);
    if (shown.empty() || !Show(shown))
        FShown = -1;
}

void TSetupList::WriteTo(TCustomComPort& Port) const
{
    if (!FChosen || FProperty == cpNone)
        return;
    const auto entry = std::find_if(FEntries.begin(), FEntries.end(),
                                    [this](const TSetupEntry& Entry) { return Entry.Value == *FChosen; });
    // The identity travels with the name the operator took from the list;
    // the port's own name, kept, keeps the identity stored with it.
    if (FPicked && entry != FEntries.end() && entry->Listed && SettingOf(FProperty).Kind() == skName) {
        Port.SetPort(entry->Value, entry->Identity);
        return;
    }
    SettingOf(FProperty).SetText(Port, *FChosen);
}

// ---- TComSetup --------------------------------------------------------------

TComSetup::TComSetup() : FWatcher(std::make_unique<TPortListWatcher>())
{
    std::vector<TComProperty> properties;
    for (const TPortSetting& setting : PortSettings())
        if (setting.ComProperty() != cpNone)
            properties.push_back(setting.ComProperty());
    std::sort(properties.begin(), properties.end());
    for (TComProperty property : properties) {
        FLists.emplace_back(property);
        FLists.back().ShowFirst();
    }
}

TComSetup::TComSetup(const TCustomComPort& Port) : TComSetup() { ShowPortValues(Port); }

void TComSetup::ShowPortValues(const TCustomComPort& Port)
{
    for (TSetupList& list : FLists)
        list.ShowPortValue(Port);
}

TComSetup::~TComSetup() = default;

bool TComSetup::FollowPorts()
{
    if (!FWatcher->Changed())
        return false;
    for (TSetupList& list : FLists)
        list.ReadPorts();
    return true;
}

void TComSetup::Apply(TCustomComPort& Port) const
{
    Port.BeginSettingsUpdate();
    try {
        for (const TSetupList& list : FLists)
            list.WriteTo(Port);
    } catch (...) {
        try {
            Port.EndSettingsUpdate();
        } catch (...) {
            // The write's failure is the one worth reporting.
        }
        throw;
    }
    Port.EndSettingsUpdate();
}
