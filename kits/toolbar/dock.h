// The strip along one edge of a form on which tool windows dock: it keeps
// them in rows, lays them out whenever something changes and sizes itself
// to the rows it holds.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kits/toolbar/layout.h"
#include "ui/control.h"
#include "ui/graphics.h"

namespace bramble {

class TCustomToolWindow97;

enum TDockPosition : uint8_t { dpTop, dpBottom, dpLeft, dpRight };
enum TDockBoundLine : uint8_t { blTop, blBottom, blLeft, blRight };
using TDockBoundLines = TSet<TDockBoundLine>;
using TBarOrientation = tblayout::Orient;

using TInsertRemoveEvent = std::function<void(TObject* Sender, bool Inserting, TCustomToolWindow97* Bar)>;
using TRequestDockEvent = std::function<void(TObject* Sender, TCustomToolWindow97* Bar, bool& Accept)>;

// The kit's messages.
inline constexpr int SDockInvalidParent = 65289;
inline constexpr int SDockCannotChangePosition = 65290;
inline constexpr int SToolWinInvalidParent = 65291;
inline constexpr int SSepInvalidParent = 65292;
std::string ToolbarKitMessage(int Id);

class TDock97 : public TCustomControl {
public:
    explicit TDock97(TComponent* AOwner);
    ~TDock97() override;

    TDockPosition Position() const { return position_; }
    void SetPosition(TDockPosition v);
    TBarOrientation Orientation() const {
        return position_ == dpLeft || position_ == dpRight ? TBarOrientation::Vertical : TBarOrientation::Horizontal;
    }
    bool AllowDrag() const { return allow_drag_; }
    void SetAllowDrag(bool v);
    bool FixAlign() const { return fix_align_; }
    void SetFixAlign(bool v);
    bool LimitToOneRow() const { return limit_to_one_row_; }
    void SetLimitToOneRow(bool v);
    TDockBoundLines BoundLines() const { return bound_lines_; }
    void SetBoundLines(TDockBoundLines v);
    TBitmap& Background() { return background_; }
    void SetBackground(TBitmap* v);
    bool BackgroundOnToolbars() const { return background_on_toolbars_; }
    void SetBackgroundOnToolbars(bool v);
    // The background's transparent colour (its bottom-left pixel) shows the
    // dock's Color.
    bool BackgroundTransparent() const { return background_transparent_; }
    void SetBackgroundTransparent(bool v);
    std::string Version() const;
    void SetParent(TWinControl* AParent) override;

    TInsertRemoveEvent OnInsertRemoveBar;
    TRequestDockEvent OnRequestDock;

    // Used by the tool windows.
    void ChangeDockList(bool Insert, TCustomToolWindow97* Bar);
    void ToolbarVisibilityChanged(TCustomToolWindow97* Bar, bool ForceRemove);
    void BeginUpdate();
    void EndUpdate();
    void LayoutBars(bool ClipPoses);
    int GetRowSize(int Row, TCustomToolWindow97* DefaultBar);
    // Row thicknesses from the bars' wanted sizes now, without a layout.
    void RebuildRowSizes();
    tblayout::RowHit GetRowOf(int XY) const { return tblayout::GetRowOf(row_sizes_, XY); }
    int GetDesiredRow(int Pos) const { return tblayout::GetDesiredRow(row_sizes_, Pos); }
    int GetHighestRow() const;
    int GetNumberOfToolbarsOnRow(int Row, TCustomToolWindow97* NotIncluding) const;
    void InsertRowBefore(int Row);
    bool HasVisibleToolbars() const { return !visible_list_.empty(); }
    bool UsingBackground() const { return !background_.Empty(); }
    // Whether the docked bars paint the background behind them too.
    bool BarsUseBackground() const { return background_on_toolbars_ && UsingBackground(); }
    // Repaints the dock and every bar visible on it, frames included.
    void InvalidateBackgrounds();
    // Tiles the background over DrawRect, clipped to Clip minus Exclude.
    void DrawBackground(HDC DC, const RECT& Clip, const RECT* Exclude, const RECT& DrawRect);
    // The background's palette, realised for the dock and its bars.
    HPALETTE GetPalette() override;
    const std::vector<TCustomToolWindow97*>& DockList() const { return dock_list_; }
    const std::vector<TCustomToolWindow97*>& DockVisibleList() const { return visible_list_; }
    // Whether Bar counts as visible on this dock.
    bool IsVisibleOn(TCustomToolWindow97* Bar) const;

protected:
    void CreateParams(TCreateParams& Params) override;
    void WndProc(TMessage& Message) override;
    void Paint() override;
    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TCustomToolWindow97;
    void SetThickness(int ClientThickness);
    void PaintNC(HDC DC);
    void BackgroundChanged();
    TBitmap& TransparentCache();
    TDockPosition position_ = dpTop;
    bool allow_drag_ = true;
    bool fix_align_ = false;
    bool limit_to_one_row_ = false;
    TDockBoundLines bound_lines_;
    TBitmap background_;
    bool background_on_toolbars_ = true;
    bool background_transparent_ = false;
    std::unique_ptr<TBitmap> transparent_cache_;
    std::vector<TCustomToolWindow97*> dock_list_;
    std::vector<TCustomToolWindow97*> visible_list_;
    std::vector<int> row_sizes_;
    int disable_arrange_ = 0;
    bool arrange_needed_ = false;
    bool arrange_clip_ = false;
};

}  // namespace bramble
