#include "ui/comctrls.h"

#include <richedit.h>

#include <algorithm>

namespace bramble {

// ---- status bar ----------------------------------------------------------------------------------

void TStatusPanel::SetText(const std::string& v) {
    text_ = v;
    owner_->UpdatePanel(Index());
}
void TStatusPanel::SetWidth(int v) {
    width_ = v;
    owner_->UpdatePanels();
}
void TStatusPanel::SetAlignment(TAlignment v) {
    alignment_ = v;
    owner_->UpdatePanel(Index());
}
void TStatusPanel::SetStyle(TStatusPanelStyle v) {
    style_ = v;
    owner_->UpdatePanel(Index());
}
void TStatusPanel::SetBevel(TStatusPanelBevel v) {
    bevel_ = v;
    owner_->UpdatePanel(Index());
}
int TStatusPanel::Index() const {
    auto& l = owner_->panels_.panels_;
    for (size_t i = 0; i < l.size(); ++i)
        if (l[i].get() == this) return static_cast<int>(i);
    return -1;
}

TStatusPanel* TStatusPanels::Add() {
    panels_.push_back(std::unique_ptr<TStatusPanel>(new TStatusPanel(owner_)));
    owner_->UpdatePanels();
    return panels_.back().get();
}

TStatusPanel* TStatusPanels::Items(int Index) const {
    if (Index < 0 || Index >= Count()) throw EListError(Format(SListIndexError, Index));
    return panels_[static_cast<size_t>(Index)].get();
}

void TStatusPanels::Delete(int Index) {
    if (Index < 0 || Index >= Count()) throw EListError(Format(SListIndexError, Index));
    panels_.erase(panels_.begin() + Index);
    owner_->UpdatePanels();
}

void TStatusPanels::Clear() {
    panels_.clear();
    owner_->UpdatePanels();
}

TStatusBar::TStatusBar(TComponent* AOwner) : TWinControl(AOwner), panels_(this) {
    SetControlStyle({csCaptureMouse, csClickEvents, csDoubleClicks, csOpaque, csAcceptsControls});
    SetBounds(0, 0, 200, 19);
    SetAlign(alBottom);
}

void TStatusBar::CreateParams(TCreateParams& P) {
    TWinControl::CreateParams(P);
    CreateSubClass(P, STATUSCLASSNAMEA);
    // The bar is placed by the alignment, not by itself.
    P.Style |= CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NOMOVEY | WS_CLIPCHILDREN;
    if (size_grip_) P.Style |= SBARS_SIZEGRIP;
}

void TStatusBar::CreateWnd() {
    TWinControl::CreateWnd();
    UpdatePanels();
}

void TStatusBar::UpdatePanels() {
    if (!HandleAllocated()) return;
    HWND h = Handle();
    SendMessageA(h, SB_SIMPLE, simple_panel_, 0);
    if (simple_panel_) {
        SendMessageA(h, SB_SETTEXTA, 255, reinterpret_cast<LPARAM>(simple_text_.c_str()));
        return;
    }
    std::vector<int> parts;
    int x = 0;
    for (int i = 0; i < panels_.Count(); ++i) {
        x += panels_.Items(i)->width_;
        parts.push_back(i == panels_.Count() - 1 ? -1 : x);
    }
    if (parts.empty()) parts.push_back(-1);
    SendMessageA(h, SB_SETPARTS, parts.size(), reinterpret_cast<LPARAM>(parts.data()));
    for (int i = 0; i < panels_.Count(); ++i) UpdatePanel(i);
}

void TStatusBar::UpdatePanel(int Index) {
    if (!HandleAllocated() || simple_panel_ || Index < 0 || Index >= panels_.Count()) return;
    TStatusPanel* p = panels_.Items(Index);
    WPARAM flags = static_cast<WPARAM>(Index);
    if (p->bevel_ == pbNone) flags |= SBT_NOBORDERS;
    if (p->bevel_ == pbRaised) flags |= SBT_POPOUT;
    std::string t = p->text_;
    if (p->style_ == psOwnerDraw) {
        flags |= SBT_OWNERDRAW;
        SendMessageA(Handle(), SB_SETTEXTA, flags, reinterpret_cast<LPARAM>(p));
        return;
    }
    if (p->alignment_ == taCenter) t = "\t" + t;
    if (p->alignment_ == taRightJustify) t = "\t\t" + t;
    SendMessageA(Handle(), SB_SETTEXTA, flags, reinterpret_cast<LPARAM>(t.c_str()));
}

void TStatusBar::SetSimplePanel(bool v) {
    simple_panel_ = v;
    UpdatePanels();
}

void TStatusBar::SetSimpleText(const std::string& v) {
    simple_text_ = v;
    if (HandleAllocated() && simple_panel_) SendMessageA(Handle(), SB_SETTEXTA, 255, reinterpret_cast<LPARAM>(v.c_str()));
}

void TStatusBar::SetSizeGrip(bool v) {
    if (v == size_grip_) return;
    size_grip_ = v;
    RecreateWnd();
}

TRect TStatusBar::PanelRect(int Index) {
    RECT r{};
    SendMessageA(Handle(), SB_GETRECT, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&r));
    return {r.left, r.top, r.right, r.bottom};
}

void TStatusBar::WndProc(TMessage& m) {
    if (m.Msg == CN_DRAWITEM) {
        auto& d = *reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
        canvas_.SetHandle(d.hDC);
        struct Detach {
            TCanvas& c;
            ~Detach() { c.SetHandle(nullptr); }
        } detach{canvas_};
        canvas_.Font().Assign(Font());
        canvas_.Brush().SetColor(clBtnFace);
        int i = static_cast<int>(d.itemID);
        if (OnDrawPanel && i >= 0 && i < panels_.Count() && !Silent())
            OnDrawPanel(this, panels_.Items(i), Rect(d.rcItem.left, d.rcItem.top, d.rcItem.right, d.rcItem.bottom));
        m.Result = 1;
        return;
    }
    TWinControl::WndProc(m);
}

// ---- progress bar -------------------------------------------------------------------------------

TProgressBar::TProgressBar(TComponent* AOwner) : TWinControl(AOwner) {
    SetControlStyle({csCaptureMouse, csClickEvents, csDoubleClicks});
    SetBounds(0, 0, 150, 16);
}

void TProgressBar::CreateParams(TCreateParams& P) {
    TWinControl::CreateParams(P);
    CreateSubClass(P, PROGRESS_CLASSA);
    if (smooth_) P.Style |= PBS_SMOOTH;
}

void TProgressBar::CreateWnd() {
    TWinControl::CreateWnd();
    SendMessageA(Handle(), PBM_SETRANGE32, static_cast<WPARAM>(min_), max_);
    SendMessageA(Handle(), PBM_SETSTEP, static_cast<WPARAM>(step_), 0);
    SendMessageA(Handle(), PBM_SETPOS, static_cast<WPARAM>(position_), 0);
}

void TProgressBar::SetMin(int v) {
    min_ = v;
    if (HandleAllocated()) SendMessageA(Handle(), PBM_SETRANGE32, static_cast<WPARAM>(min_), max_);
}

void TProgressBar::SetMax(int v) {
    max_ = v;
    if (HandleAllocated()) SendMessageA(Handle(), PBM_SETRANGE32, static_cast<WPARAM>(min_), max_);
}

int TProgressBar::Position() const {
    if (HandleAllocated())
        return static_cast<int>(SendMessageA(const_cast<TProgressBar*>(this)->Handle(), PBM_GETPOS, 0, 0));
    return position_;
}

void TProgressBar::SetPosition(int v) {
    position_ = std::clamp(v, min_, std::max(min_, max_));
    if (HandleAllocated()) SendMessageA(Handle(), PBM_SETPOS, static_cast<WPARAM>(position_), 0);
}

void TProgressBar::SetStep(int v) {
    step_ = v;
    if (HandleAllocated()) SendMessageA(Handle(), PBM_SETSTEP, static_cast<WPARAM>(v), 0);
}

void TProgressBar::StepIt() {
    // The platform's bar wraps to the start at the end.
    int p = Position() + step_;
    if (p > max_) p = min_ + (p - max_) - 1;
    SetPosition(p);
}

void TProgressBar::StepBy(int Delta) { SetPosition(Position() + Delta); }

void TProgressBar::SetSmooth(bool v) {
    if (v == smooth_) return;
    smooth_ = v;
    RecreateWnd();
}

// ---- rich edit ---------------------------------------------------------------------------------

namespace {
const char* RichEditClass() {
    static const char* cls = [] {
        if (LoadLibraryA("riched20.dll")) return RICHEDIT_CLASSA;  // "RichEdit20A"
        if (LoadLibraryA("riched32.dll")) return "RICHEDIT";
        return "EDIT";
    }();
    return cls;
}
}  // namespace

TRichEdit::TRichEdit(TComponent* AOwner) : TCustomMemo(AOwner) {}

bool TRichEdit::Available() { return std::string(RichEditClass()) != "EDIT"; }

void TRichEdit::CreateParams(TCreateParams& P) {
    TCustomMemo::CreateParams(P);
    // Replace the plain edit base taken by the memo with the rich edit.
    std::string base = P.WinClassName.substr(0, P.WinClassName.rfind(':'));
    P.WinClassName = base;
    CreateSubClass(P, RichEditClass());
}

void TRichEdit::CreateWnd() {
    TCustomMemo::CreateWnd();
    SendMessageA(Handle(), EM_SETEVENTMASK, 0, ENM_CHANGE);
    SendMessageA(Handle(), EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ColorToRGB(Color())));
}

void TRichEdit::UpdateMaxLength() {
    if (!Available()) {
        TCustomMemo::UpdateMaxLength();
        return;
    }
    // The rich edit's own default is 32,767 characters (and 0 means 64 K):
    // far too little for the log of a long run, so no MaxLength means as
    // much as memory holds.
    LPARAM limit = MaxLength() > 0 ? MaxLength() : 0x7FFFFFFE;
    SendMessageA(Handle(), EM_EXLIMITTEXT, 0, limit);
}

// ---- page control --------------------------------------------------------------------------------

TTabSheet::TTabSheet(TComponent* AOwner) : TWinControl(AOwner) {
    SetControlStyle({csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks});
    SetVisible(false);
}

TTabSheet::~TTabSheet() {
    Destroying();
    if (page_control_) page_control_->RemovePage(this);
}

void TTabSheet::SetPageControl(TPageControl* v) {
    if (v == page_control_) return;
    if (page_control_) page_control_->RemovePage(this);
    SetParent(v);
    if (v) v->InsertPage(this);
}

int TTabSheet::PageIndex() const {
    if (!page_control_) return -1;
    auto& l = page_control_->pages_;
    auto it = std::find(l.begin(), l.end(), this);
    return it == l.end() ? -1 : static_cast<int>(it - l.begin());
}

void TTabSheet::SetPageIndex(int v) {
    if (!page_control_) return;
    auto& l = page_control_->pages_;
    l.erase(std::remove(l.begin(), l.end(), this), l.end());
    v = std::clamp(v, 0, static_cast<int>(l.size()));
    l.insert(l.begin() + v, this);
    page_control_->UpdateTabs();
}

void TTabSheet::SetTabVisible(bool v) {
    tab_visible_ = v;
    if (page_control_) {
        if (!v && page_control_->active_ == this) page_control_->SetActivePage(nullptr);
        page_control_->UpdateTabs();
    }
}

void TTabSheet::SetImageIndex(int v) {
    image_index_ = v;
    if (page_control_) page_control_->UpdateTabs();
}

void TTabSheet::WndProc(TMessage& m) {
    TWinControl::WndProc(m);
    if (m.Msg == CM_TEXTCHANGED && page_control_) page_control_->UpdateTabs();
}

TPageControl::TPageControl(TComponent* AOwner) : TWinControl(AOwner) {
    SetControlStyle({csAcceptsControls, csDoubleClicks});
    SetBounds(0, 0, 289, 193);
    SetTabStop(true);
}

TPageControl::~TPageControl() {
    Destroying();
    for (TTabSheet* p : pages_) p->page_control_ = nullptr;
    pages_.clear();
    active_ = nullptr;
}

void TPageControl::CreateParams(TCreateParams& P) {
    TWinControl::CreateParams(P);
    CreateSubClass(P, WC_TABCONTROLA);
    P.Style |= WS_CLIPCHILDREN;
    P.WindowClass.style &= ~(CS_HREDRAW | CS_VREDRAW);
}

void TPageControl::CreateWnd() {
    TWinControl::CreateWnd();
    if (images_) SendMessageA(Handle(), TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_->Handle()));
    UpdateTabs();
}

void TPageControl::Notification(TComponent* AComponent, TOperation Operation) {
    TWinControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == images_) images_ = nullptr;
}

void TPageControl::SetImages(TCustomImageList* v) {
    if (images_) images_->RemoveFreeNotification(this);
    images_ = v;
    if (v) v->FreeNotification(this);
    if (HandleAllocated())
        SendMessageA(Handle(), TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(v ? v->Handle() : nullptr));
}

void TPageControl::InsertPage(TTabSheet* Page) {
    if (std::find(pages_.begin(), pages_.end(), Page) != pages_.end()) return;
    pages_.push_back(Page);
    Page->page_control_ = this;
    UpdateTabs();
    if (!active_ && Page->tab_visible_) SetActivePage(Page);
}

void TPageControl::RemovePage(TTabSheet* Page) {
    pages_.erase(std::remove(pages_.begin(), pages_.end(), Page), pages_.end());
    Page->page_control_ = nullptr;
    if (active_ == Page) {
        active_ = nullptr;
        if (!ComponentState().contains(csDestroying)) {
            for (TTabSheet* p : pages_)
                if (p->tab_visible_) {
                    SetActivePage(p);
                    break;
                }
        }
    }
    if (!ComponentState().contains(csDestroying)) UpdateTabs();
}

int TPageControl::TabIndexOf(const TTabSheet* Page) const {
    int t = 0;
    for (TTabSheet* p : pages_) {
        if (!p->tab_visible_) continue;
        if (p == Page) return t;
        ++t;
    }
    return -1;
}

TTabSheet* TPageControl::PageOfTab(int TabIndex) const {
    int t = 0;
    for (TTabSheet* p : pages_) {
        if (!p->tab_visible_) continue;
        if (t == TabIndex) return p;
        ++t;
    }
    return nullptr;
}

void TPageControl::UpdateTabs() {
    if (!HandleAllocated()) return;
    HWND h = Handle();
    SendMessageA(h, TCM_DELETEALLITEMS, 0, 0);
    int t = 0;
    for (TTabSheet* p : pages_) {
        if (!p->tab_visible_) continue;
        std::string cap = p->Caption();
        TCITEMA it{};
        it.mask = TCIF_TEXT | TCIF_IMAGE;
        it.pszText = cap.data();
        it.iImage = p->image_index_;
        SendMessageA(h, TCM_INSERTITEMA, static_cast<WPARAM>(t++), reinterpret_cast<LPARAM>(&it));
    }
    SendMessageA(h, TCM_SETCURSEL, static_cast<WPARAM>(TabIndexOf(active_)), 0);
    Realign();
}

TRect TPageControl::DisplayRect() {
    RECT r{0, 0, Width(), Height()};
    if (HandleAllocated()) {
        GetClientRect(Handle(), &r);
        SendMessageA(Handle(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
    }
    return {r.left, r.top, r.right, r.bottom};
}

void TPageControl::AlignControls(TControl* AControl, TRect& Rect) {
    TRect d = DisplayRect();
    for (TTabSheet* p : pages_) p->SetBounds(d.Left, d.Top, d.Width(), d.Height());
    TWinControl::AlignControls(AControl, d);
}

void TPageControl::SetActivePage(TTabSheet* v) {
    if (v && v->page_control_ != this) return;
    if (v == active_) return;
    TTabSheet* old = active_;
    active_ = v;
    if (v) {
        TRect d = DisplayRect();
        v->SetBounds(d.Left, d.Top, d.Width(), d.Height());
        v->SetVisible(true);
        v->BringToFront();
        if (v->HandleAllocated())
            SetWindowPos(v->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    if (old) old->SetVisible(false);
    if (HandleAllocated()) SendMessageA(Handle(), TCM_SETCURSEL, static_cast<WPARAM>(TabIndexOf(v)), 0);
}

int TPageControl::ActivePageIndex() const { return active_ ? active_->PageIndex() : -1; }

void TPageControl::SetActivePageIndex(int v) {
    SetActivePage(v >= 0 && v < PageCount() ? pages_[static_cast<size_t>(v)] : nullptr);
}

void TPageControl::WndProc(TMessage& m) {
    if (m.Msg == CN_NOTIFY) {
        auto* hdr = reinterpret_cast<NMHDR*>(m.LParam);
        if (hdr->code == TCN_SELCHANGING) {
            bool allow = true;
            if (OnChanging && !Silent()) OnChanging(this, allow);
            m.Result = allow ? 0 : 1;
            return;
        }
        if (hdr->code == TCN_SELCHANGE) {
            int t = static_cast<int>(SendMessageA(Handle(), TCM_GETCURSEL, 0, 0));
            SetActivePage(PageOfTab(t));
            if (OnChange && !Silent()) OnChange(this);
            return;
        }
        return;
    }
    TWinControl::WndProc(m);
}

}  // namespace bramble
