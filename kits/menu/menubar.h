// The kit's menu bar: a control that draws a menu's top items itself, so
// that the menu can sit on a toolbar; hot tracking, Alt/F10 menu mode,
// drop-downs through the kit's popup, and shortcuts anywhere in its form.
// And the main menu that such a bar normally shows.
#pragma once

#include <memory>
#include <vector>

#include "kits/menu/menustate.h"
#include "kits/menu/popupmenu.h"
#include "kits/menu/tooltip.h"
#include "ui/control.h"

namespace bramble {

class TCustomMainMenu2000 : public TMainMenu {
public:
    // The root is a kit item, so that it carries the kit's options too.
    explicit TCustomMainMenu2000(TComponent* AOwner) : TMainMenu(AOwner) { SetRootItem(new TMenuItem2000(this)); }
    ~TCustomMainMenu2000() override;
    // The menu of a document form inside a frame joins the frame bar's
    // main menu.
    void Loaded() override;
    // A key of the form: fires the item whose shortcut list holds it.
    bool IsShortCut(TShortCut Value) override { return KeyMatchesShortCut(Value, Items()); }

    // Merging with the menus of document forms: the active document's top
    // items replace this menu's items of the same group index, and the
    // merged list is ordered by group index.
    void AddMergedMenu(TCustomMainMenu2000* Menu);
    void RemoveMergedMenu(TCustomMainMenu2000* Menu);
    void BuildMergedItems();
    int GetMergedCount();
    // Out of range gives null.
    TMenuItem* GetMergedItem(int Index);
    TCustomMainMenu2000* MergedInto() const { return merged_into_; }
    // This menu first, then the document menus merged into it.
    const std::vector<TCustomMainMenu2000*>& MergeList() const { return merge_list_; }

private:
    void RebuildBars();
    std::vector<TCustomMainMenu2000*> merge_list_;
    std::vector<std::pair<TMenuItem*, TAliveToken>> merged_;
    TCustomMainMenu2000* merged_into_ = nullptr;
};

class TMainMenu2000 : public TCustomMainMenu2000 {
public:
    using TCustomMainMenu2000::TCustomMainMenu2000;
};

// Bar messages: 0x507 changes (posted by items), 0x512 the bar's own
// deferred work (drop a top item down, run a shortcut).
inline constexpr UINT LFM_BARWORK = 0x512;

class TCustomMenuBar2000 : public TCustomControl, public TMenuBarLink {
public:
    explicit TCustomMenuBar2000(TComponent* AOwner);
    ~TCustomMenuBar2000() override;

    TMenu* Menu() const { return menu_; }
    void SetMenu(TMenu* v);
    // The platform's menu font (the default), else the bar's Font; True
    // gives up ParentFont.
    bool SystemFont() const { return system_font_; }
    void SetSystemFont(bool v);
    // The selected item of an active menu drawn pressed (else highlighted).
    bool Ctl3D() const { return ctl3d_; }
    void SetCtl3D(bool v);
    // The parent's image shows behind the items.
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool v);
    // The top items' hints, while ShowHint; none before the bar has a window.
    T_LFM_ToolTipWindow* ToolTips() const { return tips_.get(); }
    // Brings the actions of the top items up to date.
    void InitiateAction();
    T_LFM_Options& Options() { return options_; }
    TStatusBar* StatusBar = nullptr;
    int StatusBarIndex = 0;
    TNotifyEvent OnMenuCommand;
    T_LFM_MenuCloseEvent OnMenuClose;
    std::function<void(TObject* Sender, bool& CanClose)> OnCloseQuery;
    // At least as wide as the parent's client area; off inside a toolbar
    // that sizes itself to its contents, which would otherwise grow with
    // every fit.
    bool StretchToParent = true;

    void Loaded() override;
    void UpdateItems(bool Rebuild);
    // Options reach the bar's look and layout here (and when loaded), not
    // with every change of a single colour or margin.
    void Repaint() override;
    void Update() override;
    // The menu mode: 0 none, 1 hot tracking, 2 active.
    int MenuMode() const { return mode_; }
    int SelectedIndex() const { return selected_; }
    int TopCount() const { return static_cast<int>(rects_.size()); }
    RECT TopItemRect(int I) const { return rects_[static_cast<size_t>(I)].Rect; }
    TMenuItem* TopItem(int I) const { return rects_[static_cast<size_t>(I)].Item; }
    TCustomPopupMenu2000* DropDownMenu() const { return popup_.get(); }
    // A maximised document form of the bar's frame: its system icon is the
    // bar's first item, its caption buttons sit at the bar's far end.
    TCustomForm* MaximizedChild() const;
    bool IsSystemItem(int I) const { return I >= 0 && I < TopCount() && rects_[static_cast<size_t>(I)].Item == sys_item_.get(); }
    // 1 minimise, 2 restore, 3 close.
    RECT CaptionButtonRect(int Button) const;
    int PressedButton() const { return pressed_; }

    // TMenuBarLink
    TMenu* BarMenu() const override { return menu_; }
    HWND BarHandle() override { return HandleAllocated() ? TWinControl::Handle() : nullptr; }
    bool AcceptsKeys() override;
    bool BarKeyMessage(const MSG& Msg) override;
    void ExitMenuMode() override;
    bool InMenuMode() const override { return mode_ != 0; }
    void SetAltConsumed(bool Value) override { alt_consumed_ = Value; }
    bool OwnsWindow(HWND Window) override;

protected:
    void Paint() override;
    void WndProc(TMessage& Message) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void FontChanged() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    struct TopRect {
        TMenuItem* Item;
        RECT Rect;
    };
    std::vector<TMenuItem*> TopItems() const;
    void Relayout();
    int ItemAt(int X, int Y) const;
    void Select(int Index);
    void DropDown(int Index, bool SelectFirst);
    bool TryAccelerator(char Key);
    // The menu and then each merged menu, for the item a key fires.
    std::vector<TMenu*> ShortCutMenus() const;
    bool FindShortCutItem(TShortCut Key) const;
    void RunShortCut(TShortCut Key);
    void ShowSelectedHelp();
    HFONT BarFont();
    void FreeBarFont();
    void TakeOptions();
    void PaintParentImage();
    void PaintTopItem(HDC DC, int Index, const T_LFM_Options& Work);
    int GlyphWidth(TMenuItem* Item) const;
    void BuildToolTips();
    bool FormActive();
    // The document parts (menubarmdi.cpp).
    TCustomForm* OwnerForm() const;
    int MenuButtonSize() const;
    int CaptionButtonAt(int X, int Y) const;
    bool CaptionButtonAvailable(int Button) const;
    void PaintMDIParts(HDC DC);
    // Right to left: every row ends at the bar's right edge, the document's
    // icon last in its row, its caption buttons at the left end.
    void PlaceRightToLeft(int Width);
    TMenuItem* FillSystemMenu(TCustomForm* Child);
    void ShowChildSystemMenu();
    // A document change; false when the bar's form is no frame.
    bool MDIChanged();

    TMenu* menu_ = nullptr;
    T_LFM_Options options_;
    T_LFM_Options work_;  // what the bar draws with: Options, centred, no margins
    std::unique_ptr<TCustomPopupMenu2000> popup_;
    std::vector<TopRect> rects_;
    int mode_ = 0;
    int selected_ = -1;
    int open_ = -1;         // the item whose drop-down is open
    int switch_to_ = -1;    // slide to this item once the open one closed
    bool alt_consumed_ = false;
    bool pending_layout_ = false;
    POINT last_mouse_{-100, -100};
    HFONT font_ = nullptr;  // the platform's menu font, made on first use
    bool system_font_ = true;
    bool ctl3d_ = true;
    bool transparent_ = false;
    std::unique_ptr<TBitmap> parent_image_;
    std::unique_ptr<T_LFM_ToolTipWindow> tips_;
    // Stands for the maximised document's system menu; filled from the
    // platform's menu each time it drops down.
    std::unique_ptr<TMenuItem2000> sys_item_;
    HWND active_child_ = nullptr;
    int pressed_ = 0;       // the caption button held down
    int pressed_over_ = 0;  // and whether the pointer is still on it
};

class TMenuBar2000 : public TCustomMenuBar2000 {
public:
    using TCustomMenuBar2000::TCustomMenuBar2000;
};

}  // namespace bramble
