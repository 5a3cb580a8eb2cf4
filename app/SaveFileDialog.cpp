#include "SaveFileDialog.h"

#include <QFileDialog>

#include "PolishFileList.h"

namespace {

TSaveFileHook& Hook()
{
    static TSaveFileHook hook;
    return hook;
}

} // namespace

void SetSaveFileHook(TSaveFileHook NewHook) { Hook() = std::move(NewHook); }

std::unique_ptr<QFileDialog> NewSaveFileDialog(QWidget* Parent, const TSaveFileRequest& Request)
{
    auto dialog = std::make_unique<QFileDialog>(Parent);
    // Qt's own dialog rather than the desktop's: only Qt's speaks the
    // window's Polish whatever language the desktop is set to.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setProxyModel(new TPolishFileList(dialog.get()));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilter(Request.Filter);
    dialog->setDefaultSuffix(Request.DefaultSuffix);
    return dialog;
}

QString AskSaveFileName(QWidget* Parent, const TSaveFileRequest& Request)
{
    if (Hook())
        return Hook()(Request);
    const auto dialog = NewSaveFileDialog(Parent, Request);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return {};
    return dialog->selectedFiles().constFirst();
}
