#include <velt/comport/PortDetails.h>

#include <velt/comport/device/PortFacts.h>

class TPortListWatcher::TImpl {
public:
    std::unique_ptr<device::PortChangeWatch> Watch = device::WatchPortChanges();
};

TPortListWatcher::TPortListWatcher() : FImpl(std::make_unique<TImpl>()) {}

TPortListWatcher::~TPortListWatcher() = default;

bool TPortListWatcher::Active() const { return FImpl->Watch != nullptr; }

platform::WaitHandle TPortListWatcher::Handle() const
{
    return FImpl->Watch ? FImpl->Watch->Handle() : platform::WaitHandle{-1};
}

bool TPortListWatcher::Changed() { return FImpl->Watch && FImpl->Watch->TakeNotices(); }
