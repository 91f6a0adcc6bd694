// Menus as a model (items with captions, checks, shortcuts, images and
// children) shown through plain Win32 menus; the menu kit replaces the
// showing and keeps the model.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/component.h"
#include "ui/control.h"
#include "ui/graphics.h"

namespace bramble {

// A key and its shift keys in one word: the virtual key in the low byte.
using TShortCut = uint16_t;
inline constexpr TShortCut scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000, scNone = 0;

TShortCut ShortCut(WORD Key, TShiftState Shift);
void ShortCutToKey(TShortCut ShortCut, WORD& Key, TShiftState& Shift);
// "Ctrl+C", "Shift+Del", "F3", "Shift+Ctrl+Z": modifiers in the order
// Shift, Ctrl, Alt. Unknown keys give an empty text.
std::string ShortCutToText(TShortCut ShortCut);
// The reverse, case-insensitive; 0 when the text names no shortcut.
TShortCut TextToShortCut(const std::string& Text);
// The caption without its "&" accelerator marks ("&&" stays one "&").
std::string StripHotkey(const std::string& Text);
// The "&" accelerator character of a caption, upper-cased; 0 when none.
char GetHotkey(const std::string& Text);

inline constexpr const char* cLineCaption = "-";

class TMenu;
class TBasicAction;
class TBasicActionLink;

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* AOwner);
    ~TMenuItem() override;

    const std::string& Caption() const { return caption_; }
    virtual void SetCaption(const std::string& v);
    bool Checked() const { return checked_; }
    virtual void SetChecked(bool v);
    bool Enabled() const { return enabled_; }
    virtual void SetEnabled(bool v);
    bool Visible() const { return visible_; }
    virtual void SetVisible(bool v);
    bool Default() const { return default_; }
    void SetDefault(bool v);
    bool RadioItem() const { return radio_item_; }
    void SetRadioItem(bool v);
    bool AutoCheck() const { return auto_check_; }
    void SetAutoCheck(bool v) { auto_check_ = v; }
    uint8_t GroupIndex() const { return group_index_; }
    void SetGroupIndex(uint8_t v);
    TShortCut ShortCut() const { return shortcut_; }
    virtual void SetShortCut(TShortCut v);
    const std::string& Hint() const { return hint_; }
    virtual void SetHint(const std::string& v) { hint_ = v; }
    int ImageIndex() const { return image_index_; }
    void SetImageIndex(int v);
    int HelpContext() const { return help_context_; }
    void SetHelpContext(int v) { help_context_ = v; }
    // The item's own glyph; made on first use.
    TBitmap& Bitmap();
    bool HasBitmap() const { return bitmap_ && !bitmap_->Empty(); }
    bool IsLine() const { return caption_ == cLineCaption; }

    int Count() const { return static_cast<int>(items_.size()); }
    TMenuItem* Items(int Index) const;
    TMenuItem* operator[](int Index) const { return Items(Index); }
    TMenuItem* Parent() const { return parent_; }
    int MenuIndex() const;
    void SetMenuIndex(int v);
    int IndexOf(const TMenuItem* Item) const;
    void Add(TMenuItem* Item);
    void Insert(int Index, TMenuItem* Item);
    // Takes the item out without freeing it.
    void Delete(int Index);
    void Remove(TMenuItem* Item);
    // Frees every subitem.
    void Clear();
    TMenuItem* Find(const std::string& ACaption) const;
    // The menu whose tree holds the item.
    TMenu* GetParentMenu() const;

    // The command identifier of the item in Win32 menus.
    UINT Command() const { return command_; }
    // The submenu of an item with children, made from the model.
    HMENU Handle();

    // The action the item follows: its caption, checked and enabled state,
    // help context, hint, image, shortcut and visibility come to the item
    // whenever they change; a click runs the action unless the item has an
    // OnClick of its own. Unlinking leaves the item as it is.
    TBasicAction* Action() const;
    virtual void SetAction(TBasicAction* v);

    virtual void Click();
    // Lets the action update itself (its OnUpdate), and so the item.
    virtual void InitiateAction();

    TNotifyEvent OnClick;

protected:
    // The action's properties given to the item; CheckDefaults (an action
    // linked while it loads) gives only those the item has not set.
    virtual void ActionChange(TBasicAction* Sender, bool CheckDefaults);
    // Tells the menu that shows the item; Rebuild when the structure changed.
    void MenuChanged(bool Rebuild);
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TMenu;
    void UncheckSiblings();
    std::string caption_;
    bool checked_ = false, enabled_ = true, visible_ = true, default_ = false, radio_item_ = false,
         auto_check_ = false;
    uint8_t group_index_ = 0;
    TShortCut shortcut_ = 0;
    std::string hint_;
    int image_index_ = -1;
    int help_context_ = 0;
    std::unique_ptr<TBitmap> bitmap_;
    std::unique_ptr<TBasicActionLink> action_link_;
    bool linking_ = false;
    std::vector<TMenuItem*> items_;
    TMenuItem* parent_ = nullptr;
    TMenu* menu_ = nullptr;  // set on the root item only
    UINT command_ = 0;
    HMENU handle_ = nullptr;
};

enum TFindItemKind : uint8_t { fkCommand, fkHandle, fkShortCut };

class TMenu : public TComponent {
public:
    explicit TMenu(TComponent* AOwner);
    ~TMenu() override;

    TMenuItem* Items() const { return items_; }
    TCustomImageList* Images() const { return images_; }
    void SetImages(TCustomImageList* v);

    TMenuItem* FindItem(UINT_PTR Value, TFindItemKind Kind) const;
    // Clicks the enabled, visible item with this shortcut; false when none.
    virtual bool IsShortCut(TShortCut Value);
    bool DispatchCommand(UINT Command);
    // The Win32 menu built from the model; changes of the items reach it
    // in place.
    virtual HMENU Handle();

    using TMenuChangeEvent = std::function<void(TObject* Sender, TMenuItem* Source, bool Rebuild)>;
    TMenuChangeEvent OnChange;

protected:
    friend class TMenuItem;
    virtual void MenuChanged(TMenuItem* Source, bool Rebuild);
    void Notification(TComponent* AComponent, TOperation Operation) override;
    // Fills a Win32 menu with the visible subitems of Parent.
    static void BuildMenu(HMENU Menu, TMenuItem* Parent);
    // Puts the visible subitems of Parent into Menu again, keeping Menu
    // itself and the submenus of the items still there.
    static void RefillMenu(HMENU Menu, TMenuItem* Parent);
    // Brings the built menu in line with a change of Source, in place: the
    // menu may be open on the screen while its items change.
    void ApplyChange(TMenuItem* Source, bool Rebuild);
    // Type, text, state and submenu of one shown item.
    void UpdateMenuItem(TMenuItem* Item);
    void DestroyMenuHandle();
    // A kit's menu puts its own kind of root item in place, before any
    // item is added; the menu owns it.
    void SetRootItem(TMenuItem* Item);
    HMENU handle_ = nullptr;

private:
    TMenuItem* items_;
    TCustomImageList* images_ = nullptr;
    TChangeLink image_link_;
};

class TMainMenu : public TMenu {
public:
    explicit TMainMenu(TComponent* AOwner) : TMenu(AOwner) {}
    ~TMainMenu() override;
    HMENU Handle() override;
    // The window that shows the menu bar (set by the form).
    void SetWindowHandle(HWND v) { window_ = v; }

protected:
    void MenuChanged(TMenuItem* Source, bool Rebuild) override;

private:
    HWND window_ = nullptr;
};

enum TPopupAlignment : uint8_t { paLeft, paRight, paCenter };
enum TTrackButton : uint8_t { tbRightButton, tbLeftButton };

class TPopupMenu : public TMenu {
public:
    explicit TPopupMenu(TComponent* AOwner) : TMenu(AOwner) {}
    // Shows the menu at a screen point and runs the chosen item; the menu
    // kit replaces it with its own windows.
    virtual void Popup(int X, int Y);
    HMENU Handle() override;
    TComponent* PopupComponent() const { return popup_component_; }
    void SetPopupComponent(TComponent* v);
    TPopupAlignment Alignment() const { return alignment_; }
    void SetAlignment(TPopupAlignment v) { alignment_ = v; }
    bool AutoPopup() const { return auto_popup_; }
    void SetAutoPopup(bool v) { auto_popup_ = v; }
    TTrackButton TrackButton() const { return track_button_; }
    void SetTrackButton(TTrackButton v) { track_button_ = v; }

    TNotifyEvent OnPopup;
    TNotifyEvent OnClose;

protected:
    virtual void DoPopup(TObject* Sender);
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TComponent* popup_component_ = nullptr;
    TPopupAlignment alignment_ = paLeft;
    bool auto_popup_ = true;
    TTrackButton track_button_ = tbRightButton;
};

// The menu item with this command identifier, from any menu; null when none.
TMenuItem* FindMenuItemByCommand(UINT Command);

}  // namespace bramble
