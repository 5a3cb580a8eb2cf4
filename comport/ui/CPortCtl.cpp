#include <velt/comport/ui/CPortCtl.h>

#include <exception>

#include <velt/comport/ComError.h>
#include <velt/comport/PortList.h>
#include <velt/comport/framework/ExceptionReport.h>

namespace {

// How the list shows a port that is not there now.
const QString kAbsentPortMark = QStringLiteral(" (brak)");
const QString kAbsentPortHint = QStringLiteral("Tego portu nie ma teraz w systemie");

// What a list for Property offers, in order.
std::vector<std::string> ListContent(TComProperty Property)
{
    const TPortSetting* setting = PortSettingOf(Property);
    return setting == nullptr ? std::vector<std::string>() : setting->Choices();
}

} // namespace

// ---- TComSelect -------------------------------------------------------------

void TComSelect::SetComProperty(TComProperty Value)
{
    FComProperty = Value;
    Items.clear();
    Items = ListContent(Value);
}

std::string TComSelect::Chosen(TComProperty Property) const
{
    if (const auto found = FChosen.find(Property); found != FChosen.end())
        return found->second;
    const TPortSetting* setting = PortSettingOf(Property);
    if (setting == nullptr || setting->Texts().empty())
        return {};
    return setting->Texts()[0];
}

void TComSelect::StoreChoice(const std::string& Text)
{
    if (FComProperty != cpNone)
        FChosen[FComProperty] = Text;
}

void TComSelect::TakeChoice(const std::string& Text)
{
    StoreChoice(Text);
    if (AutoApply)
        WriteChoiceToPort();
}

// The chosen text goes through the setting's ordinary setter, as a stored
// text would: the list's own texts name their values exactly.
void TComSelect::WriteChoiceToPort()
{
    const TPortSetting* setting = PortSettingOf(FComProperty);
    if (ComPort == nullptr || setting == nullptr)
        return;
    setting->SetText(*ComPort, Chosen(FComProperty));
}

void TComSelect::FindCurrentValue(int& ItemIndex)
{
    if (ComPort == nullptr || FComProperty == cpNone)
        return;
    ItemIndex = IndexIgnoringCase(Items, PortSettingOf(FComProperty)->Text(*ComPort));
    if (ItemIndex >= 0)
        StoreChoice(Items[static_cast<size_t>(ItemIndex)]);
}

bool TComSelect::AddCurrentPort()
{
    // The list holds the devices present now. A port that is not among them
    // (an adapter unplugged at the moment, a COMn name, a pseudo-terminal) is
    // still the operator's choice: without an entry, OK would store an empty
    // name and every later command would fail.
    if (ComPort == nullptr || FComProperty != cpPort)
        return false;
    const std::string& current = ComPort->Port();
    if (current.empty() || IndexIgnoringCase(Items, current) >= 0)
        return false;
    Items.push_back(current);
    return true;
}

// ---- TComComboBox -----------------------------------------------------------

TComComboBox::TComComboBox(QWidget* Parent) : QComboBox(Parent)
{
    setEditable(false); // only listed values can be picked
    connect(this, &QComboBox::activated, this, &TComComboBox::UserPicked);
}

TComComboBox::~TComComboBox()
{
    if (FSelect.ComPort != nullptr)
        FSelect.ComPort->RemoveFreeNotification(this);
}

void TComComboBox::SetComPort(TCustomComPort* Value)
{
    if (Value == FSelect.ComPort)
        return;
    // The old port must not call back into this box once it is unbound.
    if (FSelect.ComPort != nullptr)
        FSelect.ComPort->RemoveFreeNotification(this);
    FSelect.ComPort = Value;
    if (Value == nullptr)
        return;
    Value->FreeNotification(this, [this](TComponent* Component) { PortRemoved(Component); });
    ShowCurrentValue();
}

void TComComboBox::SetComProperty(TComProperty Value)
{
    try {
        FSelect.SetComProperty(Value);
    } catch (...) {
        MirrorItems(); // the list was emptied before the failure
        throw;
    }
    MirrorItems();
    AddCurrentPort();
    if (FItems.empty())
        return;
    if (FSelect.ComPort == nullptr)
        setCurrentIndex(0);
    else
        ShowCurrentValue();
}

void TComComboBox::setComProperty(TComProperty Value)
{
    try {
        SetComProperty(Value);
    } catch (const std::exception& Error) {
        throw EReadError("Error reading " + objectName().toStdString() + ".ComProperty: " + Error.what());
    }
}

QString TComComboBox::Text() const
{
    const int index = currentIndex();
    if (index < 0 || index >= static_cast<int>(FItems.size()))
        return {};
    return QString::fromStdString(FItems[static_cast<size_t>(index)]);
}

void TComComboBox::SetText(const QString& Value)
{
    const int index = IndexIgnoringCase(FItems, Value.toStdString());
    if (index >= 0)
        setCurrentIndex(index);
}

void TComComboBox::ShowCurrentValue()
{
    AddCurrentPort();
    int index = currentIndex();
    FSelect.FindCurrentValue(index);
    setCurrentIndex(index);
}

void TComComboBox::UserPicked(int Index)
{
    // Runs inside Qt's event handling, which must never be unwound by an
    // exception: a failing write goes to the exception report, and the
    // change signal is not raised.
    try {
        FSelect.TakeChoice(FItems.at(static_cast<size_t>(Index)));
    } catch (...) {
        ReportException(std::current_exception());
        return;
    }
    emit Changed();
}

void TComComboBox::PortRemoved(TComponent* Component)
{
    if (Component != FSelect.ComPort)
        return;
    FSelect.ComPort = nullptr;
    if (count() > 0)
        setCurrentIndex(0);
}

void TComComboBox::MirrorItems()
{
    QStringList texts;
    for (const auto& item : FItems)
        texts.append(QString::fromStdString(item));
    clear();
    addItems(texts);
}

void TComComboBox::AddCurrentPort()
{
    const std::vector<std::string> listed = FItems;
    if (!FSelect.AddCurrentPort())
        return;
    const std::string& name = FItems.back();
    if (IsPortPresent(name, listed)) {
        addItem(QString::fromStdString(name));
        return;
    }
    addItem(QString::fromStdString(name) + kAbsentPortMark);
    setItemData(count() - 1, kAbsentPortHint, Qt::ToolTipRole);
}
