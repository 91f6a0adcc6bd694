#include "ui/stdctrls.h"

#include <algorithm>

namespace bramble {

// ---- TComboBox ----------------------------------------------------------------------------------

TComboBox::TComboBox(TComponent* AOwner) : TWinControl(AOwner) {
    SetControlStyle({csCaptureMouse, csSetCaption, csDoubleClicks});
    SetBounds(0, 0, 145, 21);
    SetTabStop(true);
    SetParentColor(false);
    SetColor(clWindow);
    items_.OnChange = [this](TObject*) { SyncItems(); };
}

TComboBox::~TComboBox() {
    Destroying();
    items_.OnChange = nullptr;
}

void TComboBox::CreateParams(TCreateParams& P) {
    TWinControl::CreateParams(P);
    CreateSubClass(P, "COMBOBOX");
    P.Style |= WS_VSCROLL | CBS_AUTOHSCROLL;
    switch (style_) {
        case csDropDown: P.Style |= CBS_DROPDOWN; break;
        case csSimple: P.Style |= CBS_SIMPLE; break;
        case csDropDownList: P.Style |= CBS_DROPDOWNLIST; break;
        case csOwnerDrawFixed: P.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED; break;
        case csOwnerDrawVariable: P.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWVARIABLE; break;
    }
    // Owner-drawn rows keep their text in the control too: without it the
    // control stores the string's address as the row's data, and has no
    // text to show as the selection or to search when the user types.
    if (style_ == csOwnerDrawFixed || style_ == csOwnerDrawVariable) P.Style |= CBS_HASSTRINGS;
    // The drop-down list is part of the window's height.
    if (style_ != csSimple) P.Height = Height() + std::max(item_height_, 16) * drop_down_count_ + 2;
}

void TComboBox::CreateWnd() {
    std::string keep = text_;
    TWinControl::CreateWnd();
    SyncItems();
    if (style_ == csOwnerDrawFixed) SendMessageA(Handle(), CB_SETITEMHEIGHT, 0, item_height_);
    if (max_length_) SendMessageA(Handle(), CB_LIMITTEXT, static_cast<WPARAM>(max_length_), 0);
    if (item_index_ >= 0) SendMessageA(Handle(), CB_SETCURSEL, static_cast<WPARAM>(item_index_), 0);
    if (style_ == csDropDown || style_ == csSimple) SetWindowTextA(Handle(), keep.c_str());
}

void TComboBox::DestroyWnd() {
    if (HandleAllocated()) item_index_ = static_cast<int>(SendMessageA(Handle(), CB_GETCURSEL, 0, 0));
    TWinControl::DestroyWnd();
}

void TComboBox::SyncItems() {
    if (!HandleAllocated() || syncing_) return;
    syncing_ = true;
    HWND h = Handle();
    std::string keep = (style_ == csDropDown || style_ == csSimple) ? GetText() : std::string();
    int sel = static_cast<int>(SendMessageA(h, CB_GETCURSEL, 0, 0));
    SendMessageA(h, WM_SETREDRAW, FALSE, 0);
    SendMessageA(h, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < items_.Count(); ++i) {
        std::string s = items_.Get(i);
        SendMessageA(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()));
    }
    if (sel >= 0 && sel < items_.Count()) SendMessageA(h, CB_SETCURSEL, static_cast<WPARAM>(sel), 0);
    if (!keep.empty() && sel < 0) SetWindowTextA(h, keep.c_str());
    SendMessageA(h, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(h, nullptr, TRUE);
    syncing_ = false;
}

int TComboBox::ItemIndex() const {
    if (!HandleAllocated()) return item_index_;
    return static_cast<int>(SendMessageA(const_cast<TComboBox*>(this)->Handle(), CB_GETCURSEL, 0, 0));
}

void TComboBox::SetItemIndex(int v) {
    if (v < -1 || v >= items_.Count()) v = -1;
    item_index_ = v;
    if (HandleAllocated()) {
        SendMessageA(Handle(), CB_SETCURSEL, static_cast<WPARAM>(v), 0);
    } else {
        text_ = v >= 0 ? items_.Get(v) : std::string();
    }
}

void TComboBox::SetText(const std::string& v) {
    if (style_ == csDropDownList || style_ == csOwnerDrawFixed || style_ == csOwnerDrawVariable) {
        int i = -1;
        for (int k = 0; k < items_.Count(); ++k)
            if (items_.Get(k) == v) {
                i = k;
                break;
            }
        SetItemIndex(i);
        return;
    }
    TWinControl::SetText(v);
}

void TComboBox::SetStyle(TComboBoxStyle v) {
    if (v == style_) return;
    style_ = v;
    RecreateWnd();
}

void TComboBox::SetDropDownCount(int v) {
    drop_down_count_ = std::max(v, 1);
    RecreateWnd();
}

void TComboBox::SetItemHeight(int v) {
    item_height_ = std::max(v, 1);
    if (HandleAllocated() && style_ == csOwnerDrawFixed) SendMessageA(Handle(), CB_SETITEMHEIGHT, 0, item_height_);
}

void TComboBox::SetMaxLength(int v) {
    max_length_ = std::max(v, 0);
    if (HandleAllocated()) SendMessageA(Handle(), CB_LIMITTEXT, static_cast<WPARAM>(max_length_), 0);
}

bool TComboBox::DroppedDown() const {
    return HandleAllocated() &&
           SendMessageA(const_cast<TComboBox*>(this)->Handle(), CB_GETDROPPEDSTATE, 0, 0) != 0;
}

void TComboBox::SetDroppedDown(bool v) { SendMessageA(Handle(), CB_SHOWDROPDOWN, v, 0); }

void TComboBox::Change() {
    if (OnChange && !Silent()) OnChange(this);
}

void TComboBox::DrawItem(int Index, TRect R, TOwnerDrawState State) {
    if (OnDrawItem) {
        OnDrawItem(this, Index, R, State);
        return;
    }
    canvas_.FillRect(R);
    if (Index >= 0 && Index < items_.Count()) canvas_.TextOut(R.Left + 2, R.Top, items_.Get(Index));
}

void TComboBox::MeasureItem(int Index, int& Height) {
    if (OnMeasureItem) OnMeasureItem(this, Index, Height);
}

void TComboBox::WndProc(TMessage& m) {
    switch (m.Msg) {
        case CN_COMMAND:
            switch (HIWORD(m.WParam)) {
                case CBN_SELCHANGE: {
                    int i = ItemIndex();
                    item_index_ = i;
                    if (i >= 0 && i < items_.Count()) text_ = items_.Get(i);
                    TAliveToken alive = AliveToken();
                    Click();
                    if (alive.Alive()) Change();
                    break;
                }
                case CBN_EDITCHANGE: Change(); break;
                case CBN_DROPDOWN:
                    if (OnDropDown && !Silent()) OnDropDown(this);
                    break;
                default: break;
            }
            return;
        case CN_DRAWITEM: {
            auto& d = *reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
            TOwnerDrawState st;
            if (d.itemState & ODS_SELECTED) st.insert(odSelected);
            if (d.itemState & ODS_FOCUS) st.insert(odFocused);
            if (d.itemState & ODS_DISABLED) st.insert(odDisabled);
            if (d.itemState & ODS_COMBOBOXEDIT) st.insert(odComboBoxEdit);
            canvas_.SetHandle(d.hDC);
            struct Detach {
                TCanvas& c;
                ~Detach() { c.SetHandle(nullptr); }
            } detach{canvas_};
            canvas_.Font().Assign(Font());
            bool sel = st.contains(odSelected);
            canvas_.Brush().SetColor(sel ? clHighlight : Color());
            canvas_.Font().SetColor(sel ? clHighlightText : Font().Color());
            DrawItem(static_cast<int>(d.itemID), Rect(d.rcItem.left, d.rcItem.top, d.rcItem.right, d.rcItem.bottom), st);
            if (st.contains(odFocused)) DrawFocusRect(d.hDC, &d.rcItem);
            m.Result = 1;
            return;
        }
        case CN_MEASUREITEM: {
            auto& mi = *reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
            int h = item_height_;
            MeasureItem(static_cast<int>(mi.itemID), h);
            mi.itemHeight = static_cast<UINT>(h);
            m.Result = 1;
            return;
        }
        default: break;
    }
    TWinControl::WndProc(m);
}

}  // namespace bramble
