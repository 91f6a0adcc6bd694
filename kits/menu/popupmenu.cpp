#include "kits/menu/popupmenu.h"

#include <mmsystem.h>

#include <algorithm>
#include <cstdlib>

#include "kits/menu/itemcontrols.h"
#include "kits/menu/itemdraw.h"
#include "kits/menu/menustate.h"
#include "kits/menu/menutext.h"
#include "kits/menu/tooltip.h"
#include "ui/canvasext.h"
#include "ui/forms.h"

namespace bramble {

TCustomPopupMenu2000::TCustomPopupMenu2000(TComponent* AOwner) : T_LFM_PopupMenu(AOwner) {}

TCustomPopupMenu2000::~TCustomPopupMenu2000() {
    if (ActivePopup() == this) SetActivePopup(nullptr);
    floating_.clear();
    window_.reset();
    RemoveEmptyItems();
}

void TCustomPopupMenu2000::Loaded() {
    T_LFM_PopupMenu::Loaded();
    LoadMenuState(this);
}

bool TCustomPopupMenu2000::IsShortCut(TShortCut Value) { return KeyMatchesShortCut(Value, Items()); }

void TCustomPopupMenu2000::SetParentFont(bool v) {
    parent_font_ = v;
    if (v) system_font_ = false;
}

void TCustomPopupMenu2000::SetSystemFont(bool v) {
    system_font_ = v;
    if (v) parent_font_ = false;
}

void TCustomPopupMenu2000::SetShowHint(bool v) {
    if (v == show_hint_) return;
    show_hint_ = v;
    parent_show_hint_ = false;
}

void TCustomPopupMenu2000::SetParentShowHint(bool v) {
    parent_show_hint_ = v;
    if (!v) return;
    auto* owner = dynamic_cast<TControl*>(Owner());
    show_hint_ = owner && owner->ShowHint();
}

void TCustomPopupMenu2000::SetStatusBar(TStatusBar* v) {
    if (status_bar_) status_bar_->RemoveFreeNotification(this);
    status_bar_ = v;
    if (v) v->FreeNotification(this);
}

void TCustomPopupMenu2000::Notification(TComponent* AComponent, TOperation Operation) {
    T_LFM_PopupMenu::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == status_bar_) status_bar_ = nullptr;
    if (AComponent == attached_) attached_ = nullptr;
    for (auto& e : empty_items_)
        if (e == AComponent) e = nullptr;
}

TMenuItem* TCustomPopupMenu2000::GetMenuSource(HMENU& Native) {
    Native = native_;
    return attached_ ? attached_ : Items();
}

TCustomForm* TCustomPopupMenu2000::OwnerForm() const {
    if (auto* c = dynamic_cast<TControl*>(PopupComponent()))
        if (TCustomForm* f = GetParentForm(c)) return f;
    for (TComponent* o = Owner(); o; o = o->Owner()) {
        if (auto* f = dynamic_cast<TCustomForm*>(o)) return f;
        if (auto* c = dynamic_cast<TControl*>(o))
            if (TCustomForm* f = GetParentForm(c)) return f;
    }
    return nullptr;
}

void TCustomPopupMenu2000::AddEmptyTo(TMenuItem* Parent) {
    auto* e = new TMenuItem2000(nullptr);
    e->SetCaption("(Empty)");
    e->SetShortCutList("");
    e->SetEnabled(false);
    Parent->Add(e);
    e->FreeNotification(this);
    empty_items_.push_back(e);
}

void TCustomPopupMenu2000::AddEmptyItem() {
    HMENU native = nullptr;
    TMenuItem* source = GetMenuSource(native);
    if (source && source->Count() == 0 && !native) AddEmptyTo(source);
}

void TCustomPopupMenu2000::RemoveEmptyItems() {
    // "(Empty)" stands only while the menu is shown.
    std::vector<TMenuItem2000*> items;
    items.swap(empty_items_);
    for (TMenuItem2000* e : items)
        if (e) {
            e->RemoveFreeNotification(this);
            delete e;
        }
}

void TCustomPopupMenu2000::ResetExpansion() {
    if (window_) window_->expanded_ = false;
    if (!options_.Flags.contains(mfHiddenAsRegular)) options_.Flags.erase(mfHiddenIsVisible);
}

bool TCustomPopupMenu2000::IsFormOpen() const { return window_ && window_->IsOpen(); }

TPopupMenu2000Form* TCustomPopupMenu2000::GetDeepestForm() const {
    TPopupMenu2000Form* f = window_.get();
    while (f && f->ChildForm() && f->ChildForm()->IsOpen()) f = f->ChildForm();
    return f;
}

bool TCustomPopupMenu2000::TrackPopup(int X, int Y, TMenuItem* ForItem) {
    // An item's own menu opens over its open chain; any other closes it.
    if (!ForItem) CloseActiveMenus(false);
    RemoveEmptyItems();
    TAliveToken alive = AliveToken();
    chosen_ = nullptr;
    chose_native_ = false;
    SetActivePopup(this);
    if (ForItem) {
        if (OnPopup) OnPopup(ForItem);
    } else {
        DoPopup(this);
    }
    if (!alive.Alive()) return true;
    AddEmptyItem();
    if (!window_) window_ = std::make_unique<TPopupMenu2000Form>(this, nullptr);
    if (!Bar) ResetExpansion();
    HMENU native = nullptr;
    TMenuItem* source = GetMenuSource(native);
    window_->SetItems(source, native);
    window_->UpAnchor = UpAnchor;
    if (!window_->PlaceAndShow(X, Y)) {
        window_->CloseWindow();
        if (ActivePopup() == this) SetActivePopup(nullptr);
        return true;
    }
    if (SelectFirstOnShow) window_->SetInitialSelection(true);
    return false;
}

void TCustomPopupMenu2000::Popup(int X, int Y) {
    TAliveToken alive = AliveToken();
    bool shown = !TrackPopup(X, Y);
    if (shown) {
        MSG m;
        while (alive.Alive() && IsFormOpen()) {
            BOOL got = GetMessageA(&m, nullptr, 0, 0);
            if (got <= 0) {
                // The program is ending: the quit goes on to the outer loop.
                PostQuitMessage(got == 0 ? static_cast<int>(m.wParam) : 0);
                if (alive.Alive()) CloseActiveMenus(true);
                break;
            }
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    }
    if (!alive.Alive()) return;
    if (ActivePopup() == this && !IsFormOpen()) SetActivePopup(nullptr);
    RestoreCaret();
    RemoveEmptyItems();
    if (shown && OnMenuClose) {
        OnMenuClose(this, !chose_native_ && (!chosen_ || !chosen_alive_.Alive()));
        if (!alive.Alive()) return;
    }
    RunChosen();
    // Nothing here after the command: it may have freed this menu.
}

void TCustomPopupMenu2000::SetChosen(TMenuItem* Item) {
    chosen_ = Item;
    chosen_alive_ = Item ? Item->AliveToken() : TAliveToken();
}

bool TCustomPopupMenu2000::CloseQuery() {
    bool can = true;
    if (OnCloseQuery) OnCloseQuery(this, can);
    return can;
}

void TCustomPopupMenu2000::RunChosen() {
    TMenuItem* item = chosen_;
    chosen_ = nullptr;
    if (!item || !chosen_alive_.Alive()) return;
    TAliveToken alive = item->AliveToken();
    if (OnMenuCommand) OnMenuCommand(item);
    if (!alive.Alive()) return;
    item->Click();
}

}  // namespace bramble

