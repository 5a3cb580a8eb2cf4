#include "MessageBox.h"

#include <QMessageBox>

namespace {

TMessageBoxHook& Hook()
{
    static TMessageBoxHook hook;
    return hook;
}

QMessageBox::Icon BoxIcon(TMessageIcon Icon)
{
    return Icon == TMessageIcon::Error ? QMessageBox::Critical : QMessageBox::NoIcon;
}

} // namespace

void SetMessageBoxHook(TMessageBoxHook NewHook) { Hook() = std::move(NewHook); }

void ShowMessageBox(QWidget* Parent, const QString& Text, const QString& Caption, TMessageIcon Icon)
{
    if (Hook()) {
        Hook()({Text, Caption, Icon});
        return;
    }
    QMessageBox box(BoxIcon(Icon), Caption, Text, QMessageBox::Ok, Parent);
    box.exec();
}
