// The message dialogs, the general error display and component names, driven
// as real windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/component_names_win.h"
#include "app/message_dialogs_win.h"
#include "util/exception.h"
#include "window_driver_win.h"

namespace {

struct SeenDialog {
    std::string caption;
    std::string text;
    bool hasIcon = false;
    std::vector<std::string> buttons;         // names, left to right
    std::vector<std::string> buttonCaptions;  // in the same order
    std::vector<RECT> buttonRects;
    std::string focused;
    std::string defaultButton;
    RECT window{};
    RECT client{};
    RECT textRect{};
};

const char* const AllButtonNames[] = {MessageYesName, MessageNoName, MessageOkName, MessageCancelName};

SeenDialog Observe(HWND dialog)
{
    SeenDialog seen;
    seen.caption = WindowTextUtf8(dialog);
    GetWindowRect(dialog, &seen.window);
    GetClientRect(dialog, &seen.client);
    if (HWND text = FindComponent(dialog, MessageTextName)) {
        seen.text = WindowTextUtf8(text);
        seen.textRect = RectInParent(text);
    }
    if (HWND icon = FindComponent(dialog, MessageIconName))
        seen.hasIcon = SendMessageW(icon, STM_GETICON, 0, 0) != 0;
    std::vector<std::pair<LONG, HWND>> buttons;
    for (const char* name : AllButtonNames)
        if (HWND button = FindComponent(dialog, name)) buttons.emplace_back(RectInParent(button).left, button);
    std::sort(buttons.begin(), buttons.end());
    for (auto& [left, button] : buttons) {
        seen.buttons.push_back(ComponentName(button));
        seen.buttonCaptions.push_back(WindowTextUtf8(button));
        seen.buttonRects.push_back(RectInParent(button));
        if (GetWindowLongW(button, GWL_STYLE) & BS_DEFPUSHBUTTON) seen.defaultButton = ComponentName(button);
    }
    seen.focused = ComponentName(GetFocus());
    return seen;
}

enum class Action { Click, Enter, Escape, CloseBox };

void Perform(HWND dialog, Action action, const std::string& button)
{
    HWND target = GetFocus() ? GetFocus() : dialog;
    switch (action) {
    case Action::Click: SendMessageW(FindComponent(dialog, button), BM_CLICK, 0, 0); break;
    case Action::Enter: PostMessageW(target, WM_KEYDOWN, VK_RETURN, 0); break;
    case Action::Escape: PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 0); break;
    case Action::CloseBox: PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); break;
    }
}

MessageResult RunDialog(MessageKind kind, const std::string& text, unsigned buttons, Action action,
                        const std::string& button, SeenDialog& seen, const std::string& shot = "")
{
    bool found = false;
    MessageResult result = DriveModal(
        [] { return FindThreadComponent(GetCurrentThreadId(), MessageDialogName); },
        [&](HWND dialog) {
            seen = Observe(dialog);
            if (!shot.empty()) SaveWindowShot(dialog, shot);
            Perform(dialog, action, button);
        },
        [&] { return ShowMessageDialog(nullptr, kind, text, buttons); }, found);
    EXPECT_TRUE(found) << "the message dialog did not appear";
    return result;
}

std::vector<std::string> Names(std::initializer_list<const char*> names)
{
    return std::vector<std::string>(names.begin(), names.end());
}

TEST(MessageDialog, EachKindShowsItsGermanCaptionIconTextAndOk)
{
    struct Case {
        MessageKind kind;
        const char* caption;
        const char* shot;
    };
    const Case cases[] = {{MessageKind::Error, "Fehler", "message-error"},
                          {MessageKind::Information, "Informationen", "message-information"},
                          {MessageKind::Confirmation, "Best\xC3\xA4tigung", "message-confirmation"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        SeenDialog seen;
        // A lone carriage return breaks the line; "&" is no accelerator marker.
        MessageResult result =
            RunDialog(c.kind, "Erste Zeile & mehr\rZweite Zeile", MessageOk, Action::Click, MessageOkName, seen, c.shot);
        EXPECT_EQ(result, MessageResult::Ok);
        EXPECT_EQ(seen.caption, c.caption);
        EXPECT_EQ(seen.text, "Erste Zeile & mehr\r\nZweite Zeile");
        EXPECT_TRUE(seen.hasIcon);
        EXPECT_EQ(seen.buttons, Names({MessageOkName}));
        EXPECT_EQ(seen.buttonCaptions, Names({"OK"}));
        EXPECT_EQ(seen.focused, MessageOkName);
    }
}

TEST(MessageDialog, ButtonsKeysAndCloseBoxGiveTheirResults)
{
    SeenDialog seen;
    const unsigned yesNo = MessageYes | MessageNo;
    EXPECT_EQ(RunDialog(MessageKind::Confirmation, "Frage?", yesNo, Action::Enter, "", seen, "message-yes-no"),
              MessageResult::Yes)
        << "Enter presses Ja when there is no OK";
    EXPECT_EQ(seen.buttons, Names({MessageYesName, MessageNoName}));
    EXPECT_EQ(seen.buttonCaptions, Names({"&Ja", "&Nein"}));
    EXPECT_EQ(seen.defaultButton, MessageYesName);
    EXPECT_EQ(seen.focused, MessageYesName);
    EXPECT_EQ(RunDialog(MessageKind::Confirmation, "Frage?", yesNo, Action::Escape, "", seen), MessageResult::No)
        << "Esc presses Nein when there is no Abbrechen";
    EXPECT_EQ(RunDialog(MessageKind::Confirmation, "Frage?", yesNo, Action::CloseBox, "", seen), MessageResult::No);
    EXPECT_EQ(RunDialog(MessageKind::Confirmation, "Frage?", yesNo, Action::Click, MessageNoName, seen),
              MessageResult::No);

    const unsigned yesCancel = MessageYes | MessageCancel;
    EXPECT_EQ(RunDialog(MessageKind::Confirmation, "Frage?", yesCancel, Action::Escape, "", seen),
              MessageResult::Cancel);
    EXPECT_EQ(seen.buttonCaptions, Names({"&Ja", "Abbrechen"}));
    EXPECT_EQ(RunDialog(MessageKind::Confirmation, "Frage?", yesCancel, Action::CloseBox, "", seen),
              MessageResult::Cancel);
    EXPECT_EQ(RunDialog(MessageKind::Confirmation, "Frage?", yesCancel, Action::Click, MessageYesName, seen),
              MessageResult::Yes);

    EXPECT_EQ(RunDialog(MessageKind::Error, "Fehler", MessageOk, Action::Escape, "", seen), MessageResult::Ok)
        << "Esc presses OK when there is neither Abbrechen nor Nein";
    EXPECT_EQ(RunDialog(MessageKind::Information, "Info", MessageOk | MessageCancel, Action::Enter, "", seen),
              MessageResult::Ok)
        << "Enter presses OK before Ja";
    EXPECT_EQ(seen.buttons, Names({MessageOkName, MessageCancelName}));
    EXPECT_EQ(RunDialog(MessageKind::Information, "Info", 0, Action::Enter, "", seen), MessageResult::Ok)
        << "a dialog without buttons gets OK";
    EXPECT_EQ(seen.buttons, Names({MessageOkName}));
}

bool Inside(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

TEST(MessageDialog, IsCentredAndKeepsLongTextAboveTheButtons)
{
    std::string text;
    for (int i = 0; i < 12; ++i) text += "Ein recht langer Satz, der umbrochen werden muss. ";
    text += "\rLetzte Zeile";
    SeenDialog seen;
    RunDialog(MessageKind::Confirmation, text, MessageYes | MessageNo | MessageCancel, Action::Click,
              MessageCancelName, seen, "message-long");

    RECT area;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    EXPECT_LE(std::abs((seen.window.left + seen.window.right) - (area.left + area.right)), 2);
    EXPECT_LE(std::abs((seen.window.top + seen.window.bottom) - (area.top + area.bottom)), 2);
    EXPECT_LE(seen.window.right - seen.window.left, 640) << "long text wraps instead of widening the dialog";

    EXPECT_TRUE(Inside(seen.textRect, seen.client));
    EXPECT_GT(seen.textRect.bottom - seen.textRect.top, 60) << "the text wrapped onto several lines";
    ASSERT_EQ(seen.buttons, Names({MessageYesName, MessageNoName, MessageCancelName}));
    for (std::size_t i = 0; i < seen.buttonRects.size(); ++i) {
        EXPECT_TRUE(Inside(seen.buttonRects[i], seen.client)) << seen.buttons[i];
        EXPECT_GE(seen.buttonRects[i].top, seen.textRect.bottom) << seen.buttons[i];
        if (i > 0) {
            EXPECT_GT(seen.buttonRects[i].left, seen.buttonRects[i - 1].right) << seen.buttons[i];
        }
    }
}

TEST(GeneralError, FullStopIsAppendedAfterCharactersAboveTheFullStop)
{
    EXPECT_EQ(GeneralErrorText("Datei fehlt"), "Datei fehlt.");
    EXPECT_EQ(GeneralErrorText("Datei fehlt."), "Datei fehlt.");
    EXPECT_EQ(GeneralErrorText("Datei fehlt!"), "Datei fehlt!");
    EXPECT_EQ(GeneralErrorText("Code 7"), "Code 7.");
    EXPECT_EQ(GeneralErrorText("Pfad C:\\x/"), "Pfad C:\\x/.");
    EXPECT_EQ(GeneralErrorText("Liste,"), "Liste,");
    EXPECT_EQ(GeneralErrorText("Gr\xF6\xDF\x65 \xE4"), "Gr\xF6\xDF\x65 \xE4.") << "bytes above 127 count as above";
    EXPECT_EQ(GeneralErrorText(""), "");
}

BOOL CALLBACK MatchSetupMessageBox(HWND window, LPARAM param)
{
    char className[32] = "";
    GetClassNameA(window, className, sizeof className);
    if (std::string(className) == "#32770" && WindowTextUtf8(window) == "Setup") {
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindSetupMessageBox()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), MatchSetupMessageBox, reinterpret_cast<LPARAM>(&found));
    return found;
}

TEST(GeneralError, EscapingErrorIsShownInSetupMessageBox)
{
    std::vector<std::string> texts;
    int buttons = 0;
    bool ranOn = false;
    bool found = false;
    bool completed = DriveModal(
        FindSetupMessageBox,
        [&](HWND box) {
            SaveWindowShot(box, "general-error");
            for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                char className[32] = "";
                GetClassNameA(child, className, sizeof className);
                std::string kind = className;
                for (char& c : kind) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
                if (kind == "button" && IsWindowVisible(child)) ++buttons;
                if (kind == "static" && GetWindowTextLengthW(child) > 0) texts.push_back(WindowTextUtf8(child));
            }
            SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        },
        [&] {
            return RunWithErrorDisplay(nullptr, [&] {
                throw Exception("Datei \"C:\\x.ini\" kann nicht erstellt werden");
                ranOn = true;
            });
        },
        found);
    EXPECT_TRUE(found) << "no message box titled Setup";
    EXPECT_FALSE(completed);
    EXPECT_FALSE(ranOn);
    EXPECT_EQ(buttons, 1) << "only OK";
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Datei \"C:\\x.ini\" kann nicht erstellt werden."), texts.end());

    bool ran = false;
    completed = DriveModal(FindSetupMessageBox, [](HWND box) { SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0); },
                           [&] { return RunWithErrorDisplay(nullptr, [&] { ran = true; }); }, found);
    EXPECT_TRUE(completed);
    EXPECT_TRUE(ran);
    EXPECT_FALSE(found) << "a handler without error shows nothing";
}

TEST(ComponentNames, NamesAreFoundBelowAParentAndReleasedWithTheWindow)
{
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    HWND panel = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 50, 50, parent, nullptr, nullptr, nullptr);
    HWND button = CreateWindowExA(0, "BUTTON", "Ja", WS_CHILD, 0, 0, 20, 20, panel, nullptr, nullptr, nullptr);
    const std::string probe = "ComponentNamesProbeBtn";
    ASSERT_TRUE(SetComponentName(panel, "AskPanel"));
    ASSERT_TRUE(SetComponentName(button, "FirstName"));
    ASSERT_TRUE(SetComponentName(button, probe)) << "a second name replaces the first";

    EXPECT_EQ(ComponentName(button), probe);
    EXPECT_EQ(ComponentName(parent), "") << "unnamed window";
    EXPECT_EQ(FindComponent(parent, probe), button) << "grandchildren are searched too";
    EXPECT_EQ(FindComponent(parent, "componentnamesprobebtn"), button) << "letter case does not matter";
    EXPECT_EQ(FindComponent(parent, "FirstName"), nullptr) << "the replaced name is gone";
    EXPECT_EQ(FindComponent(parent, "AskPanel"), panel);
    EXPECT_EQ(GlobalFindAtomA("FirstName"), 0) << "the replaced name's atom was released";

    // What another process sees: the property holds a global atom of the name.
    auto atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropA(button, ComponentNameProperty)));
    char name[256] = "";
    GlobalGetAtomNameA(atom, name, sizeof name);
    EXPECT_EQ(std::string(name), probe);

    EXPECT_FALSE(SetComponentName(button, ""));
    EXPECT_FALSE(SetComponentName(button, std::string(256, 'x')));
    EXPECT_FALSE(SetComponentName(nullptr, "Nothing"));

    DestroyWindow(parent);
    EXPECT_EQ(GlobalFindAtomA(probe.c_str()), 0) << "the name's atom outlived its window";
}

}  // namespace
