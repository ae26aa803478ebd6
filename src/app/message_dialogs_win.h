#pragma once
// The program's message dialogs and its general error display.
//
// A message dialog is modal, centred on the screen, and shows an icon, the text
// and a row of buttons. Its caption and button texts are fixed German texts
// that do not follow the chosen language; the message text itself comes
// translated from the caller. Windows' own message box cannot relabel its
// buttons, so the dialog is built here.
#include <windows.h>

#include <functional>
#include <string>

enum class MessageKind {
    Error,         // caption "Fehler", stop icon
    Information,   // caption "Informationen", information icon
    Confirmation,  // caption "Bestätigung", question icon
};

// The buttons of a dialog, combined with |. They appear in the order
// Ja, Nein, OK, Abbrechen.
enum MessageButtons : unsigned {
    MessageOk = 1,      // "OK"
    MessageYes = 2,     // "&Ja"
    MessageNo = 4,      // "&Nein"
    MessageCancel = 8,  // "Abbrechen"
};

enum class MessageResult { None, Ok, Yes, No, Cancel };

// Component names of the dialog's windows.
inline constexpr char MessageDialogName[] = "MessageDialog";
inline constexpr char MessageIconName[] = "MessageIcon";
inline constexpr char MessageTextName[] = "MessageText";
inline constexpr char MessageOkName[] = "OkButton";
inline constexpr char MessageYesName[] = "YesButton";
inline constexpr char MessageNoName[] = "NoButton";
inline constexpr char MessageCancelName[] = "CancelButton";

// Shows the dialog and returns the button pressed. text is 8-bit text in the
// system's ANSI code page; a carriage return in it breaks the line, and "&"
// is shown as it is. Enter presses OK, or Ja when there is no OK; Esc and the
// close box press Abbrechen, or Nein when there is no Abbrechen, or else OK.
// Without any button the dialog gets OK. None only when the dialog could not
// be shown.
MessageResult ShowMessageDialog(HWND owner, MessageKind kind, const std::string& text, unsigned buttons);

// The text as the general error display shows it: a "." is appended when the
// last character's code (as an unsigned byte) is above that of ".".
std::string GeneralErrorText(const std::string& text);

// The general error display: Windows' message box titled "Setup" with the stop
// icon, the single button OK and GeneralErrorText(text).
void ShowGeneralError(HWND owner, const std::string& text);

// Runs an event handler. An exception that escapes it ends the handler there
// and is shown by ShowGeneralError; the result is then false.
bool RunWithErrorDisplay(HWND owner, const std::function<void()>& handler);
