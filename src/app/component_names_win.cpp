#include "app/component_names_win.h"

#include <commctrl.h>

#include "app/win_components_win.h"

namespace {

// The subclass calls of comctl32, which is loaded from the system folder.
struct SubclassFunctions {
    using TSet = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR);
    using TRemove = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR);
    using TDefault = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM);
    TSet Set = SystemFunction<TSet>("comctl32.dll", "SetWindowSubclass");
    TRemove Remove = SystemFunction<TRemove>("comctl32.dll", "RemoveWindowSubclass");
    TDefault Default = SystemFunction<TDefault>("comctl32.dll", "DefSubclassProc");
    bool Usable() const { return Set && Remove && Default; }
};

const SubclassFunctions& Subclassing()
{
    static const SubclassFunctions functions;
    return functions;
}

constexpr UINT_PTR NameSubclassId = 0x53e7;  // any value unique among our subclasses

bool SameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; };
        if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i]))) return false;
    }
    return true;
}

ATOM NameAtom(HWND window)
{
    return static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropA(window, ComponentNameProperty)));
}

// Global atoms outlive the process unless deleted, so the name goes with the window.
LRESULT CALLBACK ReleaseNameOnDestroy(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR, DWORD_PTR)
{
    if (message == WM_NCDESTROY) {
        if (ATOM atom = NameAtom(window)) {
            RemovePropA(window, ComponentNameProperty);
            GlobalDeleteAtom(atom);
        }
        Subclassing().Remove(window, ReleaseNameOnDestroy, NameSubclassId);
    }
    return Subclassing().Default(window, message, wParam, lParam);
}

struct NameSearch {
    const std::string* name;
    HWND found;
};

BOOL CALLBACK MatchName(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<NameSearch*>(param);
    if (SameName(ComponentName(window), *search->name)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

bool SetComponentName(HWND window, const std::string& name)
{
    if (!window || name.empty() || name.size() > 255) return false;
    ATOM atom = GlobalAddAtomA(name.c_str());
    if (!atom) return false;
    ATOM previous = NameAtom(window);
    if (!SetPropA(window, ComponentNameProperty, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(atom)))) {
        GlobalDeleteAtom(atom);
        return false;
    }
    if (previous) GlobalDeleteAtom(previous);
    if (Subclassing().Usable()) Subclassing().Set(window, ReleaseNameOnDestroy, NameSubclassId, 0);
    return true;
}

std::string ComponentName(HWND window)
{
    ATOM atom = NameAtom(window);
    if (!atom) return {};
    char buffer[256];
    UINT length = GlobalGetAtomNameA(atom, buffer, sizeof buffer);
    return std::string(buffer, length);
}

HWND FindComponent(HWND parent, const std::string& name)
{
    NameSearch search{&name, nullptr};
    // EnumChildWindows walks all descendants, not only the direct children.
    EnumChildWindows(parent, MatchName, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindThreadComponent(DWORD threadId, const std::string& name)
{
    NameSearch search{&name, nullptr};
    EnumThreadWindows(threadId, MatchName, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
