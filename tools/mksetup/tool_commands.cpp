#include "mksetup/tool_commands.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iomanip>
#include <map>
#include <ostream>
#include <thread>

#include "mksetup/console.h"
#include "mksetup/deflate_streams.h"
#include "mksetup/installer_builder.h"
#include "mksetup/installer_reader.h"
#include "mksetup/language_file.h"
#include "mksetup/output_file.h"
#include "mksetup/package_reader.h"
#include "mksetup/signing.h"
#include "mksetup/tool_error.h"
#include "mksetup/winget_manifest.h"
#include "setup_version.h"
#include "util/file_helpers.h"

namespace {

const char* const GeneralHelp =
    "mksetup - packs a package description into a self-contained installer\n"
    "\n"
    "usage:\n"
    "  mksetup build PKG -o OUT.exe [--stub Setup.exe] [--lang FILE] [--jobs N]\n"
    "                [--compress lzma|zlib] [--sign \"COMMAND {}\"]\n"
    "  mksetup list FILE            sections of an installer or uninstaller\n"
    "  mksetup script FILE          the command script as text\n"
    "  mksetup uninst FILE          the uninstall list of an uninstaller\n"
    "  mksetup extract FILE -o DIR  every installed file, below DIR\n"
    "  mksetup verify FILE          checks that an installer is complete and sound\n"
    "  mksetup manifest FILE --id ID --url URL [-o OUT.yaml]   a winget manifest\n"
    "  mksetup COMMAND --help       help for one command\n"
    "  mksetup --version            the version of mksetup\n"
    "\n"
    "exit codes: 0 done, 1 bad command line, 2 unusable input (package, language\n"
    "file, stub, unreadable file), 3 the installer or uninstaller does not check\n"
    "out, 4 an output file could not be written\n";

const std::map<std::string, const char*> CommandHelp = {
    {"build",
     "mksetup build PKG -o OUT.exe [--stub Setup.exe] [--lang FILE] [--jobs N]\n"
     "              [--level N] [--compress lzma|zlib] [--compare-zlib] [--quiet]\n"
     "              [--sign \"COMMAND {}\"]\n"
     "\n"
     "Packs the package description PKG into the installer OUT.exe: the stub's\n"
     "program image, then the sections Section:BeginningMark, Section:Setup.lng\n"
     "(with --lang), Section:Setup.cmd and Section:Setup.bin.\n"
     "\n"
     "PKG is a command script whose save and saveifnotexists lines name their\n"
     "file with Source=PATH (relative to PKG's folder) instead of OrigLen and\n"
     "ComprLen; Compress=no stores a file as it is. A line\n"
     "  action=savedir,Source=DIR,Filename=TARGET\\\n"
     "stands for one save line per file below DIR. Other lines are copied.\n"
     "\n"
     "  -o OUT.exe      the installer to write (written whole or not at all)\n"
     "  --stub FILE     the installer program (default: Setup.exe beside mksetup)\n"
     "  --lang FILE     language file: UTF-16LE with its mark, or UTF-8\n"
     "  --jobs N        compression threads (default: the number of processors)\n"
     "  --level N       compression level 1 to 12 (default 12, the smallest)\n"
     "  --compress FORM the payload: lzma (default), one solid LZMA2 stream whose\n"
     "                  files are stored in it, or zlib, each file compressed on\n"
     "                  its own, which every Setup.exe reads; a stub that cannot\n"
     "                  read lzma is refused (exit 2)\n"
     "  --compare-zlib  also report the size that zlib level 9 would reach\n"
     "  --quiet         no progress and no summary\n"
     "  --sign COMMAND  sign the finished installer: runs COMMAND through the shell\n"
     "                  with {} replaced by the installer's path (quoted), then\n"
     "                  checks it as verify does and requires a signature; on\n"
     "                  failure exits 4 and writes no OUT.exe (for cmd, OUT.exe\n"
     "                  may not hold %, which it would expand)\n"
     "\n"
     "A signed stub loses its signature (said on standard error): the sections\n"
     "behind the program would void it. Sign the finished installer.\n"},
    {"manifest", ManifestHelp},
    {"list", "mksetup list FILE\n\nLists the sections of an installer or uninstaller: offset of the marker\nin the file, size of the data, name; then whether the file is signed.\n"},
    {"script", "mksetup script FILE\n\nWrites the installer's command script, decompressed, to standard output.\n"},
    {"uninst", "mksetup uninst FILE\n\nWrites the uninstaller's uninstall list, decompressed, to standard output.\n"},
    {"extract",
     "mksetup extract FILE -o DIR\n\nChecks the installer, then writes every file it carries below DIR under\n"
     "its Filename, each placeholder as a folder of its name: *PgmPath*\\a\\b.txt\n"
     "becomes DIR/PgmPath/a/b.txt.\n"},
    {"verify",
     "mksetup verify FILE\n\nChecks every section, the script's actions, the payload's pieces and each\n"
     "compressed piece. Prints one line, which also says whether the file is\n"
     "signed, and exits 0, or names the first problem and exits 3. A certificate\n"
     "table that ends the file is the signature; other bytes behind the last\n"
     "section are a problem.\n"},
};

struct Arguments {
    std::vector<std::string> Positional;
    std::map<std::string, std::string> Options;
    bool Help = false;
};

// Options that take a value; the others are flags.
bool TakesValue(const std::string& option)
{
    return option == "-o" || option == "--stub" || option == "--lang" || option == "--jobs" || option == "--level" ||
           option == "--sign" || option == "--compress" || option == "--id" || option == "--url";
}

Arguments ParseArguments(const std::vector<std::string>& args, const std::vector<std::string>& allowed)
{
    Arguments parsed;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            parsed.Help = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            bool known = false;
            for (const std::string& option : allowed) known = known || option == arg;
            if (!known) throw ToolError(ExitUsage, args[0] + ": unknown option " + arg);
            if (TakesValue(arg)) {
                if (i + 1 >= args.size()) throw ToolError(ExitUsage, args[0] + ": " + arg + " needs a value");
                parsed.Options[arg] = args[++i];
            } else {
                parsed.Options[arg] = "1";
            }
        } else {
            parsed.Positional.push_back(arg);
        }
    }
    return parsed;
}

int NumberOption(const Arguments& parsed, const std::string& option, int fallback, int low, int high)
{
    const auto it = parsed.Options.find(option);
    if (it == parsed.Options.end()) return fallback;
    try {
        std::size_t used = 0;
        const int value = std::stoi(it->second, &used);
        if (used == it->second.size() && value >= low && value <= high) return value;
    } catch (const std::exception&) {
    }
    throw ToolError(ExitUsage, option + " takes a number from " + std::to_string(low) + " to " + std::to_string(high));
}

std::string OneFile(const Arguments& parsed, const std::string& command)
{
    if (parsed.Positional.size() != 1) throw ToolError(ExitUsage, command + " takes one FILE (see mksetup " + command + " --help)");
    return parsed.Positional[0];
}

std::string DefaultStub()
{
    const std::filesystem::path own(OwnExecutablePath());
    return (own.parent_path() / "Setup.exe").string();
}

int Build(const Arguments& parsed, std::ostream& out, std::ostream& err, bool showProgress)
{
    const std::string packageFile = OneFile(parsed, "build");
    if (!parsed.Options.count("-o")) throw ToolError(ExitUsage, "build needs -o OUT.exe");
    const std::string output = parsed.Options.at("-o");
    const std::string stubFile = parsed.Options.count("--stub") ? parsed.Options.at("--stub") : DefaultStub();
    const bool quiet = parsed.Options.count("--quiet") > 0;
    // Known before the files are compressed, not after.
    if (parsed.Options.count("--sign") && parsed.Options.at("--sign").find("{}") == std::string::npos)
        throw ToolError(ExitUsage, "--sign needs {} in its command, where the installer's path goes");
    if (parsed.Options.count("--sign") && !ShellPathProblem(output).empty())
        throw ToolError(ExitUsage, "--sign: " + ShellPathProblem(output));
    const int processors = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));

    BuildSettings settings;
    settings.Level = NumberOption(parsed, "--level", SmallestLevel, 1, 12);
    settings.Jobs = NumberOption(parsed, "--jobs", processors, 1, 256);
    settings.CompareWithZlib = parsed.Options.count("--compare-zlib") > 0;
    const std::string form = parsed.Options.count("--compress") ? parsed.Options.at("--compress") : "lzma";
    if (form != "lzma" && form != "zlib") throw ToolError(ExitUsage, "--compress takes lzma or zlib, not " + form);
    settings.Solid = form == "lzma";
    if (showProgress && !quiet)
        settings.Progress = [&err](std::size_t done, std::size_t total) {
            err << "\rcompressing " << done << "/" << total << " files" << (done == total ? "\n" : "") << std::flush;
        };

    const auto start = std::chrono::steady_clock::now();
    const Package package = ReadPackage(packageFile);
    for (const std::string& warning : package.Warnings) err << "warning: " << warning << "\n";
    const std::string stub = UnsignedStub(stubFile, ReadInputFile(stubFile, "stub"), err);
    std::string language;
    if (parsed.Options.count("--lang")) {
        const std::string languageFile = parsed.Options.at("--lang");
        language = LanguageSectionData(languageFile, ReadInputFile(languageFile, "language file"));
    }
    const BuildResult result =
        parsed.Options.count("--sign")
            ? BuildSignedInstaller(output, parsed.Options.at("--sign"), err,
                                   [&](const std::string& file) { return BuildInstaller(package, stub, language, settings, file); })
            : BuildInstaller(package, stub, language, settings, output);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    if (!quiet) {
        out << output << ": " << result.InstallerSize << " bytes: image " << result.ImageSize << ", "
            << result.PieceCount << " files (" << result.CompressedPieces << " compressed, "
            << result.PieceCount - result.CompressedPieces << " stored), payload " << result.PayloadSize
            << " bytes in " << result.PayloadSectionSize << ", script " << result.ScriptSectionSize << "; "
            << std::fixed << std::setprecision(2) << seconds << " s at level " << settings.Level
            << (settings.Solid ? ", LZMA2" : ", zlib") << "\n";
        if (settings.CompareWithZlib) {
            const double saved = 100.0 * (static_cast<double>(result.ZlibInstallerSize) - static_cast<double>(result.InstallerSize)) /
                                 static_cast<double>(result.ZlibInstallerSize);
            out << "zlib level 9 would give " << result.ZlibInstallerSize << " bytes; this installer is "
                << std::setprecision(2) << saved << " % smaller\n";
        }
    }
    return ExitOk;
}

int List(const Arguments& parsed, std::ostream& out)
{
    const InstallerFile file = OpenInstaller(OneFile(parsed, "list"));
    out << "image: " << file.ImageSize << " bytes\n";
    out << std::left << std::setw(12) << "offset" << std::setw(12) << "size" << "name\n";
    for (const SectionEntry& section : file.Sections)
        out << std::setw(12) << section.Offset << std::setw(12) << section.Size << section.Name << "\n";
    out << SignatureText(file);
    if (file.CertificateSize > 0) out << " at offset " << file.CertificateOffset;
    out << "\n";
    return ExitOk;
}

int Extract(const Arguments& parsed, std::ostream& out)
{
    const std::string fileName = OneFile(parsed, "extract");
    if (!parsed.Options.count("-o")) throw ToolError(ExitUsage, "extract needs -o DIR");
    const std::size_t count = ExtractInstaller(OpenInstaller(fileName), parsed.Options.at("-o"));
    out << count << " files written below " << parsed.Options.at("-o") << "\n";
    return ExitOk;
}

} // namespace

int RunTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool showProgress)
{
    try {
        if (args.empty()) {
            err << GeneralHelp;
            return ExitUsage;
        }
        const std::string& command = args[0];
        if (command == "--help" || command == "-h" || command == "help") {
            out << GeneralHelp;
            return ExitOk;
        }
        if (command == "--version") {
            out << "mksetup " << SETUP_VERSION_TEXT << "\n";
            return ExitOk;
        }
        const auto help = CommandHelp.find(command);
        if (help == CommandHelp.end()) throw ToolError(ExitUsage, "unknown command " + command + " (see mksetup --help)");
        std::vector<std::string> allowed;
        if (command == "build")
            allowed = {"-o", "--stub", "--lang", "--jobs", "--level", "--compress", "--compare-zlib", "--quiet", "--sign"};
        else if (command == "extract")
            allowed = {"-o"};
        else if (command == "manifest")
            allowed = {"-o", "--id", "--url"};
        const Arguments parsed = ParseArguments(args, allowed);
        if (parsed.Help) {
            out << help->second;
            return ExitOk;
        }
        if (command == "build") return Build(parsed, out, err, showProgress);
        if (command == "list") return List(parsed, out);
        if (command == "script") {
            out << InstallerScript(OpenInstaller(OneFile(parsed, command)));
            return ExitOk;
        }
        if (command == "uninst") {
            out << InstallerUninstallList(OpenInstaller(OneFile(parsed, command)));
            return ExitOk;
        }
        if (command == "extract") return Extract(parsed, out);
        if (command == "manifest") return ManifestCommand(parsed.Positional, parsed.Options, out);
        out << CheckInstaller(OpenInstaller(OneFile(parsed, command))).Summary << "\n";
        return ExitOk;
    } catch (const ToolError& e) {
        err << "mksetup: " << e.what() << "\n";
        return e.Code;
    } catch (const std::bad_alloc&) {
        err << "mksetup: out of memory\n";
        return ExitBadInput;
    } catch (const std::exception& e) {
        err << "mksetup: " << e.what() << "\n";
        return ExitBadInput;
    }
}
