// A windowless push button that can be a plain button, one of a group of
// which one is down, or a toggle; that repeats its click while held; that
// drops down a popup menu; and that draws a strip of up to five glyphs.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "ui/actions.h"
#include "ui/control.h"
#include "ui/graphics.h"
#include "ui/menus.h"
#include "ui/stdctrls.h"

namespace bramble {

// Sent to every control of the parent when a grouped button goes down:
// WParam its group index, LParam the button.
inline constexpr UINT CM_VQBUTTONPRESSED = 0xB051;

enum TVqButtonState : uint8_t { bsUp, bsDisabled, bsDown, bsExclusive };
enum TButtonStyle : uint8_t { bsAutoDetect, bsWin31, bsNew };
enum TVqDropDownMenuPos : uint8_t { dmpBottom, dmpRight };

// The glyph strip: images for up, disabled, down (drawn as up), exclusive
// and the inactive look, with the missing ones made from the up image.
class TVqButtonGlyph {
public:
    TVqButtonGlyph();
    TBitmap& Glyph() { return glyph_; }
    // Takes a copy of the picture; a strip whose width is a whole multiple
    // of its height gets that many images (at most 5).
    void SetGlyph(TBitmap* Value);
    int NumGlyphs() const { return num_glyphs_; }
    void SetNumGlyphs(int Value);
    TColor TransparentColor() const { return transparent_color_; }
    // Width and height of one image; 0 without a glyph.
    int ImageWidth() const;
    int ImageHeight() const { return glyph_.Height(); }
    // Draws the image for State (Inactive: the flat button's look while the
    // mouse is outside) at X, Y.
    void Draw(HDC DC, int X, int Y, TVqButtonState State, bool Inactive);

private:
    TBitmap& Image(TVqButtonState State, bool Inactive);
    void Invalidate();
    TBitmap glyph_;
    int num_glyphs_ = 1;
    TColor transparent_color_ = clFuchsia;
    // Built on first use: up, disabled, down, exclusive, inactive.
    std::unique_ptr<TBitmap> cache_[5];
};

class TVqSpeedButton : public TGraphicControl {
public:
    explicit TVqSpeedButton(TComponent* AOwner);
    ~TVqSpeedButton() override;

    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment v);
    bool AllowAllUp() const { return allow_all_up_; }
    void SetAllowAllUp(bool v);
    bool AllowTimer() const { return allow_timer_; }
    void SetAllowTimer(bool v) { allow_timer_ = v; }
    int GroupIndex() const { return group_index_; }
    void SetGroupIndex(int v);
    bool Down() const { return down_; }
    void SetDown(bool v);
    TPopupMenu* DropDownMenu() const { return drop_down_menu_; }
    void SetDropDownMenu(TPopupMenu* v);
    TVqDropDownMenuPos MenuPosition() const { return menu_position_; }
    void SetMenuPosition(TVqDropDownMenuPos v) { menu_position_ = v; }
    bool Flat() const { return flat_; }
    void SetFlat(bool v);
    TBitmap& Glyph() { return glyph_.Glyph(); }
    void SetGlyph(TBitmap* v);
    bool GrayedInactive() const { return grayed_inactive_; }
    void SetGrayedInactive(bool v);
    int InitPause() const { return init_pause_; }
    void SetInitPause(int v) { init_pause_ = v; }
    TButtonLayout Layout() const { return layout_; }
    void SetLayout(TButtonLayout v);
    int Margin() const { return margin_; }
    void SetMargin(int v);
    bool MarkDropDown() const { return mark_drop_down_; }
    void SetMarkDropDown(bool v);
    TModalResult ModalResult() const { return modal_result_; }
    void SetModalResult(TModalResult v) { modal_result_ = v; }
    int NumGlyphs() const { return glyph_.NumGlyphs(); }
    void SetNumGlyphs(int v);
    int RepeatInterval() const { return repeat_interval_; }
    void SetRepeatInterval(int v) { repeat_interval_ = v; }
    int Spacing() const { return spacing_; }
    void SetSpacing(int v);
    TButtonStyle Style() const { return style_; }
    void SetStyle(TButtonStyle v);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool v);
    bool WordWrap() const { return word_wrap_; }
    void SetWordWrap(bool v);
    // The action the button follows: its caption, hint, state, help
    // context, checked state (in a group) and image; a click runs it when
    // the button has no OnClick of its own.
    TBasicAction* Action() const { return action_link_ ? action_link_->Action() : nullptr; }
    void SetAction(TBasicAction* v);

    // Run-time state, for the edits built on the button and for tests.
    TVqButtonState State() const { return state_; }
    bool MouseInside() const { return mouse_inside_; }
    TTimer* RepeatTimer() const { return repeat_timer_; }
    // The client point the drop-down menu opens at.
    TPoint DropDownPoint();

    void Click() override;
    void WndProc(TMessage& Message) override;

    // Live buttons in the program.
    static int ButtonCount();

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    // Lays out and draws the glyph and the caption in Rect.
    virtual void PaintGlyph(TCanvas& Canvas, TRect Rect, TVqButtonState State, bool Transparent);
    // Whether the mouse counts as over the button, and the events when that
    // changes.
    void UpdateMouseInside();
    // Whether the edit that holds the button opens it on a press (its own
    // drop-down window), the base answering no.
    virtual bool ForcesDropDown() const { return false; }

private:
    void TimerExpired(TObject* Sender);
    void ButtonPressed(int Group, TVqSpeedButton* Sender);
    void DrawFrame(HDC DC, TRect& R, bool Pressed, bool Inactive);
    void DrawDropDownMark(HDC DC, int X, int Y);
    void ActionChanged(TBasicAction* A);
    void GlyphFromAction(TAction& A);

    TVqButtonGlyph glyph_;
    TAlignment alignment_ = taCenter;
    bool allow_all_up_ = false;
    bool allow_timer_ = false;
    int group_index_ = 0;
    bool down_ = false;
    TPopupMenu* drop_down_menu_ = nullptr;
    TVqDropDownMenuPos menu_position_ = dmpBottom;
    bool flat_ = false;
    bool grayed_inactive_ = true;
    int init_pause_ = 500;
    TButtonLayout layout_ = blGlyphTop;
    int margin_ = -1;
    bool mark_drop_down_ = true;
    TModalResult modal_result_ = mrNone;
    int repeat_interval_ = 100;
    int spacing_ = 1;
    TButtonStyle style_ = bsAutoDetect;
    bool transparent_ = false;
    bool word_wrap_ = false;

    TVqButtonState state_ = bsUp;
    bool dragging_ = false;
    bool menu_tracking_ = false;
    bool mouse_inside_ = false;
    bool paint_inactive_ = false;  // the grayed look, for PaintGlyph
    TTimer* repeat_timer_ = nullptr;
    std::unique_ptr<TBasicActionLink> action_link_;
};

}  // namespace bramble
