#include "CliOptions.h"

#include <array>
#include <charconv>
#include <functional>
#include <map>

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

// The enumeration value whose text (as the component writes it) equals Text
// without regard to case.
template <typename Enum, size_t N>
std::optional<Enum> ParseEnumText(const std::string& Text, const std::array<Enum, N>& Values,
                                  std::string (*ToText)(Enum))
{
    for (Enum value : Values)
        if (UpperCaseAscii(ToText(value)) == UpperCaseAscii(Text))
            return value;
    return std::nullopt;
}

std::string WrongValue(const std::string& Option, const std::string& Value)
{
    return "błędna wartość opcji " + Option + ": \"" + Value + "\"";
}

// Sets one line option; an error text when the value is wrong.
using OptionSetter = std::function<std::string(CliOptions&, const std::string&)>;

const std::map<std::string, OptionSetter>& ValueOptions()
{
    static const std::map<std::string, OptionSetter> options = {
        {"--port",
         [](CliOptions& o, const std::string& v) {
             if (v.empty())
                 return std::string("pusta nazwa portu");
             o.Port = v;
             return std::string();
         }},
        {"--baud",
         [](CliOptions& o, const std::string& v) {
             const auto rate = ParseNumber(v, 1, INT32_MAX);
             if (!rate)
                 return WrongValue("--baud", v);
             o.BaudRate = brCustom;
             o.CustomBaudRate = *rate;
             for (int i = 0; i < kBaudRateCount; ++i)
                 if (BaudRateValue(static_cast<TBaudRate>(i)) == static_cast<uint32_t>(*rate))
                     o.BaudRate = static_cast<TBaudRate>(i);
             return std::string();
         }},
        {"--data-bits",
         [](CliOptions& o, const std::string& v) {
             o.DataBits = ParseEnumText(v, std::array{dbFive, dbSix, dbSeven, dbEight}, &DataBitsToText);
             return o.DataBits ? std::string() : WrongValue("--data-bits", v);
         }},
        {"--parity",
         [](CliOptions& o, const std::string& v) {
             o.Parity = ParseEnumText(v, std::array{prNone, prOdd, prEven, prMark, prSpace}, &ParityToText);
             return o.Parity ? std::string() : WrongValue("--parity", v);
         }},
        {"--stop-bits",
         [](CliOptions& o, const std::string& v) {
             o.StopBits = ParseEnumText(v, std::array{sbOneStopBit, sbOne5StopBits, sbTwoStopBits}, &StopBitsToText);
             return o.StopBits ? std::string() : WrongValue("--stop-bits", v);
         }},
        {"--flow",
         [](CliOptions& o, const std::string& v) {
             o.FlowControl = ParseEnumText(v, std::array{fcNone, fcHardware, fcSoftware}, &FlowControlToText);
             return o.FlowControl ? std::string() : WrongValue("--flow", v);
         }},
        {"--out",
         [](CliOptions& o, const std::string& v) {
             if (v.empty())
                 return std::string("pusta nazwa pliku");
             o.OutFile = v;
             return std::string();
         }},
    };
    return options;
}

std::optional<CliCommand> CommandNamed(const std::string& Word)
{
    static const std::map<std::string, CliCommand> commands = {{"last", CliCommand::Last},
                                                               {"get", CliCommand::Get},
                                                               {"all", CliCommand::All},
                                                               {"set-clock", CliCommand::SetClock}};
    const auto found = commands.find(Word);
    return found == commands.end() ? std::nullopt : std::optional(found->second);
}

CliParseResult Fail(std::string Error) { return {std::nullopt, std::move(Error)}; }

// The command and its number from the words that are not options.
std::string TakeCommand(const std::vector<std::string>& Words, CliOptions& Options)
{
    if (Words.empty())
        return "brak polecenia (last, get N, all, set-clock)";
    const auto command = CommandNamed(Words[0]);
    if (!command)
        return "nieznane polecenie: \"" + Words[0] + "\"";
    Options.Command = *command;
    size_t used = 1;
    if (*command == CliCommand::Get) {
        if (Words.size() < 2)
            return "brak numeru pomiaru po \"get\"";
        const auto number = ParseNumber(Words[1], kFirstMeasurement, kLastMeasurement);
        if (!number)
            return "błędny numer pomiaru: \"" + Words[1] + "\" (dozwolone 1..28)";
        Options.Number = static_cast<uint8_t>(*number);
        used = 2;
    }
    if (Words.size() > used)
        return "zbędny argument: \"" + Words[used] + "\"";
    if (*command == CliCommand::SetClock && !Options.OutFile.empty())
        return "opcja --out dotyczy tylko odczytu pomiarów";
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
        if (argument.rfind('-', 0) != 0 || argument == "-") {
            words.push_back(argument);
            continue;
        }
        const size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        const auto option = ValueOptions().find(name);
        if (option == ValueOptions().end())
            return Fail("nieznana opcja: \"" + name + "\"");
        std::string value;
        if (equals != std::string::npos)
            value = argument.substr(equals + 1);
        else if (i + 1 < Arguments.size())
            value = Arguments[++i];
        else
            return Fail("brak wartości opcji " + name);
        if (std::string error = option->second(options, value); !error.empty())
            return Fail(error);
    }
    if (std::string error = TakeCommand(words, options); !error.empty())
        return Fail(error);
    return {options, {}};
}

std::string CliUsage()
{
    return "Użycie: velt-cli [opcje] POLECENIE\n"
           "\n"
           "Polecenia:\n"
           "  last              ostatni pomiar\n"
           "  get N             pomiar z pamięci o numerze N (1..28)\n"
           "  all               wszystkie pomiary\n"
           "  set-clock         ustawia datę i czas miernika według zegara komputera\n"
           "\n"
           "Opcje (zastępują ustawienia zapisane przez program Velt; narzędzie ich nie zmienia):\n"
           "  --port NAZWA      port szeregowy: ttyUSB0, /dev/ttyS0, COM1, ...\n"
           "  --baud N          prędkość w bodach, np. 9600\n"
           "  --data-bits N     bity danych: 5, 6, 7 lub 8\n"
           "  --parity P        parzystość: none, odd, even, mark lub space\n"
           "  --stop-bits S     bity stopu: 1, 1.5 lub 2\n"
           "  --flow F          sterowanie przepływem: none, hardware lub software\n"
           "  --out PLIK        odczyt do pliku zamiast na standardowe wyjście:\n"
           "                    *.rtf jako dokument RTF, każdy inny jako tekst UTF-8\n"
           "  --help            ten opis\n"
           "\n"
           "Odczyt trafia na standardowe wyjście (UTF-8), komunikaty na standardowe wyjście błędów.\n"
           "\n"
           "Kod wyjścia: 0 gotowe; 1 miernik nie odpowiedział, nie potwierdził ustawienia zegara\n"
           "albo linia zgłosiła błąd w trakcie odczytu (to, co nadeszło, i tak jest wypisane);\n"
           "2 nie udało się otworzyć portu, błędne opcje albo nie udało się zapisać odczytu.\n";
}
