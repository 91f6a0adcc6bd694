#include "ui/menus.h"

#include <algorithm>
#include <unordered_map>

#include "ui/actions.h"
#include "ui/forms.h"

namespace bramble {

// ---- shortcuts --------------------------------------------------------------------------

namespace {

std::string KeyName(WORD Key) {
    switch (Key) {
        case VK_BACK: return "BkSp";
        case VK_TAB: return "Tab";
        case VK_RETURN: return "Enter";
        case VK_ESCAPE: return "Esc";
        case VK_SPACE: return "Space";
        case VK_PRIOR: return "PgUp";
        case VK_NEXT: return "PgDn";
        case VK_END: return "End";
        case VK_HOME: return "Home";
        case VK_LEFT: return "Left";
        case VK_UP: return "Up";
        case VK_RIGHT: return "Right";
        case VK_DOWN: return "Down";
        case VK_INSERT: return "Ins";
        case VK_DELETE: return "Del";
        case VK_MULTIPLY: return "Num *";
        case VK_ADD: return "Num +";
        case VK_SUBTRACT: return "Num -";
        case VK_DECIMAL: return "Num .";
        case VK_DIVIDE: return "Num /";
        case VK_OEM_1: return ";";
        case VK_OEM_PLUS: return "=";
        case VK_OEM_COMMA: return ",";
        case VK_OEM_MINUS: return "-";
        case VK_OEM_PERIOD: return ".";
        case VK_OEM_2: return "/";
        case VK_OEM_3: return "`";
        case VK_OEM_4: return "[";
        case VK_OEM_5: return "\\";
        case VK_OEM_6: return "]";
        case VK_OEM_7: return "'";
        default: break;
    }
    if ((Key >= '0' && Key <= '9') || (Key >= 'A' && Key <= 'Z')) return std::string(1, static_cast<char>(Key));
    if (Key >= VK_NUMPAD0 && Key <= VK_NUMPAD9) return "Num " + std::string(1, static_cast<char>('0' + Key - VK_NUMPAD0));
    if (Key >= VK_F1 && Key <= VK_F24) return "F" + std::to_string(Key - VK_F1 + 1);
    return {};
}

bool StartsWithNoCase(const std::string& s, size_t pos, const char* prefix) {
    size_t n = std::char_traits<char>::length(prefix);
    return s.size() - pos >= n && SameText(s.substr(pos, n), prefix);
}

// Command identifiers of menu items, unique in the process.
std::unordered_map<UINT, TMenuItem*>& Commands() {
    static auto* m = new std::unordered_map<UINT, TMenuItem*>;
    return *m;
}

UINT AllocCommand(TMenuItem* Item) {
    static UINT next = 0;
    auto& m = Commands();
    for (int tries = 0; tries < 0x7FFF; ++tries) {
        next = next % 0x7FFF + 1;
        if (!m.count(next)) {
            m[next] = Item;
            return next;
        }
    }
    throw EMenuError("Too many menu items");
}

}  // namespace

TShortCut ShortCut(WORD Key, TShiftState Shift) {
    if (Key & 0xFF00) return 0;
    TShortCut sc = Key;
    if (Shift.contains(ssShift)) sc |= scShift;
    if (Shift.contains(ssCtrl)) sc |= scCtrl;
    if (Shift.contains(ssAlt)) sc |= scAlt;
    return sc;
}

void ShortCutToKey(TShortCut ShortCut, WORD& Key, TShiftState& Shift) {
    Key = ShortCut & 0xFF;
    Shift = {};
    if (ShortCut & scShift) Shift.insert(ssShift);
    if (ShortCut & scCtrl) Shift.insert(ssCtrl);
    if (ShortCut & scAlt) Shift.insert(ssAlt);
}

std::string ShortCutToText(TShortCut ShortCut) {
    std::string name = KeyName(ShortCut & 0xFF);
    if (name.empty()) return {};
    std::string out;
    if (ShortCut & scShift) out += "Shift+";
    if (ShortCut & scCtrl) out += "Ctrl+";
    if (ShortCut & scAlt) out += "Alt+";
    return out + name;
}

TShortCut TextToShortCut(const std::string& Text) {
    TShortCut shift = 0;
    size_t pos = 0;
    for (;;) {
        if (StartsWithNoCase(Text, pos, "Shift+")) {
            shift |= scShift;
            pos += 6;
        } else if (StartsWithNoCase(Text, pos, "Ctrl+")) {
            shift |= scCtrl;
            pos += 5;
        } else if (StartsWithNoCase(Text, pos, "Alt+")) {
            shift |= scAlt;
            pos += 4;
        } else {
            break;
        }
    }
    std::string key = Text.substr(pos);
    if (key.empty()) return 0;
    for (WORD k = 1; k < 256; ++k) {
        std::string n = KeyName(k);
        if (!n.empty() && SameText(n, key)) return static_cast<TShortCut>(k | shift);
    }
    return 0;
}

std::string StripHotkey(const std::string& Text) {
    std::string out;
    out.reserve(Text.size());
    for (size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] == '&') {
            if (i + 1 < Text.size() && Text[i + 1] == '&') {
                out += '&';
                ++i;
            }
            continue;
        }
        out += Text[i];
    }
    return out;
}

char GetHotkey(const std::string& Text) {
    for (size_t i = 0; i + 1 < Text.size(); ++i) {
        if (Text[i] != '&') continue;
        if (Text[i + 1] == '&') {
            ++i;
            continue;
        }
        char c = Text[i + 1];
        return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    }
    return 0;
}

TMenuItem* FindMenuItemByCommand(UINT Command) {
    auto& m = Commands();
    auto it = m.find(Command);
    return it == m.end() ? nullptr : it->second;
}

// ---- TMenuItem -------------------------------------------------------------------------------

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) { command_ = AllocCommand(this); }

TMenuItem::~TMenuItem() {
    Destroying();
    if (parent_) {
        TMenuItem* p = parent_;
        auto& l = p->items_;
        l.erase(std::remove(l.begin(), l.end(), this), l.end());
        parent_ = nullptr;
        if (!p->ComponentState().contains(csDestroying)) p->MenuChanged(true);
    }
    while (!items_.empty()) delete items_.back();
    Commands().erase(command_);
    if (handle_) DestroyMenu(handle_);
}

TMenuItem* TMenuItem::Items(int Index) const {
    if (Index < 0 || Index >= Count()) throw EMenuError(SMenuIndexError);
    return items_[static_cast<size_t>(Index)];
}

int TMenuItem::MenuIndex() const { return parent_ ? parent_->IndexOf(this) : -1; }

void TMenuItem::SetMenuIndex(int v) {
    if (!parent_) return;
    TMenuItem* p = parent_;
    auto& l = p->items_;
    l.erase(std::remove(l.begin(), l.end(), this), l.end());
    v = std::clamp(v, 0, static_cast<int>(l.size()));
    l.insert(l.begin() + v, this);
    p->MenuChanged(true);
}

int TMenuItem::IndexOf(const TMenuItem* Item) const {
    auto it = std::find(items_.begin(), items_.end(), Item);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TMenuItem::Add(TMenuItem* Item) { Insert(Count(), Item); }

void TMenuItem::Insert(int Index, TMenuItem* Item) {
    if (!Item) return;
    if (Item->parent_) throw EMenuError(SMenuReinserted);
    if (Index < 0 || Index > Count()) throw EMenuError(SMenuIndexError);
    for (TMenuItem* p = this; p; p = p->parent_)
        if (p == Item) throw EMenuError(SMenuReinserted);
    items_.insert(items_.begin() + Index, Item);
    Item->parent_ = this;
    MenuChanged(true);
}

void TMenuItem::Delete(int Index) {
    if (Index < 0 || Index >= Count()) throw EMenuError(SMenuIndexError);
    TMenuItem* it = items_[static_cast<size_t>(Index)];
    items_.erase(items_.begin() + Index);
    it->parent_ = nullptr;
    MenuChanged(true);
}

void TMenuItem::Remove(TMenuItem* Item) {
    int i = IndexOf(Item);
    if (i < 0) throw EMenuError(SMenuNotFound);
    Delete(i);
}

void TMenuItem::Clear() {
    while (!items_.empty()) delete items_.back();
}

TMenuItem* TMenuItem::Find(const std::string& ACaption) const {
    std::string want = StripHotkey(ACaption);
    for (TMenuItem* it : items_)
        if (SameText(StripHotkey(it->caption_), want)) return it;
    return nullptr;
}

TMenu* TMenuItem::GetParentMenu() const {
    const TMenuItem* r = this;
    while (r->parent_) r = r->parent_;
    return r->menu_;
}

void TMenuItem::MenuChanged(bool Rebuild) {
    if (ComponentState().contains(csDestroying)) return;
    TMenu* m = GetParentMenu();
    if (m && !m->ComponentState().contains(csDestroying)) m->MenuChanged(this, Rebuild);
}

void TMenuItem::Notification(TComponent* AComponent, TOperation Operation) {}

void TMenuItem::SetCaption(const std::string& v) {
    if (v == caption_) return;
    caption_ = v;
    MenuChanged(true);
}

void TMenuItem::UncheckSiblings() {
    if (!parent_) return;
    for (TMenuItem* s : parent_->items_)
        if (s != this && s->radio_item_ && s->group_index_ == group_index_ && s->checked_) {
            s->checked_ = false;
            s->MenuChanged(false);
        }
}

void TMenuItem::SetChecked(bool v) {
    if (v == checked_) return;
    checked_ = v;
    if (v && radio_item_) UncheckSiblings();
    MenuChanged(false);
}

void TMenuItem::SetEnabled(bool v) {
    if (v == enabled_) return;
    enabled_ = v;
    MenuChanged(false);
}

void TMenuItem::SetVisible(bool v) {
    if (v == visible_) return;
    visible_ = v;
    MenuChanged(true);
}

void TMenuItem::SetDefault(bool v) {
    if (v == default_) return;
    if (v && parent_)
        for (TMenuItem* s : parent_->items_) s->default_ = false;
    default_ = v;
    MenuChanged(false);
}

void TMenuItem::SetRadioItem(bool v) {
    if (v == radio_item_) return;
    radio_item_ = v;
    if (v && checked_) UncheckSiblings();
    MenuChanged(false);
}

void TMenuItem::SetGroupIndex(uint8_t v) {
    if (v == group_index_) return;
    group_index_ = v;
    if (radio_item_ && checked_) UncheckSiblings();
    MenuChanged(false);
}

void TMenuItem::SetShortCut(TShortCut v) {
    if (v == shortcut_) return;
    shortcut_ = v;
    MenuChanged(true);
}

void TMenuItem::SetImageIndex(int v) {
    if (v == image_index_) return;
    image_index_ = v;
    MenuChanged(false);
}

TBitmap& TMenuItem::Bitmap() {
    if (!bitmap_) {
        bitmap_ = std::make_unique<TBitmap>();
        bitmap_->OnChange = [this](TObject*) { MenuChanged(false); };
    }
    return *bitmap_;
}

HMENU TMenuItem::Handle() {
    if (handle_) DestroyMenu(handle_);
    handle_ = CreatePopupMenu();
    TMenu::BuildMenu(handle_, this);
    return handle_;
}

void TMenuItem::Click() {
    if (!enabled_) return;
    TAliveToken alive = AliveToken();
    if (auto_check_) SetChecked(radio_item_ ? true : !checked_);
    if (!alive.Alive()) return;
    if (OnClick) OnClick(this);
    else if (action_link_ && !ComponentState().contains(csDesigning)) action_link_->Execute();
}

TBasicAction* TMenuItem::Action() const { return action_link_ ? action_link_->Action() : nullptr; }

void TMenuItem::SetAction(TBasicAction* v) {
    if (v == Action()) return;
    if (!v) {
        action_link_.reset();
        return;
    }
    if (!action_link_)
        action_link_ = std::make_unique<TBasicActionLink>(
            [this](TBasicAction* a) { ActionChange(a, linking_ && a->ComponentState().contains(csLoading)); });
    linking_ = true;
    action_link_->SetAction(v);
    linking_ = false;
}

void TMenuItem::InitiateAction() {
    if (action_link_) action_link_->Update();
}

void TMenuItem::ActionChange(TBasicAction* Sender, bool CheckDefaults) {
    auto* a = dynamic_cast<TAction*>(Sender);
    if (!a) return;
    if (!CheckDefaults || caption_.empty()) SetCaption(a->Caption());
    if (!CheckDefaults || !checked_) SetChecked(a->Checked());
    if (!CheckDefaults || enabled_) SetEnabled(a->Enabled());
    if (!CheckDefaults || help_context_ == 0) SetHelpContext(a->HelpContext());
    // Past any override: an override's rules are for values given to the
    // item itself, not for those it takes from its action.
    if (!CheckDefaults || hint_.empty()) TMenuItem::SetHint(a->Hint());
    if (!CheckDefaults || image_index_ < 0) SetImageIndex(a->ImageIndex());
    if (!CheckDefaults || shortcut_ == 0) TMenuItem::SetShortCut(a->ShortCut());
    if (!CheckDefaults || visible_) SetVisible(a->Visible());
}

// ---- TMenu -----------------------------------------------------------------------------------

TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner), items_(new TMenuItem(this)) {
    items_->menu_ = this;
    image_link_.OnChange = [this](TObject*) { MenuChanged(nullptr, false); };
}

TMenu::~TMenu() {
    Destroying();
    if (images_) images_->UnRegisterChanges(&image_link_);
    DestroyMenuHandle();
    TMenuItem* root = items_;
    items_ = nullptr;
    delete root;
}

void TMenu::SetRootItem(TMenuItem* Item) {
    TMenuItem* old = items_;
    items_ = Item;
    items_->menu_ = this;
    delete old;
}

void TMenu::SetImages(TCustomImageList* v) {
    if (v == images_) return;
    SwitchImageList(this, images_, v, image_link_);
    MenuChanged(nullptr, false);
}

void TMenu::Notification(TComponent* AComponent, TOperation Operation) {
    if (Operation == opRemove && AComponent == images_) images_ = nullptr;
}

static TMenuItem* FindIn(TMenuItem* p, UINT_PTR v, TFindItemKind k) {
    for (int i = 0; i < p->Count(); ++i) {
        TMenuItem* it = p->Items(i);
        bool hit = false;
        switch (k) {
            case fkCommand: hit = it->Command() == v; break;
            case fkShortCut: hit = it->ShortCut() != 0 && it->ShortCut() == v; break;
            case fkHandle: hit = false; break;
        }
        if (hit) return it;
        if (TMenuItem* r = FindIn(it, v, k)) return r;
    }
    return nullptr;
}

TMenuItem* TMenu::FindItem(UINT_PTR Value, TFindItemKind Kind) const {
    return items_ ? FindIn(items_, Value, Kind) : nullptr;
}

bool TMenu::IsShortCut(TShortCut Value) {
    TMenuItem* it = FindItem(Value, fkShortCut);
    if (!it) return false;
    // A shortcut of a disabled item (or one under a disabled submenu) does nothing.
    for (TMenuItem* p = it; p && p != items_; p = p->Parent())
        if (!p->Enabled()) return false;
    it->Click();
    return true;
}

bool TMenu::DispatchCommand(UINT Command) {
    TMenuItem* it = FindItem(Command, fkCommand);
    if (!it) return false;
    it->Click();
    return true;
}

namespace {

// What the system menu shows of an item: type, text, state and identifier.
// Text is kept alive by the caller while the structure is in use.
MENUITEMINFOA ItemInfo(TMenuItem* It, std::string& Text) {
    MENUITEMINFOA mii{};
    mii.cbSize = sizeof mii;
    mii.wID = It->Command();
    if (It->IsLine()) {
        mii.fMask = MIIM_TYPE | MIIM_ID | MIIM_STATE;
        mii.fType = MFT_SEPARATOR;
        return mii;
    }
    Text = It->Caption();
    if (It->ShortCut()) Text += "\t" + ShortCutToText(It->ShortCut());
    mii.fMask = MIIM_TYPE | MIIM_ID | MIIM_STATE;
    mii.fType = MFT_STRING | (It->RadioItem() ? MFT_RADIOCHECK : 0);
    mii.fState = (It->Checked() ? MFS_CHECKED : 0) | (It->Enabled() ? 0 : MFS_GRAYED) |
                 (It->Default() ? MFS_DEFAULT : 0);
    mii.dwTypeData = Text.data();
    mii.cch = static_cast<UINT>(Text.size());
    return mii;
}

// The submenu that the entry of this command carries in Menu (searched
// through every level); null when the item is not shown or has none.
HMENU SubMenuOf(HMENU Menu, UINT Command) {
    MENUITEMINFOA mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_SUBMENU;
    if (!GetMenuItemInfoA(Menu, Command, FALSE, &mii)) return nullptr;
    return mii.hSubMenu;
}

bool Shows(HMENU Menu, UINT Command) {
    MENUITEMINFOA mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_ID;
    return GetMenuItemInfoA(Menu, Command, FALSE, &mii) != FALSE;
}

}  // namespace

void TMenu::BuildMenu(HMENU Menu, TMenuItem* Parent) {
    UINT pos = 0;
    for (int i = 0; i < Parent->Count(); ++i) {
        TMenuItem* it = Parent->Items(i);
        if (!it->Visible()) continue;
        std::string text;
        MENUITEMINFOA mii = ItemInfo(it, text);
        if (!it->IsLine() && it->Count() > 0) {
            mii.fMask |= MIIM_SUBMENU;
            mii.hSubMenu = CreatePopupMenu();
            BuildMenu(mii.hSubMenu, it);
        }
        InsertMenuItemA(Menu, pos++, TRUE, &mii);
    }
}

void TMenu::RefillMenu(HMENU Menu, TMenuItem* Parent) {
    // The entries are taken out and put back in the same menu, which may be
    // open on the screen: submenus that still belong to an entry are kept
    // as they are (their own changes kept them current).
    std::unordered_map<UINT, HMENU> subs;
    for (int i = GetMenuItemCount(Menu) - 1; i >= 0; --i) {
        MENUITEMINFOA mii{};
        mii.cbSize = sizeof mii;
        mii.fMask = MIIM_ID | MIIM_SUBMENU;
        if (GetMenuItemInfoA(Menu, static_cast<UINT>(i), TRUE, &mii) && mii.hSubMenu) subs[mii.wID] = mii.hSubMenu;
        RemoveMenu(Menu, static_cast<UINT>(i), MF_BYPOSITION);
    }
    UINT pos = 0;
    for (int i = 0; i < Parent->Count(); ++i) {
        TMenuItem* it = Parent->Items(i);
        if (!it->Visible()) continue;
        std::string text;
        MENUITEMINFOA mii = ItemInfo(it, text);
        if (!it->IsLine() && it->Count() > 0) {
            mii.fMask |= MIIM_SUBMENU;
            auto s = subs.find(it->Command());
            if (s != subs.end()) {
                mii.hSubMenu = s->second;
                subs.erase(s);
            } else {
                mii.hSubMenu = CreatePopupMenu();
                BuildMenu(mii.hSubMenu, it);
            }
        }
        InsertMenuItemA(Menu, pos++, TRUE, &mii);
    }
    for (auto& [id, sub] : subs) DestroyMenu(sub);
}

void TMenu::UpdateMenuItem(TMenuItem* Item) {
    if (!handle_ || !Item || Item == items_ || !Shows(handle_, Item->Command())) return;
    std::string text;
    MENUITEMINFOA mii = ItemInfo(Item, text);
    mii.fMask &= ~MIIM_ID;
    // An item that gains its first subitem gets a submenu; one that loses
    // its last gives it up.
    HMENU sub = SubMenuOf(handle_, Item->Command());
    bool wants = !Item->IsLine() && Item->Count() > 0;
    if (wants && !sub) {
        mii.fMask |= MIIM_SUBMENU;
        mii.hSubMenu = CreatePopupMenu();
        BuildMenu(mii.hSubMenu, Item);
    } else if (!wants && sub) {
        mii.fMask |= MIIM_SUBMENU;
        mii.hSubMenu = nullptr;
    }
    SetMenuItemInfoA(handle_, Item->Command(), FALSE, &mii);
    if (!wants && sub) DestroyMenu(sub);
}

void TMenu::ApplyChange(TMenuItem* Source, bool Rebuild) {
    if (!handle_ || !Source) return;
    if (!Rebuild) {
        // State, text or glyph of one item: changed where it stands.
        UpdateMenuItem(Source);
        return;
    }
    // The item's place among its siblings (shown or hidden, moved), or its
    // subitems changed: the levels concerned are filled again in place.
    if (TMenuItem* p = Source->Parent()) {
        HMENU level = p == items_ ? handle_ : SubMenuOf(handle_, p->Command());
        if (level) RefillMenu(level, p);
    }
    if (Source == items_) {
        RefillMenu(handle_, items_);
    } else if (HMENU own = SubMenuOf(handle_, Source->Command())) {
        if (Source->Count() > 0) RefillMenu(own, Source);
    }
    UpdateMenuItem(Source);
}

void TMenu::DestroyMenuHandle() {
    if (handle_) DestroyMenu(handle_);
    handle_ = nullptr;
}

HMENU TMenu::Handle() {
    if (!handle_) {
        handle_ = CreatePopupMenu();
        BuildMenu(handle_, items_);
    }
    return handle_;
}

void TMenu::MenuChanged(TMenuItem* Source, bool Rebuild) {
    ApplyChange(Source, Rebuild);
    if (OnChange && !ComponentState().contains(csDestroying)) OnChange(this, Source, Rebuild);
}

TMainMenu::~TMainMenu() {
    // Take the bar off its window before the handle goes.
    if (window_ && IsWindow(window_) && handle_ && GetMenu(window_) == handle_) ::SetMenu(window_, nullptr);
}

HMENU TMainMenu::Handle() {
    if (!handle_) {
        handle_ = CreateMenu();
        BuildMenu(handle_, Items());
    }
    return handle_;
}

void TMainMenu::MenuChanged(TMenuItem* Source, bool Rebuild) {
    ApplyChange(Source, Rebuild);
    // Only the bar itself needs drawing again; the drop-downs are drawn
    // when they open.
    bool on_bar = Source && (Source == Items() || Source->Parent() == Items());
    if (on_bar && handle_ && window_ && IsWindow(window_) && GetMenu(window_) == handle_) DrawMenuBar(window_);
    if (OnChange && !ComponentState().contains(csDestroying)) OnChange(this, Source, Rebuild);
}

void TPopupMenu::SetPopupComponent(TComponent* v) {
    if (v == popup_component_) return;
    if (popup_component_) popup_component_->RemoveFreeNotification(this);
    popup_component_ = v;
    if (v) v->FreeNotification(this);
}

void TPopupMenu::Notification(TComponent* AComponent, TOperation Operation) {
    TMenu::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == popup_component_) popup_component_ = nullptr;
}

void TPopupMenu::DoPopup(TObject* Sender) {
    if (OnPopup) OnPopup(Sender);
}

HMENU TPopupMenu::Handle() { return TMenu::Handle(); }

void TPopupMenu::Popup(int X, int Y) {
    TAliveToken alive = AliveToken();
    DoPopup(this);
    if (!alive.Alive()) return;
    DestroyMenuHandle();
    HMENU h = Handle();
    UINT flags = TPM_RETURNCMD | TPM_NONOTIFY;
    flags |= alignment_ == paRight ? TPM_RIGHTALIGN : alignment_ == paCenter ? TPM_CENTERALIGN : TPM_LEFTALIGN;
    flags |= track_button_ == tbLeftButton ? TPM_LEFTBUTTON : TPM_RIGHTBUTTON;
    HWND owner = GetActiveWindow();
    if (!owner && Application) owner = Application->Handle();
    UINT cmd = TrackPopupMenu(h, flags, X, Y, 0, owner, nullptr);
    if (owner) PostMessageA(owner, WM_NULL, 0, 0);
    if (!alive.Alive()) return;
    if (OnClose) OnClose(this);
    if (cmd && alive.Alive()) DispatchCommand(cmd);
}

}  // namespace bramble
