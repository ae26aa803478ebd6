#include "engine/placeholders.h"

#include "engine/folders.h"
#include "util/ansi_strings.h"

std::string ExpandPlaceholders(const std::string& text)
{
    static const TFolderLookups lookups{&ProgramFilesFolder, &CommonDesktopFolder, &CommonProgramsFolder};
    return ExpandPlaceholdersUsing(text, lookups);
}

std::string ExpandFolderPath(const std::string& text)
{
    std::string folder = ExpandPlaceholders(text);
    AppendBackslash(folder);
    return folder;
}
