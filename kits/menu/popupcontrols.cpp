// The popup window's side of the item controls: choosing, editing, keys,
// the pointer over button arrays, painting, and the tooltips.
#include <algorithm>

#include "kits/menu/itemcontrols.h"
#include "kits/menu/menustate.h"
#include "kits/menu/popupmenu.h"
#include "kits/menu/tooltip.h"
#include "ui/forms.h"

namespace bramble {

TMenuItem2000* TPopupMenu2000Form::EditingItem() const {
    return editing_ && editing_alive_.Alive() ? editing_ : nullptr;
}

bool TPopupMenu2000Form::StartEditing(TMenuItem2000* Item, int X) {
    if (Item->Control() != ctlEditbox) return false;
    T_LFM_EditboxOptions& e = Item->Editbox();
    if (EditingItem() == Item && e.Editing()) {
        e.PlaceCaret(X);
        return true;
    }
    EndEditing(false);
    TAliveToken alive = Item->AliveToken(), self = popup_->AliveToken();
    Item->Click();
    // A torn-off menu never has the keyboard: no edit starts there that
    // could not be typed into or ended.
    if (!alive.Alive() || !self.Alive() || closing_ || !IsOpen() || floating_ || Item->Control() != ctlEditbox)
        return true;
    editing_ = Item;
    editing_alive_ = alive;
    Item->Editbox().BeginEdit(X);
    return true;
}

void TPopupMenu2000Form::EndEditing(bool Accept) {
    TMenuItem2000* item = EditingItem();
    editing_ = nullptr;
    editing_alive_ = TAliveToken();
    if (item && item->Control() == ctlEditbox && item->Editbox().Editing()) item->Editbox().EndEdit(Accept);
}

void TPopupMenu2000Form::ControlsClosed() {
    tips_.reset();
    for (TMenuItem* it : shown_)
        if (auto* k = dynamic_cast<TMenuItem2000*>(it); k && k->Control() == ctlButtonArray)
            k->ButtonArray().SetHotButton(-1);
}

bool TPopupMenu2000Form::ControlCursor() {
    if (selected_ < 0 || selected_ >= ShownCount()) return false;
    auto* k = dynamic_cast<TMenuItem2000*>(shown_[static_cast<size_t>(selected_)]);
    if (!k || k->Control() != ctlEditbox) return false;
    POINT pt;
    GetCursorPos(&pt);
    ScreenToClient(wnd_, &pt);
    RECT r = ItemRect(selected_);
    r.left = std::max<LONG>(r.left, k->Editbox().Field().left);
    InflateRect(&r, 0, -2);
    if (!PtInRect(&r, pt)) return false;
    SetCursor(LoadCursor(nullptr, IDC_IBEAM));
    return true;
}

void TPopupMenu2000Form::ControlChosen(TMenuItem2000* Item) {
    if (Item->Control() == ctlButton) {
        T_LFM_ButtonOptions& b = Item->Button();
        b.SetDown(!b.Down());
    } else if (Item->Control() == ctlButtonArray) {
        // A pick by key keeps the array's choice; a click takes its cell.
        T_LFM_ButtonArrayOptions& a = Item->ButtonArray();
        if (a.HotButton() >= 0) a.SetItemIndex(a.HotButton());
    }
}

bool TPopupMenu2000Form::EditKeyMessage(const MSG& Msg) {
    TMenuItem2000* item = EditingItem();
    if (!item || item->Control() != ctlEditbox) {
        editing_ = nullptr;
        return false;
    }
    T_LFM_EditboxOptions& e = item->Editbox();
    if (Msg.message == WM_CHAR) {
        char ch = static_cast<char>(Msg.wParam);
        if (static_cast<unsigned char>(ch) >= 32) e.KeyPress(ch);
        return true;
    }
    if (Msg.message != WM_KEYDOWN && Msg.message != WM_SYSKEYDOWN) return Msg.message == WM_KEYUP;
    if (Msg.message == WM_SYSKEYDOWN && (Msg.wParam == VK_MENU || Msg.wParam == VK_F10)) return false;
    if (Msg.wParam == VK_RETURN || Msg.wParam == VK_ESCAPE) {
        EndEditing(Msg.wParam == VK_RETURN);
        return true;
    }
    TShiftState shift;
    if (GetKeyState(VK_SHIFT) < 0) shift.insert(ssShift);
    if (GetKeyState(VK_CONTROL) < 0) shift.insert(ssCtrl);
    if (GetKeyState(VK_MENU) < 0) shift.insert(ssAlt);
    WORD key = static_cast<WORD>(Msg.wParam);
    e.KeyDown(key, shift);
    // A key the box did not take may still type a character.
    if (key != 0) TranslateMessage(&Msg);
    return true;
}

void TPopupMenu2000Form::ControlMouseMove(int X, int Y) {
    if (tips_) {
        tips_->RelayMouseMove(POINT{X, Y});
        tips_->Activate();
    }
    int idx = ItemAtPos(X, Y);
    for (int i = 0; i < ShownCount(); ++i) {
        auto* k = dynamic_cast<TMenuItem2000*>(shown_[static_cast<size_t>(i)]);
        if (!k || k->Control() != ctlButtonArray) continue;
        T_LFM_ButtonArrayOptions& a = k->ButtonArray();
        int hot = i == idx ? a.ButtonAtPos(X, Y) : -1;
        if (hot == a.HotButton()) continue;
        a.SetHotButton(hot);
        if (hot >= 0) {
            std::string h = a.CellHint(hot);
            if (Application) Application->SetHint(h);
            ShowStatusHint(h, popup_->StatusBar(), popup_->StatusBarIndex);
        }
        Repaint();
    }
}

bool TPopupMenu2000Form::PaintControl(const ItemDrawContext& C, const ItemDrawState& S, TMenuItem* Item) {
    auto* k = dynamic_cast<TMenuItem2000*>(Item);
    if (!k || k->Control() == ctlNone || Item->IsLine()) return false;
    ControlDrawInfo info;
    info.Context = C;
    info.State = S;
    info.State.Pressed = S.Pressed || (EditingItem() == k);
    info.ItemRect = RECT{C.Cols.ItemLeft, C.Top, C.Cols.ItemRight, C.Top + C.Height};
    info.LeftDown = left_down_;
    info.EditColumn = C.Cols.ItemLeft + 2 + edit_caption_ + 5;
    if (k->Control() == ctlButtonArray) k->ButtonArray().PlaceIn(info.ItemRect);
    k->ControlOptions().Paint(info);
    return true;
}

void TPopupMenu2000Form::BuildToolTips() {
    tips_.reset();
    if (!popup_->ShowHint() || popup_->StatusBar()) return;
    tips_ = std::make_unique<T_LFM_ToolTipWindow>(wnd_);
    int width = full_w_;
    if (options_.Draggable && !floating_) {
        int y = options_.Margins.Top + options_.Margins.Border + (frame_ ? 2 : 0);
        tips_->AddTool(RECT{2, y, width - 2, y + 9}, "Drag to make this menu float");
    }
    for (int i = 0; i < ShownCount(); ++i) {
        TMenuItem* it = shown_[static_cast<size_t>(i)];
        if (!it || it->IsLine()) continue;
        RECT r = ItemRect(i);
        auto* k = dynamic_cast<TMenuItem2000*>(it);
        if (k && k->Control() == ctlButtonArray && !k->ButtonArray().Bitmap().Empty()) {
            T_LFM_ButtonArrayOptions& a = k->ButtonArray();
            menukit::CellGrid g{0, 0, a.Bitmap().Width(), a.Bitmap().Height(), a.Rows(), a.Columns()};
            int cw = g.CellWidth(), ch = g.CellHeight();
            if (cw <= 0 || ch <= 0) continue;
            int x = r.left + 2, y = r.top + 1;
            int n = std::min(a.Count(), a.Hints().Count());
            for (int c = 0; c < n; ++c) {
                std::string h = a.CellHint(c);
                if (h.empty()) continue;
                int col = c % a.Columns(), row = c / a.Columns();
                tips_->AddTool(RECT{x + col * cw, y + row * ch, x + (col + 1) * cw, y + (row + 1) * ch}, h);
            }
            continue;
        }
        std::string hint = k ? k->KitHint() : it->Hint();
        if (!hint.empty() && hint != "\x01") tips_->AddTool(RECT{0, r.top, width, r.bottom}, hint);
    }
}

}  // namespace bramble
