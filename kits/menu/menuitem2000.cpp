#include "kits/menu/menuitem2000.h"

#include "kits/menu/commandcache.h"
#include "kits/menu/itemcontrols.h"
#include "kits/menu/menustate.h"
#include "kits/menu/shortcutlist.h"

namespace bramble {

namespace {

const menukit::CommandCacheEntry* CacheEntry(const std::string& Caption) {
    return menukit::CommandCache::Instance().FindByCaption(Caption);
}

menukit::ShortCutValue ParseShortCut(const std::string& Text) { return TextToShortCut(Text); }
std::string FormatShortCut(menukit::ShortCutValue Value) { return ShortCutToText(Value); }

// Registry texts are short: anything longer is not ours.
constexpr int kMaxStateText = 256;

}  // namespace

T_LFM_PopupMenu::T_LFM_PopupMenu(TComponent* AOwner) : TPopupMenu(AOwner) { SetRootItem(new TMenuItem2000(this)); }

TMenuItem2000::TMenuItem2000(TComponent* AOwner)
    : TMenuItem(AOwner), control_options_(MakeControlOptions(ctlNone, this)) {}

TMenuItem2000::~TMenuItem2000() {
    // Tell the bar that a top item went, unless the parent or the whole
    // menu is being freed: the bar then goes with it or rebuilds anyway.
    TMenuItem* parent = Parent();
    if (parent && !parent->ComponentState().contains(csDestroying)) {
        TMenu* menu = GetParentMenu();
        if (!menu || !menu->ComponentState().contains(csDestroying)) {
            if (HWND bar = menu ? MenuBarWindowOf(menu) : nullptr)
                if (parent == menu->Items()) PostMessage(bar, LFM_MENUCHANGED, lfmRebuild, 0);
        }
    }
    if (attach_menu_) attach_menu_->RemoveFreeNotification(this);
    if (popup_menu_) popup_menu_->RemoveFreeNotification(this);
}

void TMenuItem2000::NotifyItemChanged(WPARAM BarNotice) {
    if (!Parent()) return;
    if (ComponentState().contains(csLoading) || ComponentState().contains(csDestroying)) return;
    if (Parent()->ComponentState().contains(csDestroying)) return;
    TMenu* menu = GetParentMenu();
    if (!menu || menu->ComponentState().contains(csDestroying)) return;
    if (Parent() != menu->Items()) return;  // only top items are on a bar
    if (HWND bar = MenuBarWindowOf(menu)) PostMessage(bar, LFM_MENUCHANGED, BarNotice, 0);
}

void TMenuItem2000::SetCaption(const std::string& v) {
    if (v == Caption()) return;
    TMenuItem::SetCaption(v);
    NotifyItemChanged(lfmRebuild);
}

void TMenuItem2000::SetChecked(bool v) {
    if (v == Checked()) return;
    TMenuItem::SetChecked(v);
    NotifyItemChanged(lfmRebuild);
}

void TMenuItem2000::SetEnabled(bool v) {
    if (v == Enabled()) return;
    TMenuItem::SetEnabled(v);
    NotifyItemChanged(lfmRepaint);
}

void TMenuItem2000::SetVisible(bool v) {
    if (v == Visible()) return;
    TMenuItem::SetVisible(v);
    NotifyItemChanged(lfmRebuild);
}

void TMenuItem2000::SetDefaultIndex(int v) {
    if (v == default_index_) return;
    default_index_ = v;
    NotifyItemChanged(lfmRebuild);
}

void TMenuItem2000::SetBitmap(const TBitmap& Value) {
    Bitmap().Assign(Value);
    NotifyItemChanged(lfmRebuild);
}

void TMenuItem2000::SetHint(const std::string& v) {
    // An empty hint on a standard command means none, not the command's.
    if (v.empty() && CacheEntry(Caption())) TMenuItem::SetHint(menukit::cNoShortCut);
    else TMenuItem::SetHint(v);
}

std::string TMenuItem2000::KitHint() const {
    const std::string& own = Hint();
    if (own == menukit::cNoShortCut) return {};
    if (!own.empty()) return own;
    if (auto* e = CacheEntry(Caption())) return e->Hint;
    return {};
}

void TMenuItem2000::SetShortCut(TShortCut v) {
    if (v == 0) SetShortCutList("");
    else SetShortCutList(ShortCutToText(v));
}

void TMenuItem2000::SetAction(TBasicAction* v) {
    if (v == Action()) return;
    TMenuItem::SetAction(v);
    NotifyItemChanged(lfmRebuild);
}

void TMenuItem2000::SetShortCutList(const std::string& Text) {
    std::string list;
    // Loaded texts are kept as they come, an empty one too: the form says
    // "none on purpose" with the mark itself.
    if (ComponentState().contains(csLoading)) list = Text;
    else list = menukit::NormalizeShortCutList(Text, ParseShortCut, FormatShortCut);
    // The list speaks for the item from now on, not an action's key.
    TMenuItem::SetShortCut(0);
    if (list == shortcuts_) return;
    shortcuts_ = list;
    NotifyItemChanged(lfmRebuild);
}

std::string TMenuItem2000::ShortCutList() const {
    if (ShortCut() != 0) return ShortCutToText(ShortCut());
    if (shortcuts_ == menukit::cNoShortCut) return {};
    if (!shortcuts_.empty()) return shortcuts_;
    if (auto* e = CacheEntry(Caption())) return e->ShortCut;
    return {};
}

std::string TMenuItem2000::FirstShortCutText() const { return menukit::FirstShortCutText(ShortCutList()); }

bool TMenuItem2000::HasShortCutValue(TShortCut Value) const {
    return menukit::ShortCutListHolds(ShortCutList(), Value, ParseShortCut);
}

void TMenuItem2000::SetAttachMenu(T_LFM_PopupMenu* v) {
    if (v == attach_menu_) return;
    if (attach_menu_) attach_menu_->RemoveFreeNotification(this);
    attach_menu_ = v;
    if (v) v->FreeNotification(this);
}

void TMenuItem2000::SetPopupMenu(T_LFM_PopupMenu* v) {
    if (v == popup_menu_) return;
    if (popup_menu_) popup_menu_->RemoveFreeNotification(this);
    popup_menu_ = v;
    if (v) v->FreeNotification(this);
}

void TMenuItem2000::SetControl(T_LFM_ControlType v) {
    if (v == control_) return;
    control_options_ = MakeControlOptions(v, this);
    control_ = v;
    NotifyItemChanged(lfmRepaint);
}

T_LFM_BaseOptions& TMenuItem2000::Options() {
    if (!options_) options_ = std::make_unique<T_LFM_BaseOptions>();
    return *options_;
}

void TMenuItem2000::Notification(TComponent* AComponent, TOperation Operation) {
    TMenuItem::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == attach_menu_) attach_menu_ = nullptr;
    if (AComponent == popup_menu_) popup_menu_ = nullptr;
}

void TMenuItem2000::InitiateAction() {
    TMenuItem::InitiateAction();
    for (int i = 0; i < Count(); ++i)
        if (Items(i)->Visible()) Items(i)->InitiateAction();
}

void TMenuItem2000::LoadState(TRegistry& Registry) {
    if (Name().empty() || !Registry.ValueExists(Name())) return;
    if (Registry.GetDataType(Name()) != rdString) return;
    int size = Registry.GetDataSize(Name());
    if (size < 0 || size > kMaxStateText) return;
    std::string text = Registry.ReadString(Name());
    size_t at = text.find("Hidden=");
    if (at == std::string::npos || at + 7 >= text.size()) return;
    if (text[at + 7] == '0') hidden_ = false;
    else if (text[at + 7] == '1') hidden_ = true;
}

void TMenuItem2000::SaveState(TRegistry& Registry) {
    if (Name().empty()) return;
    Registry.WriteString(Name(), hidden_ ? "Hidden=1" : "Hidden=0");
}

TMenuItem2000* NewItem2000(const std::string& Caption, TShortCut ShortCut, bool Checked, bool Enabled,
                           TNotifyEvent OnClick, int HelpContext, const std::string& Name) {
    auto* item = new TMenuItem2000(nullptr);
    item->SetCaption(Caption);
    item->SetShortCut(ShortCut);
    item->SetChecked(Checked);
    item->SetEnabled(Enabled);
    item->OnClick = std::move(OnClick);
    item->SetHelpContext(HelpContext);
    item->SetName(Name);
    return item;
}

TShortCut ShortCutOfKey(WPARAM Key, LPARAM KeyData) {
    TShortCut v = static_cast<TShortCut>(Key & 0xFF);
    if (GetKeyState(VK_SHIFT) < 0) v |= scShift;
    if (GetKeyState(VK_CONTROL) < 0) v |= scCtrl;
    if (KeyData & (1 << 29)) v |= scAlt;
    return v;
}

bool UpdateItemAction(TMenuItem* Item) {
    auto* k = dynamic_cast<TMenuItem2000*>(Item);
    if (!k || !k->Action() || k->ComponentState().contains(csDesigning)) return false;
    // The item's own action only: its subitems are drawn, and updated,
    // when their menu opens.
    k->TMenuItem::InitiateAction();
    return true;
}

bool HasSubmenu(TMenuItem* Item) {
    if (!Item) return false;
    if (Item->Count() > 0) return true;
    auto* k = dynamic_cast<TMenuItem2000*>(Item);
    return k && k->AttachMenu();
}

namespace {

TMenuItem* FindShortCutItem(TMenuItem* Parent, TShortCut Key) {
    for (int i = 0; i < Parent->Count(); ++i) {
        TMenuItem* it = Parent->Items(i);
        auto* k = dynamic_cast<TMenuItem2000*>(it);
        if (k ? k->HasShortCutValue(Key) : (it->ShortCut() != 0 && it->ShortCut() == Key)) return it;
        if (TMenuItem* sub = FindShortCutItem(it, Key)) return sub;
    }
    return nullptr;
}

}  // namespace

bool KeyMatchesShortCut(TShortCut Key, TMenuItem* Root) {
    if (!Root || (Key & 0xFF) == 0 || ShortCutToText(Key).empty()) return false;
    TMenuItem* item = FindShortCutItem(Root, Key);
    if (!item) return false;
    CloseActiveMenus(true);
    std::vector<TMenuItem*> chain;
    for (TMenuItem* p = item; p && p != Root; p = p->Parent()) chain.insert(chain.begin(), p);
    for (TMenuItem* p : chain) {
        TAliveToken alive = p->AliveToken();
        // The item's action decides first whether it may run now: actions
        // are otherwise brought up to date only when idle or when a menu
        // opens, and a key can come in between, so a command its action
        // has just disabled would still run.
        p->InitiateAction();
        if (!alive.Alive() || !p->Enabled()) break;
        p->Click();
        // The command may have freed the menu: nothing more is touched.
        if (!alive.Alive()) break;
    }
    return true;
}

}  // namespace bramble
