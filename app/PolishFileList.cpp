#include "PolishFileList.h"

#include <QFileSystemModel>
#include <QLocale>

namespace {

// The columns of Qt's file list.
constexpr int kSizeColumn = 1;
constexpr int kTypeColumn = 2;
constexpr int kDateColumn = 3;

} // namespace

QVariant TPolishFileList::data(const QModelIndex& Index, int Role) const
{
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (Role != Qt::DisplayRole || files == nullptr)
        return QIdentityProxyModel::data(Index, Role);
    const QModelIndex file = mapToSource(Index);
    const QLocale polish; // the program's default locale
    switch (Index.column()) {
    case kSizeColumn:
        return files->isDir(file) ? QString() : polish.formattedDataSize(files->size(file));
    case kTypeColumn:
        return files->isDir(file) ? QStringLiteral("Katalog") : files->type(file);
    case kDateColumn:
        return polish.toString(files->lastModified(file), QLocale::ShortFormat);
    default:
        return QIdentityProxyModel::data(Index, Role);
    }
}
