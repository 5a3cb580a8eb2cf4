#include "FakeLine.h"

#include <velt/comport/device/SerialDevice.h>

using device::LineSource;
using device::OutputLine;

struct FakeLine::State {
    mutable std::mutex Mutex;
    uint32_t Inputs = 0;
    size_t OutputQueued = 0;
    bool Dtr = false;
    bool Rts = false;
    std::string History;
    LineSource::ChangeReport Report;
};

namespace {

class FakeSource final : public LineSource {
public:
    explicit FakeSource(std::shared_ptr<FakeLine::State> Shared) : FState(std::move(Shared)) {}
    ~FakeSource() override { StopWatching(); }

    bool Present() override { return true; }
    int Read(uint32_t& Status) override
    {
        std::lock_guard lock(FState->Mutex);
        Status = FState->Inputs;
        return 0;
    }
    int Drive(OutputLine Line, bool On) override
    {
        std::lock_guard lock(FState->Mutex);
        bool& line = Line == OutputLine::Dtr ? FState->Dtr : FState->Rts;
        if (line != On)
            FState->History += std::string(Line == OutputLine::Dtr ? "DTR" : "RTS") + (On ? "+ " : "- ");
        line = On;
        return 0;
    }
    void Watch(ChangeReport OnChange) override
    {
        std::lock_guard lock(FState->Mutex);
        FState->Report = std::move(OnChange);
    }
    void StopWatching() override
    {
        std::lock_guard lock(FState->Mutex);
        FState->Report = nullptr;
    }
    bool HasOutputQueue() override { return true; }
    size_t OutputQueued() override
    {
        std::lock_guard lock(FState->Mutex);
        return FState->OutputQueued;
    }
    bool TransmitterEmpty() override { return OutputQueued() == 0; }

private:
    std::shared_ptr<FakeLine::State> FState;
};

} // namespace

FakeLine::FakeLine() : FState(std::make_shared<State>()) {}

std::unique_ptr<LineSource> FakeLine::Source() { return std::make_unique<FakeSource>(FState); }

void FakeLine::SetInput(uint32_t Line, bool On)
{
    LineSource::ChangeReport report;
    {
        std::lock_guard lock(FState->Mutex);
        FState->Inputs = On ? (FState->Inputs | Line) : (FState->Inputs & ~Line);
        report = FState->Report;
    }
    uint32_t events = 0;
    if (Line & device::kMsCtsOn)
        events |= device::kEvCts;
    if (Line & device::kMsDsrOn)
        events |= device::kEvDsr;
    if (report)
        report(events); // not under the lock: the device drives lines from its report
}

void FakeLine::SetOutputQueued(size_t Count)
{
    std::lock_guard lock(FState->Mutex);
    FState->OutputQueued = Count;
}

bool FakeLine::Dtr() const
{
    std::lock_guard lock(FState->Mutex);
    return FState->Dtr;
}

bool FakeLine::Rts() const
{
    std::lock_guard lock(FState->Mutex);
    return FState->Rts;
}

std::string FakeLine::History() const
{
    std::lock_guard lock(FState->Mutex);
    return FState->History;
}
