// The Windows program's window under Wine, driven in-process by messages,
// against the simulated meter on a COM port that the runner maps to a
// pseudo-terminal; and the component's two hand-overs to the message loop.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include <velt/comport/PortDetails.h>
#include <velt/comport/PortList.h>

#include "LineLogWindow.h"
#include "MainVelt.h"
#include <velt/comport/framework/MessageLoopHandOver.h>
#include "Prompts.h"
#include "RichPane.h"
#include "FarEndControl.h"
#include "RegisteredPort.h"
#include "SetupDialog.h"
#include "support/ListedPorts.h"
#include <velt/comport/platform/WideText.h>
#include "WindowDriver.h"

using namespace std::chrono_literals;

namespace {

#define REQUIRE_METER()                                                                                                \
    do {                                                                                                               \
        if (MeterPortName().empty())                                                                                   \
            GTEST_SKIP() << "no meter: VELT_TEST_PORT names none (the runner under Wine gives one)";                   \
    } while (0)

std::string CurrentTestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

// Keys of the test's own, below the usual roots.
SettingsPlaces TestPlaces()
{
    const std::string key = "Software\\VeltTest\\" + CurrentTestName();
    return {"HKEY_LOCAL_MACHINE\\" + key, "HKEY_CURRENT_USER\\" + key};
}

void DeleteKey(HKEY Root, const std::string& Path)
{
    const std::wstring wide(Path.begin(), Path.end());
    RegDeleteTreeW(Root, wide.c_str());
    RegDeleteKeyW(Root, wide.c_str());
}

bool KeyExists(HKEY Root, const std::string& Path)
{
    const std::wstring wide(Path.begin(), Path.end());
    HKEY key = nullptr;
    if (RegOpenKeyExW(Root, wide.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::string ReadFileBytes(const std::wstring& Name)
{
    std::ifstream file(Name.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Whether the group box's caption shows whole: its text in its font, with
// room on either side, is no wider than the box.
bool GroupCaptionFits(HWND Dialog)
{
    const wchar_t* caption = L"Ustawienia portu szeregowego";
    HWND group = FindWindowExW(Dialog, nullptr, L"Button", caption);
    if (group == nullptr)
        return false;
    HDC device = GetDC(group);
    HGDIOBJ previous = SelectObject(device, reinterpret_cast<HFONT>(SendMessageW(group, WM_GETFONT, 0, 0)));
    SIZE text{};
    GetTextExtentPoint32W(device, caption, static_cast<int>(wcslen(caption)), &text);
    SelectObject(device, previous);
    ReleaseDC(group, device);
    RECT box{};
    GetClientRect(group, &box);
    return text.cx + 16 <= box.right - box.left;
}

std::wstring TempFileName(const wchar_t* Name)
{
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + Name;
}

RECT Bounds(HWND Control)
{
    RECT bounds{};
    GetWindowRect(Control, &bounds);
    return bounds;
}

class WindowUnderWine : public ::testing::Test {
protected:
    void SetUp() override
    {
        InstallMessageLoopHandOver();
        InstallSetupDialog();
        SetMessageBoxHook([this](const TMessageBoxRequest& Request) { Boxes.push_back(Request); });
        InstallExceptionReportBox(nullptr);
        Places = TestPlaces();
        DeleteStoredKeys();
    }

    void TearDown() override
    {
        Form.reset();
        SetMessageBoxHook({});
        SetSaveFileHook({});
        SetSetupDialogHook({});
        SetPortNameSource({});
        SetPortDetailsSource({});
        DeleteStoredKeys();
    }

    void DeleteStoredKeys()
    {
        const std::string key = "Software\\VeltTest\\" + CurrentTestName();
        DeleteKey(HKEY_LOCAL_MACHINE, key);
        DeleteKey(HKEY_CURRENT_USER, key);
    }

    void OpenWindow(const std::string& Port = MeterPortName())
    {
        Form.reset(); // one window at a time: the port is closed first
        Form = std::make_unique<TForm1>(Places);
        if (!Port.empty())
            Form->ComPort->SetPort(Port);
        ShowWindow(Form->Handle(), SW_SHOWNOACTIVATE);
    }

    void Click(TControl Button) { SendMessageW(Form->Control(Button), BM_CLICK, 0, 0); }
    std::wstring Pane() const { return rich_pane::Text(Form->Control(TControl::Memo)); }
    bool PaneHas(const wchar_t* Text) const { return Pane().find(Text) != std::wstring::npos; }
    bool CommandsEnabled() const { return IsWindowEnabled(Form->Control(TControl::bOstatniPom)) != 0; }
    bool Shown(TControl Which) const { return (GetWindowLongPtrW(Form->Control(Which), GWL_STYLE) & WS_VISIBLE) != 0; }
    // A read has ended: the commands are back and the transfer panel hidden.
    bool Idle() const { return CommandsEnabled() && !Shown(TControl::lTransmisja) && !Shown(TControl::pb); }

    // What the window shows, for a failure's message.
    std::string State() const
    {
        return "pane: \"" + Utf8FromWide(Pane()) + "\", commands " + (CommandsEnabled() ? "on" : "off") +
               ", transfer " + (Shown(TControl::lTransmisja) ? "shown" : "hidden") + ", boxes: " + BoxTexts();
    }

    // The texts of the boxes shown, for a failure's message.
    std::string BoxTexts() const
    {
        std::string texts;
        for (const TMessageBoxRequest& box : Boxes)
            texts += Utf8FromWide(box.Text) + "\n";
        return texts;
    }

    SettingsPlaces Places;
    std::unique_ptr<TForm1> Form;
    std::vector<TMessageBoxRequest> Boxes;
};

// ---- The meter's commands -------------------------------------------------------

// The three reads on one window, its port kept open between them. The
// meter's adapter stored under a name it no longer has is followed to the
// meter's port, which the status line under the pane says until the next read.
TEST_F(WindowUnderWine, ReadsTheLastMeasurementAllOfThemAndOneFromMemory)
{
    REQUIRE_METER();
    OpenWindow("COM99");
    Form->ComPort->SetAdapterIdentity(PortIdentity(UsbAdapter("COM99")));
    SetPortDetailsSource([](std::vector<TPortDetails>& Out) {
        Out = {UsbAdapter(MeterPortName())};
        return 0;
    });
    EXPECT_FALSE(Shown(TControl::lStatus));
    Click(TControl::bOstatniPom);
    EXPECT_FALSE(CommandsEnabled()); // until the answer is complete
    ASSERT_TRUE(PumpUntil([&] { return PaneHas(L"Pomiar nr 28") && Idle(); })) << State();
    EXPECT_TRUE(Shown(TControl::lStatus));
    EXPECT_EQ(Utf8FromWide(WindowText(Form->Control(TControl::lStatus))),
              "Adapter miernika jest teraz na porcie " + MeterPortName() + " (wcześniej COM99).");
    EXPECT_LE(Bounds(Form->Control(TControl::Memo)).bottom, Bounds(Form->Control(TControl::lStatus)).top);
    // The meter's Windows-1250 text, Polish letters and the dash included.
    EXPECT_TRUE(PaneHas(L"Ostatni pomiar – Pomiar nr 28: ")) << State();
    EXPECT_TRUE(PaneHas(L"°C, wilgotność"));

    Click(TControl::bWszystPom);
    ASSERT_TRUE(PumpUntil([&] { return PaneHas(L"Pomiar nr 1:") && PaneHas(L"Pomiar nr 28:") && Idle(); })) << State();
    EXPECT_FALSE(Shown(TControl::lStatus));
    EXPECT_FALSE(PaneHas(L"Ostatni pomiar"));
    // One line per measurement: CR LF became one break.
    const std::wstring all = Pane();
    EXPECT_EQ(std::count(all.begin(), all.end(), L'\r'), 28);

    SetWindowTextW(Form->Control(TControl::SpinEdit1), L"5");
    Click(TControl::bPomZPam);
    ASSERT_TRUE(PumpUntil([&] { return PaneHas(L"Pomiar nr 5:") && Idle(); })) << State();
    EXPECT_FALSE(PaneHas(L"Pomiar nr 28"));
    EXPECT_TRUE(Boxes.empty()) << BoxTexts();
}

TEST_F(WindowUnderWine, SetsTheMetersClock)
{
    REQUIRE_METER();
    OpenWindow();
    Click(TControl::bUstawZegar);
    ASSERT_TRUE(PumpUntil([&] { return Pane() == L"Zegar miernika ustawiony poprawnie!" && Idle(); })) << State();
    EXPECT_TRUE(Boxes.empty()) << BoxTexts();
}

TEST_F(WindowUnderWine, ReportsASilentMeter)
{
    if (SilentMeterPortName().empty())
        GTEST_SKIP() << "no silent meter: VELT_SILENT_PORT names none";
    OpenWindow(SilentMeterPortName());
    Click(TControl::bOstatniPom);
    ASSERT_TRUE(PumpUntil([&] { return !Boxes.empty() && CommandsEnabled(); })) << State();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, L"Wystąpił błąd komunikacji z miernikiem!");
    EXPECT_EQ(Boxes[0].Caption, L"Błąd");
    EXPECT_EQ(Boxes[0].Flags & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(Pane(), L"Błąd komunikacji z miernikiem!");
    // The status line says what the line log shows; the pane's menu item
    // (and Ctrl+L) shows the log in a window of its own.
    EXPECT_EQ(Utf8FromWide(WindowText(Form->Control(TControl::lStatus))),
              "Wysłano 1 bajt, nie nadeszła odpowiedź w ciągu 1 s");
    SendMessageW(Form->Handle(), WM_COMMAND, kLineLogCommand, 0);
    HWND log = Form->LineLogHandle();
    ASSERT_NE(log, nullptr);
    EXPECT_TRUE(IsWindowVisible(log));
    const std::string shown = Utf8FromWide(WindowText(GetDlgItem(log, LineLogWindow::kText)));
    EXPECT_NE(shown.find(" tx      1 | 54 | T\r\n"), std::string::npos) << shown;
}

// ---- An adapter pulled out ----------------------------------------------------------

std::string EchoPortName()
{
    char name[64] = {};
    const DWORD length = GetEnvironmentVariableA("VELT_ECHO_PORT", name, sizeof name);
    return length > 0 && length < sizeof name ? std::string(name, length) : std::string();
}

// The echo line's far end goes away half-way through an answer, then while
// the window is idle: each time one status line, no box, what came is kept;
// with the far end back the next read works without the setup dialog.
TEST_F(WindowUnderWine, AnAdapterPulledOutIsAStatusLineAndTheNextReadAfterItsReturnWorks)
{
    FarEndControl farEnd;
    REQUIRE_FAR_END_CONTROL(farEnd);
    const std::string line = EchoPortName();
    if (line.empty())
        GTEST_SKIP() << "no echo line: VELT_ECHO_PORT names none";
    bool dialogShown = false;
    SetSetupDialogHook([&](HWND Dialog) {
        dialogShown = true;
        PostMessageW(Dialog, WM_COMMAND, IDCANCEL, 0);
    });
    OpenWindow(line);
    const std::string gone =
        "Adapter miernika na porcie " + line + " został odłączony. Następne polecenie połączy się z nim ponownie.";
    const auto statusSaysGone = [&] {
        return Shown(TControl::lStatus) && Utf8FromWide(WindowText(Form->Control(TControl::lStatus))) == gone;
    };
    const auto readWorks = [&] {
        Click(TControl::bOstatniPom);
        return PumpUntil([&] { return Pane() == L"T" && Idle(); });
    };

    farEnd.KeepAnswering(); // the answer never ends by itself
    Click(TControl::bOstatniPom);
    // Shown once the window has taken the first bytes.
    ASSERT_TRUE(PumpUntil([&] { return Shown(TControl::lTransmisja); })) << State();
    ASSERT_TRUE(farEnd.HangUp());
    ASSERT_TRUE(PumpUntil([&] { return statusSaysGone() && Idle(); })) << State();
    EXPECT_TRUE(PaneHas(L"T")) << "what came before is kept: " << State();
    ASSERT_TRUE(farEnd.BringBack());
    ASSERT_TRUE(readWorks()) << State();
    EXPECT_FALSE(Shown(TControl::lStatus));

    ASSERT_TRUE(farEnd.HangUp()); // while idle, the port open
    ASSERT_TRUE(PumpUntil(statusSaysGone)) << State();
    ASSERT_TRUE(farEnd.BringBack());
    ASSERT_TRUE(readWorks()) << State();
    EXPECT_TRUE(Boxes.empty()) << BoxTexts();
    EXPECT_FALSE(dialogShown);
}

// ---- The meter's adapter under another name -------------------------------------

std::wstring WideAscii(const std::string& Text) { return std::wstring(Text.begin(), Text.end()); }

// The meter's FTDI adapter, stored as COM7, is listed by SetupAPI at the
// meter's port: the window reads from there and says so. With the adapter's
// serial number at two ports, neither in the stored socket, it sends nothing
// and asks the operator to choose.
TEST_F(WindowUnderWine, FollowsTheStoredAdapterToWhereSetupApiListsItAndGuessesNothing)
{
    REQUIRE_METER();
    if (SilentMeterPortName().empty())
        GTEST_SKIP() << "no silent meter: VELT_SILENT_PORT names none";
    const std::string identity = "usb:0403:6001:at:Port_#0002.Hub_#0001:sn:A12345B";
    {
        RegisteredPort adapter(L"FTDIBUS\\VID_0403+PID_6001+A12345BA\\0000", WideAscii(MeterPortName()),
                               L"USB Serial Port", L"FTDI", L"Port_#0002.Hub_#0001");
        REQUIRE_REGISTERED(adapter);
        OpenWindow("COM7");
        Form->ComPort->SetAdapterIdentity(identity);
        Click(TControl::bOstatniPom);
        ASSERT_TRUE(PumpUntil([&] { return PaneHas(L"Pomiar nr 28") && Idle(); })) << State();
        EXPECT_EQ(Utf8FromWide(WindowText(Form->Control(TControl::lStatus))),
                  "Adapter miernika jest teraz na porcie " + MeterPortName() + " (wcześniej COM7).");
        Form.reset();
    }

    RegisteredPort first(L"FTDIBUS\\VID_0403+PID_6001+A12345BA\\0001", WideAscii(MeterPortName()), L"USB Serial Port",
                         L"FTDI", L"Port_#0003.Hub_#0001");
    RegisteredPort second(L"FTDIBUS\\VID_0403+PID_6001+A12345BA\\0002", WideAscii(SilentMeterPortName()),
                          L"USB Serial Port", L"FTDI", L"Port_#0004.Hub_#0001");
    REQUIRE_REGISTERED(first);
    REQUIRE_REGISTERED(second);
    SetSetupDialogHook([](HWND Dialog) { PostMessageW(Dialog, WM_COMMAND, IDCANCEL, 0); });
    OpenWindow("COM7");
    Form->ComPort->SetAdapterIdentity(identity);
    Click(TControl::bOstatniPom);
    PumpFor(1500ms); // a meter asked would have answered by now
    EXPECT_EQ(Utf8FromWide(WindowText(Form->Control(TControl::lStatus))),
              "Nie można rozpoznać, który port jest adapterem miernika. Wybierz port komunikacyjny.");
    EXPECT_FALSE(PaneHas(L"Pomiar")) << State();
    EXPECT_FALSE(Form->ComPort->Connected());
    EXPECT_TRUE(Boxes.empty()) << BoxTexts();
}

// ---- Copy and save ----------------------------------------------------------------

// A line error that is no hang-up (a pseudo-terminal reports none of its
// own, so the port's handler is handed one) still asks for the port.
TEST_F(WindowUnderWine, LineErrorThatIsNoHangUpAsksForThePort)
{
    OpenWindow();
    Form->ComPort->OnError(Form->ComPort, TComErrors{ceFrame});
    ASSERT_EQ(Boxes.size(), 1u) << BoxTexts();
    EXPECT_EQ(Boxes[0].Text, L"Wybierz port komunikacyjny");
}

TEST_F(WindowUnderWine, CopiesThePaneAsTextAndRichTextAndSavesItAsRichText)
{
    REQUIRE_METER();
    OpenWindow();
    Click(TControl::bOstatniPom);
    ASSERT_TRUE(PumpUntil([&] { return PaneHas(L"Pomiar nr 28") && Idle(); })) << State();

    Click(TControl::bKopiujDoSchowka);
    const std::string wide = ClipboardBytes(CF_UNICODETEXT);
    const std::wstring copied(reinterpret_cast<const wchar_t*>(wide.data()), wide.size() / sizeof(wchar_t));
    EXPECT_NE(copied.find(L"Pomiar nr 28: "), std::wstring::npos);
    EXPECT_NE(copied.find(L"wilgotność"), std::wstring::npos);
    const std::string rtf = ClipboardBytes(RegisterClipboardFormatW(L"Rich Text Format"));
    EXPECT_EQ(rtf.rfind("{\\rtf", 0), 0u) << rtf.substr(0, 200);
    EXPECT_NE(rtf.find("Pomiar nr 28"), std::string::npos);

    const std::wstring saved = TempFileName(L"velt-saved.txt");
    DeleteFileW(saved.c_str());
    SetSaveFileHook([&] { return saved; });
    Click(TControl::bZapiszDoPliku);
    const std::string file = ReadFileBytes(saved);
    EXPECT_EQ(file.rfind("{\\rtf", 0), 0u);
    EXPECT_NE(file.find("Pomiar nr 28"), std::string::npos);
    // "ś" and "ć" of "wilgotność" written in the code page's bytes or as
    // characters: either way not lost.
    EXPECT_TRUE(file.find("\\'9c\\'e6") != std::string::npos || file.find("\\u347") != std::string::npos) << file;

    // An empty pane replaces the file with a valid empty document.
    Click(TControl::bCzyscEkran);
    Click(TControl::bZapiszDoPliku);
    const std::string empty = ReadFileBytes(saved);
    EXPECT_EQ(empty.rfind("{\\rtf", 0), 0u);
    EXPECT_EQ(std::count(empty.begin(), empty.end(), '{'), std::count(empty.begin(), empty.end(), '}'));
    DeleteFileW(saved.c_str());
    EXPECT_TRUE(Boxes.empty()) << BoxTexts();
}

// ---- Settings -------------------------------------------------------------------

// The texts a list of the dialog shows, and which of them is selected.
std::vector<std::wstring> ListTexts(HWND List)
{
    std::vector<std::wstring> texts;
    const auto count = SendMessageW(List, CB_GETCOUNT, 0, 0);
    for (WPARAM i = 0; i < static_cast<WPARAM>(count); ++i) {
        std::wstring text(static_cast<size_t>(SendMessageW(List, CB_GETLBTEXTLEN, i, 0)), L'\0');
        SendMessageW(List, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        texts.push_back(text);
    }
    return texts;
}

void UsePortNames(std::vector<std::string> Names)
{
    SetPortNameSource([Names](std::vector<std::string>& Out) {
        Out = Names;
        return 0;
    });
}

// The dialog draws the component's setup (whose rules
// tests/setup_model_test.cpp proves): Wine's device list describes no port,
// so the list shows the names the system's name list holds, and the stored
// port marked as absent.
TEST_F(WindowUnderWine, SetupDialogKeepsTheStoredPortAndWritesTheChosenSettingsOnOkOnly)
{
    UsePortNames({"COM2", "COM1"});
    OpenWindow("COM77"); // stored, but no such port on this machine
    std::vector<std::wstring> labels, ports;
    std::wstring shownPort;
    bool captionFits = false;
    SetSetupDialogHook([&](HWND Dialog) {
        captionFits = GroupCaptionFits(Dialog);
        for (int i = 0; GetDlgItem(Dialog, kFirstSettingLabel + i) != nullptr; ++i)
            labels.push_back(WindowText(GetDlgItem(Dialog, kFirstSettingLabel + i)));
        ports = ListTexts(GetDlgItem(Dialog, kFirstSettingList));
        shownPort = WindowText(GetDlgItem(Dialog, kFirstSettingList));
        SendMessageW(GetDlgItem(Dialog, kFirstSettingList + 1), CB_SELECTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(L"19200"));
        SendMessageW(GetDlgItem(Dialog, kFirstSettingList + 2), CB_SELECTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(L"7"));
        PostMessageW(Dialog, WM_COMMAND, IDOK, 0);
    });
    Click(TControl::bUstawienia);
    ASSERT_TRUE(Boxes.empty()) << BoxTexts();
    EXPECT_EQ(labels, (std::vector<std::wstring>{L"Port", L"Prędkość", L"Bity danych", L"Bity stopu", L"Parzystość",
                                                 L"Sterowanie"}));
    EXPECT_EQ(ports, (std::vector<std::wstring>{L"COM1", L"COM2", L"COM77 (brak)"}));
    EXPECT_EQ(shownPort, L"COM77 (brak)");
    EXPECT_TRUE(captionFits);
    EXPECT_EQ(Form->ComPort->Port(), "COM77");
    EXPECT_EQ(Form->ComPort->BaudRate(), br19200);
    EXPECT_EQ(Form->ComPort->DataBits(), dbSeven);
}

// Closing the window stores the settings; the next start finds them. Where
// the machine-wide key cannot be written (as for an ordinary account), they
// go to the account's own key, and are found there.
TEST_F(WindowUnderWine, SettingsSurviveARestartWhereverTheyCanBeStored)
{
    const auto storeAndRestart = [&](const std::string& Port) {
        OpenWindow(Port);
        Form->ComPort->SetBaudRate(br19200);
        SendMessageW(Form->Handle(), WM_CLOSE, 0, 0);
        EXPECT_TRUE(Form->Closed());
        Form.reset();
        OpenWindow("");
    };
    const std::string key = "Software\\VeltTest\\" + CurrentTestName() + "\\ComPort";
    storeAndRestart("COM42");
    EXPECT_EQ(Form->ComPort->Port(), "COM42");
    EXPECT_EQ(Form->ComPort->BaudRate(), br19200);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, key));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key));
    Form.reset();

    // HARDWARE takes no stored keys, as HKEY_LOCAL_MACHINE takes none from an
    // ordinary account.
    Places.Machine = "HKEY_LOCAL_MACHINE\\HARDWARE\\VeltTest";
    storeAndRestart("COM43");
    EXPECT_EQ(Form->ComPort->Port(), "COM43");
    EXPECT_EQ(Form->ComPort->BaudRate(), br19200);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, key));
    EXPECT_TRUE(Boxes.empty()) << BoxTexts();
}

TEST_F(WindowUnderWine, ClosesCleanlyWhileATransferRuns)
{
    REQUIRE_METER();
    OpenWindow();
    Click(TControl::bWszystPom);
    ASSERT_TRUE(PumpUntil([&] { return Shown(TControl::lTransmisja); })) << State();
    SendMessageW(Form->Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(Form->Closed());
    EXPECT_FALSE(Form->ComPort->Connected());
    Form.reset();
    PumpFor(1500ms); // the timers' and the line's late messages find nothing
    EXPECT_TRUE(Boxes.empty()) << BoxTexts();
}

// Not a test: with VELT_SCREENSHOT_MARK set, shows an answer and waits until
// the runner has taken its picture and removed the mark file.
TEST_F(WindowUnderWine, PosesForAScreenshot)
{
    char mark[MAX_PATH] = {};
    if (GetEnvironmentVariableA("VELT_SCREENSHOT_MARK", mark, MAX_PATH) == 0)
        GTEST_SKIP() << "no picture asked for (VELT_SCREENSHOT_MARK)";
    REQUIRE_METER();
    OpenWindow();
    ShowWindow(Form->Handle(), SW_SHOWMAXIMIZED);
    Click(TControl::bOstatniPom);
    ASSERT_TRUE(PumpUntil([&] { return PaneHas(L"Pomiar nr 28") && Idle(); })) << State();
    ShowWindow(Form->Control(TControl::lTransmisja), SW_SHOW);
    ShowWindow(Form->Control(TControl::pb), SW_SHOW);
    SendMessageW(Form->Control(TControl::pb), PBM_SETPOS, 120, 0);
    std::ofstream(mark) << "ready\n";
    EXPECT_TRUE(PumpUntil([&] { return GetFileAttributesA(mark) == INVALID_FILE_ATTRIBUTES; }, 60s));
}

// ---- The component's hand-overs to the message loop ---------------------------

class HandOverUnderWine : public ::testing::Test {
protected:
    void SetUp() override { InstallMessageLoopHandOver(); }
};

HWND PortNotifyWindow() { return FindWindowExW(HWND_MESSAGE, nullptr, L"VeltComPortNotify", nullptr); }

TEST_F(HandOverUnderWine, WindowHandOverSendsTheCodesToAMessageOnlyWindowOfThePort)
{
    REQUIRE_METER();
    TComPort port(nullptr);
    port.SetPort(MeterPortName());
    port.SetSyncMethod(smWindowSync);
    const DWORD mainThread = GetCurrentThreadId();
    bool allOnMain = true;
    std::string received;
    port.OnRxChar = [&](TComponent*, int32_t Count) {
        allOnMain = allOnMain && GetCurrentThreadId() == mainThread;
        std::string bytes;
        port.ReadText(bytes, Count);
        received += bytes;
    };
    EXPECT_EQ(PortNotifyWindow(), nullptr);
    port.Open();
    EXPECT_NE(PortNotifyWindow(), nullptr);
    port.WriteText("T");
    ASSERT_TRUE(PumpUntil([&] { return received.find("Pomiar nr 28") != std::string::npos; }));
    EXPECT_TRUE(allOnMain);
    port.Close();
    EXPECT_EQ(PortNotifyWindow(), nullptr);
}

// A handler that runs a message loop of its own (as a message box does) gets
// its port's next events after it has returned, never inside itself.
TEST_F(HandOverUnderWine, ThreadHandOverNeverDeliversAPortsEventsInsideItsOwnHandler)
{
    REQUIRE_METER();
    TComPort port(nullptr);
    port.SetPort(MeterPortName());
    int depth = 0;
    int deepest = 0;
    int calls = 0;
    std::string received;
    port.OnRxChar = [&](TComponent*, int32_t Count) {
        ++depth;
        deepest = std::max(deepest, depth);
        ++calls;
        std::string bytes;
        port.ReadText(bytes, Count);
        received += bytes;
        if (calls == 1) {
            port.WriteText("T"); // answered while this handler still runs
            PumpFor(1500ms);
        }
        --depth;
    };
    port.Open();
    EXPECT_EQ(PortNotifyWindow(), nullptr); // no window, no thread: the loop waits on the device
    port.WriteText("T");
    const auto answers = [&] {
        size_t count = 0;
        for (size_t at = received.find("Pomiar nr 28"); at != std::string::npos;
             at = received.find("Pomiar nr 28", at + 1))
            ++count;
        return count;
    };
    ASSERT_TRUE(PumpUntil([&] { return answers() == 2; }));
    EXPECT_EQ(deepest, 1);
    EXPECT_GE(calls, 2);
    port.Close();
}

// Under Wine a serial wait now and then ends before WaitCommEvent has marked
// its block pending, which then reads as pending for good: a port kept open
// must still report every later answer, not stop watching its line, with
// the message loop's watch (smThreadSync) as with the event thread (smNone).
TEST_F(HandOverUnderWine, EveryAnswerOnAPortKeptOpenIsReported)
{
    REQUIRE_METER();
    for (const TSyncMethod method : {smThreadSync, smNone}) {
        TComPort port(nullptr);
        port.SetPort(MeterPortName());
        port.SetSyncMethod(method);
        std::mutex guard; // smNone runs the handler on the event thread
        std::string received;
        port.OnRxChar = [&](TComponent*, int32_t Count) {
            std::string bytes;
            port.ReadText(bytes, Count);
            std::lock_guard lock(guard);
            received += bytes;
        };
        const auto answered = [&] {
            std::lock_guard lock(guard);
            return received.find("%\r\n") != std::string::npos;
        };
        port.Open();
        for (int round = 0; round < 10; ++round) {
            {
                std::lock_guard lock(guard);
                received.clear();
            }
            port.WriteText("T");
            ASSERT_TRUE(PumpUntil(answered, 3s)) << (method == smNone ? "event thread" : "message loop") << ", round "
                                                 << round << ": " << port.InQueueCount() << " bytes waiting";
            PumpFor(1100ms); // as the window's idle second
        }
        port.Close();
    }
}

} // namespace
