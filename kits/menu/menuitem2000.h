// The kit's menu item: several shortcuts in one text, a hidden state the
// user changes and that is kept, an attached popup as submenu, per-submenu
// options, a standard glyph, and the fallback to the standard commands.
#pragma once

#include <memory>
#include <string>

#include "kits/menu/menuoptions.h"
#include "ui/menus.h"
#include "ui/registry.h"

namespace bramble {

enum T_LFM_ControlType : uint8_t { ctlNone, ctlButton, ctlButtonArray, ctlEditbox, ctlBitmap };

class T_LFM_ControlOptions;
class T_LFM_ButtonOptions;
class T_LFM_ButtonArrayOptions;
class T_LFM_EditboxOptions;

// The common base of the kit's popup menus.
class T_LFM_PopupMenu : public TPopupMenu {
public:
    // The root is a kit item, so that it carries the kit's options too.
    explicit T_LFM_PopupMenu(TComponent* AOwner);
};

// Notices to the menu bar that shows an item (posted, wParam as below).
inline constexpr UINT LFM_MENUCHANGED = 0x507;
inline constexpr WPARAM lfmRepaint = 0, lfmMDIChanged = 2, lfmRebuild = 3;

class TMenuItem2000 : public TMenuItem {
public:
    explicit TMenuItem2000(TComponent* AOwner);
    ~TMenuItem2000() override;

    // Captions, states and glyphs tell the bar only when they change.
    void SetCaption(const std::string& v) override;
    void SetChecked(bool v) override;
    void SetEnabled(bool v) override;
    void SetVisible(bool v) override;
    void SetHint(const std::string& v) override;
    // A class-library shortcut value: kept as the list's text.
    void SetShortCut(TShortCut v) override;
    // The action's values reach the bar like the item's own.
    void SetAction(TBasicAction* v) override;

    // The ";"-list: the single shortcut an action gave, else the list, else
    // the standard command's; empty when set to none on purpose.
    std::string ShortCutList() const;
    // Raises Exception "Invalid shortcut: '...'" for a bad piece and keeps
    // the old list.
    void SetShortCutList(const std::string& Text);
    // What is stored (the "\x01" mark for none on purpose).
    const std::string& StoredShortCutList() const { return shortcuts_; }
    std::string FirstShortCutText() const;
    bool HasShortCutValue(TShortCut Value) const;
    // The hint shown: the item's own, else the standard command's.
    std::string KitHint() const;

    bool Hidden() const { return hidden_; }
    void SetHidden(bool v) { hidden_ = v; }
    int DefaultIndex() const { return default_index_; }
    void SetDefaultIndex(int v);
    int NumGlyphs() const { return num_glyphs_; }
    void SetNumGlyphs(int v) { num_glyphs_ = v < 1 ? 1 : v; }
    T_LFM_PopupMenu* AttachMenu() const { return attach_menu_; }
    void SetAttachMenu(T_LFM_PopupMenu* v);
    T_LFM_PopupMenu* PopupMenu() const { return popup_menu_; }
    void SetPopupMenu(T_LFM_PopupMenu* v);
    T_LFM_ControlType Control() const { return control_; }
    void SetControl(T_LFM_ControlType v);
    // The control's options: the kind's own object, replaced when the
    // kind changes.
    T_LFM_ControlOptions& ControlOptions() const { return *control_options_; }
    // Typed access; EMenuError "<Name>: This is not a ..." for another kind.
    T_LFM_ButtonOptions& Button() const;
    T_LFM_ButtonArrayOptions& ButtonArray() const;
    T_LFM_EditboxOptions& Editbox() const;
    // The kit subitem at Index; EMenuError "Menu not found" when there is none.
    TMenuItem2000& SubItem(int Index) const;
    // Takes a copy of the picture and tells the bar.
    void SetBitmap(const TBitmap& Value);
    // Radio exclusivity among the parent's items of the same group (0 is
    // no group): checks, buttons and button arrays are reset by kind.
    void UncheckGroupSiblings();

    // The options of the submenu this item opens. One object for the
    // item's life: callers may keep the reference.
    T_LFM_BaseOptions& Options();
    bool HasOwnOptions() const { return options_ && !options_->IsDefault(); }

    // Reads or writes "Hidden=0"/"Hidden=1" under the item's Name.
    void LoadState(TRegistry& Registry);
    void SaveState(TRegistry& Registry);

    void InitiateAction() override;
    // Tells the bar showing the item (top items only), unless loading or
    // being destroyed (with its parent or menu).
    void NotifyItemChanged(WPARAM BarNotice);

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    std::string shortcuts_;
    bool hidden_ = false;
    int default_index_ = -1, num_glyphs_ = 1;
    T_LFM_PopupMenu* attach_menu_ = nullptr;
    T_LFM_PopupMenu* popup_menu_ = nullptr;
    T_LFM_ControlType control_ = ctlNone;
    std::unique_ptr<T_LFM_ControlOptions> control_options_;
    std::unique_ptr<T_LFM_BaseOptions> options_;
};

TMenuItem2000* NewItem2000(const std::string& Caption, TShortCut ShortCut, bool Checked, bool Enabled,
                           TNotifyEvent OnClick, int HelpContext, const std::string& Name);

// The shortcut of a key press (virtual key and key data of WM_KEYDOWN);
// the shift keys are read from the keyboard state.
TShortCut ShortCutOfKey(WPARAM Key, LPARAM KeyData);

// Finds the item of Root's tree that the key fires, depth first; closes
// open menus, brings the items on the way up to date and clicks each
// enabled one, stopping at a disabled one. True when an item matched.
bool KeyMatchesShortCut(TShortCut Key, TMenuItem* Root);

// Lets a kit item's own action update the item before it is drawn (not
// at design time); true when the item has an action.
bool UpdateItemAction(TMenuItem* Item);

// Whether the item has subitems or an attached menu.
bool HasSubmenu(TMenuItem* Item);

}  // namespace bramble
