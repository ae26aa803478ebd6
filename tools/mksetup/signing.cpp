#include "mksetup/signing.h"

#include <filesystem>
#include <system_error>

#include "container/pe_image.h"
#include "mksetup/console.h"
#include "mksetup/installer_reader.h"
#include "mksetup/output_file.h"
#include "mksetup/temporary_files.h"
#include "mksetup/tool_error.h"

namespace fs = std::filesystem;

namespace {

std::string WithPath(const std::string& command, const std::string& path)
{
    const std::string quoted = QuoteForShell(path);
    std::string result;
    for (std::size_t i = 0; i < command.size(); ++i) {
        if (command.compare(i, 2, "{}") == 0) {
            result += quoted;
            ++i;
        } else {
            result += command[i];
        }
    }
    return result;
}

} // namespace

std::string UnsignedStub(const std::string& stubFile, std::string stub, std::ostream& err)
{
    std::uint64_t end;
    if (!PeImageEnd(stub, end) || end > stub.size())
        throw ToolError(ExitBadInput, "the stub " + stubFile + " is not a Windows program (no valid PE header)");
    const std::size_t before = stub.size();
    if (!DropPeCertificate(stub)) return stub;
    SetPeChecksum(stub);
    err << "mksetup: " << stubFile << " is signed; its signature (" << before - stub.size()
        << " bytes of certificate) is removed, since the sections behind the program would void it. "
           "Sign the finished installer instead.\n";
    return stub;
}

BuildResult BuildSignedInstaller(const std::string& output, const std::string& command, std::ostream& err,
                                 const std::function<BuildResult(const std::string&)>& build)
{
    if (command.find("{}") == std::string::npos)
        throw ToolError(ExitUsage, "--sign needs {} in its command, where the installer's path goes");
    if (!ShellPathProblem(output).empty()) throw ToolError(ExitUsage, "--sign: " + ShellPathProblem(output));
    // The name keeps the extension: some signing tools choose the file's kind by it.
    const fs::path target(output);
    fs::path partial = target.parent_path() / (target.stem().string() + ".signing" + target.extension().string());
    TemporaryFile file(partial.string());
    const BuildResult result = build(file.Path());
    const std::string line = WithPath(command, file.Path());
    err << "mksetup: signing: " << line << "\n" << std::flush;
    const int status = RunShellCommand(line);
    if (status != 0)
        throw ToolError(ExitWriteFailed, "the signing command failed (exit code " + std::to_string(status) + "): " + line);
    InstallerFile signedFile;
    try {
        signedFile = OpenInstaller(file.Path());
        CheckInstaller(signedFile);
    } catch (const ToolError& e) {
        throw ToolError(ExitWriteFailed, std::string("the signed installer does not check out: ") + e.what());
    }
    if (signedFile.CertificateSize == 0)
        throw ToolError(ExitWriteFailed, "the signing command left " + file.Path() + " without a signature");
    std::error_code error;
    fs::rename(file.Path(), target, error);
    if (error) throw ToolError(ExitWriteFailed, "cannot write " + output + ": " + error.message());
    file.Keep();
    return result;
}
