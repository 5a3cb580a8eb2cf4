#pragma once
/// @file
/// What the system tells about each serial device, and the notice that
/// devices came or went. The port layer turns these into its public details.
#include <velt/comport/Export.h>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <velt/comport/platform/WaitHandle.h>

namespace device {

/// What kind of device a port is.
enum class PortKind : uint8_t { Other, Usb, BuiltInUart, PseudoTerminal, Bluetooth };

/// What the system tells about one serial device; unknown texts are empty,
/// unknown numbers 0.
struct VELT_COMPORT_EXPORT PortFacts {
    std::string DevicePath;          ///< the device the port opens
    std::string Description;         ///< the product as the system names it
    std::string Manufacturer;        ///< the maker as the system names it
    std::string SerialNumber;        ///< the adapter's own serial number
    std::string Location;            ///< the USB bus and port path ("1-1.2")
    uint16_t VendorId = 0;           ///< USB vendor id
    uint16_t ProductId = 0;          ///< USB product id
    PortKind Kind = PortKind::Other; ///< what kind of device it is
    uint32_t LatencyTimer = 0;       ///< the adapter's latency timer in ms where the driver shows it
};

/// Another process that holds a device open.
struct VELT_COMPORT_EXPORT PortHolder {
    int Pid = 0;         ///< its process id
    std::string Program; ///< its program name as the system shows it
};

/// Who else holds one device open.
struct VELT_COMPORT_EXPORT PortHolders {
    std::vector<PortHolder> Processes; ///< the processes seen holding it, by process id
    /// Processes whose open files this user may not see: any of them may
    /// hold the device too.
    int Unreadable = 0;
};

/// The processes other than this one that hold each device open (device
/// paths as PortFacts::DevicePath gives them), one entry per path in the same
/// order. Where the system does not tell, every entry is empty.
VELT_COMPORT_EXPORT std::vector<PortHolders> FindPortHolders(const std::vector<std::string>& DevicePaths);

/// Whether an open of a port failed with SystemErrorCode because another
/// opener holds the port.
VELT_COMPORT_EXPORT bool IsPortInUseError(int SystemErrorCode);

/// The facts of each named port (names as ListSerialDevices gives them, or
/// any port name), one per name in the same order.
VELT_COMPORT_EXPORT std::vector<PortFacts> DescribeSerialDevices(const std::vector<std::string>& Names);

/// A notice that serial devices may have come or gone.
class VELT_COMPORT_EXPORT PortChangeWatch {
public:
    virtual ~PortChangeWatch() = default;
    /// Signalled while notices wait to be taken.
    virtual platform::WaitHandle Handle() const = 0;
    /// Takes the waiting notices; true when one of them may concern a serial
    /// device. Never blocks.
    virtual bool TakeNotices() = 0;
};

/// The system's notice of device changes, or null where there is none (the
/// caller then reads the list when it needs it).
VELT_COMPORT_EXPORT std::unique_ptr<PortChangeWatch> WatchPortChanges();

} // namespace device
