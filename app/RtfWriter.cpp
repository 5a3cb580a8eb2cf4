#include "RtfWriter.h"

#include "RtfDocument.h"

std::string TextToRtf(const QString& Text)
{
    return RtfDocument(
        std::u16string_view(reinterpret_cast<const char16_t*>(Text.utf16()), static_cast<size_t>(Text.size())));
}
