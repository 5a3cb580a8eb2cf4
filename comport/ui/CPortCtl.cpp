#include <velt/comport/ui/CPortCtl.h>

#include <QStyle>
#include <QStylePainter>
#include <exception>

#include <velt/comport/ComError.h>
#include <velt/comport/framework/ExceptionReport.h>

#include "HandleNotifier.h"

TComComboBox::TComComboBox(QWidget* Parent) : QComboBox(Parent)
{
    setEditable(false); // only listed values can be picked
    connect(this, &QComboBox::activated, this, &TComComboBox::UserPicked);
    connect(this, &QComboBox::currentIndexChanged, this, &TComComboBox::ShowItemHint);
}

TComComboBox::~TComComboBox()
{
    WatchPorts(false);
    if (FComPort != nullptr)
        FComPort->RemoveFreeNotification(this);
}

void TComComboBox::SetComPort(TCustomComPort* Value)
{
    if (Value == FComPort)
        return;
    // The old port must not call back into this box once it is unbound.
    if (FComPort != nullptr)
        FComPort->RemoveFreeNotification(this);
    FComPort = Value;
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
    try {
        FOwnList = std::make_unique<TSetupList>(Value);
    } catch (...) {
        FOwnList = std::make_unique<TSetupList>(cpNone);
        FList = FOwnList.get();
        Draw(); // the list is empty after the failure
        throw;
    }
    FList = FOwnList.get();
    if (FComPort != nullptr)
        FList->ShowPortValue(*FComPort);
    else
        FList->ShowFirst();
    Draw();
}

void TComComboBox::DrawList(TSetupList& List)
{
    WatchPorts(false); // the dialog follows the ports for its setup
    FList = &List;
    FOwnList.reset();
    Draw();
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
    if (FList == nullptr || FList->Shown() < 0)
        return {};
    return QString::fromStdString(FList->Entries()[static_cast<size_t>(FList->Shown())].Value);
}

void TComComboBox::SetText(const QString& Value)
{
    if (FList != nullptr && FList->Show(Value.toStdString()))
        setCurrentIndex(FList->Shown());
}

void TComComboBox::WriteChoiceToPort()
{
    if (FList != nullptr && FComPort != nullptr)
        FList->WriteTo(*FComPort);
}

void TComComboBox::ShowCurrentValue()
{
    if (FList == nullptr || FComPort == nullptr)
        return;
    FList->ShowPortValue(*FComPort);
    Draw();
}

void TComComboBox::RefreshPortList()
{
    if (FList == nullptr || ComProperty() != cpPort)
        return;
    FList->ReadPorts();
    Draw();
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
        FList->Pick(Index);
        if (FAutoApply)
            WriteChoiceToPort();
    } catch (...) {
        ReportException(std::current_exception());
        return;
    }
    emit Changed();
}

void TComComboBox::PortRemoved(TComponent* Component)
{
    if (Component != FComPort)
        return;
    FComPort = nullptr;
    if (FList != nullptr)
        FList->ShowFirst();
    if (count() > 0)
        setCurrentIndex(0);
}

// Each item shows its entry's text (a port with what the system tells of
// it), its tool tip the rest; its value (Text()) stays the plain name.
void TComComboBox::Draw()
{
    // A port's description is longer than the box: the box keeps the width
    // of its column (Qt widens the popup to its longest item).
    setSizeAdjustPolicy(ComProperty() == cpPort ? AdjustToMinimumContentsLengthWithIcon : AdjustToContentsOnFirstShow);
    clear();
    if (FList == nullptr)
        return;
    for (const TSetupEntry& entry : FList->Entries()) {
        addItem(QString::fromStdString(entry.Text));
        if (!entry.Hint.empty())
            setItemData(count() - 1, QString::fromStdString(entry.Hint), Qt::ToolTipRole);
    }
    setCurrentIndex(FList->Shown());
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
