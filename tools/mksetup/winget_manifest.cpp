#include "mksetup/winget_manifest.h"

#include <cstdint>

#include "engine/command_text.h"
#include "engine/exit_codes.h"
#include "mksetup/installer_reader.h"
#include "mksetup/output_file.h"
#include "mksetup/sha256.h"
#include "mksetup/tool_error.h"
#include "setup_version.h"

const TWingetSwitch WingetSwitches[] = {
    {"Silent", "/S"},
    {"SilentWithProgress", "/S"},
    {"InstallLocation", "\"/D=<INSTALLPATH>\""},
    {"Log", "\"/LOG=<LOGPATH>\""},
};
const std::size_t WingetSwitchCount = sizeof(WingetSwitches) / sizeof(WingetSwitches[0]);

const char ManifestHelp[] =
    "mksetup manifest FILE --id PUBLISHER.PACKAGE --url URL [-o OUT.yaml]\n"
    "\n"
    "Writes a winget installer manifest (ManifestVersion 1.10.0) for the\n"
    "installer FILE: its version, architecture, SHA-256, the switches for a\n"
    "silent installation into a given folder with a log, the meaning of its\n"
    "exit codes and, when its uninst line has Key=, the ProductCode and the\n"
    "entry in the list of installed programs. --url is where FILE will be\n"
    "downloaded from (http or https). Without -o the manifest goes to\n"
    "standard output.\n";

namespace {

std::string FileNamePart(const std::string& path)
{
    const std::size_t separator = path.find_last_of("\\/:");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

bool EndsWithExe(const std::string& name)
{
    if (name.size() < 4) return false;
    std::string end = name.substr(name.size() - 4);
    for (char& c : end)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return end == ".exe";
}

// A YAML scalar in single quotes, in which only the quote itself is doubled.
std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        quoted += c;
        if (c == '\'') quoted += '\'';
    }
    return quoted + "'";
}

std::uint16_t ReadU16(const std::string& bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      static_cast<unsigned char>(bytes[at + 1]) << 8);
}

// x86 or x64, from the machine field of the PE header.
std::string Architecture(const std::string& bytes)
{
    if (bytes.size() >= 0x40 && bytes.compare(0, 2, "MZ") == 0) {
        const std::size_t pe = ReadU16(bytes, 0x3C) | static_cast<std::size_t>(ReadU16(bytes, 0x3E)) << 16;
        if (pe + 6 <= bytes.size() && bytes.compare(pe, 4, std::string("PE\0\0", 4)) == 0) {
            const std::uint16_t machine = ReadU16(bytes, pe + 4);
            if (machine == 0x014C) return "x86";
            if (machine == 0x8664) return "x64";
        }
    }
    throw ToolError(ExitBadInput, "the installer's program is neither x86 nor x64");
}

bool IsForbiddenInIdentifier(char c)
{
    return static_cast<unsigned char>(c) <= 0x20 || std::string("\\/:*?\"<>|").find(c) != std::string::npos;
}

} // namespace

TPackageFacts PackageFactsOf(const std::vector<std::string>& scriptLines)
{
    TPackageFacts facts;
    std::string mainProgram;
    for (const std::string& line : scriptLines) {
        const TParams params = SplitCommaText(line);
        const std::string action = ParamValue(params, "action");
        if (action == "path" && !ParamValue(params, "Version").empty()) facts.Version = ParamValue(params, "Version");
        if ((action == "save" || action == "saveifnotexists") && mainProgram.empty() &&
            EndsWithExe(ParamValue(params, "Filename")))
            mainProgram = FileNamePart(ParamValue(params, "Filename"));
        if (action == "uninst") {
            facts.Key = ParamValue(params, "Key");
            // The installer takes no key with a backslash: it would not be one entry.
            if (facts.Key.find('\\') != std::string::npos) facts.Key.clear();
            facts.DisplayName = ParamValue(params, "name");
            if (facts.DisplayName.empty()) facts.DisplayName = mainProgram;
            facts.Publisher = ParamValue(params, "Publisher");
        }
    }
    return facts;
}

bool IsWingetPackageIdentifier(const std::string& id)
{
    if (id.empty() || id.size() > 128) return false;
    std::size_t parts = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = id.find('.', start);
        const std::string part = id.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (part.empty() || part.size() > 32) return false;
        for (char c : part)
            if (IsForbiddenInIdentifier(c)) return false;
        ++parts;
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    return parts >= 2 && parts <= 8;
}

std::string WingetManifest(const InstallerFile& file, const std::string& id, const std::string& url)
{
    CheckInstaller(file); // a damaged installer gets no manifest
    const TPackageFacts facts = PackageFactsOf(SplitLines(InstallerScript(file)));
    if (facts.Version.empty()) throw ToolError(ExitBadInput, file.FileName + ": the script's path line has no Version");
    for (char c : facts.Version)
        if (static_cast<unsigned char>(c) < 0x20 || std::string("\\/:*?\"<>|").find(c) != std::string::npos)
            throw ToolError(ExitBadInput, file.FileName + ": the Version " + facts.Version + " is no winget PackageVersion");

    std::string yaml = std::string("# Written by mksetup ") + SETUP_VERSION_TEXT + " from " + FileNamePart(file.FileName) +
                       "\n# yaml-language-server: $schema=https://aka.ms/winget-manifest.installer.1.10.0.schema.json\n\n";
    yaml += "PackageIdentifier: " + Quoted(id) + "\n";
    yaml += "PackageVersion: " + Quoted(facts.Version) + "\n";
    yaml += "InstallerType: exe\nScope: machine\nInstallModes:\n- interactive\n- silent\n";
    yaml += "InstallerSwitches:\n";
    for (std::size_t i = 0; i < WingetSwitchCount; ++i)
        yaml += std::string("  ") + WingetSwitches[i].Name + ": " + Quoted(WingetSwitches[i].Value) + "\n";
    yaml += "ExpectedReturnCodes:\n";
    for (std::size_t i = 0; i < ExitCodeCount; ++i) {
        if (!*ExitCodeTable[i].WingetResult) continue;
        yaml += "- InstallerReturnCode: " + std::to_string(ExitCodeTable[i].Code) + "\n";
        yaml += std::string("  ReturnResponse: ") + ExitCodeTable[i].WingetResult + "\n";
    }
    yaml += "UpgradeBehavior: install\n";
    // Without a key the entry's name and DisplayName hold the installation's
    // date and cannot be known in advance.
    if (!facts.Key.empty()) {
        yaml += "ProductCode: " + Quoted(facts.Key) + "\n";
        yaml += "AppsAndFeaturesEntries:\n";
        yaml += "- DisplayName: " + Quoted(facts.DisplayName) + "\n";
        if (!facts.Publisher.empty()) yaml += "  Publisher: " + Quoted(facts.Publisher) + "\n";
        yaml += "  DisplayVersion: " + Quoted(facts.Version) + "\n";
        yaml += "  ProductCode: " + Quoted(facts.Key) + "\n";
    }
    yaml += "Installers:\n";
    yaml += "- Architecture: " + Architecture(file.Bytes) + "\n";
    yaml += "  InstallerUrl: " + Quoted(url) + "\n";
    yaml += "  InstallerSha256: " + Sha256Hex(file.Bytes) + "\n";
    yaml += "ManifestType: installer\nManifestVersion: 1.10.0\n";
    return yaml;
}

int ManifestCommand(const std::vector<std::string>& positional, const std::map<std::string, std::string>& options,
                    std::ostream& out)
{
    if (positional.size() != 1) throw ToolError(ExitUsage, "manifest takes one FILE (see mksetup manifest --help)");
    const auto id = options.find("--id");
    const auto url = options.find("--url");
    if (id == options.end()) throw ToolError(ExitUsage, "manifest needs --id PUBLISHER.PACKAGE");
    if (url == options.end()) throw ToolError(ExitUsage, "manifest needs --url URL");
    if (!IsWingetPackageIdentifier(id->second))
        throw ToolError(ExitUsage, "--id " + id->second + " is no winget package identifier (e.g. Brumo.Morvane)");
    const std::string lower = url->second.substr(0, 8);
    std::string scheme;
    for (char c : lower) scheme += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    const std::size_t rest = scheme.compare(0, 7, "http://") == 0 ? 7 : scheme == "https://" ? 8 : 0;
    if (rest == 0 || url->second.size() <= rest) throw ToolError(ExitUsage, "--url must be an http or https address");

    const std::string yaml = WingetManifest(OpenInstaller(positional[0]), id->second, url->second);
    const auto output = options.find("-o");
    if (output == options.end())
        out << yaml;
    else
        WriteFileWhole(output->second, yaml);
    return ExitOk;
}
