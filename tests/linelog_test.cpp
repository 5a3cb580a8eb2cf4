// The line log: what a port records of its line, the bound on the buffer,
// and the exact shape of the text form.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include <velt/comport/ComPort.h>
#include <velt/comport/ComTransfer.h>
#include <velt/comport/LineLog.h>
#include <velt/comport/LineLogText.h>
#include "support/PseudoTerminal.h"
#include "support/RecordingPort.h"

using namespace std::chrono_literals;

namespace {

std::vector<TLineRecord> TakeAll(TLineLog& Log, std::vector<TLineRecord>& Seen)
{
    for (auto& record : Log.Take())
        Seen.push_back(std::move(record));
    return Seen;
}

const TLineRecord* Find(const std::vector<TLineRecord>& Records, TLineRecordKind Kind)
{
    const auto found = std::find_if(Records.begin(), Records.end(), [Kind](const auto& r) { return r.Kind == Kind; });
    return found == Records.end() ? nullptr : &*found;
}

} // namespace

TEST(LineLog, RecordsWhatHappensOnAPty)
{
    PseudoTerminal pty;
    auto log = std::make_shared<TLineLog>();
    TComPort port(nullptr);
    port.SetPort(pty.SlavePath());
    port.SetSyncMethod(smNone); // an event thread notices the hang-up
    port.SetLineLog(log);
    port.Timeouts().SetReadTotalConstant(2000);
    port.Open();
    port.WriteText("T\r");
    pty.WriteToPort("ab");
    std::string read;
    port.ReadText(read, 2);
    // A read that nothing answers, cancelled.
    PComTransfer transfer = nullptr;
    NewTransfer(transfer);
    char buffer[4];
    port.BeginRead(buffer, 4, transfer);
    port.AbortTransfers();
    EXPECT_THROW(port.AwaitTransfer(transfer), EComPort);
    FreeTransfer(transfer);
    pty.CloseMaster();
    std::vector<TLineRecord> records;
    EXPECT_TRUE(WaitUntil([&] { return Find(TakeAll(*log, records), lrHangUp) != nullptr; }, 5s));
    port.Close();
    TakeAll(*log, records);
    std::vector<TLineRecordKind> kinds;
    for (const auto& r : records)
        kinds.push_back(r.Kind);
    // The error event that brought the hang-up may show as its own record.
    kinds.erase(std::remove(kinds.begin(), kinds.end(), lrEvents), kinds.end());
    EXPECT_EQ(kinds, (std::vector<TLineRecordKind>{lrOpen, lrWritten, lrRead, lrCancelled, lrHangUp, lrClose}));
    EXPECT_EQ(records[0].Detail,
              pty.SlavePath() + " 9600 8N1, flow none, dtr off, rts off, timeouts read max/0/2000 write 100/1000 ms");
    EXPECT_EQ(records[1].Bytes, "T\r");
    EXPECT_EQ(records[2].Bytes, "ab");
    EXPECT_EQ(records[3].Detail, "read");
    EXPECT_TRUE(std::is_sorted(records.begin(), records.end(),
                               [](const auto& a, const auto& b) { return a.Micros < b.Micros; }));
    EXPECT_NE(records[0].Thread, 0u);
}

TEST(LineLog, RecordsLineErrorsSettingsAndAFailedOpen)
{
    auto log = std::make_shared<TLineLog>();
    RecordingPort port;
    port.SetLineLog(log);
    port.Open();
    port.SetBaudRate(br19200);
    port.Log->SetLineErrors(device::kCeFrame | device::kCeOverrun);
    port.FetchLineErrors();
    port.Close();

    TComPort missing(nullptr);
    missing.SetPort("/dev/no-such-port-here");
    missing.SetLineLog(log);
    EXPECT_THROW(missing.Open(), EComPort);

    const auto records = log->Take();
    ASSERT_NE(Find(records, lrSettings), nullptr);
    EXPECT_EQ(Find(records, lrSettings)->Detail.substr(0, 10), "19200 8N1,");
    ASSERT_NE(Find(records, lrLineError), nullptr);
    EXPECT_EQ(Find(records, lrLineError)->Detail, "frame overrun");
    ASSERT_NE(Find(records, lrOpenFailed), nullptr);
    EXPECT_EQ(Find(records, lrOpenFailed)->Detail.rfind("/dev/no-such-port-here: ", 0), 0u);
}

TEST(LineLog, AFullLogCountsWhatItDropped)
{
    TLineLog log(3);
    for (int i = 0; i < 5; ++i)
        log.Add(lrWritten, std::string(1, static_cast<char>('a' + i)));
    auto records = log.Take();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[2].Bytes, "c");
    EXPECT_EQ(records[3].Kind, lrDropped);
    EXPECT_EQ(records[3].Count, 2u);
    // Dropped again, then room: the count stands where the records went missing.
    for (int i = 0; i < 4; ++i)
        log.Add(lrRead, "x");
    log.Take();
    log.Add(lrRead, "y");
    EXPECT_TRUE(log.WaitForRecords(0ms));
    records = log.Take();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Bytes, "y");
    EXPECT_FALSE(log.WaitForRecords(0ms));
}

TEST(LineLog, TextFormHasOneFixedLinePerRecord)
{
    const int64_t tenOClock = int64_t{10} * 3600 * 1000000;
    TLineLogText text(tenOClock - 5000000); // monotonic 5 s is 10:00:00 local
    const std::vector<TLineRecord> records = {
        {5000000, lrOpen, 1, {}, "ttyUSB0 9600 8N1, flow none", 0},
        {5000150, lrWritten, 1, "T", {}, 0},
        {6250000, lrRead, 2, std::string("Wynik: \xB3\xB9\r\n\x00\x81\x7F", 14), {}, 0},
        {6250000, lrLineError, 2, {}, "frame", 0},
        {7000000, lrHangUp, 2, {}, {}, 0},
        {7000001, lrCancelled, 1, {}, "read", 3},
        {7000002, lrFailed, 1, {}, "write", 5},
        {7000003, lrClose, 1, {}, {}, 0},
        {7000003, lrDropped, 0, {}, {}, 17},
    };
    std::string lines;
    for (const auto& record : records)
        lines += text.Line(record);
    EXPECT_EQ(lines,
              "10:00:00.000000 +0.000000 t1  open    ttyUSB0 9600 8N1, flow none\n"
              "10:00:00.000150 +0.000150 t1  tx      1 | 54 | T\n"
              "10:00:01.250000 +1.249850 t2  rx      14 | 57 79 6E 69 6B 3A 20 B3 B9 0D 0A 00 81 7F | "
              "Wynik: łą<CR><LF><NUL><x81><DEL>\n"
              "10:00:01.250000 +0.000000 t2  error   frame\n"
              "10:00:02.000000 +0.750000 t2  hangup  the device went away\n"
              "10:00:02.000001 +0.000001 t1  cancel  read, 3 bytes moved\n"
              "10:00:02.000002 +0.000001 t1  fail    write, error 5\n"
              "10:00:02.000003 +0.000001 t1  close\n"
              "10:00:02.000003 +0.000000 t0  dropped 17 records dropped: the log was full\n");
}
