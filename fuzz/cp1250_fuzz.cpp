// Windows-1250 decoding: every byte becomes exactly one character, and
// encoding each decoded character gives the very same byte back.
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include <velt/comport/Windows1250.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(Data), Size);
    const std::u16string text = windows1250::Decode(bytes);
    FUZZ_CHECK(text.size() == bytes.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char byte = 0;
        FUZZ_CHECK(windows1250::EncodeChar(text[i], byte) && byte == bytes[i]);
    }
    (void)Utf16ToUtf8(text);
    return 0;
}
