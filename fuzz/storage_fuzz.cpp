// A port's settings store: whatever a restore takes from a registry file or
// an ini file can be saved again, and a second port restored from what was
// saved ends with the very same settings.
//
// The first input byte picks the store (even: registry, odd: ini file); the
// rest is the file.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include <velt/comport/ComPort.h>
#include "FuzzSupport.h"

namespace {

const std::string kLocation = "HKEY_LOCAL_MACHINE\\Software\\Velt4";

std::filesystem::path gHome;

struct Store {
    TSettingsStore Kind;
    std::filesystem::path File;
    std::string Location;
};

// A closed port (it never touches a device) with every group selected.
std::unique_ptr<TComPort> NewPort()
{
    auto port = std::make_unique<TComPort>(nullptr);
    port->SetName("ComPort");
    port->SetSettingsGroups(TSettingsGroups::FromBits(0x3F));
    return port;
}

bool Restores(TComPort& Port, const Store& From)
{
    try {
        Port.RestoreSettings(From.Kind, From.Location);
        return true;
    } catch (const EComPort&) {
        return false;
    }
}

// Everything a store can hold of the port, as a fresh store holds it.
std::string Saved(TComPort& Port, const Store& Into)
{
    std::filesystem::remove(Into.File);
    Port.SaveSettings(Into.Kind, Into.Location);
    std::ifstream in(Into.File, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    gHome = UsePrivateConfigHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    if (Size == 0)
        return 0;
    const bool ini = (Data[0] & 1) != 0;
    const Store store = ini ? Store{ssIniFile, gHome / "velt.ini", (gHome / "velt.ini").string()}
                            : Store{ssRegistry, gHome / "velt" / "registry.reg", kLocation};
    WriteBytes(store.File, std::string(reinterpret_cast<const char*>(Data) + 1, Size - 1));

    auto first = NewPort();
    if (!Restores(*first, store))
        return 0;
    // What was restored must be storable: a save that fails here would fail
    // at every close of the program.
    first->SaveSettings(store.Kind, store.Location);
    auto second = NewPort();
    FUZZ_CHECK(Restores(*second, store));
    FUZZ_CHECK(Saved(*first, store) == Saved(*second, store));
    return 0;
}
