// Standard controls: label, buttons, check and radio boxes, group boxes,
// panel, edit, memo, combo box, paint box, image and timer.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/control.h"
#include "ui/forms.h"

namespace bramble {

enum TTextLayout : uint8_t { tlTop, tlCenter, tlBottom };

class TLabel : public TGraphicControl {
public:
    explicit TLabel(TComponent* AOwner);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment v);
    bool AutoSize() const { return auto_size_; }
    void SetAutoSize(bool v);
    bool WordWrap() const { return word_wrap_; }
    void SetWordWrap(bool v);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool v);
    TTextLayout Layout() const { return layout_; }
    void SetLayout(TTextLayout v);
    bool ShowAccelChar() const { return show_accel_; }
    void SetShowAccelChar(bool v);
    // The control that an "&" accelerator of the caption focuses.
    TWinControl* FocusControl() const { return focus_control_; }
    void SetFocusControl(TWinControl* v);
    void WndProc(TMessage& Message) override;

protected:
    void Paint() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void AdjustBounds();
    void Loaded() override;
    UINT DrawFlags() const;

private:
    TAlignment alignment_ = taLeftJustify;
    bool auto_size_ = true, word_wrap_ = false, transparent_ = false, show_accel_ = true;
    TTextLayout layout_ = tlTop;
    TWinControl* focus_control_ = nullptr;
};

// Buttons share the modal result and the accelerator.
class TButton : public TWinControl {
public:
    explicit TButton(TComponent* AOwner);
    bool Default() const { return default_; }
    void SetDefault(bool v);
    bool Cancel() const { return cancel_; }
    void SetCancel(bool v) { cancel_ = v; }
    TModalResult ModalResult() const { return modal_result_; }
    void SetModalResult(TModalResult v) { modal_result_ = v; }
    // Sets the form's ModalResult, then OnClick.
    void Click() override;
    void WndProc(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;

private:
    bool default_ = false, cancel_ = false;
    TModalResult modal_result_ = mrNone;
};

enum TButtonLayout : uint8_t { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

// A push button with a glyph (its transparent colour is the bottom-left pixel).
class TBitBtn : public TButton {
public:
    explicit TBitBtn(TComponent* AOwner);
    TBitmap& Glyph() { return glyph_; }
    int NumGlyphs() const { return num_glyphs_; }
    void SetNumGlyphs(int v);
    TButtonLayout Layout() const { return layout_; }
    void SetLayout(TButtonLayout v);
    int Margin() const { return margin_; }
    void SetMargin(int v);
    int Spacing() const { return spacing_; }
    void SetSpacing(int v);
    void WndProc(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    virtual void DrawItem(const DRAWITEMSTRUCT& D);

private:
    TBitmap glyph_;
    int num_glyphs_ = 1;
    TButtonLayout layout_ = blGlyphLeft;
    int margin_ = -1, spacing_ = 4;
    TCanvas canvas_;
};

enum TCheckBoxState : uint8_t { cbUnchecked, cbChecked, cbGrayed };

class TCheckBox : public TWinControl {
public:
    explicit TCheckBox(TComponent* AOwner);
    bool Checked() const { return state_ == cbChecked; }
    void SetChecked(bool v) { SetState(v ? cbChecked : cbUnchecked); }
    TCheckBoxState State() const { return state_; }
    // Like a click by the user, a change fires OnClick.
    void SetState(TCheckBoxState v);
    bool AllowGrayed() const { return allow_grayed_; }
    void SetAllowGrayed(bool v) { allow_grayed_ = v; }
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment v);
    void WndProc(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    virtual void Toggle();

private:
    TCheckBoxState state_ = cbUnchecked;
    bool allow_grayed_ = false;
    TAlignment alignment_ = taRightJustify;
};

class TRadioButton : public TWinControl {
public:
    explicit TRadioButton(TComponent* AOwner);
    bool Checked() const { return checked_; }
    // Checking turns the sibling radio buttons off and fires OnClick.
    void SetChecked(bool v);
    void WndProc(TMessage& Message) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;

private:
    bool checked_ = false;
};

class TGroupBox : public TCustomControl {
public:
    explicit TGroupBox(TComponent* AOwner);
    void WndProc(TMessage& Message) override;

protected:
    void Paint() override;
    void AdjustClientRect(TRect& Rect) override;
};

class TRadioGroup : public TGroupBox {
public:
    explicit TRadioGroup(TComponent* AOwner);
    ~TRadioGroup() override;
    TStringList& Items() { return items_; }
    int ItemIndex() const { return item_index_; }
    void SetItemIndex(int v);
    int Columns() const { return columns_; }
    void SetColumns(int v);
    TRadioButton* Buttons(int Index) const { return buttons_.at(static_cast<size_t>(Index)); }

protected:
    void Resize() override;
    void Loaded() override;

private:
    void UpdateButtons();
    void ArrangeButtons();
    TStringList items_;
    std::vector<TRadioButton*> buttons_;
    int item_index_ = -1;
    int columns_ = 1;
    bool updating_ = false;
};

enum TBevelCut : uint8_t { bvNone, bvLowered, bvRaised, bvSpace };

class TPanel : public TCustomControl {
public:
    explicit TPanel(TComponent* AOwner);
    TBevelCut BevelInner() const { return bevel_inner_; }
    void SetBevelInner(TBevelCut v);
    TBevelCut BevelOuter() const { return bevel_outer_; }
    void SetBevelOuter(TBevelCut v);
    int BevelWidth() const { return bevel_width_; }
    void SetBevelWidth(int v);
    int BorderWidth() const { return border_width_; }
    void SetBorderWidth(int v);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment v);
    void WndProc(TMessage& Message) override;

protected:
    void Paint() override;
    void AdjustClientRect(TRect& Rect) override;

private:
    TBevelCut bevel_inner_ = bvNone, bevel_outer_ = bvRaised;
    int bevel_width_ = 1, border_width_ = 0;
    TAlignment alignment_ = taCenter;
};

enum TEditCharCase : uint8_t { ecNormal, ecUpperCase, ecLowerCase };

class TCustomEdit : public TWinControl {
public:
    explicit TCustomEdit(TComponent* AOwner);
    std::string Text() const { return GetText(); }
    int MaxLength() const { return max_length_; }
    void SetMaxLength(int v);
    bool ReadOnly() const { return read_only_; }
    void SetReadOnly(bool v);
    char PasswordChar() const { return password_char_; }
    void SetPasswordChar(char v);
    bool AutoSelect() const { return auto_select_; }
    void SetAutoSelect(bool v) { auto_select_ = v; }
    TEditCharCase CharCase() const { return char_case_; }
    void SetCharCase(TEditCharCase v);
    bool BorderStyleSingle() const { return border_; }
    void SetBorderStyleSingle(bool v);
    bool Modified() const;
    void SetModified(bool v);
    int SelStart() const;
    void SetSelStart(int v);
    int SelLength() const;
    void SetSelLength(int v);
    std::string SelText() const;
    void SetSelText(const std::string& v);
    void SelectAll();
    void Clear() { SetText(""); }
    void WndProc(TMessage& Message) override;

    TNotifyEvent OnChange;

protected:
    void CreateParams(TCreateParams& Params) override;
    virtual void Change();
    // Tells the window MaxLength (0: as much as the control can hold).
    virtual void UpdateMaxLength();

private:
    int max_length_ = 0;
    bool read_only_ = false;
    char password_char_ = 0;
    bool auto_select_ = true;
    TEditCharCase char_case_ = ecNormal;
    bool border_ = true;
    bool modified_ = false;
    int sel_start_ = 0, sel_length_ = 0;
};

class TEdit : public TCustomEdit {
public:
    using TCustomEdit::TCustomEdit;
};

enum TScrollStyle : uint8_t { ssNone, ssHorizontal, ssVertical, ssBoth };

class TCustomMemo : public TCustomEdit {
public:
    explicit TCustomMemo(TComponent* AOwner);
    ~TCustomMemo() override;
    TStrings& Lines() { return *lines_; }
    TScrollStyle ScrollBars() const { return scroll_bars_; }
    void SetScrollBars(TScrollStyle v);
    bool WordWrap() const { return word_wrap_; }
    void SetWordWrap(bool v);
    bool WantReturns() const { return want_returns_; }
    void SetWantReturns(bool v) { want_returns_ = v; }
    bool WantTabs() const { return want_tabs_; }
    void SetWantTabs(bool v) { want_tabs_ = v; }
    void WndProc(TMessage& Message) override;

protected:
    friend class TMemoStrings;
    void CreateParams(TCreateParams& Params) override;

private:
    std::unique_ptr<TStrings> lines_;
    // The window's text length and line count after the last Lines().Add,
    // -1 when the text changed otherwise since.
    int append_len_ = -1, append_lines_ = 0;
    bool appending_ = false;
    TScrollStyle scroll_bars_ = ssNone;
    bool word_wrap_ = true, want_returns_ = true, want_tabs_ = false;
};

class TMemo : public TCustomMemo {
public:
    using TCustomMemo::TCustomMemo;
};

enum TComboBoxStyle : uint8_t { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };
enum TOwnerDrawStateFlag : uint8_t { odSelected, odGrayed, odDisabled, odChecked, odFocused, odDefault,
                                     odComboBoxEdit };
using TOwnerDrawState = TSet<TOwnerDrawStateFlag>;
using TDrawItemEvent = std::function<void(TWinControl* Control, int Index, TRect Rect, TOwnerDrawState State)>;
using TMeasureItemEvent = std::function<void(TWinControl* Control, int Index, int& Height)>;

class TComboBox : public TWinControl {
public:
    explicit TComboBox(TComponent* AOwner);
    ~TComboBox() override;
    TComboBoxStyle Style() const { return style_; }
    void SetStyle(TComboBoxStyle v);
    // The rows; changes reach the window at once (or at EndUpdate).
    TStringList& Items() { return items_; }
    int ItemIndex() const;
    void SetItemIndex(int v);
    int DropDownCount() const { return drop_down_count_; }
    void SetDropDownCount(int v);
    int ItemHeight() const { return item_height_; }
    void SetItemHeight(int v);
    int MaxLength() const { return max_length_; }
    void SetMaxLength(int v);
    bool DroppedDown() const;
    void SetDroppedDown(bool v);
    std::string Text() const { return GetText(); }
    void SetText(const std::string& v) override;
    TCanvas& Canvas() { return canvas_; }
    void WndProc(TMessage& Message) override;

    TNotifyEvent OnChange;
    TNotifyEvent OnDropDown;
    TDrawItemEvent OnDrawItem;
    TMeasureItemEvent OnMeasureItem;

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    virtual void DrawItem(int Index, TRect Rect, TOwnerDrawState State);
    virtual void MeasureItem(int Index, int& Height);
    virtual void Change();

private:
    void SyncItems();
    TStringList items_;
    TComboBoxStyle style_ = csDropDown;
    int item_index_ = -1;
    int drop_down_count_ = 8;
    int item_height_ = 16;
    int max_length_ = 0;
    bool syncing_ = false;
    TCanvas canvas_;
};

class TPaintBox : public TGraphicControl {
public:
    explicit TPaintBox(TComponent* AOwner);
    TNotifyEvent OnPaint;

protected:
    void Paint() override;
};

class TImage : public TGraphicControl {
public:
    explicit TImage(TComponent* AOwner);
    // The picture: an icon when one is set, else the bitmap.
    TBitmap& Bitmap() { return bitmap_; }
    TIcon& Icon() { return icon_; }
    bool Stretch() const { return stretch_; }
    void SetStretch(bool v);
    bool Center() const { return center_; }
    void SetCenter(bool v);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool v);
    bool AutoSize() const { return auto_size_; }
    void SetAutoSize(bool v);

protected:
    void Paint() override;

private:
    void PictureChanged();
    TBitmap bitmap_;
    TIcon icon_;
    bool stretch_ = false, center_ = false, transparent_ = false, auto_size_ = false;
};

class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* AOwner);
    ~TTimer() override;
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);
    UINT Interval() const { return interval_; }
    void SetInterval(UINT v);
    TNotifyEvent OnTimer;

protected:
    virtual void Timer();
    void Loaded() override;

private:
    void UpdateTimer();
    HWND window_ = nullptr;
    bool enabled_ = true;
    UINT interval_ = 1000;
    bool running_ = false;
};

}  // namespace bramble
