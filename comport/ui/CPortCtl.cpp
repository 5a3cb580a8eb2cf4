#include <velt/comport/ui/CPortCtl.h>

#include <QStyle>
#include <QStylePainter>
#include <exception>

#include <velt/comport/ComError.h>
#include <velt/comport/framework/ExceptionReport.h>

#include "HandleNotifier.h"
#include "PortEntry.h"

namespace {

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
    connect(this, &QComboBox::currentIndexChanged, this, &TComComboBox::ShowItemHint);
}

TComComboBox::~TComComboBox()
{
    WatchPorts(false);
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
    // Watching starts before the list is read, so that no change is missed
    // between the two.
    WatchPorts(Value == cpPort);
    // A port's description is longer than the box: the box keeps the width
    // of its column (Qt widens the popup to its longest item).
    setSizeAdjustPolicy(Value == cpPort ? AdjustToMinimumContentsLengthWithIcon : AdjustToContentsOnFirstShow);
    try {
        FSelect.SetComProperty(Value);
    } catch (...) {
        FListed.clear();
        MirrorItems(); // the list was emptied before the failure
        throw;
    }
    FListed = FItems;
    ReadPortDetails();
    FSelect.AddCurrentPort();
    MirrorItems();
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

void TComComboBox::RefreshPortList()
{
    if (ComProperty() != cpPort)
        return;
    const std::string selected = Text().toStdString();
    const std::vector<std::string> shown = FItems;
    try {
        FSelect.SetComProperty(cpPort);
    } catch (...) {
        FItems = shown; // the list stays as it was
        throw;
    }
    FListed = FItems;
    ReadPortDetails();
    FSelect.AddCurrentPort();
    // The operator's pick stays theirs, also when that adapter was pulled
    // out: it is shown marked, and OK stores it as picked.
    KeepPort(selected);
    MirrorItems();
    setCurrentIndex(selected.empty() ? -1 : IndexIgnoringCase(FItems, selected));
}

void TComComboBox::paintEvent(QPaintEvent* /*Event*/)
{
    QStylePainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    option.currentText = fontMetrics().elidedText(option.currentText, Qt::ElideRight, field.width());
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
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
    clear();
    for (const auto& item : FItems)
        AppendItem(item);
}

// The item shows the value; a port also what the system tells of it. Its
// value (Text(), what is written to the port) stays the plain name.
void TComComboBox::AppendItem(const std::string& Value)
{
    if (ComProperty() != cpPort) {
        addItem(QString::fromStdString(Value));
        return;
    }
    const TPortEntry entry = PortEntryOf(Value, FListed, FDetails);
    addItem(entry.Text);
    if (!entry.Hint.isEmpty())
        setItemData(count() - 1, entry.Hint, Qt::ToolTipRole);
}

void TComComboBox::AddCurrentPort()
{
    if (FSelect.AddCurrentPort())
        AppendItem(FItems.back());
}

void TComComboBox::KeepPort(const std::string& Name)
{
    if (!Name.empty() && IndexIgnoringCase(FItems, Name) < 0)
        FItems.push_back(Name);
}

// The names were read a moment ago; details that cannot be read now leave
// the names alone, as on a system that tells nothing more of its ports.
void TComComboBox::ReadPortDetails()
{
    FDetails.clear();
    if (ComProperty() != cpPort)
        return;
    try {
        ListPortDetails(FDetails);
    } catch (const EComPort&) {
        FDetails.clear();
    }
}

void TComComboBox::WatchPorts(bool Watch)
{
    if (Watch == (FWatcher != nullptr))
        return;
    if (Watch) {
        FWatcher = std::make_unique<TPortListWatcher>();
        if (FWatcher->Active())
            FWatchNotifier = NewHandleNotifier(FWatcher->Handle(), this, [this] { PortsMayHaveChanged(); });
        return;
    }
    if (FWatchNotifier != nullptr)
        RetireHandleNotifier(FWatchNotifier); // before the handle it watches is closed
    FWatchNotifier = nullptr;
    FWatcher.reset();
}

void TComComboBox::PortsMayHaveChanged()
{
    // Runs inside Qt's event handling: a list that cannot be read goes to
    // the exception report, and the list stays as it was.
    try {
        if (FWatcher->Changed())
            RefreshPortList();
    } catch (...) {
        ReportException(std::current_exception());
    }
}

// The box itself tells, as a tool tip, what its selected port is.
void TComComboBox::ShowItemHint() { setToolTip(itemData(currentIndex(), Qt::ToolTipRole).toString()); }
