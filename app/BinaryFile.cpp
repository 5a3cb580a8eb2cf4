#include "BinaryFile.h"

#include <QSaveFile>

#include <velt/comport/framework/Exception.h>

namespace {

[[noreturn]] void Fail(const QString& FileName, const QString& Reason)
{
    throw Exception(QStringLiteral("Cannot create file \"%1\". %2").arg(FileName, Reason).toStdString());
}

} // namespace

void WriteWholeFile(const QString& FileName, const std::string& Bytes)
{
    QSaveFile file(FileName);
    if (!file.open(QIODevice::WriteOnly))
        Fail(FileName, file.errorString());
    const auto size = static_cast<qint64>(Bytes.size());
    if (file.write(Bytes.data(), size) != size)
        Fail(FileName, file.errorString());
    if (!file.commit())
        Fail(FileName, file.errorString());
}
