// The registry file: the REGEDIT4 text it keeps, value kinds, names without
// regard to case, keeping what others stored, corrupt files, and saves that
// run at once or die half-way.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <utility>
#include <vector>

#include <velt/comport/framework/ExceptionReport.h>
#include "AtomicFile.h"
#include "Registry.h"
#include "RegistryFile.h"

#include "support/TempConfigHome.h"

namespace {

class RegistryTest : public TempConfigHomeTest {
protected:
    static void Store(THKey Root, const std::string& Key, const std::string& Name, const std::string& Text)
    {
        TRegistry registry;
        registry.SetRootKey(Root);
        ASSERT_TRUE(registry.OpenKey(Key, true));
        registry.WriteString(Name, Text);
        registry.CloseKey();
    }
};

TEST_F(RegistryTest, WritesReadableRegedit4TextWithEscapesAndBothKinds)
{
    TRegistry registry;
    registry.SetRootKey(kHkeyLocalMachine);
    ASSERT_TRUE(registry.OpenKey("Software\\Velt4\\ComPort", true));
    registry.WriteString("Path", "C:\\dir \"quoted\"");
    registry.WriteInteger("Rate", 9600);
    registry.WriteInteger("Minus", -1);
    registry.WriteString("Bytes",
                         "\xb3\xf3"
                         "d\xbc"); // Windows-1250 stays as bytes
    registry.CloseKey();

    EXPECT_EQ(ReadFile(RegistryFile()),
              "REGEDIT4\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Velt4\\ComPort]\n"
              "\"Path\"=\"C:\\\\dir \\\"quoted\\\"\"\n"
              "\"Rate\"=dword:00002580\n"
              "\"Minus\"=dword:ffffffff\n"
              "\"Bytes\"=\"\xb3\xf3"
              "d\xbc\"\n"
              "\n");

    TRegistry reader;
    reader.SetRootKey(kHkeyLocalMachine);
    ASSERT_TRUE(reader.OpenKey("software\\VELT4\\comport", false));
    EXPECT_EQ(reader.ReadString("PATH"), "C:\\dir \"quoted\"");
    EXPECT_EQ(reader.ReadInteger("rate"), 9600);
    EXPECT_EQ(reader.ReadInteger("Minus"), -1);
    EXPECT_EQ(reader.ReadString("Bytes"),
              "\xb3\xf3"
              "d\xbc");
}

TEST_F(RegistryTest, ValueKindsAndMissingValues)
{
    Store(kHkeyCurrentUser, "Software\\Kinds", "Text", "12");
    {
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKey("Software\\Kinds", false));
        registry.WriteInteger("Number", 12);
        registry.CloseKey();
    }
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("Software\\Kinds", false));
    EXPECT_EQ(registry.ReadString("Missing"), "");
    EXPECT_THROW(registry.ReadInteger("Missing"), ERegistryException);
    EXPECT_THROW(registry.ReadInteger("Text"), ERegistryException);
    EXPECT_THROW(registry.ReadString("Number"), ERegistryException);
    EXPECT_TRUE(registry.ValueExists("number"));
    EXPECT_FALSE(registry.ValueExists("Missing"));

    TRegistry closed;
    EXPECT_EQ(closed.ReadString("Text"), "");
    EXPECT_THROW(closed.ReadInteger("Number"), ERegistryException);
    EXPECT_THROW(closed.WriteString("Text", "x"), ERegistryException);
    EXPECT_FALSE(closed.OpenKey("Software\\Absent", false));
}

TEST_F(RegistryTest, RootsAreSeparateKeysOfOneFile)
{
    Store(kHkeyCurrentUser, "Software\\Same", "Where", "user");
    Store(kHkeyLocalMachine, "Software\\Same", "Where", "machine");
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("Software\\Same", false));
    EXPECT_EQ(registry.ReadString("Where"), "user");
    registry.SetRootKey(kHkeyLocalMachine);
    EXPECT_FALSE(registry.HasCurrentKey());
    ASSERT_TRUE(registry.OpenKey("Software\\Same", false));
    EXPECT_EQ(registry.ReadString("Where"), "machine");
}

TEST_F(RegistryTest, KeepsOtherKeysCommentsAndUnknownKindsInPlace)
{
    const std::string before =
        "REGEDIT4\n"
        "\n"
        "; written by hand\n"
        "\n"
        "[HKEY_CURRENT_USER\\Software\\Other]\n"
        "\"Blob\"=hex:01,02,\\\n"
        "  03,04\n"
        "@=\"default\"\n"
        "\n"
        "[HKEY_CURRENT_USER\\Software\\Mine]\n"
        "\"First\"=\"1\"\n"
        "; keep me\n"
        "\"Second\"=\"2\"\n"
        "\n";
    WriteFile(RegistryFile(), before);
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("SOFTWARE\\mine", false));
    registry.WriteString("first", "one");
    registry.WriteString("Third", "3");
    registry.CloseKey();

    EXPECT_EQ(ReadFile(RegistryFile()),
              "REGEDIT4\n"
              "\n"
              "; written by hand\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Other]\n"
              "\"Blob\"=hex:01,02,\\\n"
              "  03,04\n"
              "@=\"default\"\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Mine]\n"
              "\"First\"=\"one\"\n"
              "; keep me\n"
              "\"Second\"=\"2\"\n"
              "\"Third\"=\"3\"\n"
              "\n");
    TRegistry reader;
    ASSERT_TRUE(reader.OpenKey("Software\\Other", false));
    EXPECT_THROW(reader.ReadString("Blob"), ERegistryException);
    EXPECT_EQ(reader.ReadString(""), "default");
}

// A CR that is not part of a line end is text: after a hex value whose
// line ends in a backslash and a bare CR, the next value is still a value of
// its own, after any number of parses and writes.
TEST(RegistryFile, BareCrKeepsEveryValueThroughRoundTrips)
{
    const std::string content = "REGEDIT4\n\n[K]\n\"B\"=hex:01,\\\r\r\n\"A\"=\"b\"\n; note\rend\r";
    std::optional<regfile::Document> doc = regfile::Parse(content);
    for (int pass = 0; pass < 2; ++pass) {
        ASSERT_TRUE(doc) << "pass " << pass;
        const regfile::Key* key = regfile::FindKey(*doc, "K");
        ASSERT_NE(key, nullptr);
        const regfile::Value* a = regfile::FindValue(*key, "A");
        ASSERT_NE(a, nullptr) << "pass " << pass;
        EXPECT_EQ(a->Text, "b");
        EXPECT_EQ(key->Entries.front().Raw, "\"B\"=hex:01,\\\r");
        EXPECT_EQ(key->Entries.back().Raw, "; note\rend\r");
        doc = regfile::Parse(regfile::Serialize(*doc));
    }
}

TEST_F(RegistryTest, WritesWaitForFlushAndAreAllOrNothing)
{
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("Software\\Pending", true));
    registry.WriteString("A", "1");
    EXPECT_FALSE(fs::exists(RegistryFile()));
    EXPECT_EQ(registry.ReadString("A"), "1"); // the open key sees its own writes
    registry.Flush();
    EXPECT_NE(ReadFile(RegistryFile()).find("\"A\"=\"1\""), std::string::npos);
}

TEST_F(RegistryTest, RefusesTextsThatOneLineCannotHold)
{
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("Software\\Lines", true));
    EXPECT_THROW(registry.WriteString("Text", "two\nlines"), ERegistryException);
    EXPECT_THROW(registry.WriteString("Text", std::string("zero\0byte", 9)), ERegistryException);
    EXPECT_THROW(registry.WriteString("Na\rme", "x"), ERegistryException);
    EXPECT_FALSE(registry.OpenKey("Software\\\\Empty part", true));
}

// What a write refuses, a read refuses too: a hand-made text with a CR or a
// zero byte could be neither stored again nor used.
TEST_F(RegistryTest, RefusesToReadTextsThatOneLineCannotHold)
{
    using namespace std::string_literals;
    WriteFile(RegistryFile(),
              "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Hand]\n"
              "\"Cr\"=\"/dev/zero\rX\"\r\n\"Nul\"=\"/dev/zero\0X\"\n\"Ok\"=\"1\"\n"s);
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("Software\\Hand", false));
    EXPECT_THROW(registry.ReadString("Cr"), ERegistryException);
    EXPECT_THROW(registry.ReadString("Nul"), ERegistryException);
    EXPECT_EQ(registry.ReadString("Ok"), "1");
}

TEST_F(RegistryTest, UnwritableDirectoryFailsTheFlush)
{
    WriteFile(FHome / "plainfile", "not a directory");
    setenv("XDG_CONFIG_HOME", (FHome / "plainfile").c_str(), 1);
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("Software\\Nowhere", true));
    registry.WriteString("A", "1");
    EXPECT_THROW(registry.Flush(), ERegistryException);
}

TEST_F(RegistryTest, CorruptFileFailsReadsAndIsMovedAsideByTheNextWrite)
{
    const std::string garbage = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Torn]\n\"Port\"=\"CO";
    WriteFile(RegistryFile(), garbage);
    {
        TRegistry reader;
        reader.OpenKey("Software\\Torn", true);
        EXPECT_THROW(reader.ReadString("Port"), ERegistryException);
    }
    EXPECT_EQ(ReadFile(RegistryFile()), garbage) << "a read must not change a file it cannot parse";

    Store(kHkeyCurrentUser, "Software\\Fresh", "Port", "COM2");
    std::vector<fs::path> aside;
    for (const auto& entry : fs::directory_iterator(RegistryFile().parent_path()))
        if (entry.path().filename().string().starts_with("registry.reg.corrupt-"))
            aside.push_back(entry.path());
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadFile(aside[0]), garbage);
    TRegistry reader;
    ASSERT_TRUE(reader.OpenKey("Software\\Fresh", false));
    EXPECT_EQ(reader.ReadString("Port"), "COM2");
}

// The files in the registry's directory whose names start with Prefix.
std::vector<fs::path> FilesStartingWith(const fs::path& Directory, const std::string& Prefix)
{
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(Directory))
        if (entry.path().filename().string().starts_with(Prefix))
            found.push_back(entry.path());
    return found;
}

// A file just under the size readers take: one key with one long value.
std::string FileOfSize(size_t Size)
{
    const std::string head = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Big]\n\"Filler\"=\"";
    const std::string tail = "\"\n\n";
    return head + std::string(Size - head.size() - tail.size(), 'x') + tail;
}

// A file that reads but that the next save would take past what readers
// take (in size or in lines) would fail every save for good: that save moves
// it aside once, as a refused one, and stores the settings anew. Settings
// that alone pass a bound are not written, and the old file stays.
TEST_F(RegistryTest, SaveThatWouldPassTheReadersBoundsMovesTheFileAsideOnce)
{
    std::vector<std::string> reports;
    SetExceptionReportHandler([&](const std::string& Message) { reports.push_back(Message); });
    std::string manyLines = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Big]\n";
    for (size_t i = 0; i + 4 < regfile::kMaxLines; ++i)
        manyLines += "\"" + std::to_string(i) + "\"=dword:00000000\n";
    for (const auto& [bound, file] :
         {std::pair{"bytes", FileOfSize(kMaxReadFileSize - 100)}, std::pair{"lines", manyLines}}) {
        SCOPED_TRACE(bound);
        fs::remove_all(RegistryFile().parent_path());
        fs::create_directories(RegistryFile().parent_path());
        WriteFile(RegistryFile(), file);
        reports.clear();
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKey("Software\\Big", false));
        for (int i = 0; i < 8; ++i)
            registry.WriteString("More" + std::to_string(i), std::string(200, 'y'));
        registry.Flush();
        const std::vector<fs::path> aside = FilesStartingWith(RegistryFile().parent_path(), "registry.reg.refused-");
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(ReadFile(aside[0]), file) << "the user's file is kept as it was";
        ASSERT_EQ(reports.size(), 1u);
        for (const std::string& part : {RegistryFile().string(), aside[0].string(), std::string(bound)})
            EXPECT_NE(reports[0].find(part), std::string::npos) << reports[0];
        registry.WriteString("Later", "z");
        registry.Flush();
        EXPECT_EQ(reports.size(), 1u) << "moved aside once";
        TRegistry reader;
        ASSERT_TRUE(reader.OpenKey("Software\\Big", false));
        EXPECT_EQ(reader.ReadString("More7"), std::string(200, 'y'));
        EXPECT_EQ(reader.ReadString("Later"), "z");
    }
    SetExceptionReportHandler(nullptr);

    const std::string small = ReadFile(RegistryFile());
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("Software\\Big", false));
    registry.WriteString("Huge", std::string(kMaxReadFileSize, 'h'));
    EXPECT_THROW(registry.Flush(), ERegistryException);
    EXPECT_EQ(ReadFile(RegistryFile()), small);
}

// A registry that no reader takes would fail every start and every save for
// good: the next save moves it aside once, keeps it, and says where.
TEST_F(RegistryTest, FileReadersRefuseIsMovedAsideOnceAndTheUserToldWhere)
{
    std::vector<std::string> reports;
    SetExceptionReportHandler([&](const std::string& Message) { reports.push_back(Message); });
    std::string tooManyLines = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Many]\n";
    for (size_t i = 0; i <= regfile::kMaxLines; ++i)
        tooManyLines += "\"v\"=dword:00000000\n";
    const std::string tooLarge = FileOfSize(kMaxReadFileSize + 1);
    const std::vector<std::pair<std::string, std::function<void()>>> kinds = {
        {"refused", [&] { WriteFile(RegistryFile(), tooLarge); }},
        {"refused", [&] { fs::create_directories(RegistryFile()); }},
        {"refused", [&] { ASSERT_EQ(mkfifo(RegistryFile().c_str(), 0600), 0); }},
        {"corrupt", [&] { WriteFile(RegistryFile(), tooManyLines); }},
    };
    for (const auto& [word, makeFile] : kinds) {
        SCOPED_TRACE(word + " " + std::to_string(reports.size()));
        fs::remove_all(RegistryFile().parent_path());
        fs::create_directories(RegistryFile().parent_path());
        makeFile();
        const auto type = fs::status(RegistryFile()).type();
        {
            TRegistry reader;
            reader.OpenKey("Software\\Any", true);
            EXPECT_THROW(reader.ReadString("Port"), ERegistryException);
        }
        reports.clear();
        Store(kHkeyCurrentUser, "Software\\Fresh", "Port", "COM2");
        const std::vector<fs::path> aside =
            FilesStartingWith(RegistryFile().parent_path(), "registry.reg." + word + "-");
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(fs::status(aside[0]).type(), type) << "the user's file is kept as it was";
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_NE(reports[0].find(aside[0].string()), std::string::npos) << reports[0];

        Store(kHkeyCurrentUser, "Software\\Fresh", "Port", "COM3");
        EXPECT_EQ(reports.size(), 1u) << "moved aside once";
        TRegistry reader;
        ASSERT_TRUE(reader.OpenKey("Software\\Fresh", false));
        EXPECT_EQ(reader.ReadString("Port"), "COM3");
    }
    SetExceptionReportHandler(nullptr);
}

// Each child process stores its own keys while the others do the same.
TEST_F(RegistryTest, ProcessesSavingAtOnceKeepEachOthersKeys)
{
    constexpr int kProcesses = 4;
    constexpr int kKeysEach = 25;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int k = 0; k < kKeysEach; ++k) {
                TRegistry registry;
                if (!registry.OpenKey("Software\\P" + std::to_string(p) + "\\K" + std::to_string(k), true))
                    _exit(2);
                registry.WriteInteger("Value", k);
                try {
                    registry.CloseKey();
                } catch (...) {
                    _exit(3);
                }
            }
            _exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const auto doc = regfile::Parse(ReadFile(RegistryFile()));
    ASSERT_TRUE(doc.has_value());
    EXPECT_EQ(doc->Keys.size(), static_cast<size_t>(kProcesses * kKeysEach));
    TRegistry registry;
    for (int p = 0; p < kProcesses; ++p)
        for (int k = 0; k < kKeysEach; ++k) {
            ASSERT_TRUE(registry.OpenKey("\\Software\\P" + std::to_string(p) + "\\K" + std::to_string(k), false));
            EXPECT_EQ(registry.ReadInteger("Value"), k);
        }
}

// A saver killed at any moment leaves the previous file or the next one.
TEST_F(RegistryTest, SaveKilledHalfWayNeverLeavesATornFile)
{
    // A large value makes every save take a while, so kills land inside it.
    Store(kHkeyCurrentUser, "Software\\Big", "Filler", std::string(200000, 'x'));
    std::mt19937 random(12345);
    for (int round = 0; round < 15; ++round) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int i = 0;; ++i) {
                TRegistry registry;
                registry.OpenKey("Software\\Big", true);
                registry.WriteString("Counter", std::to_string(i));
                registry.WriteString("Filler", std::string(static_cast<size_t>(200000 + i % 1000), 'y'));
                try {
                    registry.CloseKey();
                } catch (...) {
                    _exit(3);
                }
            }
        }
        usleep(std::uniform_int_distribution<useconds_t>(1000, 30000)(random));
        kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saver stopped by itself";

        TRegistry reader;
        ASSERT_TRUE(reader.OpenKey("Software\\Big", false));
        EXPECT_GE(reader.ReadString("Filler").size(), 200000u) << "round " << round;
    }
    // A later save still works: the lock of the killed process is gone.
    Store(kHkeyCurrentUser, "Software\\After", "Done", "yes");
}

} // namespace
