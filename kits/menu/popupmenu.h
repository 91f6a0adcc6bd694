// The kit's popup menu and its windows: one window per open level, painted
// by the kit, placed against the work area of the point's monitor, with
// hover-opened submenus, keyboard navigation and hidden items shown on
// demand.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kits/menu/geometry.h"
#include "kits/menu/itemdraw.h"
#include "kits/menu/menuitem2000.h"
#include "kits/menu/menuoptions.h"
#include "ui/comctrls.h"

namespace bramble {

class TCustomPopupMenu2000;
class TMenuBarLink;
class T_LFM_ToolTipWindow;

// Fired once when an open chain closes; Cancelled when no command was
// chosen.
using T_LFM_MenuCloseEvent = std::function<void(TObject* Sender, bool Cancelled)>;

// Kit messages of the popup windows.
inline constexpr UINT LFM_CLOSING = 0x501, LFM_ANIMATE = 0x502, LFM_CLOSE = 0x505, LFM_STOPTIMER = 0x506,
                      LFM_PREPARE = 0x513;

// Selection values besides item indexes.
inline constexpr int kNoItem = -1, kDragHandle = -2, kExpandButton = -3;
// Height of the strip that holds the expand button at the foot of the window.
inline constexpr int kExpandStrip = 19;

class TPopupMenu2000Form {
public:
    TPopupMenu2000Form(TCustomPopupMenu2000* Popup, TPopupMenu2000Form* ParentForm);
    ~TPopupMenu2000Form();
    TPopupMenu2000Form(const TPopupMenu2000Form&) = delete;
    TPopupMenu2000Form& operator=(const TPopupMenu2000Form&) = delete;

    HWND Handle() const { return wnd_; }
    bool IsOpen() const;
    TPopupMenu2000Form* ChildForm() const { return child_.get(); }
    TPopupMenu2000Form* ParentForm() const { return parent_; }
    TMenuItem* Items() const { return items_; }
    // Native: a platform menu whose entries past the kit items show too.
    void SetItems(TMenuItem* v, HMENU Native = nullptr) {
        items_ = v;
        native_ = Native;
    }
    HMENU NativeMenu() const { return native_; }

    // Lays out, places at the screen point and shows; false when showing
    // was cancelled meanwhile.
    bool PlaceAndShow(int X, int Y);
    // Hides this window (its open submenu first).
    void CloseWindow();
    void MarkClosing();

    int Selected() const { return selected_; }
    // Steps from Index in the direction Step (+1, -1) to a selectable item.
    void SelectItem(int Index, int Step = 1);
    void SetInitialSelection(bool First);
    bool Expanded() const { return expanded_; }
    void Expand();
    // A key message routed by the hook; true when the window used it.
    bool KeyMessage(const MSG& Msg);
    // Chooses the selected item, as a release of the mouse does.
    void ChooseSelected();
    bool OpenSubmenu(bool SelectFirst);
    bool Floating() const { return floating_; }
    // Turns the menu into a floating tool window (the drag handle's press).
    void TearOff();
    void CloseChild();

    // What the window shows, for tests and the bar.
    int ShownCount() const { return static_cast<int>(shown_.size()); }
    TMenuItem* ShownItem(int I) const { return shown_[static_cast<size_t>(I)]; }
    // The position of a shown platform entry in NativeMenu(); -1 for an item
    // (ShownItem is then none).
    int ShownNativePos(int I) const { return native_pos_[static_cast<size_t>(I)]; }
    RECT ItemRect(int I) const;
    bool HasExpandButton() const { return layout_.HasExpandButton; }
    bool OpensLeft() const { return opens_left_; }
    bool OpensUp() const { return opens_up_; }
    int ItemAtPos(int X, int Y) const;
    // The whole window painted into a bitmap-backed context.
    void PaintTo(HDC DC);

    // Anchor for opening upward when it is not the point itself (a bar at
    // the bottom of its form).
    int UpAnchor = -1;

    // The item whose edit box is being edited, or none.
    TMenuItem2000* EditingItem() const;
    // The window's tooltips while shown with hints, else none.
    T_LFM_ToolTipWindow* ToolTips() const { return tips_.get(); }

private:
    friend class TCustomPopupMenu2000;
    static LRESULT CALLBACK WndProc(HWND Wnd, UINT Msg, WPARAM W, LPARAM L);
    LRESULT Handle(UINT Msg, WPARAM W, LPARAM L);
    void Prepare();
    void Layout();
    int MenuWidth() const;
    int MenuHeight() const;
    bool IsSelectable(int I) const;
    bool RowEnabled(int I) const;
    bool RowHasSubmenu(int I) const;
    // Whether row I is the one that opened Child.
    bool RowOpened(int I, const TPopupMenu2000Form& Child) const;
    // A platform entry chosen: its command goes to the owner form.
    void ChooseNative(const NativeMenuEntry& Entry);
    // The rows whose selection changed, or everything when the picture is
    // not current.
    void Repaint();
    // Paints into DC, all of it or only the rows whose selection changed
    // since the last painting; the part painted.
    RECT PaintMenu(HDC DC, bool Full);
    // WM_PAINT: the whole menu into the work bitmap, then onto the window.
    void PaintWindow(HDC DC);
    void OnMouseMove(int X, int Y);
    void OnRelease(int X, int Y, bool Right);
    void AnimateStep(DWORD Tick, int Delay);
    void FinishShowing();
    void OnSubmenuTimer();
    void EnsureVisible(int I);
    void ShowHint();
    // Item controls (their own file): a chosen edit box starts editing
    // instead of closing; buttons and button arrays take the click.
    bool StartEditing(TMenuItem2000* Item, int X);
    void ControlChosen(TMenuItem2000* Item);
    // Every end of the window ends an edit unaccepted.
    void EndEditing(bool Accept);
    // A right click on an item with a menu of its own opens that menu.
    void ShowItemPopup(TMenuItem2000* Item);
    // No cell stays hot once the window is gone.
    void ControlsClosed();
    // The I-beam over the selected edit item's field; true when set.
    bool ControlCursor();
    bool EditKeyMessage(const MSG& Msg);
    void ControlMouseMove(int X, int Y);
    bool PaintControl(const ItemDrawContext& C, const ItemDrawState& S, TMenuItem* Item);
    void BuildToolTips();
    // Blends the top window back into the screen under it (popupfade.cpp).
    void FadeOut();
    // The menu's picture, with the screen under it when asked, as 32-bit
    // rows, and their differences for the blend.
    void TakeFadePictures(bool WithScreen);
    // One of the twenty blends between the screen (0) and the menu (20).
    void DrawFadeStep(HDC DC, int Step);

    TCustomPopupMenu2000* popup_;
    TPopupMenu2000Form* parent_;
    std::unique_ptr<TPopupMenu2000Form> child_;
    HWND wnd_ = nullptr;
    TMenuItem* items_ = nullptr;
    T_LFM_Options options_;
    HFONT font_ = nullptr;
    bool own_font_ = false;
    int item_height_ = 19;
    std::vector<TMenuItem*> shown_;
    HMENU native_ = nullptr;
    std::vector<int> native_pos_;  // per shown row: its platform position, or -1
    menukit::RowLayout layout_;
    int widest_caption_ = 0, widest_shortcut_ = 0, total_width_ = 0, left_offset_ = 0;
    int selected_ = kNoItem, previous_ = kNoItem;
    bool by_keyboard_ = false;
    bool expanded_ = false, opens_left_ = false, opens_up_ = false, showing_ = false, closing_ = false;
    bool frame_ = true, clipped_ = false, floating_ = false;
    int scroll_ = 0;  // rows scrolled away at the top of a cut window
    // Final and current rectangles while animating.
    int final_x_ = 0, final_y_ = 0, full_w_ = 0, full_h_ = 0, cur_w_ = 0, cur_h_ = 0, step_x_ = 0, step_y_ = 0;
    T_LFM_Animation animation_ = anVSlide;
    int fade_step_ = 0;
    std::vector<uint8_t> fade_screen_, fade_image_;
    std::vector<int16_t> fade_diff_;
    POINT last_mouse_{-1, -1};
    bool submenu_timer_ = false;
    bool left_down_ = false;
    bool swallow_release_ = false;  // the pressed button's release ends no choice
    // Where the pointer rested when the window grew: what lies there now
    // was never aimed at, so clicks choose nothing until the pointer moves.
    POINT grown_under_{0, 0};
    bool pointer_stale_ = false;
    int hinted_ = kNoItem - 10;
    TMenuItem2000* editing_ = nullptr;
    TAliveToken editing_alive_;
    int edit_caption_ = 0;      // widest caption of the edit-box items
    int release_x_ = 0x7FFF;    // where the choosing click was (far right: by key)
    std::unique_ptr<T_LFM_ToolTipWindow> tips_;
    // The menu as the window shows it, and the background alone, from
    // which single rows are restored.
    std::unique_ptr<TBitmap> work_, back_;
    bool full_redraw_ = true;
    int painted_selected_ = kNoItem, painted_scroll_ = 0;
};

class TCustomPopupMenu2000 : public T_LFM_PopupMenu {
public:
    explicit TCustomPopupMenu2000(TComponent* AOwner);
    ~TCustomPopupMenu2000() override;

    // Shows the menu and returns after it closed; the chosen item's click
    // runs last, after every window is hidden.
    void Popup(int X, int Y) override;
    // Shows without waiting; true when it could not be shown.
    // ForItem: shown as that item's own menu, its OnPopup told the item.
    bool TrackPopup(int X, int Y, TMenuItem* ForItem = nullptr);
    bool IsFormOpen() const;
    // The next showing starts with the hidden items hidden again.
    void ResetExpansion();
    TPopupMenu2000Form* Window() const { return window_.get(); }
    TPopupMenu2000Form* GetDeepestForm() const;
    void Loaded() override;
    // The kit's items carry their shortcuts in their own list.
    bool IsShortCut(TShortCut Value) override;
    // Menus torn off as tool windows; they close with the menu.
    int FloatingCount() const { return static_cast<int>(floating_.size()); }
    TPopupMenu2000Form* FloatingWindow(int I) const { return floating_[static_cast<size_t>(I)].get(); }

    T_LFM_Options& Options() { return options_; }
    TStatusBar* StatusBar() const { return status_bar_; }
    void SetStatusBar(TStatusBar* v);
    int StatusBarIndex = 0;
    // The window's font: the owner control's (ParentFont), the platform's
    // menu font (SystemFont), else Font. The two switches exclude each other.
    TFont& Font() { return font_; }
    void SetFont(const TFont& v) { font_.Assign(v); }
    bool ParentFont() const { return parent_font_; }
    void SetParentFont(bool v);
    bool SystemFont() const { return system_font_; }
    void SetSystemFont(bool v);
    // Font is worth keeping only when neither switch replaces it.
    bool FontStored() const { return !parent_font_ && !system_font_; }
    // Tooltips over the items' hints (only without a status bar). A value
    // of its own gives up ParentShowHint; taking the parent's again reads
    // the owner control's.
    bool ShowHint() const { return show_hint_; }
    void SetShowHint(bool v);
    bool ParentShowHint() const { return parent_show_hint_; }
    void SetParentShowHint(bool v);
    bool Ctl3D = true;

    // The item whose subitems to show instead of the menu's own (a bar's
    // top item, an attached menu's opener).
    void SetAttachedItem(TMenuItem* v) { attached_ = v; }
    // A platform menu (CreatePopupMenu, GetSystemMenu) whose entries show
    // after the items; its choices post WM_COMMAND to the owner form.
    void SetNativeMenu(HMENU v) { native_ = v; }
    HMENU NativeMenu() const { return native_; }
    // The form a platform entry's command goes to: the opener's, else the
    // menu's owner's.
    TCustomForm* OwnerForm() const;
    TMenuBarLink* Bar = nullptr;
    // Selects the first item when shown (opened from the keyboard).
    bool SelectFirstOnShow = false;
    // Where the window's bottom goes when it opens upward; -1: the point.
    int UpAnchor = -1;

    TNotifyEvent OnMenuCommand;
    T_LFM_MenuCloseEvent OnMenuClose;
    std::function<void(TObject* Sender, bool& CanClose)> OnCloseQuery;

    // Used by the windows: the item chosen, clicked once all is closed.
    void SetChosen(TMenuItem* Item);
    bool CloseQuery();
    // Runs the chosen item's command; nothing is touched afterwards.
    void RunChosen();

protected:
    // The items to show and the platform menu beside them.
    virtual TMenuItem* GetMenuSource(HMENU& Native);
    virtual void AddEmptyItem();
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TPopupMenu2000Form;
    void AddEmptyTo(TMenuItem* Parent);
    void RemoveEmptyItems();
    T_LFM_Options options_;
    TFont font_;
    bool parent_font_ = false, system_font_ = true, show_hint_ = false, parent_show_hint_ = false;
    TStatusBar* status_bar_ = nullptr;
    TMenuItem* attached_ = nullptr;
    HMENU native_ = nullptr;
    bool chose_native_ = false;
    std::unique_ptr<TPopupMenu2000Form> window_;
    std::vector<TMenuItem2000*> empty_items_;
    std::vector<std::unique_ptr<TPopupMenu2000Form>> floating_;
    TMenuItem* chosen_ = nullptr;
    TAliveToken chosen_alive_;
};

class TPopupMenu2000 : public TCustomPopupMenu2000 {
public:
    using TCustomPopupMenu2000::TCustomPopupMenu2000;
};

}  // namespace bramble
