// The base of everything that docks: a window that is either a child of a
// dock, drawn with a thin border and a drag handle, or floats over its form
// as a small popup with a frame, a small caption and a close button. The
// user drags it between docks and the floating state, resizes it while
// floating, double-clicks it to dock or float it, and closes it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "kits/toolbar/dock.h"
#include "kits/toolbar/hooks.h"
#include "kits/toolbar/layout.h"
#include "ui/control.h"
#include "ui/forms.h"

namespace bramble {

enum TDragHandleStyle : uint8_t { dhDouble, dhNone, dhSingle };
enum TToolWindowDockMode : uint8_t { dmCanFloat, dmCannotFloat, dmCannotFloatOrChangeDocks };
enum TToolWindowFloatingMode : uint8_t { fmOnTopOfParentForm, fmOnTopOfAllForms };
using TBorderStyle = TFormBorderStyle;  // bsNone or bsSingle
using TDockableTo = TSet<TDockPosition>;
using TDockChangingExEvent = std::function<void(TObject* Sender, TDock97* DockingTo)>;
// Reads or writes one integer of a bar's placement (bar name, value name).
using TPositionReadIntProc = std::function<int(const std::string& Bar, const std::string& Value, int Default)>;
using TPositionWriteIntProc = std::function<void(const std::string& Bar, const std::string& Value, int V)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

// The hidden form a floating tool window lives on: a borderless window of
// no size at the screen's origin, so that its client coordinates are the
// screen's. Keys pressed in the floating window's controls come to it.
class TFloatingWindowParent : public TForm {
public:
    explicit TFloatingWindowParent(TCustomForm* AParentForm);
    // The form the tool window floats over.
    TCustomForm* ParentForm() const { return parent_form_; }
    void SetParentForm(TCustomForm* v) { parent_form_ = v; }
    // Shown while its tool window is.
    bool ShouldShow() const { return should_show_; }
    void SetShouldShow(bool v);

protected:
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void WndProc(TMessage& Message) override;

private:
    void UpdateShowing();
    TCustomForm* parent_form_;
    bool should_show_ = false;
};

// Posted to a docked window to paint its frame once the changes are made.
inline constexpr UINT WM_PAINTDOCKEDNC = WM_USER + 5039;

class TCustomToolWindow97 : public TCustomControl {
public:
    explicit TCustomToolWindow97(TComponent* AOwner);
    ~TCustomToolWindow97() override;

    // Placement.
    TDock97* DockedTo() const { return dock_; }
    void SetDockedTo(TDock97* v);
    bool Docked() const { return dock_ != nullptr; }
    int DockRow() const { return dock_row_; }
    void SetDockRow(int v);
    int DockPos() const { return dock_pos_; }
    void SetDockPos(int v);
    TPoint FloatingPosition() const { return floating_pos_; }
    void SetFloatingPosition(TPoint v) { floating_pos_ = v; }
    TDock97* LastDock() const { return last_dock_; }
    void SetLastDock(TDock97* v);
    TDock97* DefaultDock() const { return default_dock_; }
    void SetDefaultDock(TDock97* v);
    void SetParent(TWinControl* AParent) override;
    // The form the window belongs to, docked or floating.
    TCustomForm* OwnerForm() const;

    // Looks.
    bool CloseButton() const { return close_button_; }
    void SetCloseButton(bool v);
    bool CloseButtonWhenDocked() const { return close_button_when_docked_; }
    void SetCloseButtonWhenDocked(bool v);
    TDragHandleStyle DragHandleStyle() const { return drag_handle_style_; }
    void SetDragHandleStyle(TDragHandleStyle v);
    TBorderStyle BorderStyle() const { return border_style_; }
    void SetBorderStyle(TBorderStyle v);
    bool ShowCaption() const { return show_caption_; }
    void SetShowCaption(bool v);
    bool FullSize() const { return full_size_; }
    void SetFullSize(bool v);
    TToolWindowDockMode DockMode() const { return dock_mode_; }
    void SetDockMode(TToolWindowDockMode v) { dock_mode_ = v; }
    TDockableTo DockableTo() const { return dockable_to_; }
    void SetDockableTo(TDockableTo v) { dockable_to_ = v; }
    bool HideWhenInactive() const { return hide_when_inactive_; }
    void SetHideWhenInactive(bool v);
    // fmOnTopOfAllForms: floating, the window belongs to the application
    // window and stays above every window while it is enabled.
    TToolWindowFloatingMode FloatingMode() const { return floating_mode_; }
    void SetFloatingMode(TToolWindowFloatingMode v);
    // A click on the floating window activates its form.
    bool ActivateParent() const { return activate_parent_; }
    void SetActivateParent(bool v) { activate_parent_ = v; }
    bool UseLastDock() const { return use_last_dock_; }
    void SetUseLastDock(bool v) { use_last_dock_ = v; }
    bool InactiveCaption() const { return inactive_caption_; }
    std::string Version() const;

    // Lays out for the current orientation and takes the size.
    void FitToContent();
    // Keeps a floating window on its monitor's work area.
    void MoveOnScreen(bool OnlyIfFullyOffscreen);
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void SetVisible(bool v) override;
    // Whether the window should show now (floating: its form shown, and the
    // application active unless HideWhenInactive is off).
    bool ShouldBeVisible();
    void UpdateVisibility();

    // Non-client metrics.
    int FrameWidth() const;       // floating frame, left and right
    int FrameHeight() const;      // floating frame, top and bottom
    int CaptionHeight() const;    // floating small caption
    // The non-client sizes (left + right, top + bottom) now.
    void NonClientSize(int& W, int& H) const;

    TNotifyEvent OnClose;
    TCloseQueryEvent OnCloseQuery;
    TNotifyEvent OnDockChanged;
    TNotifyEvent OnDockChanging;
    TDockChangingExEvent OnDockChangingEx;
    TNotifyEvent OnMove;
    TNotifyEvent OnVisibleChanged;
    // Around a change of parent, the window made again: before and after.
    TNotifyEvent OnRecreating;
    TNotifyEvent OnRecreated;
    // The window is hidden and about to go to DockingTo (nil: floating).
    TDockChangingExEvent OnDockChangingHidden;

    // The thickness across a row, the smallest client size, and the client
    // size the content needs (placing the controls when CanMove).
    virtual int GetCrossSize(TBarOrientation O) = 0;
    virtual void GetMinClientSize(int& W, int& H) { W = H = 1; }
    virtual void LayoutControls(bool CanMove, TBarOrientation O, TPoint& NewClientSize, TDock97* Dock) = 0;

    // The descendants' own placement values (wrap width, client size).
    virtual void LoadPositionValues(const TPositionReadIntProc& Read) {}
    virtual void SavePositionValues(const TPositionWriteIntProc& Write) {}

    // The user's actions, also run by tests.
    void BeginMoving(int InitX, int InitY);
    void BeginSizing(int Handle);
    // Double-click behaviour: float a docked window, dock a floating one.
    void ToggleDocked();
    // The close button's click: asks OnCloseQuery, hides, fires OnClose.
    void CloseClicked();

    // The floating windows of the program.
    static const std::vector<TCustomToolWindow97*>& FloatingWindows();

protected:
    friend class TDock97;
    void CreateParams(TCreateParams& Params) override;
    void CreateWnd() override;
    void WndProc(TMessage& Message) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void AlignControls(TControl* AControl, TRect& Rect) override;
    virtual void ClientSizeChanging(int W, int H) {}
    virtual void SizingStart(int Handle) {}
    virtual void DoDockChangingHidden(TDock97* DockingTo);
    virtual void SizingMove(tblayout::Box& NewRect, const tblayout::Box& OrigRect) {}
    virtual void SizingFinish(bool Accepted) {}
    virtual bool ChildControlTransparent(TControl* C) { return false; }
    // Flags the descendants set: corners are sizing handles, the cursor is
    // confined while sizing, child controls are aligned by the usual rules.
    bool corner_sizing_ = true;
    bool clip_cursor_while_sizing_ = true;
    bool inherited_align_ = true;
    bool Resizable() const { return resizable_; }
    void SetResizableFlag(bool v);
    // Fits for an orientation and dock; only notes the need while arranging is off.
    void FitToContentFor(TBarOrientation O, TDock97* Dock, bool Resize);
    int updating_bounds_ = 0;
    // Raised while the parent changes: the window stays hidden and OnMove
    // waits for the end.
    int hide_count_ = 0, move_event_count_ = 0;
    TBarOrientation last_orientation_ = TBarOrientation::None;
    bool last_orientation_known_ = false;
    int disable_arrange_ = 0;
    bool arrange_needed_ = false;

private:
    void ChangeParent(TWinControl* NewParent);
    void PaintDockedNC(HDC DC);
    // Fills Area of DC with the dock's background, its tiles lined up with
    // the dock's; Origin is DC's (0, 0) on the screen. False when the dock
    // has no background for its bars.
    bool FillWithDockBackground(HDC DC, const RECT& Area, POINT Origin);
    void PaintFloatingNC(HDC DC);
    // A docked frame is painted from the queue, once for a batch of changes.
    void InvalidateDockedNC();
    void ValidateDockedNC();
    // The form whose caption and activation the floating window serves: an
    // MDI document's frame, or the window's own form.
    TCustomForm* MDIParentForm() const;
    // Hands the activation to another window of the program.
    void PassActivationOn();
    void PaintNC(HDC DC);
    LRESULT HitTest(int ScreenX, int ScreenY);
    void TrackCloseButton();
    bool OnCloseButton(TPoint Screen) const;
    tblayout::Box CloseButtonRect() const;  // window coordinates
    void ShowFloating(bool Show);
    void UpdateTopmost();
    static void HookProc(THookCode Code, HWND Wnd, WPARAM W, LPARAM L);
    TDock97* dock_ = nullptr;
    TDock97* last_dock_ = nullptr;
    TDock97* default_dock_ = nullptr;
    TCustomForm* float_form_ = nullptr;
    TFloatingWindowParent* float_parent_ = nullptr;
    // Floating: on its floating parent, not on a dock.
    bool IsFloating() const { return !dock_ && float_parent_ && Parent() == float_parent_; }
    int dock_row_ = 0;
    int dock_pos_ = -1;
    TPoint floating_pos_{0, 0};
    bool close_button_ = true;
    bool close_button_when_docked_ = false;
    TDragHandleStyle drag_handle_style_ = dhDouble;
    TBorderStyle border_style_ = bsSingle;
    bool show_caption_ = true;
    bool full_size_ = false;
    TToolWindowDockMode dock_mode_ = dmCanFloat;
    TDockableTo dockable_to_{dpTop, dpBottom, dpLeft, dpRight};
    bool hide_when_inactive_ = true;
    TToolWindowFloatingMode floating_mode_ = fmOnTopOfParentForm;
    bool activate_parent_ = true;
    bool use_last_dock_ = true;
    bool inactive_caption_ = false;
    bool resizable_ = true;
    bool close_down_ = false;
    bool in_loop_ = false;
};

}  // namespace bramble
