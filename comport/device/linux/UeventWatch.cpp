#include <velt/comport/device/PortFacts.h>

#include <cerrno>
#include <linux/netlink.h>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>

#include "UniqueFd.h"
#include "WaitDescriptor.h"

namespace device {

namespace {

// The kernel's device notices (uevents) on a netlink socket; it polls
// readable while notices wait.
class UeventWatch final : public PortChangeWatch {
public:
    explicit UeventWatch(int Socket) : FSocket(Socket) {}

    platform::WaitHandle Handle() const override { return platform::WaitHandleOf(FSocket.Get()); }

    bool TakeNotices() override
    {
        bool concernsPorts = false;
        char message[8192];
        for (;;) {
            sockaddr_nl sender{};
            iovec part{message, sizeof message};
            msghdr header{};
            header.msg_name = &sender;
            header.msg_namelen = sizeof sender;
            header.msg_iov = &part;
            header.msg_iovlen = 1;
            const ssize_t size = recvmsg(FSocket.Get(), &header, MSG_DONTWAIT);
            if (size < 0) {
                if (errno == EINTR)
                    continue;
                // ENOBUFS: notices were dropped, so something may have changed.
                return concernsPorts || errno == ENOBUFS;
            }
            // Only the kernel's own notices count; anyone may send to the socket.
            if (sender.nl_pid == 0 && (header.msg_flags & MSG_TRUNC) == 0 &&
                ConcernsPorts(std::string_view(message, static_cast<size_t>(size))))
                concernsPorts = true;
        }
    }

private:
    // A notice is "ACTION@DEVPATH" then KEY=VALUE texts, each ending in a
    // zero byte. A tty coming or going is what changes the port list.
    static bool ConcernsPorts(std::string_view Notice)
    {
        for (size_t start = 0; start < Notice.size();) {
            size_t end = Notice.find('\0', start);
            if (end == std::string_view::npos)
                end = Notice.size();
            if (Notice.substr(start, end - start) == "SUBSYSTEM=tty")
                return true;
            start = end + 1;
        }
        return false;
    }

    platform::UniqueFd FSocket;
};

} // namespace

std::unique_ptr<PortChangeWatch> WatchPortChanges()
{
    platform::UniqueFd socket(::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_KOBJECT_UEVENT));
    if (socket.Get() < 0)
        return nullptr;
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = 1; // the kernel's own notices, not udev's
    if (bind(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return nullptr;
    return std::make_unique<UeventWatch>(socket.Release());
}

} // namespace device
