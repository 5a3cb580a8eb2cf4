// The flow control the kernel has no switch for, done by the device layer:
// XON/XOFF at the queue levels and the hold on output, the DTR and RTS
// handshakes alone, output flow on CTS or DSR alone, DSR sensitivity, RTS
// toggling, and what it refuses. Real pseudo-terminals; modem lines from a
// fake, since a pseudo-terminal has none.
#include <gtest/gtest.h>

#include <cerrno>
#include <string_view>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>

#include "PosixSerialDevice.h"
#include "Termios2.h"
#include "support/FakeLine.h"
#include "support/PseudoTerminal.h"

using namespace device;
using namespace std::chrono_literals;

namespace {

constexpr char kXon = 0x11;
constexpr char kXoff = 0x13;
// InputSize 1024 and both limits 1024 / 4, as the port writes them: the
// sender is stopped past 768 queued bytes and let go below 256.
constexpr uint32_t kInputSize = 1024;
constexpr size_t kStopAbove = 768;
constexpr size_t kResumeBelow = 256;

DeviceControlBlock LineWith(uint32_t Flags)
{
    DeviceControlBlock dcb;
    dcb.BaudRate = 9600;
    dcb.Flags = kDcbBinary | Flags;
    dcb.XonLim = dcb.XoffLim = kInputSize / 4;
    dcb.XonChar = kXon;
    dcb.XoffChar = kXoff;
    return dcb;
}

// Opens the pseudo-terminal's port, with Lines in place of its modem lines
// when given, and applies Flags.
std::unique_ptr<PosixSerialDevice> OpenPort(const PseudoTerminal& Pty, uint32_t Flags, FakeLine* Lines = nullptr)
{
    int error = -1;
    auto port = PosixSerialDevice::Open(Pty.SlavePath(), error);
    EXPECT_EQ(error, 0);
    if (!port)
        return nullptr;
    if (Lines)
        port->UseLineSource(Lines->Source());
    EXPECT_EQ(port->SetupQueues(kInputSize, kInputSize), 0);
    EXPECT_EQ(port->SetState(LineWith(Flags)), 0);
    EXPECT_EQ(port->SetTimeouts({kMaxDword, 0, 0, 0, 0}), 0);
    return port;
}

uint32_t Queued(SerialDevice& Port)
{
    uint32_t errors = 0, queued = 0;
    EXPECT_EQ(Port.ClearError(errors, queued), 0);
    return queued;
}

// Sends N bytes to the port and waits until its queue holds Expected.
void Fill(PseudoTerminal& Pty, SerialDevice& Port, size_t N, size_t Expected)
{
    Pty.WriteToPort(std::string(N, 'd'));
    EXPECT_TRUE(WaitUntil([&] { return Queued(Port) == Expected; }, 5s)) << Queued(Port);
}

uint32_t Take(SerialDevice& Port, uint32_t Count)
{
    std::string buffer(Count, '\0');
    IoBlock block;
    uint32_t done = 0;
    EXPECT_EQ(Port.StartRead(block, buffer.data(), Count, done), 0);
    return done;
}

// Starts a write of Bytes on Block; kIoPending while it is held. The bytes
// must outlive the write (the literals of these tests do).
int StartWrite(SerialDevice& Port, IoBlock& Block, std::string_view Bytes)
{
    uint32_t done = 0;
    return Port.StartWrite(Block, Bytes.data(), static_cast<uint32_t>(Bytes.size()), done);
}

// Nothing more than what was expected arrives: a late byte shows in time.
void ExpectNothingFromPort(PseudoTerminal& Pty) { EXPECT_EQ(Pty.ReadFromPort(1, 200ms), ""); }

} // namespace

TEST(XonXoff, SentAtTheQueueLevelsAndOutputHeldInBetween)
{
    PseudoTerminal pty;
    auto port = OpenPort(pty, kDcbInX);
    ASSERT_NE(port, nullptr);

    Fill(pty, *port, kStopAbove, kStopAbove);
    ExpectNothingFromPort(pty);
    Fill(pty, *port, 1, kStopAbove + 1);
    EXPECT_EQ(pty.ReadFromPort(1, 5s), std::string(1, kXoff));

    // TxContinueOnXoff off: nothing goes out while the XOFF holds.
    IoBlock held;
    ASSERT_EQ(StartWrite(*port, held, "w"), kIoPending);

    EXPECT_EQ(Take(*port, kStopAbove + 1 - kResumeBelow), kStopAbove + 1 - kResumeBelow);
    ExpectNothingFromPort(pty);
    EXPECT_EQ(Take(*port, 1), 1u);
    uint32_t done = 0;
    EXPECT_EQ(port->AwaitTransfer(held, done), 0);
    EXPECT_EQ(done, 1u);
    EXPECT_EQ(pty.ReadFromPort(2, 5s), std::string(1, kXon) + "w");
}

TEST(XonXoff, TxContinueOnXoffLetsOutputGoOn)
{
    PseudoTerminal pty;
    auto port = OpenPort(pty, kDcbInX | kDcbTxContinueOnXoff);
    ASSERT_NE(port, nullptr);
    Fill(pty, *port, kStopAbove + 1, kStopAbove + 1);
    EXPECT_EQ(pty.ReadFromPort(1, 5s), std::string(1, kXoff));
    IoBlock block;
    EXPECT_EQ(StartWrite(*port, block, "w"), 0);
    EXPECT_EQ(pty.ReadFromPort(1, 5s), "w");
}

TEST(XonXoff, SwitchedOffWhileItsXoffHoldsTheSenderIsLetGo)
{
    PseudoTerminal pty;
    auto port = OpenPort(pty, kDcbInX);
    ASSERT_NE(port, nullptr);
    Fill(pty, *port, kStopAbove + 1, kStopAbove + 1);
    EXPECT_EQ(pty.ReadFromPort(1, 5s), std::string(1, kXoff));
    ASSERT_EQ(port->SetState(LineWith(0)), 0);
    EXPECT_EQ(pty.ReadFromPort(1, 5s), std::string(1, kXon));
}

TEST(Handshake, DtrAndRtsAloneFollowTheQueueLevelsWithoutTheKernelsRtsCts)
{
    PseudoTerminal pty;
    FakeLine lines;
    auto port = OpenPort(pty, kDcbDtrControlHandshake | kDcbRtsControlHandshake, &lines);
    ASSERT_NE(port, nullptr);
    Termios2 line;
    ASSERT_EQ(ReadTermios2(pty.SlaveFd(), line), 0);
    EXPECT_EQ(line.ControlFlags & CRTSCTS, 0u);
    EXPECT_TRUE(lines.Dtr() && lines.Rts());

    Fill(pty, *port, kStopAbove, kStopAbove);
    EXPECT_TRUE(lines.Dtr() && lines.Rts());
    Fill(pty, *port, 1, kStopAbove + 1);
    EXPECT_TRUE(!lines.Dtr() && !lines.Rts());

    Take(*port, kStopAbove + 1 - kResumeBelow);
    EXPECT_TRUE(!lines.Dtr() && !lines.Rts());
    Take(*port, 1);
    EXPECT_TRUE(lines.Dtr() && lines.Rts());
    ExpectNothingFromPort(pty); // no XON/XOFF without XonXoffIn
}

TEST(Handshake, KernelDoesRtsCtsOnlyWhenBothHalvesAreAsked)
{
    PseudoTerminal pty;
    FakeLine lines;
    auto port = OpenPort(pty, kDcbOutxCtsFlow | kDcbRtsControlHandshake, &lines);
    ASSERT_NE(port, nullptr);
    Termios2 line;
    ASSERT_EQ(ReadTermios2(pty.SlaveFd(), line), 0);
    EXPECT_NE(line.ControlFlags & CRTSCTS, 0u);
    // The kernel drives RTS and watches CTS: the queue levels leave RTS alone
    // and CTS off (the fake's) holds nothing back.
    Fill(pty, *port, kStopAbove + 1, kStopAbove + 1);
    EXPECT_TRUE(lines.Rts());
    IoBlock block;
    EXPECT_EQ(StartWrite(*port, block, "w"), 0);

    ASSERT_EQ(port->SetState(LineWith(kDcbOutxCtsFlow)), 0);
    ASSERT_EQ(ReadTermios2(pty.SlaveFd(), line), 0);
    EXPECT_EQ(line.ControlFlags & CRTSCTS, 0u);
}

class OutputFlow : public ::testing::TestWithParam<std::pair<uint32_t, uint32_t>> {};

TEST_P(OutputFlow, WriteWaitsForTheLineBoundedByTimeoutsAndAbortable)
{
    // Not a structured binding: the lambda below captures the line, which
    // clang 14 (the style check's parser) does not allow for a binding.
    const uint32_t flag = GetParam().first;
    const uint32_t line = GetParam().second;
    PseudoTerminal pty;
    FakeLine lines;
    auto port = OpenPort(pty, flag, &lines);
    ASSERT_NE(port, nullptr);

    // Held while the line is off, sent once it comes on.
    IoBlock block;
    ASSERT_EQ(StartWrite(*port, block, "a"), kIoPending);
    std::thread raiser([&] {
        std::this_thread::sleep_for(50ms);
        lines.SetInput(line, true);
    });
    uint32_t done = 0;
    EXPECT_EQ(port->AwaitTransfer(block, done), 0);
    raiser.join();
    EXPECT_EQ(done, 1u);
    EXPECT_EQ(pty.ReadFromPort(1, 5s), "a");

    // The write timeouts end a held write normally, with nothing sent.
    lines.SetInput(line, false);
    ASSERT_EQ(port->SetTimeouts({kMaxDword, 0, 0, 0, 100}), 0);
    IoBlock timed;
    if (StartWrite(*port, timed, "b") == kIoPending) {
        EXPECT_EQ(port->AwaitTransfer(timed, done), 0);
    }
    EXPECT_EQ(done, 0u);

    // Without a limit it waits until aborted.
    ASSERT_EQ(port->SetTimeouts({kMaxDword, 0, 0, 0, 0}), 0);
    IoBlock aborted;
    ASSERT_EQ(StartWrite(*port, aborted, "c"), kIoPending);
    std::thread aborter([&] { EXPECT_EQ(port->Purge(kPurgeTxAbort), 0); });
    EXPECT_EQ(port->AwaitTransfer(aborted, done), ECANCELED);
    aborter.join();
    ExpectNothingFromPort(pty);
}

INSTANTIATE_TEST_SUITE_P(CtsOrDsr, OutputFlow,
                         ::testing::Values(std::make_pair(kDcbOutxCtsFlow, kMsCtsOn),
                                           std::make_pair(kDcbOutxDsrFlow, kMsDsrOn)));

TEST(DsrSensitivity, BytesArrivingWhileDsrIsOffAreDropped)
{
    PseudoTerminal pty;
    FakeLine lines;
    auto port = OpenPort(pty, kDcbDsrSensitivity, &lines);
    ASSERT_NE(port, nullptr);

    pty.WriteToPort("lost");
    ASSERT_TRUE(WaitUntil(
        [&] {
            int inKernel = 0;
            return ioctl(pty.SlaveFd(), FIONREAD, &inKernel) == 0 && inKernel == 4;
        },
        5s));
    EXPECT_EQ(Queued(*port), 0u);

    lines.SetInput(kMsDsrOn, true);
    Fill(pty, *port, 4, 4);
}

TEST(RtsToggle, WithoutRs485RtsRisesForAWriteAndDropsWhenTheLineIsEmpty)
{
    PseudoTerminal pty; // a pseudo-terminal has no RS-485 mode
    FakeLine lines;
    auto port = OpenPort(pty, kDcbRtsControlToggle, &lines);
    ASSERT_NE(port, nullptr);
    EXPECT_FALSE(lines.Rts());
    IoBlock block;
    ASSERT_EQ(StartWrite(*port, block, "x"), 0);
    EXPECT_EQ(pty.ReadFromPort(1, 5s), "x");
    EXPECT_TRUE(WaitUntil([&] { return !lines.Rts(); }, 5s));
    EXPECT_EQ(lines.History(), "RTS+ RTS- ");
}

TEST(OutputSize, AWriteWaitsWhileTheDriverHoldsThatManyBytes)
{
    PseudoTerminal pty; // its own output never shows as waiting
    FakeLine line;
    auto port = OpenPort(pty, 0, &line); // output size kInputSize
    const std::string full(kInputSize, 'a');
    IoBlock first;
    ASSERT_EQ(StartWrite(*port, first, full), 0);
    EXPECT_EQ(pty.ReadFromPort(kInputSize, 5s).size(), kInputSize);

    line.SetOutputQueued(kInputSize); // none of it has left the driver yet
    IoBlock held;
    ASSERT_EQ(StartWrite(*port, held, "b"), kIoPending);
    ExpectNothingFromPort(pty);
    line.SetOutputQueued(0);
    uint32_t done = 0;
    EXPECT_EQ(port->AwaitTransfer(held, done), 0);
    EXPECT_EQ(done, 1u);
    EXPECT_EQ(pty.ReadFromPort(1, 5s), "b");
}

TEST(Refused, WhatTheLineCannotHave)
{
    PseudoTerminal pty;
    auto port = OpenPort(pty, 0); // its own modem lines: none
    ASSERT_NE(port, nullptr);
    for (uint32_t needsInputs : {kDcbDsrSensitivity, kDcbOutxDsrFlow, kDcbOutxCtsFlow})
        EXPECT_EQ(port->SetState(LineWith(needsInputs)), ENOTTY) << needsInputs;

    auto sameChars = LineWith(kDcbInX);
    sameChars.XoffChar = sameChars.XonChar;
    EXPECT_EQ(port->SetState(sameChars), EINVAL);

    // Driving lines it has not is no failure, as for DTR and RTS enabled.
    EXPECT_EQ(port->SetState(LineWith(kDcbDtrControlHandshake | kDcbRtsControlToggle)), 0);
}
