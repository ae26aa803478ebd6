#include "app/app_startup_win.h"

#include <windows.h>

#include <memory>

#include "app/main_form_win.h"
#include "app/message_dialogs_win.h"
#include "app/persons_form_win.h"
#include "app/win_components_win.h"
#include "container/sections.h"
#include "engine/engine_state.h"
#include "engine/one_setup.h"
#include "lang/byte_order.h"
#include "lang/ml_startup.h"
#include "lang/translation.h"
#include "util/file_helpers.h"

std::string MainDPRText(int id)
{
    static const std::unique_ptr<TMLStringList> table = [] {
        std::unique_ptr<TMLStringList> texts = NewTextTable();
        texts->Add255Obj("MainDPR", 0);
        texts->Add255Obj("Doppelstart: Es wurde ein anderes laufendes Setup gefunden.", 1);
        return texts;
    }();
    return table->GetText(id);
}

std::string WithExtension(const std::string& path, const std::string& extension)
{
    const std::size_t separator = path.find_last_of("\\/:");
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (separator != std::string::npos && dot < separator)) return path + extension;
    return path.substr(0, dot) + extension;
}

bool LoadEmbeddedLanguage()
{
    LoadOwnSections();
    std::string section;
    if (!GetSection(SectionSetupLng, OwnSectionPart, section) || section.empty()) return false;
    EnsureMLSystem();
    LoadFromWideText(*MLSystem, BytesToWide(section), true);
    Engine.LanguageFileText = section;
    return true;
}

void LoadLanguageTexts(const std::string& programPath)
{
    if (LoadEmbeddedLanguage()) return;
    LoadLngFile(WithExtension(programPath, ".lng"), true);
    EnsureMLSystem();
    const WideString exported = ExportText(*MLSystem);
    Engine.LanguageFileText = exported.empty() ? std::string() : WideToUtf16LeBytes(exported);
}

bool AnotherCopyRunning()
{
    return FindWindowA(MainWindowClassName, nullptr) != nullptr;
}

int RunWindowMode()
{
    InitMultiLingua();
    CreatePersonsTerms();
    Engine.OwnerWindow = nullptr;  // until the main window exists

    InitCommonControlsFromSystem(ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES);

    LoadLanguageTexts(OwnExecutablePath());
    // The window of a copy without the mutex (an older version) counts too.
    if (!ClaimOneSetup() || AnotherCopyRunning()) {
        ShowMessageDialog(nullptr, MessageKind::Error, MainDPRText(1), MessageOk);
        return 0;
    }
    WinApplication().Title = "Setup";
    {
        TBvSetupForm1 mainForm;
        // Without a window there is nothing to wait for.
        if (!mainForm.Handle()) return 0;
        mainForm.Show();
        RunMessageLoop();
        ReleasePersonsForm();
    }
    return 0;
}
