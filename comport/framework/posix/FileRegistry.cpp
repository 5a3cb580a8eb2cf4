#include "FileRegistry.h"

#include <ctime>
#include <utility>

#include <velt/comport/framework/ExceptionReport.h>
#include "AtomicFile.h"
#include "ConfigHome.h"
#include "RegistrySnapshot.h"

namespace {

std::filesystem::path LockPath()
{
    std::filesystem::path lock = FileRegistry::FilePath();
    lock += ".lock";
    return lock;
}

// ".<Word>-<local time>", the ending of a file moved aside.
std::string AsideSuffix(const std::string& Word)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    return "." + Word + "-" + stamp;
}

// Tells the user where a file that could not be read, or could not take the
// settings, went, once the save that moved it is over (never while the
// file's lock is held). Trouble says what was wrong with it.
void ReportMovedAside(const std::string& Trouble, const std::filesystem::path& Aside)
{
    ReportException(std::make_exception_ptr(
        ERegistryException("The settings file " + FileRegistry::FilePath().string() + " " + Trouble +
                           "; it was moved to " + Aside.string() + " and the settings were stored anew")));
}

// The bound of what readers take that Content passes, as the end of a
// sentence ("" when it passes none).
std::string BoundPassedBy(const std::string& Content)
{
    if (!regfile::WithinLineLimit(Content))
        return "have more than " + std::to_string(regfile::kMaxLines) + " lines";
    if (Content.size() > kMaxReadFileSize)
        return "be larger than " + std::to_string(kMaxReadFileSize) + " bytes";
    return {};
}

} // namespace

std::unique_ptr<RegistryBackend> NewRegistryBackend() { return std::make_unique<FileRegistry>(); }

FileRegistry::~FileRegistry()
{
    try {
        CloseKey();
    } catch (...) {
        // Nothing can be reported from here; see the note on the class.
    }
}

std::filesystem::path FileRegistry::FilePath() { return ConfigHome() / "velt" / "registry.reg"; }

void FileRegistry::SetRootKey(THKey Value)
{
    if (Value == FRootKey)
        return;
    CloseKey();
    FRootKey = Value;
}

std::string FileRegistry::RootWord() const
{
    return FRootKey == kHkeyLocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

std::string FileRegistry::FullPath(const std::string& Path) const { return RootWord() + "\\" + Path; }

bool FileRegistry::OpenKey(const std::string& Path, bool CanCreate)
{
    CloseKey();
    LoadSnapshot();
    const bool exists = FReadError.empty() && regfile::KeyExists(*FSnapshot, FullPath(Path));
    if (!exists && !CanCreate)
        return false;
    FCurrentPath = Path;
    FCreatePending = !exists;
    return true;
}

bool FileRegistry::KeyExists(const std::string& Path)
{
    LoadSnapshot();
    ThrowIfUnreadable();
    return regfile::KeyExists(*FSnapshot, FullPath(Path));
}

void FileRegistry::CloseKey()
{
    try {
        Flush();
    } catch (...) {
        ForgetCurrentKey();
        throw;
    }
    ForgetCurrentKey();
}

void FileRegistry::ForgetCurrentKey()
{
    FCurrentPath.clear();
    FCreatePending = false;
    FPending.clear();
}

void FileRegistry::Flush()
{
    if (!HasCurrentKey())
        return;
    // A key that only has to be created is not worth touching a file that
    // could not be read: a read must not move anything aside.
    if (FPending.empty() && (!FCreatePending || !FReadError.empty()))
        return;
    // A file that no reader takes (not a regular file, too large, not
    // parsable), or that these settings would take past what readers take,
    // is moved aside, so that this save works and the user's old file is
    // kept; the user learns where once the save is over.
    std::optional<std::pair<std::string, std::filesystem::path>> movedAside;
    const auto moveAside = [&](const std::string& Why, const std::string& Word) {
        movedAside.emplace(Why, MoveFileAside(FilePath(), AsideSuffix(Word)));
    };
    try {
        EnsureDirectory(FilePath().parent_path());
        UpdateFileAtomically(
            FilePath(), LockPath(),
            [&](const std::optional<std::string>& Content) { return ApplyPending(Content, moveAside); },
            [&](const FileRefusedError& Refusal) {
                moveAside(std::string("could not be read (") + Refusal.what() + ")", "refused");
            });
    } catch (const std::exception& e) {
        throw ERegistryException(std::string("Cannot write the registry: ") + e.what());
    }
    FPending.clear();
    FCreatePending = false;
    LoadSnapshot();
    if (movedAside)
        ReportMovedAside(movedAside->first, movedAside->second);
}

// Runs under the file's lock, on the file as it is now, so that whatever
// another process wrote since this key was opened is kept.
std::string
FileRegistry::ApplyPending(const std::optional<std::string>& Content,
                           const std::function<void(const std::string&, const std::string&)>& MoveAside) const
{
    std::optional<regfile::Document> doc = Content ? regfile::Parse(*Content) : regfile::Document{};
    if (!doc) {
        MoveAside("could not be read (it cannot be parsed or has more than " + std::to_string(regfile::kMaxLines) +
                      " lines)",
                  "corrupt");
        doc = regfile::Document{};
    }
    std::string content = WithPending(std::move(*doc));
    const std::string passed = BoundPassedBy(content);
    if (passed.empty())
        return content;
    // A file that reads but cannot take these settings would fail every
    // save for good: it goes aside like a refused one, and the settings start
    // a file anew. Settings that alone pass a bound are not written at all,
    // and the old file stays.
    std::string fresh = WithPending({});
    if (const std::string alone = BoundPassedBy(fresh); !alone.empty())
        throw ERegistryException("The settings would " + alone + "; kept the old " + FilePath().string());
    MoveAside("cannot take these settings (with them it would " + passed + ", more than a reader takes)", "refused");
    return fresh;
}

// Doc with the pending values of the open key, as the file's text.
std::string FileRegistry::WithPending(regfile::Document Doc) const
{
    const std::string path = FullPath(FCurrentPath);
    regfile::Key* key = regfile::FindKey(Doc, path);
    if (key == nullptr)
        key = &regfile::AddKey(Doc, path);
    for (const regfile::Value& value : FPending)
        regfile::SetValue(*key, value);
    return regfile::Serialize(Doc);
}

void FileRegistry::LoadSnapshot()
{
    FSnapshot = std::make_shared<const regfile::Document>();
    FReadError.clear();
    try {
        if (auto doc = ReadRegistrySnapshot(FilePath()))
            FSnapshot = std::move(doc);
        else
            FReadError = "The registry file " + FilePath().string() + " cannot be parsed";
    } catch (const std::exception& e) {
        FReadError = std::string("Cannot read the registry: ") + e.what();
    }
}

void FileRegistry::ThrowIfUnreadable() const
{
    if (!FReadError.empty())
        throw ERegistryException(FReadError);
}

std::optional<regfile::Value> FileRegistry::FindCurrent(const std::string& Name) const
{
    ThrowIfUnreadable();
    if (!HasCurrentKey())
        return std::nullopt;
    for (const regfile::Value& value : FPending)
        if (regfile::SameName(value.Name, Name))
            return value;
    const regfile::Key* key = regfile::FindKey(*FSnapshot, FullPath(FCurrentPath));
    const regfile::Value* value = key != nullptr ? regfile::FindValue(*key, Name) : nullptr;
    if (value == nullptr)
        return std::nullopt;
    return *value;
}

bool FileRegistry::ValueExists(const std::string& Name) const { return FindCurrent(Name).has_value(); }

void FileRegistry::Stage(regfile::Value Value)
{
    if (!HasCurrentKey())
        throw ERegistryException("Failed to set data for '" + Value.Name + "': no key is open");
    if (!regfile::StorableText(Value.Name) || !regfile::StorableText(Value.Text))
        throw ERegistryException("Failed to set data for '" + Value.Name + "': line ends cannot be stored");
    for (regfile::Value& pending : FPending)
        if (regfile::SameName(pending.Name, Value.Name)) {
            pending = std::move(Value);
            return;
        }
    FPending.push_back(std::move(Value));
}

void FileRegistry::WriteString(const std::string& Name, const std::string& Value)
{
    Stage(regfile::Value{Name, regfile::ValueKind::Text, Value, 0});
}

void FileRegistry::WriteInteger(const std::string& Name, int32_t Value)
{
    Stage(regfile::Value{Name, regfile::ValueKind::Number, {}, static_cast<uint32_t>(Value)});
}

std::string FileRegistry::ReadString(const std::string& Name) const
{
    const std::optional<regfile::Value> value = FindCurrent(Name);
    if (!value)
        return {};
    if (value->Kind != regfile::ValueKind::Text)
        throw ERegistryException("Invalid data type for '" + Name + "'");
    // What a write would refuse is not handed out either: a text with a line
    // end or a zero byte could be neither stored again nor used as a name.
    if (!regfile::StorableText(value->Text))
        throw ERegistryException("Invalid data for '" + Name + "': line ends or zero bytes");
    return value->Text;
}

int32_t FileRegistry::ReadInteger(const std::string& Name) const
{
    const std::optional<regfile::Value> value = FindCurrent(Name);
    if (!value || value->Kind != regfile::ValueKind::Number)
        throw ERegistryException("Invalid data type for '" + Name + "'");
    return static_cast<int32_t>(value->Number);
}
