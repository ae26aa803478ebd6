// The "uninst" command: the bare uninstaller image and the entry in the
// machine's list of installed programs.
#include <windows.h>

#include <cstdint>
#include <algorithm>
#include <string>
#include <unordered_map>

#include "container/pe_image.h"
#include "container/sections.h"
#include "engine/commands.h"
#include "engine/engine_state.h"
#include "engine/extraction.h"
#include "engine/folders.h"
#include "engine/placeholders.h"
#include "engine/product_registry.h"
#include "engine/registry_access.h"
#include "engine/uninstall_list.h"
#include "util/case_key.h"
#include "util/file_helpers.h"
#include "util/text_compare.h"

namespace {

std::string FileNamePart(const std::string& path)
{
    const std::size_t separator = path.find_last_of("\\:");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

// A number with at least width digits, zeros in front.
void AppendPadded(std::string& text, unsigned value, std::size_t width)
{
    const std::string digits = std::to_string(value);
    if (digits.size() < width) text.append(width - digits.size(), '0');
    text += digits;
}

// "yyyy-mm-dd hh.nn.ss", without printf: MinGW's printf would add about 30 KB
// to the image.
std::string RegistrationTime(const SYSTEMTIME& now)
{
    std::string text;
    AppendPadded(text, now.wYear, 4);
    text += '-';
    AppendPadded(text, now.wMonth, 2);
    text += '-';
    AppendPadded(text, now.wDay, 2);
    text += ' ';
    AppendPadded(text, now.wHour, 2);
    text += '.';
    AppendPadded(text, now.wMinute, 2);
    text += '.';
    AppendPadded(text, now.wSecond, 2);
    return text;
}

std::string ShortDate(const SYSTEMTIME& now)
{
    char text[128];
    const int length = GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, text, sizeof(text));
    return length > 1 ? std::string(text, static_cast<std::size_t>(length - 1)) : std::string();
}

// The files this installation wrote so far, each counted once, in whole KB rounded up.
std::uint32_t WrittenFilesSizeInKB()
{
    // Files counted so far by the hash of their key; only numbers are kept, a
    // match is confirmed on the paths themselves.
    const auto& files = Engine.WrittenFiles;
    std::unordered_multimap<std::size_t, std::size_t> counted;
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string& file = files[i];
        const std::string key = CaseInsensitiveKey(file);
        const std::size_t hash = std::hash<std::string>()(key);
        const auto range = counted.equal_range(hash);
        if (std::any_of(range.first, range.second,
                        [&](const auto& entry) { return CaseInsensitiveKey(files[entry.second]) == key; }))
            continue;
        counted.emplace(hash, i);
        std::uint64_t written = 0;
        if (WrittenSizeOf(file, written)) {
            total += written;
            continue;
        }
        const std::int64_t size = QueryFileSize(file);
        if (size > 0) total += static_cast<std::uint64_t>(size);
    }
    const std::uint64_t kilobytes = (total + 1023) / 1024;
    return kilobytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(kilobytes);
}

// The first entry of an earlier installation of the same name into the same
// place; further such entries are duplicates and go. With deleteAll every
// one goes (a package with a stable key never reuses a dated entry).
std::string ReuseEarlierEntry(HKEY list, const std::string& name, const std::string& quotedPgm, bool deleteAll)
{
    const std::string prefix = name + " ";
    std::string reused;
    for (const std::string& subkey : SubkeyNames(list)) {
        if (subkey.compare(0, prefix.size(), prefix) != 0) continue;
        std::string command;
        {
            RegKey entry = OpenKeyForReading(list, subkey);
            // Entries of other programs may hold anything; they are only read here.
            if (!entry || !TryReadStringValue(entry.get(), "UninstallString", command)) continue;
        }
        if (command.compare(0, quotedPgm.size(), quotedPgm) != 0) continue;
        if (reused.empty() && !deleteAll)
            reused = subkey;
        else
            DeleteKeyTree(list, subkey);
    }
    return reused;
}

void WriteIfNotEmpty(HKEY key, const TParams& params, const char* name)
{
    const std::string value = ParamValue(params, name);
    if (!value.empty()) WriteStringValue(key, name, value);
}

} // namespace

void UninstCommand(const TParams& params)
{
    LoadOwnSections();
    if (SectionsState != Loaded) return;

    std::string pgm = ParamValue(params, "pgm");
    if (pgm.empty()) pgm = "*PgmPath*\\uninstall.exe";
    pgm = ExpandPlaceholders(pgm);
    Engine.UninstallerPath = pgm;
    // An existing uninstaller stays until the complete one replaces it at the end of the run.
    if (!FileExists(pgm) && !WriteWholeFile(pgm, UnsignedPeFile(OwnImagePart, std::string()))) return;

    std::string param = ParamValue(params, "param");
    if (param.empty()) param = "/uninst";
    std::string name = ParamValue(params, "name");
    if (name.empty()) name = FileNamePart(Engine.MainProgram);
    if (name.empty()) return;

    SYSTEMTIME now;
    GetLocalTime(&now);
    // "Key=": the entry's fixed name, which deployment tools look for. It is
    // one subkey, so a name with a backslash is not taken.
    const std::string stableKey = ParamValue(params, "Key");
    const bool stable = !stableKey.empty() && stableKey.find('\\') == std::string::npos;
    std::string keyName = stable ? stableKey : name + " " + RegistrationTime(now);
    param += " \"UninstallKey=" + keyName + "\"";
    const std::string quoted = pgm.find(' ') != std::string::npos ? "\"" + pgm + "\"" : pgm;
    const std::string command = quoted + " " + param;

    {
        RegKey list = OpenKeyForWriting(HKEY_LOCAL_MACHINE, UninstallListKey);
        if (!list) return;
        const std::string reused = ReuseEarlierEntry(list.get(), name, quoted, stable);
        if (!reused.empty()) keyName = reused;
        // Rewritten whole: no value of an earlier version stays.
        if (stable) DeleteKeyTree(list.get(), keyName);
    }

    RegKey entry = CreateKeyForWriting(HKEY_LOCAL_MACHINE, std::string(UninstallListKey) + "\\" + keyName);
    if (!entry) return;
    SetListValue(Engine.UninstallInfo, "UninstallKey", keyName);

    const HKEY key = entry.get();
    WriteStringValue(key, "DisplayName", stable ? name : name + " (Installation " + ShortDate(now) + ")");
    if (!Engine.MainProgram.empty()) WriteStringValue(key, "DisplayIcon", Engine.MainProgram);
    WriteStringValue(key, "UninstallString", command);
    for (const char* plain : {"Publisher", "URLInfoAbout", "HelpLink", "URLUpdateInfo", "RegOwner"})
        WriteIfNotEmpty(key, params, plain);
    const std::string readme = ExpandPlaceholders(ParamValue(params, "Readme"));
    if (FileExists(readme)) WriteStringValue(key, "Readme", readme);
    WriteDwordValue(key, "NoModify", 1);
    WriteDwordValue(key, "NoRepair", 1);

    // What the system's list of programs shows beyond the basic entry, and
    // what deployment tools use to remove the product without questions.
    WriteStringValue(key, "QuietUninstallString", command + " /S");
    WriteStringValue(key, "InstallLocation", Engine.PgmPath);
    WriteDwordValue(key, "EstimatedSize", WrittenFilesSizeInKB());
    if (!Engine.SetupVersion.empty()) WriteStringValue(key, "DisplayVersion", Engine.SetupVersion);
    if (stable) WriteStringValue(key, "InstallDate", RegistrationTime(now).substr(0, 10).erase(7, 1).erase(4, 1));
}
