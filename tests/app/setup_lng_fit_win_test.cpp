// The translations of the demo package's language file fit the controls that
// show them, measured in the windows' font (Verdana, 13 pixels).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "lang/byte_order.h"
#include "lang/ml_startup.h"
#include "lang/ml_system.h"
#include "support/test_support.h"

namespace {

const char* const Languages[] = {"DE", "EN", "ES", "FR", "IT", "HU", "PL"};

// A control: the German key of its text, what the program adds behind the
// translation, and the room it has (one line of at most width pixels, or
// wrapped lines within width x height).
struct Room {
    const char* name;
    const char* german;  // Windows-1252
    const wchar_t* suffix;
    int width;
    int height;  // 0: a single line
};

const Room Rooms[] = {
    {"StartBtn (with glyph)", "Ja", L"", 52, 0},
    {"NoBtn", "Abbrechen", L"", 80, 0},
    {"UninstStartBtn", "Entfernen", L"", 80, 0},
    {"ChooseBtn", "Durchsuchen", L" ...", 113, 0},
    {"Label8 (left of ChooseBtn)", "Programm-Ordner", L"", 318, 0},
    {"CreateDesktopLinkCheck (widened up to the panel edge)", "Verkn\xFCpfung auf dem Desktop erstellen", L"", 439, 0},
    {"Label4", "Installation starten?", L"", 325, 0},
    {"ProgressLabel", "Die Installation l\xE4uft - bitte warten", L" ...", 365, 0},
    {"ProgressLabel (removal)", "Programm wird gel\xF6scht - bitte warten", L" ...", 365, 0},
    {"UninstallText", "M\xF6\x63hten Sie das Programm Morvane von Ihrem Computer entfernen?", L"", 309, 61},
    {"ListBox item", "Mitarbeiter", L"", 110, 0},
    {"ListBox item", "Mieter", L"", 110, 0},
    {"ListBox item", "Besitzer", L"", 110, 0},
    {"ListBox item", "Kunden", L"", 110, 0},
    {"ListBox item", "Personen", L"", 110, 0},
};

// The block's line in the language as UTF-16, without its "XX=" key.
std::wstring Line(const std::string& german, int language)
{
    for (const auto& group : MLSystem->Groups) {
        if (group->GetTextByCode("DE") != german || !group->Lines) continue;
        WideString line = group->Lines->GetW(language);
        std::wstring text(line.begin(), line.end());
        return text.substr(text.find(L'=') + 1);
    }
    return L"";
}

std::wstring LineById(std::int32_t id, int language)
{
    for (const auto& group : MLSystem->Groups) {
        if (group->Id != id || !group->Lines) continue;
        WideString line = group->Lines->GetW(language);
        std::wstring text(line.begin(), line.end());
        return text.substr(text.find(L'=') + 1);
    }
    return L"";
}

std::string Utf8(const std::wstring& text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

class TextFit : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* source = std::getenv("SETUP_SOURCE_DIR");
        ASSERT_NE(source, nullptr);
        InitMultiLingua(0x0407, 1252);
        LoadFromWideText(*MLSystem, BytesToWide(ReadTestFile(std::string(source) + "/examples/morvane/Setup.lng")),
                         true);
        dc_ = CreateCompatibleDC(nullptr);
        font_ = CreateFontW(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, L"Verdana");
        old_ = SelectObject(dc_, font_);
    }
    void TearDown() override
    {
        SelectObject(dc_, old_);
        DeleteObject(font_);
        DeleteDC(dc_);
        DoneMultiLingua();
    }
    SIZE Measure(const std::wstring& text, int width)
    {
        RECT rect{0, 0, width, 0};
        UINT format = DT_CALCRECT | DT_NOPREFIX | (width > 0 ? DT_WORDBREAK : DT_SINGLELINE);
        DrawTextW(dc_, text.c_str(), static_cast<int>(text.size()), &rect, format);
        return SIZE{rect.right, rect.bottom};
    }
    void ExpectFits(const std::string& what, const std::wstring& text, int width, int height)
    {
        ASSERT_FALSE(text.empty()) << what;
        if (height == 0) {
            EXPECT_LE(Measure(text, 0).cx, width) << what << ": \"" << Utf8(text) << "\" is too wide";
        } else {
            SIZE size = Measure(text, width);
            EXPECT_LE(size.cy, height) << what << ": \"" << Utf8(text) << "\" needs too many lines";
            EXPECT_LE(size.cx, width) << what << ": \"" << Utf8(text) << "\" has a word too long for a line";
        }
    }

    HDC dc_ = nullptr;
    HFONT font_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

TEST_F(TextFit, EveryLanguageFitsTheFixedControls)
{
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(Languages[i]);
        for (const Room& room : Rooms)
            ExpectFits(room.name, Line(room.german, i) + room.suffix, room.width, room.height);

        // The version line with the product name and a version number filled in.
        std::wstring product = L"Morvane (" + Line("Version", i) + L" 2012-01)";
        std::wstring versionLine = Line("Dieses Setup-Programm installiert %1 auf Ihrem Computer", i) + L".";
        versionLine.replace(versionLine.find(L"%1"), 2, product);
        ExpectFits("VersionText", versionLine, 449, 53);

        ExpectFits("HolderText", LineById(2, i), 313, 48);
    }
}

}  // namespace
