#include "Cp1250.h"

#include <velt/comport/Windows1250.h>

namespace cp1250 {

QString Decode(const std::string& Bytes)
{
    const std::u16string text = windows1250::Decode(Bytes);
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

bool EncodeChar(QChar Character, char& Byte) { return windows1250::EncodeChar(Character.unicode(), Byte); }

std::string Encode(const QString& Text)
{
    std::string bytes;
    bytes.reserve(static_cast<size_t>(Text.size()));
    for (QChar character : Text) {
        char byte = '?';
        EncodeChar(character, byte);
        bytes.push_back(byte);
    }
    return bytes;
}

} // namespace cp1250
