#include "app/widgets/itemprop.h"

#include <cstdio>
#include <string>

#include "app/widgets/texts.h"
#include "ui/comobj.h"
#include "ui/forms.h"

namespace bramble {

// The shell's menus and the tree's and list's shell calls need OLE on the
// program's thread from its start, not once per control; the program ends
// it.
static const bool g_oleReady = OleForTheRun();

namespace {

constexpr const char* kHelperClass = "ItemPropMenuCallbackHelper";

struct MenuHelper {
    IContextMenu2* cm2 = nullptr;
    IContextMenu3* cm3 = nullptr;
};

// Owner-drawn and late-filled submenus (Send To, Open With) are drawn by
// the handler: their messages go to it.
LRESULT CALLBACK HelperProc(HWND H, UINT Msg, WPARAM W, LPARAM L) {
    auto* h = reinterpret_cast<MenuHelper*>(GetWindowLongPtrA(H, GWLP_USERDATA));
    if (h && (Msg == WM_INITMENUPOPUP || Msg == WM_DRAWITEM || Msg == WM_MEASUREITEM || Msg == WM_MENUCHAR)) {
        LRESULT r = 0;
        if (h->cm3)
            h->cm3->HandleMenuMsg2(Msg, W, L, &r);
        else if (h->cm2)
            h->cm2->HandleMenuMsg(Msg, W, L);
        if (Msg == WM_MENUCHAR) return r;
        return Msg == WM_INITMENUPOPUP ? 0 : 1;
    }
    return DefWindowProcA(H, Msg, W, L);
}

HWND MakeHelper(MenuHelper* H) {
    static bool registered = false;
    HINSTANCE inst = GetModuleHandleA(nullptr);
    if (!registered) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = HelperProc;
        wc.hInstance = inst;
        wc.lpszClassName = kHelperClass;
        registered = RegisterClassA(&wc) != 0;
    }
    HWND w = CreateWindowExA(0, kHelperClass, "ItemPropCallbackProcessor", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                             inst, nullptr);
    if (w) SetWindowLongPtrA(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(H));
    return w;
}

void Report(TWidgetText Id, HRESULT Hr) {
    char buf[96];
    std::snprintf(buf, sizeof buf, WidgetText(Id).c_str(), static_cast<unsigned>(Hr));
    Application->MessageBox(buf, Application->Title(), MB_OK | MB_ICONERROR);
}

bool Invoke(IContextMenu* Cm, HWND Owner, UINT Offset, const char* Verb) {
    CMINVOKECOMMANDINFO ci{};
    ci.cbSize = sizeof ci;
    ci.hwnd = Owner;
    ci.lpVerb = Verb ? Verb : MAKEINTRESOURCEA(Offset);
    ci.nShow = SW_SHOWNORMAL;
    const HRESULT hr = Cm->InvokeCommand(&ci);
    if (FAILED(hr)) {
        Report(SInvokeCommandFailed, hr);
        return false;
    }
    return true;
}

// Mode 0 shows the menu, 1 runs "properties", 2 runs the default command.
bool ItemProp(IShellFolder* Folder, LPCITEMIDLIST* Items, ULONG Attributes, int Count, HWND Owner, TPoint Point,
              int Mode) {
    if (!Folder || !Items || Count <= 0) return false;
    TComPtr<IContextMenu> cm;
    HRESULT hr = Folder->GetUIObjectOf(Owner, static_cast<UINT>(Count), Items, IID_IContextMenu, nullptr,
                                       cm.PutVoid());
    if (FAILED(hr) || !cm) {
        Report(SCouldNotGetUIObject, hr);
        return false;
    }
    TComPtr<IContextMenu2> cm2;
    TComPtr<IContextMenu3> cm3;
    if (SUCCEEDED(cm->QueryInterface(IID_IContextMenu2, cm2.PutVoid())) && cm2)
        cm2->QueryInterface(IID_IContextMenu3, cm3.PutVoid());

    const HCURSOR old = SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
    bool shown = false;
    if (Mode == 1) {
        if (Attributes & SFGAO_HASPROPSHEET) shown = Invoke(cm.Get(), Owner, 0, "properties");
        SetCursor(old);
        return shown;
    }
    constexpr UINT kFirst = 1, kLast = 0x7FFF;
    HMENU menu = CreatePopupMenu();
    if (!menu) {
        SetCursor(old);
        return false;
    }
    const UINT flags = Mode == 2 ? CMF_DEFAULTONLY : CMF_EXPLORE | ((Attributes & SFGAO_CANRENAME) ? CMF_CANRENAME : 0);
    hr = (cm3 ? static_cast<IContextMenu*>(cm3.Get()) : cm2 ? cm2.Get() : cm.Get())
             ->QueryContextMenu(menu, 0, kFirst, kLast, flags);
    SetCursor(old);
    if (SUCCEEDED(hr)) {
        if (Mode == 2) {
            const UINT def = GetMenuDefaultItem(menu, FALSE, 0);
            if (def != static_cast<UINT>(-1) && def >= kFirst) shown = Invoke(cm.Get(), Owner, def - kFirst, nullptr);
        } else {
            MenuHelper helper{cm2.Get(), cm3.Get()};
            HWND w = (cm2 || cm3) ? MakeHelper(&helper) : nullptr;
            const UINT cmd = static_cast<UINT>(TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, Point.X,
                                                                Point.Y, w ? w : Owner, nullptr));
            shown = true;
            if (w) DestroyWindow(w);
            if (cmd >= kFirst) Invoke(cm.Get(), Owner, cmd - kFirst, nullptr);
        }
    }
    DestroyMenu(menu);
    return shown;
}

}  // namespace

bool ShowItemContextMenu(IShellFolder* Folder, LPCITEMIDLIST* Items, ULONG Attributes, int Count, TPoint Point,
                         HWND Owner) {
    return ItemProp(Folder, Items, Attributes, Count, Owner, Point, 0);
}

bool InvokeItemDefaultAction(IShellFolder* Folder, LPCITEMIDLIST* Items, ULONG Attributes, int Count, HWND Owner) {
    return ItemProp(Folder, Items, Attributes, Count, Owner, TPoint{}, 2);
}

bool ShowItemProperties(IShellFolder* Folder, LPCITEMIDLIST* Items, ULONG Attributes, int Count, HWND Owner) {
    return ItemProp(Folder, Items, Attributes, Count, Owner, TPoint{}, 1);
}

}  // namespace bramble
