#pragma once
// Qt's file dialog writes file sizes and dates in the system's locale and
// calls a folder "Folder" whatever the translations say. Placed between the
// dialog and its file list, this shows all three in Polish like the rest of
// the window; sorting and everything else stay the file list's own.
#include <QIdentityProxyModel>

class TPolishFileList : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& Index, int Role) const override;
};
