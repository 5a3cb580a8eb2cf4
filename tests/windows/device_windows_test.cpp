// The Windows device layer itself, on the test line: what a main loop that
// waits on the device (instead of an event thread) relies on.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>

#include "ComLine.h"
#include "FarEndControl.h"
#include "EventHandle.h"
#include "WinSerialDevice.h"

namespace {

std::unique_ptr<device::WinSerialDevice> OpenLine()
{
    int error = 0;
    auto line = device::WinSerialDevice::Open(TestPortName(), error);
    EXPECT_NE(line, nullptr) << "error " << error;
    return line;
}

void Write(device::WinSerialDevice& Line, const std::string& Bytes)
{
    device::IoBlock block;
    uint32_t done = 0;
    const int started = Line.StartWrite(block, Bytes.data(), static_cast<uint32_t>(Bytes.size()), done);
    ASSERT_TRUE(started == 0 || started == device::kIoPending);
    ASSERT_EQ(Line.AwaitTransfer(block, done), 0);
}

} // namespace

TEST(DeviceOnCom, WaitableIsSignalledWhenEventsWaitAndCheckingNeverBlocks)
{
    REQUIRE_TEST_LINE();
    auto line = OpenLine();
    ASSERT_NE(line, nullptr);
    line->SetEventMask(device::kEvRxChar);
    device::WaitHandle handle{};
    ASSERT_TRUE(line->EventWaitable(handle));
    const HANDLE waitable = platform::EventHandleOf(handle);
    uint32_t occurred = 0;
    int error = 0;
    EXPECT_EQ(line->CheckEvents(occurred, error), device::WaitOutcome::Events);
    EXPECT_EQ(occurred, 0u) << "nothing has arrived yet";

    Write(*line, "x"); // the echo brings it back
    // A loop's turn: wait, then collect. A wait may end without an event of
    // the mask (Wine ends it after a write); the loop simply goes on.
    const ULONGLONG deadline = GetTickCount64() + 5000;
    while ((occurred & device::kEvRxChar) == 0 && GetTickCount64() < deadline) {
        ASSERT_EQ(WaitForSingleObject(waitable, 5000), static_cast<DWORD>(WAIT_OBJECT_0));
        ASSERT_EQ(line->CheckEvents(occurred, error), device::WaitOutcome::Events) << "error " << error;
    }
    EXPECT_EQ(occurred & device::kEvRxChar, device::kEvRxChar);
}

TEST(DeviceOnCom, QuitEndsAThreadsWaitAndLeavesTheDeviceUsable)
{
    REQUIRE_TEST_LINE();
    auto line = OpenLine();
    ASSERT_NE(line, nullptr);
    line->SetEventMask(device::kEvRxChar);
    device::ManualResetEvent quit(true);
    uint32_t occurred = 0;
    int error = 0;
    EXPECT_EQ(line->WaitEvents(quit, occurred, error), device::WaitOutcome::Quit);
    quit.Reset();
    Write(*line, "y");
    // As the event thread does: a wait that ends with nothing is waited again.
    for (int turn = 0; turn < 10 && (occurred & device::kEvRxChar) == 0; ++turn)
        ASSERT_EQ(line->WaitEvents(quit, occurred, error), device::WaitOutcome::Events) << "error " << error;
    EXPECT_EQ(occurred & device::kEvRxChar, device::kEvRxChar);
}

TEST(DeviceOnCom, BytesThatArrivedBeforeTheMaskAreReportedByTheFirstWait)
{
    REQUIRE_TEST_LINE();
    auto line = OpenLine();
    ASSERT_NE(line, nullptr);
    Write(*line, "early"); // comes back before anyone waits
    uint32_t errors = 0;
    uint32_t waiting = 0;
    const ULONGLONG deadline = GetTickCount64() + 5000;
    while (waiting < 5 && GetTickCount64() < deadline) {
        ASSERT_EQ(line->ClearError(errors, waiting), 0);
        Sleep(5);
    }
    ASSERT_EQ(waiting, 5u);
    line->SetEventMask(device::kEvRxChar);
    device::ManualResetEvent quit;
    uint32_t occurred = 0;
    int error = 0;
    EXPECT_EQ(line->WaitEvents(quit, occurred, error), device::WaitOutcome::Events);
    EXPECT_EQ(occurred & device::kEvRxChar, device::kEvRxChar);
}

// A pulled adapter, as Wine shows it for a pseudo-terminal whose far end went
// away: the thread's wait reports EV_ERR once with CE_IOE, then rests until
// its quit event instead of failing or ending again at once.
TEST(DeviceOnCom, AHangUpIsOneLineErrorAndTheThreadsWaitThenRests)
{
    REQUIRE_TEST_LINE();
    FarEndControl farEnd;
    REQUIRE_FAR_END_CONTROL(farEnd);
    auto line = OpenLine();
    ASSERT_NE(line, nullptr);
    line->SetEventMask(device::kEvRxChar | device::kEvErr);
    ASSERT_TRUE(farEnd.HangUp());
    device::ManualResetEvent quit;
    uint32_t occurred = 0;
    int error = 0;
    for (int turn = 0; turn < 10 && (occurred & device::kEvErr) == 0; ++turn)
        ASSERT_EQ(line->WaitEvents(quit, occurred, error), device::WaitOutcome::Events) << "error " << error;
    EXPECT_EQ(occurred & device::kEvErr, device::kEvErr);
    uint32_t errors = 0;
    uint32_t waiting = 0;
    ASSERT_EQ(line->ClearError(errors, waiting), 0);
    EXPECT_EQ(errors & device::kCeIoe, device::kCeIoe);
    ASSERT_EQ(line->ClearError(errors, waiting), 0);
    EXPECT_EQ(errors & device::kCeIoe, 0u) << "reported once";

    std::atomic<bool> returned{false};
    device::WaitOutcome outcome = device::WaitOutcome::Events;
    std::thread waiter([&] {
        outcome = line->WaitEvents(quit, occurred, error);
        returned = true;
    });
    Sleep(300);
    EXPECT_FALSE(returned.load()) << "the wait on a device that went away must rest, not end again";
    quit.Set();
    waiter.join();
    EXPECT_EQ(outcome, device::WaitOutcome::Quit);
    device::IoBlock block;
    uint32_t done = 0;
    const int started = line->StartWrite(block, "x", 1, done);
    EXPECT_NE(started == device::kIoPending ? line->AwaitTransfer(block, done) : started, 0) << "writes fail";
}

// The same seen by a main loop that waits on the device: one EV_ERR, and its
// waitable object then stays clear, so the loop does not spin.
TEST(DeviceOnCom, AHangUpSeenByAMainLoopLeavesItsWaitableClear)
{
    REQUIRE_TEST_LINE();
    FarEndControl farEnd;
    REQUIRE_FAR_END_CONTROL(farEnd);
    auto line = OpenLine();
    ASSERT_NE(line, nullptr);
    line->SetEventMask(device::kEvRxChar | device::kEvErr);
    device::WaitHandle handle{};
    ASSERT_TRUE(line->EventWaitable(handle));
    const HANDLE waitable = platform::EventHandleOf(handle);
    ASSERT_TRUE(farEnd.HangUp());
    uint32_t occurred = 0;
    int error = 0;
    const ULONGLONG deadline = GetTickCount64() + 10000;
    while ((occurred & device::kEvErr) == 0 && GetTickCount64() < deadline) {
        ASSERT_EQ(WaitForSingleObject(waitable, 10000), static_cast<DWORD>(WAIT_OBJECT_0));
        ASSERT_EQ(line->CheckEvents(occurred, error), device::WaitOutcome::Events) << "error " << error;
    }
    EXPECT_EQ(occurred & device::kEvErr, device::kEvErr);
    EXPECT_NE(WaitForSingleObject(waitable, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    ASSERT_EQ(line->CheckEvents(occurred, error), device::WaitOutcome::Events);
    EXPECT_EQ(occurred, 0u);
}
