// The small controls a kit menu item can carry: a push button, an array of
// bitmap buttons, a one-line edit box and a bitmap. Each is an options
// object owned by its item; the popup window paints it in the item's row
// and hands it the mouse and, while an edit box is edited, the keys.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "kits/menu/editmodel.h"
#include "kits/menu/itemdraw.h"
#include "kits/menu/menuitem2000.h"
#include "ui/classes.h"
#include "ui/graphics.h"

namespace bramble {

class TTimer;

// What a control's painter gets: the item's drawing context and state, the
// pointer in window coordinates and the left button.
struct ControlDrawInfo {
    ItemDrawContext Context;
    ItemDrawState State;
    RECT ItemRect{};
    int MouseX = -1, MouseY = -1;
    bool LeftDown = false;
    // Where edit fields of the window start at the earliest, so that the
    // fields of several edit items line up.
    int EditColumn = 0;
};

class T_LFM_ControlOptions {
public:
    explicit T_LFM_ControlOptions(TMenuItem2000* Item) : item_(Item) {}
    virtual ~T_LFM_ControlOptions() = default;
    T_LFM_ControlOptions(const T_LFM_ControlOptions&) = delete;
    T_LFM_ControlOptions& operator=(const T_LFM_ControlOptions&) = delete;

    TMenuItem2000* Item() const { return item_; }
    virtual void Paint(const ControlDrawInfo& Info) {}
    virtual int GetWidth(HDC DC) { return 0; }
    virtual int GetHeight(int ItemHeight) { return 0; }
    // A consumed key comes back as 0.
    virtual void KeyDown(WORD& Key, TShiftState Shift) {}
    virtual void KeyPress(char& Key) {}

private:
    TMenuItem2000* item_;
};

class T_LFM_ButtonOptions : public T_LFM_ControlOptions {
public:
    using T_LFM_ControlOptions::T_LFM_ControlOptions;
    bool AllowAllUp = true;
    bool BorderFrame = true;
    bool Down() const { return down_; }
    // Pressing releases the buttons of the item's group; a grouped button
    // is released only by a sibling unless AllowAllUp.
    void SetDown(bool Value);
    void Paint(const ControlDrawInfo& Info) override;
    int GetHeight(int ItemHeight) override { return ItemHeight + 6; }

private:
    friend class TMenuItem2000;
    bool down_ = false;
};

class T_LFM_ButtonArrayOptions : public T_LFM_ControlOptions {
public:
    explicit T_LFM_ButtonArrayOptions(TMenuItem2000* Item);
    int Rows() const { return rows_; }
    void SetRows(int v) { rows_ = v < 1 ? 1 : v; }
    int Columns() const { return columns_; }
    void SetColumns(int v) { columns_ = v < 1 ? 1 : v; }
    TStrings& Hints() { return *hints_; }
    void SetHints(const TStrings& v) { hints_->Assign(v); }
    int ItemIndex() const { return item_index_; }
    void SetItemIndex(int Value);
    bool AllowAllUp = true;
    TBitmap& Bitmap() { return bitmap_; }
    void SetBitmap(const TBitmap& v) { bitmap_.Assign(v); }
    // Cells that react; Rows x Columns when 0.
    int Count() const { return count_ > 0 ? count_ : rows_ * columns_; }
    void SetCount(int v) { count_ = v < 0 ? 0 : v; }

    // The cell under a window point, -1 outside (and for a bitmap too
    // small to hold one cell per row and column).
    int ButtonAtPos(int X, int Y) const;
    int HotButton() const { return hot_; }
    void SetHotButton(int v) { hot_ = v; }
    // The Hints line of a cell, empty past the list.
    std::string CellHint(int Index) const;
    const RECT& ControlRect() const { return rect_; }
    // Where the control sits in a row whose item rectangle is R.
    void PlaceIn(const RECT& R) { rect_ = R; }

    void Paint(const ControlDrawInfo& Info) override;
    int GetWidth(HDC DC) override { return bitmap_.Width() + 4; }
    int GetHeight(int ItemHeight) override { return bitmap_.Height() + 2; }

private:
    friend class TMenuItem2000;
    int rows_ = 1, columns_ = 1, item_index_ = -1, count_ = 0, hot_ = -1;
    std::unique_ptr<TStringList> hints_;
    TBitmap bitmap_;
    RECT rect_{};
};

class T_LFM_EditboxOptions : public T_LFM_ControlOptions {
public:
    explicit T_LFM_EditboxOptions(TMenuItem2000* Item);
    ~T_LFM_EditboxOptions() override;
    TColor Color = clWindow;
    int MaxLength() const { return model_.MaxLength; }
    void SetMaxLength(int v) { model_.MaxLength = v < 0 ? 0 : v; }
    bool ReadOnly() const { return model_.ReadOnly; }
    void SetReadOnly(bool v) { model_.ReadOnly = v; }
    const std::string& Text() const { return model_.Text; }
    void SetText(const std::string& v);
    int MinWidth = 0;

    // Starts editing with the caret at the character under the window
    // point X; ends, restoring the text unless accepted.
    void BeginEdit(int X);
    void EndEdit(bool Accept);
    // A click into the field while editing: the caret moves there.
    void PlaceCaret(int X);
    bool Editing() const { return model_.Editing(); }
    bool CaretTimerRunning() const;
    const menukit::EditModel& Model() const { return model_; }
    // The text area as last painted, in window coordinates.
    const RECT& Field() const { return field_; }

    void Paint(const ControlDrawInfo& Info) override;
    int GetWidth(HDC DC) override;
    int GetHeight(int ItemHeight) override { return ItemHeight + 4; }
    void KeyDown(WORD& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;

private:
    void Touched();
    int TextWidth(const std::string& S) const;
    menukit::EditModel model_;
    std::unique_ptr<TTimer> timer_;
    bool caret_visible_ = false;
    RECT field_{};
    HFONT font_ = nullptr;
};

class T_LFM_BitmapOptions : public T_LFM_ControlOptions {
public:
    using T_LFM_ControlOptions::T_LFM_ControlOptions;
    int NumGlyphs() const { return num_glyphs_; }
    // 1 to 4; raises Exception "Value must be between 1 and 4." otherwise.
    void SetNumGlyphs(int Value);
    TBitmap& Bitmap() { return bitmap_; }
    void SetBitmap(const TBitmap& v) { bitmap_.Assign(v); }
    // The glyph shown for an item's state: 0 normal, 1 disabled, 2 pressed,
    // 3 selected, as far as the bitmap has glyphs.
    int GlyphFor(const ItemDrawState& S) const;

    void Paint(const ControlDrawInfo& Info) override;
    int GetWidth(HDC DC) override { return bitmap_.Width() / num_glyphs_; }
    int GetHeight(int ItemHeight) override { return bitmap_.Height(); }

private:
    int num_glyphs_ = 1;
    TBitmap bitmap_;
};

// The options object of a kind, owned by Item.
std::unique_ptr<T_LFM_ControlOptions> MakeControlOptions(T_LFM_ControlType Kind, TMenuItem2000* Item);

// The hint of a kit item: a button array's line at the cell under the
// pointer or else at its ItemIndex, else the
// item's own (or the standard command's).
std::string MenuItemHint(TMenuItem2000* Item);

// Repaints the open kit popup windows (not while a group is being reset).
void RepaintOpenMenus();

}  // namespace bramble
