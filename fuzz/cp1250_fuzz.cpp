// Windows-1250 decoding: every byte becomes exactly one character, and
// encoding the decoded text gives the very same bytes back.
#include <cstdint>
#include <string>

#include "Cp1250.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const std::string bytes(reinterpret_cast<const char*>(Data), Size);
    const QString text = cp1250::Decode(bytes);
    FUZZ_CHECK(static_cast<size_t>(text.size()) == bytes.size());
    FUZZ_CHECK(cp1250::Encode(text) == bytes);
    return 0;
}
