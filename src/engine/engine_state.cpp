#include "engine/engine_state.h"

#include <algorithm>

#include "engine/exit_codes.h"
#include "engine/upgrade_check.h"
#include "util/text_compare.h"

TEngineState Engine;

void ResetEngineState()
{
    Engine = TEngineState();
    SetUnchangedFiles({});
    ResetFailures();
}

void AddCreatedFolder(const std::string& folder)
{
    auto& folders = Engine.CreatedFolders;
    const auto place = std::lower_bound(folders.begin(), folders.end(), folder,
                                        [](const std::string& a, const std::string& b) {
                                            return CompareTextIgnoreCase(a, b) < 0;
                                        });
    if (place != folders.end() && CompareTextIgnoreCase(*place, folder) == 0) return;
    folders.insert(place, folder);
}
