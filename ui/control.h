// Controls: TControl (windowless base), TWinControl (a window of its own),
// TCustomControl (a window that paints itself) and TGraphicControl (painted
// by its parent).
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/classes.h"
#include "ui/component.h"
#include "ui/graphics.h"

namespace bramble {

class TWinControl;
class TPopupMenu;
class TCustomForm;

// ---- messages ------------------------------------------------------------------

struct TMessage {
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};
using TWndMethod = std::function<void(TMessage& Message)>;

// Internal notifications between controls. Unless noted: WParam and LParam 0.
inline constexpr UINT CM_BASE = 0xB000;
inline constexpr UINT CM_ACTIVATE = CM_BASE + 0;
inline constexpr UINT CM_DEACTIVATE = CM_BASE + 1;
inline constexpr UINT CM_CANCELMODE = CM_BASE + 4;          // LParam: the control keeping the mouse
inline constexpr UINT CM_DIALOGKEY = CM_BASE + 5;           // WParam: virtual key; Result 1 = used
inline constexpr UINT CM_DIALOGCHAR = CM_BASE + 6;          // WParam: character; Result 1 = used
inline constexpr UINT CM_FOCUSCHANGED = CM_BASE + 7;        // LParam: the control with the focus
inline constexpr UINT CM_PARENTFONTCHANGED = CM_BASE + 8;
inline constexpr UINT CM_PARENTCOLORCHANGED = CM_BASE + 9;
inline constexpr UINT CM_HITTEST = CM_BASE + 10;            // LParam: client point; Result HTxxx
inline constexpr UINT CM_VISIBLECHANGED = CM_BASE + 11;     // WParam: new Visible
inline constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 12;
inline constexpr UINT CM_COLORCHANGED = CM_BASE + 13;
inline constexpr UINT CM_FONTCHANGED = CM_BASE + 14;
inline constexpr UINT CM_CURSORCHANGED = CM_BASE + 15;
inline constexpr UINT CM_TEXTCHANGED = CM_BASE + 18;
inline constexpr UINT CM_MOUSEENTER = CM_BASE + 19;
inline constexpr UINT CM_MOUSELEAVE = CM_BASE + 20;
inline constexpr UINT CM_MENUCHANGED = CM_BASE + 21;
inline constexpr UINT CM_SHOWINGCHANGED = CM_BASE + 25;
inline constexpr UINT CM_ENTER = CM_BASE + 26;
inline constexpr UINT CM_EXIT = CM_BASE + 27;
inline constexpr UINT CM_WANTSPECIALKEY = CM_BASE + 30;     // WParam: key; Result 1 = the control takes it
inline constexpr UINT CM_RELEASE = CM_BASE + 33;
inline constexpr UINT CM_SHOWHINTCHANGED = CM_BASE + 34;
inline constexpr UINT CM_PARENTSHOWHINTCHANGED = CM_BASE + 35;
inline constexpr UINT CM_SYSCOLORCHANGE = CM_BASE + 36;
inline constexpr UINT CM_CONTROLLISTCHANGE = CM_BASE + 44;  // WParam: TControl*; LParam: inserting
inline constexpr UINT CM_CHILDKEY = CM_BASE + 46;
inline constexpr UINT CM_HINTSHOW = CM_BASE + 48;
inline constexpr UINT CM_RECREATEWND = CM_BASE + 51;
inline constexpr UINT CM_CONTROLCHANGE = CM_BASE + 54;      // WParam: TControl*; LParam: inserting
// Messages the parent reflects to the child control they concern.
inline constexpr UINT CN_BASE = 0xBC00;
inline constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;
inline constexpr UINT CN_NOTIFY = CN_BASE + WM_NOTIFY;
inline constexpr UINT CN_DRAWITEM = CN_BASE + WM_DRAWITEM;
inline constexpr UINT CN_MEASUREITEM = CN_BASE + WM_MEASUREITEM;
inline constexpr UINT CN_HSCROLL = CN_BASE + WM_HSCROLL;
inline constexpr UINT CN_VSCROLL = CN_BASE + WM_VSCROLL;
inline constexpr UINT CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT;
inline constexpr UINT CN_CTLCOLORLISTBOX = CN_BASE + WM_CTLCOLORLISTBOX;
inline constexpr UINT CN_CTLCOLORBTN = CN_BASE + WM_CTLCOLORBTN;
inline constexpr UINT CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC;
inline constexpr UINT CN_KEYDOWN = CN_BASE + WM_KEYDOWN;
inline constexpr UINT CN_CHAR = CN_BASE + WM_CHAR;
inline constexpr UINT CN_SYSKEYDOWN = CN_BASE + WM_SYSKEYDOWN;
inline constexpr UINT CN_SYSCHAR = CN_BASE + WM_SYSCHAR;

// ---- enumerations and events -------------------------------------------------------

enum TAlign : uint8_t { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAlignment : uint8_t { taLeftJustify, taRightJustify, taCenter };

enum TControlStyleFlag : uint8_t {
    csAcceptsControls, csCaptureMouse, csDesignInteractive, csClickEvents, csFramed, csSetCaption,
    csOpaque, csDoubleClicks, csFixedWidth, csFixedHeight, csNoDesignVisible, csReplicatable,
    csNoStdEvents, csDisplayDragImage, csReflector, csActionClient, csMenuEvents
};
using TControlStyle = TSet<TControlStyleFlag>;

enum TControlStateFlag : uint8_t {
    csLButtonDown, csClicked, csPalette, csReadingState, csAlignmentNeeded, csFocusing, csCreating,
    csPaintCopy, csCustomPaint, csDestroyingHandle, csDocking
};
using TControlState = TSet<TControlStateFlag>;

enum TMouseButton : uint8_t { mbLeft, mbRight, mbMiddle };
enum TShiftStateFlag : uint8_t { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateFlag>;

using TCursor = int;
inline constexpr TCursor crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4, crSizeNESW = -6,
                         crSizeNS = -7, crSizeNWSE = -8, crSizeWE = -9, crUpArrow = -10, crHourGlass = -11,
                         crDrag = -12, crNoDrop = -13, crHSplit = -14, crVSplit = -15, crMultiDrag = -16,
                         crNo = -18, crAppStart = -19, crHelp = -20, crHandPoint = -21, crSizeAll = -22;

using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject* Sender, WORD& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;

// Shift state from the key-state bits of a mouse message / the keyboard now.
TShiftState MouseShiftState(WPARAM Keys);
TShiftState KeyboardShiftState();
// Whether Key is the "&" accelerator of Caption (case-insensitive; "&&" is a plain "&").
bool IsAccel(WORD Key, const std::string& Caption);

// ---- TControl ------------------------------------------------------------------------

class TControl : public TComponent {
public:
    explicit TControl(TComponent* AOwner);
    ~TControl() override;

    TWinControl* Parent() const { return parent_; }
    virtual void SetParent(TWinControl* AParent);
    // The form the control sits on (nearest TCustomForm among its parents).
    TCustomForm* ParentForm() const;

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
    void SetTop(int v) { SetBounds(left_, v, width_, height_); }
    void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
    void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
    virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
    void SetBoundsRect(const TRect& R) { SetBounds(R.Left, R.Top, R.Width(), R.Height()); }
    virtual TRect ClientRect();
    int ClientWidth() { return ClientRect().Width(); }
    int ClientHeight() { return ClientRect().Height(); }
    void SetClientWidth(int v) { SetClientSize(v, ClientHeight()); }
    void SetClientHeight(int v) { SetClientSize(ClientWidth(), v); }
    virtual void SetClientSize(int W, int H);
    // Screen coordinates of a client point and back.
    TPoint ClientToScreen(TPoint P) const;
    TPoint ScreenToClient(TPoint P) const;
    // The origin of the client area in screen coordinates.
    virtual TPoint ClientOrigin() const;

    TAlign Align() const { return align_; }
    void SetAlign(TAlign v);
    bool Visible() const { return visible_; }
    virtual void SetVisible(bool v);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    bool Enabled() const { return enabled_; }
    virtual void SetEnabled(bool v);
    TColor Color() const { return color_; }
    void SetColor(TColor v);
    bool ParentColor() const { return parent_color_; }
    void SetParentColor(bool v);
    TFont& Font() { return *font_; }
    bool ParentFont() const { return parent_font_; }
    void SetParentFont(bool v);
    // The caption (Text is the same property under the edit controls' name).
    std::string Caption() const { return GetText(); }
    void SetCaption(const std::string& v) { SetText(v); }
    virtual std::string GetText() const { return text_; }
    virtual void SetText(const std::string& v);
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& v) { hint_ = v; }
    bool ShowHint() const { return show_hint_; }
    void SetShowHint(bool v);
    bool ParentShowHint() const { return parent_show_hint_; }
    void SetParentShowHint(bool v);
    TPopupMenu* PopupMenu() const { return popup_menu_; }
    void SetPopupMenu(TPopupMenu* v);
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor v);
    int HelpContext() const { return help_context_; }
    void SetHelpContext(int v) { help_context_ = v; }

    TControlStyle ControlStyle() const { return control_style_; }
    void SetControlStyle(TControlStyle v) { control_style_ = v; }
    TControlState ControlState() const { return control_state_; }
    void SetControlState(TControlState v) { control_state_ = v; }
    // Visible here and on every parent up to a shown window.
    virtual bool Showing() const;
    bool MouseCapture() const;
    void SetMouseCapture(bool v);

    virtual void Invalidate();
    virtual void Update();
    virtual void Repaint();
    void Refresh() { Repaint(); }
    // The palette a palette display should realise for the control; 0 for
    // none.
    virtual HPALETTE GetPalette() { return nullptr; }
    void BringToFront();
    void SendToBack();

    // Sends a message straight to the control's WindowProc.
    LRESULT Perform(UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);
    // Swappable window procedure: kits replace it to subclass a control and
    // call the saved one for what they do not handle.
    TWndMethod WindowProc;
    virtual void WndProc(TMessage& Message);
    virtual void DefaultHandler(TMessage& Message) {}

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TNotifyEvent OnResize;

    virtual void Click();
    virtual void DblClick();

protected:
    friend class TWinControl;
    friend class TCustomForm;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void Resize();
    virtual void Changed() {}
    // Asks the parent to align its controls again because this one changed.
    void RequestAlign();
    virtual void VisibleChanging() {}
    // The control's own font or colour changed, or its parent's.
    virtual void FontChanged();
    virtual void ColorChanged();
    void ParentFontChanged();
    void ParentColorChanged();
    // Events of a control being freed (or on a form being freed) stay silent.
    bool Silent() const;

    std::string text_;

private:
    void MouseMessage(TMessage& m);
    TWinControl* parent_ = nullptr;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    TAlign align_ = alNone;
    bool visible_ = true;
    bool enabled_ = true;
    TColor color_ = clWindow;
    bool parent_color_ = true;
    std::unique_ptr<TFont> font_;
    bool parent_font_ = true;
    bool setting_parent_font_ = false;
    std::string hint_;
    bool show_hint_ = false;
    bool parent_show_hint_ = true;
    TPopupMenu* popup_menu_ = nullptr;
    TCursor cursor_ = crDefault;
    int help_context_ = 0;
    TControlStyle control_style_{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
    TControlState control_state_;
};

// ---- TWinControl ----------------------------------------------------------------------

struct TCreateParams {
    std::string Caption;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    int X = 0, Y = 0, Width = 0, Height = 0;
    HWND WndParent = nullptr;
    int ID = 0;
    WNDCLASSEXA WindowClass{};
    std::string WinClassName;
};

class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* AOwner);
    ~TWinControl() override;

    // The window; made (with the parents' windows) on first use.
    HWND Handle();
    bool HandleAllocated() const { return handle_ != nullptr; }
    void HandleNeeded();
    // The owner window of a control without a parent (popup-style windows).
    HWND ParentWindow() const { return parent_window_; }
    void SetParentWindow(HWND v);
    // Destroys the window and makes it again with the current parameters.
    void RecreateWnd();

    int ControlCount() const { return static_cast<int>(controls_.size()); }
    TControl* Controls(int Index) const { return controls_[static_cast<size_t>(Index)]; }
    void InsertControl(TControl* AControl);
    void RemoveControl(TControl* AControl);
    bool ContainsControl(const TControl* Control) const;
    // The windowless or (with AllowWinControls) windowed child at a client point.
    TControl* ControlAtPos(TPoint Pos, bool AllowDisabled, bool AllowWinControls = false);
    // Sends a message to every child control until one sets a result.
    void Broadcast(TMessage& Message);

    bool TabStop() const { return tab_stop_; }
    void SetTabStop(bool v);
    int TabOrder() const;
    void SetTabOrder(int v);
    // Every windowed descendant in tab order, depth first.
    void GetTabOrderList(std::vector<TWinControl*>& List) const;
    virtual bool CanFocus() const;
    bool Focused() const;
    virtual void SetFocus();
    bool Showing() const override;

    virtual void AlignControls(TControl* AControl, TRect& Rect);
    void Realign();
    void DisableAlign() { ++align_level_; }
    void EnableAlign();
    bool AlignDisabled() const { return align_level_ > 0; }

    // Paints the window and its children into DC at X, Y (WM_PRINT).
    void PaintTo(HDC DC, int X, int Y);

    void Invalidate() override;
    void Update() override;
    void Repaint() override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    TRect ClientRect() override;
    TPoint ClientOrigin() const override;
    void SetParent(TWinControl* AParent) override;
    void SetVisible(bool v) override;
    void SetEnabled(bool v) override;
    std::string GetText() const override;
    void SetText(const std::string& v) override;

    void WndProc(TMessage& Message) override;
    void DefaultHandler(TMessage& Message) override;

    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyPressEvent OnKeyPress;
    TKeyEvent OnKeyUp;

protected:
    friend class TControl;
    friend class TApplication;
    friend LRESULT CALLBACK StdWndProc(HWND, UINT, WPARAM, LPARAM);
    friend TControl* GetCaptureControl();
    virtual void CreateParams(TCreateParams& Params);
    // Takes a system window class as the base of this control's class.
    void CreateSubClass(TCreateParams& Params, const char* ClassName);
    virtual void CreateWnd();
    virtual void CreateWindowHandle(const TCreateParams& Params);
    virtual void DestroyWnd();
    void CreateHandle();
    void DestroyHandle();
    virtual void PaintWindow(HDC DC);
    void PaintHandler(HDC DC);
    void PaintControls(HDC DC, TControl* First);
    virtual void AdjustClientRect(TRect& Rect);
    void Loaded() override;
    virtual void KeyDown(WORD& Key, TShiftState Shift);
    virtual void KeyUp(WORD& Key, TShiftState Shift);
    virtual void KeyPress(char& Key);
    virtual void DoEnter();
    virtual void DoExit();
    // The window's style bits follow Visible and Enabled.
    void UpdateControlState();
    void FontChanged() override;
    void ColorChanged() override;
    // True when the key is a shortcut of a popup menu up the chain or of the form.
    bool IsMenuKey(WORD Key, TShiftState Shift);
    HBRUSH BrushHandle();
    // Whether the window class is one of ours (painted by this layer).
    bool OwnClass() const { return def_wnd_proc_ == DefWindowProcA; }
    // The windowless child holding the mouse, when one does.
    TControl* capture_control_ = nullptr;
    WNDPROC def_wnd_proc_ = DefWindowProcA;

private:
    void AlignControl(TControl* AControl);
    void UpdateBounds();
    void MouseRouting(TMessage& m, bool& handled);
    void Reflect(TMessage& m, HWND child, UINT cn);
    HWND handle_ = nullptr;
    HWND parent_window_ = nullptr;
    std::vector<TControl*> controls_;
    std::vector<TWinControl*> tab_list_;
    bool tab_stop_ = false;
    int align_level_ = 0;
    bool align_needed_ = false;
    bool in_align_ = false;
    TBrush brush_;
    bool tracking_leave_ = false;
};

// The control whose window is HWND, or null (also for windows not ours).
TWinControl* FindControl(HWND Handle);
// The control under a screen point, windowless ones included.
TControl* FindDragTarget(TPoint Pos, bool AllowDisabled);
// The control that has the mouse capture (windowless ones included).
TControl* GetCaptureControl();
// Control the mouse is over, as the enter/leave tracking last saw it.
TControl* MouseControl();

// ---- TCustomControl / TGraphicControl -----------------------------------------------------

// A canvas on the control's parent window, clipped to a windowless control.
class TControlCanvas : public TCanvas {
public:
    explicit TControlCanvas(TControl* C) : control_(C) {}
    ~TControlCanvas() override;
    void FreeHandle();
    // Releases every context taken outside painting (called when idle).
    static void FreeDeviceContexts();

protected:
    void CreateHandle() override;

private:
    TControl* control_;
    HDC own_dc_ = nullptr;
    HWND dc_window_ = nullptr;
};

class TCustomControl : public TWinControl {
public:
    explicit TCustomControl(TComponent* AOwner);
    TCanvas& Canvas() { return *canvas_; }

protected:
    virtual void Paint() {}
    void PaintWindow(HDC DC) override;

private:
    std::unique_ptr<TControlCanvas> canvas_;
};

class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(TComponent* AOwner);
    ~TGraphicControl() override;
    TCanvas& Canvas() { return *canvas_; }
    void WndProc(TMessage& Message) override;

protected:
    virtual void Paint() {}

private:
    std::unique_ptr<TControlCanvas> canvas_;
};

}  // namespace bramble
