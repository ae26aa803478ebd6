#pragma once
// The persons dialog TPersonsForm: asks on a first installation how the user
// calls the people who receive keys. The list shows the terms in the current
// language; the program keeps the German term.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/win_components_win.h"

// The five German terms, made at program start.
extern std::vector<std::string> PersonsTerms;
void CreatePersonsTerms();

// The dialog's texts (group "PersonsUnit"; only its name).
std::string PersonsUnitText(int id);

enum class TModalResult { None, Ok, Cancel };

class TPersonsForm {
public:
    // Creates the dialog, hidden, and runs FormCreate; owner is the window it
    // is centred over (may be null).
    explicit TPersonsForm(HWND owner);
    ~TPersonsForm();
    TPersonsForm(const TPersonsForm&) = delete;
    TPersonsForm& operator=(const TPersonsForm&) = delete;

    HWND Handle() const { return Form->Handle(); }
    // Shows the dialog modally until OK (Ok) or its close box (Cancel).
    TModalResult ShowModal();
    // Index of the selected item, -1 when none.
    int ItemIndex() const;

    void FormCreate();

    std::unique_ptr<TWinComponent> Form;
    TWinComponent* HolderText = nullptr;
    TWinComponent* ListBox = nullptr;
    TWinComponent* OkBtn = nullptr;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND owner_;
    TModalResult result_ = TModalResult::None;
    bool destroyed_ = false;
};

// Shows the persons dialog over the main form (made on first use in the
// language current then, kept until the program ends) and returns the chosen
// German term; empty when the dialog was closed without OK.
std::string AskPersonsTerm();
// Destroys the dialog (program end, tests).
void ReleasePersonsForm();
