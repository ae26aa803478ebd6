// The "path" command: the product's registry key, the installer's version, the
// language, and the folders, taken from an earlier installation when the
// registry records one.
#include "engine/commands.h"
#include "engine/command_line.h"
#include "engine/engine_state.h"
#include "engine/folders.h"
#include "engine/placeholders.h"
#include "engine/product_registry.h"

namespace {

bool StartsWithText(const std::string& text, const char* prefix)
{
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

} // namespace

void PathCommand(const TParams& params)
{
    const std::string registry = ParamValue(params, "Registry");
    if (!registry.empty()) Engine.RegistryKey = "SOFTWARE\\" + registry;
    const std::string version = ParamValue(params, "Version");
    if (!version.empty()) Engine.SetupVersion = version;
    if (Engine.LanguageCode.empty()) Engine.LanguageCode = ParamValue(params, "Lng").substr(0, 3);

    if (!Engine.RegistryKey.empty()) {
        if (Engine.PgmPath.empty()) Engine.PgmPath = FolderPartOf(ReadProductValue("Exec"));
        if (Engine.DataPath.empty()) Engine.DataPath = ReadProductValue("DataPath");
    }

    // Installations from the developers' own source and application folders
    // never decide where a customer's installation goes.
    const std::string lowerPgmPath = AsciiLowerCase(Engine.PgmPath);
    if (StartsWithText(lowerPgmPath, "c:\\sources\\") || StartsWithText(lowerPgmPath, "s:\\apps\\")) {
        Engine.PgmPath.clear();
        Engine.DataPath.clear();
    }

    const std::string pgmPath = ParamValue(params, "PgmPath");
    if (Engine.PgmPath.empty() && !pgmPath.empty()) Engine.PgmPath = ExpandFolderPath(pgmPath);
    const std::string dataPath = ParamValue(params, "DataPath");
    // The paths-only run placed a data folder inside the program folder
    // proposed then; the full run follows the folder the user chose instead.
    // A data folder read from the registry is not recorded and stays.
    const bool insideProgramFolder = dataPath.find("*PgmPath*") != std::string::npos;
    if (insideProgramFolder && !Engine.DataPathPgmPath.empty() && Engine.DataPathPgmPath != Engine.PgmPath)
        Engine.DataPath.clear();
    if (Engine.DataPath.empty() && !dataPath.empty()) {
        Engine.DataPath = ExpandFolderPath(dataPath);
        Engine.DataPathPgmPath = insideProgramFolder ? Engine.PgmPath : std::string();
    }
    const std::string myStartMenu = ParamValue(params, "MyStartMenu");
    if (Engine.MyStartMenu.empty() && !myStartMenu.empty()) Engine.MyStartMenu = ExpandFolderPath(myStartMenu);
}
