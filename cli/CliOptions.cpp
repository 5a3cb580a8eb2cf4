#include "CliOptions.h"

#include <cctype>
#include <charconv>
#include <map>

#include <velt/comport/ComPort.h>

#include "MeterRequests.h"

namespace {

// A whole decimal number within [Min, Max], or nothing.
std::optional<int32_t> ParseNumber(const std::string& Text, int32_t Min, int32_t Max)
{
    int32_t value = 0;
    const char* end = Text.data() + Text.size();
    const auto [stop, error] = std::from_chars(Text.data(), end, value);
    if (Text.empty() || error != std::errc() || stop != end || value < Min || value > Max)
        return std::nullopt;
    return value;
}

std::string WrongValue(const std::string& Option, const std::string& Value)
{
    return "błędna wartość opcji " + Option + ": \"" + Value + "\"";
}

// The port setting an option names: the rows of the settings table, each
// under its own word.
const TPortSetting* SettingOption(const std::string& Option)
{
    return Option.rfind("--", 0) == 0 ? FindPortSettingOption(std::string_view(Option).substr(2)) : nullptr;
}

bool IsKnownOption(const std::string& Option)
{
    return Option == "--out" || Option == "--log" || Option == "--for" || SettingOption(Option) != nullptr;
}

// Takes the value of a known option; an error text when it is wrong.
std::string TakeOption(const std::string& Option, const std::string& Value, CliOptions& Options)
{
    if (Option == "--out") {
        if (Value.empty())
            return "pusta nazwa pliku";
        Options.OutFile = Value;
        return {};
    }
    if (Option == "--log") {
        if (Value.empty())
            return "pusta nazwa pliku dziennika";
        Options.LogFile = Value;
        return {};
    }
    if (Option == "--for") {
        const auto seconds = ParseNumber(Value, 1, 1000000);
        if (!seconds)
            return WrongValue(Option, Value) + " (dozwolone 1..1000000 s)";
        Options.MonitorSeconds = *seconds;
        return {};
    }
    const TPortSetting* setting = SettingOption(Option);
    if (!setting->Accepts(Value))
        return WrongValue(Option, Value);
    Options.Settings.emplace_back(*setting, Value);
    return {};
}

// The command a word names: a meter command by its word in the command
// table, or one of the tool's own.
bool TakeCommandWord(const std::string& Word, CliOptions& Options)
{
    for (const CommandButton& button : CommandButtons())
        if (button.Verb != nullptr && Word == button.Verb) {
            Options.Command = CliCommand::Meter;
            Options.Meter = button.Command;
            return true;
        }
    static const std::map<std::string, CliCommand> own = {
        {"ports", CliCommand::Ports}, {"find", CliCommand::Find}, {"monitor", CliCommand::Monitor}};
    const auto found = own.find(Word);
    if (found != own.end())
        Options.Command = found->second;
    return found != own.end();
}

CliParseResult Fail(std::string Error) { return {std::nullopt, std::move(Error)}; }

// The command and its number from the words that are not options.
std::string TakeCommand(const std::vector<std::string>& Words, CliOptions& Options)
{
    if (Words.empty())
        return "brak polecenia (last, get N, all, set-clock, ports, find, monitor)";
    if (!TakeCommandWord(Words[0], Options))
        return "nieznane polecenie: \"" + Words[0] + "\"";
    const CliCommand command = Options.Command;
    const bool meter = command == CliCommand::Meter;
    size_t used = 1;
    if (meter && ButtonOf(Options.Meter).TakesNumber) {
        if (Words.size() < 2)
            return "brak numeru pomiaru po \"" + Words[0] + "\"";
        const auto number = ParseNumber(Words[1], kFirstMeasurement, kLastMeasurement);
        if (!number)
            return "błędny numer pomiaru: \"" + Words[1] + "\" (dozwolone 1..28)";
        Options.Number = static_cast<uint8_t>(*number);
        used = 2;
    }
    if (command == CliCommand::Find) {
        Options.FindPorts.assign(Words.begin() + 1, Words.end());
        used = Words.size();
    }
    if (command == CliCommand::Monitor && Words.size() > 1) {
        Options.MonitorPort = Words[1];
        used = 2;
    }
    if (Words.size() > used)
        return "zbędny argument: \"" + Words[used] + "\"";
    const bool reads = meter && ButtonOf(Options.Meter).Request != nullptr;
    if (!reads && command != CliCommand::Ports && !Options.OutFile.empty())
        return "opcja --out dotyczy tylko odczytu pomiarów";
    if (command == CliCommand::Find)
        for (const auto& given : Options.Settings)
            if (std::string_view(given.first.Option()) == "port")
                return "przy poleceniu find porty podaje się po nim: find PORT...";
    if (command != CliCommand::Monitor && Options.MonitorSeconds != 0)
        return "opcja --for dotyczy tylko polecenia monitor";
    if (command != CliCommand::Ports && Options.TabSeparated)
        return "opcja --tsv dotyczy tylko polecenia ports";
    return {};
}

} // namespace

CliParseResult ParseCliOptions(const std::vector<std::string>& Arguments)
{
    CliOptions options;
    std::vector<std::string> words;
    for (size_t i = 0; i < Arguments.size(); ++i) {
        const std::string& argument = Arguments[i];
        if (argument == "--help" || argument == "-h") {
            options.Command = CliCommand::Help;
            return {options, {}};
        }
        if (argument == "--tsv") {
            options.TabSeparated = true;
            continue;
        }
        if (argument.rfind('-', 0) != 0 || argument == "-") {
            words.push_back(argument);
            continue;
        }
        const size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        if (!IsKnownOption(name))
            return Fail("nieznana opcja: \"" + name + "\"");
        std::string value;
        if (equals != std::string::npos)
            value = argument.substr(equals + 1);
        else if (i + 1 < Arguments.size())
            value = Arguments[++i];
        else
            return Fail("brak wartości opcji " + name);
        if (std::string error = TakeOption(name, value, options); !error.empty())
            return Fail(error);
    }
    if (std::string error = TakeCommand(words, options); !error.empty())
        return Fail(error);
    return {options, {}};
}

// A port given on the command line is the user's own choice: it is opened
// as it is, with no stored adapter looked for in its place.
void ApplyCliSettings(const CliOptions& Options, TCustomComPort& Port)
{
    for (const auto& [setting, text] : Options.Settings) {
        setting.SetTyped(Port, text);
        if (std::string_view(setting.Option()) == "port")
            Port.SetAdapterIdentity({});
    }
    if (Options.LineLog)
        Port.SetLineLog(Options.LineLog);
}

namespace {

// "a, b lub c": the values of a list, as a person types them.
std::string ValuesOf(const TPortSetting& Setting)
{
    std::string values;
    const auto texts = Setting.Texts();
    for (size_t i = 0; i < texts.size(); ++i) {
        if (i > 0)
            values += i + 1 == texts.size() ? " lub " : ", ";
        std::string text = texts[i];
        for (char& c : text)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        values += text;
    }
    return values;
}

// How many characters a UTF-8 text shows: the bytes that start one.
size_t Width(const std::string& Text)
{
    size_t width = 0;
    for (const char c : Text)
        width += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return width;
}

// One line of the usage text: the option, what it takes and what it is.
std::string UsageLine(const TPortSetting& Setting)
{
    static const std::map<TSettingKind, std::string> placeholders = {
        {skName, "NAZWA"}, {skList, "WARTOŚĆ"}, {skRate, "N"}, {skNumber, "N"}, {skChar, "ZNAK"}};
    std::string line = "  --" + std::string(Setting.Option()) + " " + placeholders.at(Setting.Kind());
    const size_t shown = Width(line);
    line += std::string(shown < 30 ? 30 - shown : 1, ' ') + Setting.Description();
    if (Setting.Kind() == skList)
        line += ": " + ValuesOf(Setting);
    else if (Setting.Kind() == skNumber)
        line += " (" + std::to_string(Setting.Min()) + ".." + std::to_string(Setting.Max()) + ")";
    else if (Setting.Kind() == skChar)
        line += " (znak albo #kod 0..255)";
    return line + "\n";
}

} // namespace

std::string CliUsage()
{
    std::string settings;
    for (const TPortSetting& setting : PortSettings())
        settings += UsageLine(setting);
    return "Użycie: velt-cli [opcje] POLECENIE\n"
           "\n"
           "Polecenia:\n"
           "  last                        ostatni pomiar\n"
           "  get N                       pomiar z pamięci o numerze N (1..28)\n"
           "  all                         wszystkie pomiary\n"
           "  set-clock                   ustawia datę i czas miernika według zegara komputera\n"
           "  ports                       porty szeregowe: rodzaj, nr seryjny, położenie, kto je trzyma\n"
           "  find [PORT...]              szuka miernika: pyta o ostatni pomiar każdy port z listy\n"
           "                              (albo podane porty), najwyżej 4 s na port; zajęte pomija\n"
           "  monitor [PORT]              nasłuchuje na linii bez wysyłania i wypisuje dziennik transmisji\n"
           "                              (do Ctrl+C albo do końca czasu --for)\n"
           "\n"
           "Opcje portu (zastępują ustawienia zapisane przez program Velt; narzędzie ich nie zmienia):\n" +
           settings +
           "\n"
           "Inne opcje:\n"
           "  --out PLIK                  odczyt do pliku zamiast na standardowe wyjście:\n"
           "                              *.rtf jako dokument RTF, każdy inny jako tekst UTF-8\n"
           "  --tsv                       przy poleceniu ports wiersze z polami rozdzielonymi tabulatorem\n"
           "                              (name, kind, usb_id, serial, location, description,\n"
           "                              manufacturer, identity, path, holders, latency_ms) zamiast tabeli\n"
           "  --log PLIK                  dziennik transmisji do pliku (- to standardowe wyjście błędów)\n"
           "                              (bajty w obie strony, zdarzenia, błędy linii, otwarcie i zamknięcie)\n"
           "  --for SEKUNDY               przy poleceniu monitor koniec po tylu sekundach\n"
           "  --help                      ten opis\n"
           "\n"
           "Odczyt trafia na standardowe wyjście (UTF-8), komunikaty na standardowe wyjście błędów.\n"
           "Gdy adapter USB zapisanego portu jest teraz pod inną nazwą, odczyt go odnajduje\n"
           "i mówi o tym; gdy pasuje do niego więcej niż jeden port albo gdy go nie ma, żaden port\n"
           "nie jest otwierany (także ten o zapisanej nazwie, jeśli jest tam inne urządzenie).\n"
           "Port podany w --port jest otwierany bez sprawdzania, jaki adapter jest zapisany.\n"
           "\n"
           "Kod wyjścia: 0 gotowe; 1 miernik nie odpowiedział, nie potwierdził ustawienia zegara\n"
           "albo linia zgłosiła błąd w trakcie odczytu (to, co nadeszło, i tak jest wypisane);\n"
           "2 nie udało się otworzyć portu (albo znaleźć lub rozpoznać adaptera), błędne opcje albo\n"
           "nie udało się zapisać odczytu lub listy portów.\n"
           "Polecenie find: 0 miernik odpowiedział na co najmniej jednym porcie (wypisanym na standardowe\n"
           "wyjście z pierwszym wierszem odpowiedzi); 1 nie odpowiedział na żadnym; 2 błędne opcje\n"
           "albo nie udało się odczytać listy portów lub zapisać wyniku.\n"
           "Polecenie monitor: 0 koniec po Ctrl+C albo po czasie --for; 2 nie udało się otworzyć portu,\n"
           "połączenie z portem zostało przerwane albo błędne opcje.\n"
           "Gdy nie uda się zapisać dziennika (--log), kod wyjścia to co najmniej 2.\n";
}
