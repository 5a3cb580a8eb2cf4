#include "SaveFileDialog.h"

#include <QFileDialog>

namespace {

TSaveFileHook& Hook()
{
    static TSaveFileHook hook;
    return hook;
}

} // namespace

void SetSaveFileHook(TSaveFileHook NewHook) { Hook() = std::move(NewHook); }

QString AskSaveFileName(QWidget* Parent, const TSaveFileRequest& Request)
{
    if (Hook())
        return Hook()(Request);
    QFileDialog dialog(Parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(Request.Filter);
    dialog.setDefaultSuffix(Request.DefaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}
