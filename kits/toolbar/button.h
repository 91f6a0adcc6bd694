// The flat button of toolbars: a raised border while the mouse is over it
// (one button at a time), down states in groups, repeating clicks while
// held, a drop-down menu (the whole button or a separate arrow part), and a
// glyph strip, a caption, or both.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "kits/toolbar/glyph.h"
#include "kits/toolbar/hooks.h"
#include "ui/actions.h"
#include "ui/control.h"
#include "ui/forms.h"
#include "ui/graphics.h"
#include "ui/menus.h"
#include "ui/stdctrls.h"

namespace bramble {

enum TButtonDisplayMode : uint8_t { dmBoth, dmGlyphOnly, dmTextOnly };
using TButtonDropdownEvent = std::function<void(TObject* Sender, bool& ShowMenu, bool& RemoveClicks)>;

class TToolbarButton97 : public TGraphicControl {
public:
    explicit TToolbarButton97(TComponent* AOwner);
    ~TToolbarButton97() override;

    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment v) { alignment_ = v; Redraw(true); }
    bool AllowAllUp() const { return allow_all_up_; }
    void SetAllowAllUp(bool v);
    bool Cancel() const { return cancel_; }
    void SetCancel(bool v) { cancel_ = v; }
    bool Default() const { return default_; }
    void SetDefault(bool v) { default_ = v; }
    TButtonDisplayMode DisplayMode() const { return display_mode_; }
    void SetDisplayMode(TButtonDisplayMode v) { display_mode_ = v; Redraw(true); }
    bool Down() const { return down_; }
    void SetDown(bool v);
    bool DropdownAlways() const { return dropdown_always_; }
    void SetDropdownAlways(bool v) { dropdown_always_ = v; Redraw(true); }
    bool DropdownArrow() const { return dropdown_arrow_; }
    void SetDropdownArrow(bool v) { dropdown_arrow_ = v; Redraw(true); }
    int DropdownArrowWidth() const { return dropdown_arrow_width_; }
    void SetDropdownArrowWidth(int v);
    bool DropdownCombo() const { return dropdown_combo_; }
    void SetDropdownCombo(bool v);
    TPopupMenu* DropdownMenu() const { return dropdown_menu_; }
    void SetDropdownMenu(TPopupMenu* v);
    bool Flat() const { return flat_; }
    void SetFlat(bool v);
    TBitmap& Glyph() { return glyph_.Glyph(); }
    void SetGlyph(TBitmap* v) { glyph_.SetGlyph(v); }
    // Monochrome, at least as large as Glyph: white pixels are left out.
    TBitmap& GlyphMask() { return glyph_.GlyphMask(); }
    void SetGlyphMask(TBitmap* v) { glyph_.SetGlyphMask(v); }
    // An image of Images (by ImageIndex) is shown in place of Glyph.
    TCustomImageList* Images() const { return glyph_.Images(); }
    void SetImages(TCustomImageList* v) { glyph_.SetImages(v); }
    bool OldDisabledStyle() const { return glyph_.OldDisabledStyle(); }
    void SetOldDisabledStyle(bool v) { glyph_.SetOldDisabledStyle(v); }
    int GroupIndex() const { return group_index_; }
    void SetGroupIndex(int v);
    bool HighlightWhenDown() const { return highlight_when_down_; }
    void SetHighlightWhenDown(bool v) { highlight_when_down_ = v; if (down_) Redraw(true); }
    TButtonLayout Layout() const { return layout_; }
    void SetLayout(TButtonLayout v) { layout_ = v; Redraw(true); }
    int Margin() const { return margin_; }
    void SetMargin(int v) { if (v >= -1) { margin_ = v; Redraw(true); } }
    TModalResult ModalResult() const { return modal_result_; }
    void SetModalResult(TModalResult v) { modal_result_ = v; }
    bool NoBorder() const { return no_border_; }
    void SetNoBorder(bool v) { no_border_ = v; Redraw(true); }
    int NumGlyphs() const { return glyph_.NumGlyphs(); }
    void SetNumGlyphs(int v) { glyph_.SetNumGlyphs(v); }
    bool Opaque() const { return opaque_; }
    void SetOpaque(bool v);
    bool Repeating() const { return repeating_; }
    void SetRepeating(bool v) { repeating_ = v; }
    int RepeatDelay() const { return repeat_delay_; }
    void SetRepeatDelay(int v) { repeat_delay_ = v; }
    int RepeatInterval() const { return repeat_interval_; }
    void SetRepeatInterval(int v) { repeat_interval_ = v; }
    bool ShowBorderWhenInactive() const { return show_border_when_inactive_; }
    void SetShowBorderWhenInactive(bool v) { show_border_when_inactive_ = v; }
    int Spacing() const { return spacing_; }
    void SetSpacing(int v) { spacing_ = v; Redraw(true); }
    bool WordWrap() const { return word_wrap_; }
    void SetWordWrap(bool v) { word_wrap_ = v; Redraw(true); }
    std::string Version() const;
    // The linked action: its caption, hint, enabled and visible states,
    // help context, image index and (in a group) checked state show on the
    // button; a click without an OnClick handler runs it.
    TBasicAction* Action() const { return action_link_ ? action_link_->Action() : nullptr; }
    void SetAction(TBasicAction* v);
    int ImageIndex() const { return glyph_.ImageIndex(); }
    void SetImageIndex(int v) { glyph_.SetImageIndex(v); }

    TButtonState97 State() const { return state_; }
    bool MouseInControl() const { return mouse_in_; }
    // The button showing the hot border now, if any.
    static TToolbarButton97* HotButton();
    static int ButtonCount();

    TButtonDropdownEvent OnDropdown;
    TNotifyEvent OnMouseExit;

    void Click() override;
    // A new size or visibility re-fits the toolbar the button is on.
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void WndProc(TMessage& Message) override;

protected:
    void Loaded() override;
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void ActionChanged(TBasicAction* A);
    void FireClick();
    bool UsesDropdown() const { return dropdown_always_ || dropdown_menu_ != nullptr; }
    void Redraw(bool Erase);
    void UpdateOpaqueness();
    void MouseEntered();
    void MouseLeft();
    void UpdateTracking();
    void GroupUpdate();
    bool CursorOnButton(int X, int Y) const;
    void StartRepeat(int Delay);
    void StopRepeat();
    void RepeatTick();
    void PurgeClicks();
    void DrawContent(HDC DC);
    static void HookProc(THookCode Code, HWND Wnd, WPARAM W, LPARAM L);
    static void CALLBACK TrackTimer(HWND, UINT, UINT_PTR, DWORD);
    static void CALLBACK RepeatTimer(HWND, UINT, UINT_PTR, DWORD);

    TAlignment alignment_ = taCenter;
    bool allow_all_up_ = false, cancel_ = false, default_ = false;
    TButtonDisplayMode display_mode_ = dmBoth;
    bool down_ = false;
    bool dropdown_always_ = false, dropdown_arrow_ = true, dropdown_combo_ = false;
    int dropdown_arrow_width_ = 9;
    TPopupMenu* dropdown_menu_ = nullptr;
    bool flat_ = true;
    TButtonGlyph glyph_{this, [this] { Redraw(true); }};
    int group_index_ = 0;
    bool highlight_when_down_ = true;
    TButtonLayout layout_ = blGlyphLeft;
    int margin_ = -1;
    TModalResult modal_result_ = mrNone;
    bool no_border_ = false;
    bool opaque_ = true;
    bool repeating_ = false;
    int repeat_delay_ = 400, repeat_interval_ = 100;
    bool show_border_when_inactive_ = false;
    int spacing_ = 4;
    bool word_wrap_ = false;

    TButtonState97 state_ = tbsUp;
    bool mouse_in_ = false, mouse_down_ = false, menu_down_ = false, in_click_ = false;
    UINT_PTR repeat_timer_ = 0;
    std::unique_ptr<TBasicActionLink> action_link_;
    // The action's Checked, HelpContext and ImageIndex when last taken: the
    // button follows each only while it still shows the action's value.
    struct Linked {
        bool known = false;
        bool checked = false;
        int help = 0, image = -1;
    } linked_;
};

}  // namespace bramble
