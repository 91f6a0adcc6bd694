// The list view with its columns and items, declared with the other common controls.
#include "ui/comctrls.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace bramble {

static void SetStyleBit(HWND h, DWORD bit, bool on) {
    LONG s = GetWindowLongA(h, GWL_STYLE);
    SetWindowLongA(h, GWL_STYLE, on ? (s | static_cast<LONG>(bit)) : (s & ~static_cast<LONG>(bit)));
}


// ---- columns -----------------------------------------------------------------------------------

static int FmtOf(TAlignment a) {
    return a == taRightJustify ? LVCFMT_RIGHT : a == taCenter ? LVCFMT_CENTER : LVCFMT_LEFT;
}

void TListColumn::SetCaption(const std::string& v) {
    caption_ = v;
    owner_->UpdateColumn(Index());
}

int TListColumn::Width() const {
    if (owner_->HandleAllocated() && owner_->view_style_ == vsReport) {
        int w = static_cast<int>(SendMessageA(owner_->Handle(), LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(Index()), 0));
        if (w > 0) return w;
    }
    return width_;
}

void TListColumn::SetWidth(int v) {
    width_ = v;
    owner_->UpdateColumn(Index());
}

void TListColumn::SetAlignment(TAlignment v) {
    alignment_ = v;
    owner_->UpdateColumn(Index());
}

int TListColumn::Index() const {
    auto& l = owner_->columns_.columns_;
    for (size_t i = 0; i < l.size(); ++i)
        if (l[i].get() == this) return static_cast<int>(i);
    return -1;
}

TListColumn* TListColumns::Add() {
    columns_.push_back(std::unique_ptr<TListColumn>(new TListColumn(owner_)));
    owner_->UpdateColumns();
    return columns_.back().get();
}

TListColumn* TListColumns::Items(int Index) const {
    if (Index < 0 || Index >= Count()) throw EListError(Format(SListIndexError, Index));
    return columns_[static_cast<size_t>(Index)].get();
}

void TListColumns::Delete(int Index) {
    if (Index < 0 || Index >= Count()) throw EListError(Format(SListIndexError, Index));
    columns_.erase(columns_.begin() + Index);
    owner_->UpdateColumns();
}

void TListColumns::Clear() {
    columns_.clear();
    owner_->UpdateColumns();
}

// ---- items -------------------------------------------------------------------------------------

TListItem::TListItem(TListView* Owner) : owner_(Owner) {
    sub_items_.OnChange = [this](TObject*) {
        if (virtual_index_ < 0)
            for (int s = 1; s <= owner_->columns_.Count(); ++s) Push(s);
    };
}

void TListItem::Push(int sub) {
    if (virtual_index_ >= 0 || !owner_->HandleAllocated()) return;
    int i = Index();
    if (i < 0) return;
    std::string t = sub == 0 ? caption_ : (sub - 1 < sub_items_.Count() ? sub_items_.Get(sub - 1) : std::string());
    LVITEMA it{};
    it.iSubItem = sub;
    it.pszText = t.data();
    SendMessageA(owner_->Handle(), LVM_SETITEMTEXTA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&it));
}

void TListItem::SetCaption(const std::string& v) {
    caption_ = v;
    Push(0);
}

void TListItem::SetImageIndex(int v) {
    image_index_ = v;
    if (virtual_index_ >= 0 || !owner_->HandleAllocated()) return;
    LVITEMA it{};
    it.mask = LVIF_IMAGE;
    it.iItem = Index();
    it.iImage = v;
    SendMessageA(owner_->Handle(), LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&it));
}

int TListItem::Index() const {
    if (virtual_index_ >= 0) return virtual_index_;
    return owner_->items_.IndexOf(this);
}

bool TListItem::Selected() const { return owner_->IsSelected(Index()); }
void TListItem::SetSelected(bool v) { owner_->SetIsSelected(Index(), v); }

bool TListItem::Focused() const {
    if (!owner_->HandleAllocated()) return false;
    return SendMessageA(owner_->Handle(), LVM_GETITEMSTATE, static_cast<WPARAM>(Index()), LVIS_FOCUSED) != 0;
}

void TListItem::SetFocused(bool v) {
    LVITEMA it{};
    it.stateMask = LVIS_FOCUSED;
    it.state = v ? LVIS_FOCUSED : 0;
    SendMessageA(owner_->Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(Index()), reinterpret_cast<LPARAM>(&it));
}

void TListItem::MakeVisible(bool PartialOK) {
    SendMessageA(owner_->Handle(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(Index()), PartialOK);
}

void TListItem::Delete() {
    int i = Index();
    if (virtual_index_ < 0 && i >= 0) owner_->items_.Delete(i);
}

TListItems::~TListItems() = default;

int TListItems::Count() const {
    return owner_->owner_data_ ? virtual_count_ : static_cast<int>(items_.size());
}

void TListItems::SetCount(int v) {
    if (v < 0) v = 0;
    owner_->ResetDataCache();
    if (owner_->owner_data_) {
        virtual_count_ = v;
        if (owner_->HandleAllocated())
            SendMessageA(owner_->Handle(), LVM_SETITEMCOUNT, static_cast<WPARAM>(v), 0);
        return;
    }
    while (Count() > v) Delete(Count() - 1);
    while (Count() < v) Add();
}

TListItem* TListItems::Add() { return Insert(Count()); }

TListItem* TListItems::Insert(int Index) {
    if (owner_->owner_data_) throw EListError("Not allowed on an owner-data list");
    if (Index < 0 || Index > Count()) throw EListError(Format(SListIndexError, Index));
    auto item = std::unique_ptr<TListItem>(new TListItem(owner_));
    TListItem* p = item.get();
    items_.insert(items_.begin() + Index, std::move(item));
    owner_->InsertItemWindow(Index, p);
    return p;
}

TListItem* TListItems::Item(int Index) {
    if (owner_->owner_data_) {
        if (Index < 0 || Index >= virtual_count_) throw EListError(Format(SListIndexError, Index));
        return owner_->DataItem(Index);
    }
    if (Index < 0 || Index >= Count()) throw EListError(Format(SListIndexError, Index));
    return items_[static_cast<size_t>(Index)].get();
}

void TListItems::Delete(int Index) {
    if (owner_->owner_data_) throw EListError("Not allowed on an owner-data list");
    if (Index < 0 || Index >= Count()) throw EListError(Format(SListIndexError, Index));
    if (owner_->HandleAllocated()) SendMessageA(owner_->Handle(), LVM_DELETEITEM, static_cast<WPARAM>(Index), 0);
    items_.erase(items_.begin() + Index);
}

void TListItems::Clear() {
    owner_->ResetDataCache();
    if (owner_->HandleAllocated()) SendMessageA(owner_->Handle(), LVM_DELETEALLITEMS, 0, 0);
    items_.clear();
    virtual_count_ = 0;
    if (owner_->owner_data_ && owner_->HandleAllocated())
        SendMessageA(owner_->Handle(), LVM_SETITEMCOUNT, 0, 0);
}

int TListItems::IndexOf(const TListItem* Item) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].get() == Item) return static_cast<int>(i);
    return -1;
}

void TListItems::BeginUpdate() {
    if (update_count_++ == 0 && owner_->HandleAllocated()) SendMessageA(owner_->Handle(), WM_SETREDRAW, FALSE, 0);
}

void TListItems::EndUpdate() {
    if (update_count_ > 0 && --update_count_ == 0 && owner_->HandleAllocated()) {
        SendMessageA(owner_->Handle(), WM_SETREDRAW, TRUE, 0);
        InvalidateRect(owner_->Handle(), nullptr, TRUE);
    }
}

// ---- TListView ---------------------------------------------------------------------------------

TListView::TListView(TComponent* AOwner) : TWinControl(AOwner), columns_(this), items_(this) {
    SetControlStyle({csSetCaption, csDoubleClicks});
    SetBounds(0, 0, 250, 150);
    SetTabStop(true);
    SetParentColor(false);
    SetColor(clWindow);
    small_link_.OnChange = [this](TObject*) { UpdateImages(); };
    large_link_.OnChange = [this](TObject*) { UpdateImages(); };
}

TListView::~TListView() {
    Destroying();
    if (small_images_) small_images_->UnRegisterChanges(&small_link_);
    if (large_images_) large_images_->UnRegisterChanges(&large_link_);
    DestroyHandle();
}

void TListView::CreateParams(TCreateParams& P) {
    TWinControl::CreateParams(P);
    CreateSubClass(P, WC_LISTVIEWA);
    static const DWORD views[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
    P.Style |= views[view_style_] | LVS_SHAREIMAGELISTS;
    if (!multi_select_) P.Style |= LVS_SINGLESEL;
    if (!read_only_) P.Style |= LVS_EDITLABELS;
    if (!hide_selection_) P.Style |= LVS_SHOWSELALWAYS;
    if (!show_headers_) P.Style |= LVS_NOCOLUMNHEADER;
    if (owner_data_) P.Style |= LVS_OWNERDATA;
    P.ExStyle |= WS_EX_CLIENTEDGE;
    P.WindowClass.style &= ~(CS_HREDRAW | CS_VREDRAW);
}

void TListView::CreateWnd() {
    TWinControl::CreateWnd();
    HWND h = Handle();
    SendMessageA(h, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(ColorToRGB(Color())));
    SendMessageA(h, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(ColorToRGB(Color())));
    SendMessageA(h, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(ColorToRGB(Font().Color())));
    UpdateExStyle();
    UpdateImages();
    UpdateColumns();
    if (owner_data_) {
        SendMessageA(h, LVM_SETITEMCOUNT, static_cast<WPARAM>(items_.virtual_count_), 0);
    } else {
        for (size_t i = 0; i < items_.items_.size(); ++i) InsertItemWindow(static_cast<int>(i), items_.items_[i].get());
    }
}

void TListView::DestroyWnd() {
    // Column widths the user chose survive a new window.
    if (HandleAllocated() && view_style_ == vsReport)
        for (auto& c : columns_.columns_) c->width_ = c->Width();
    TWinControl::DestroyWnd();
}

void TListView::UpdateExStyle() {
    if (!HandleAllocated()) return;
    DWORD ex = (grid_lines_ ? LVS_EX_GRIDLINES : 0) | (row_select_ ? LVS_EX_FULLROWSELECT : 0);
    SendMessageA(Handle(), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT, ex);
}

void TListView::UpdateImages() {
    if (!HandleAllocated()) return;
    SendMessageA(Handle(), LVM_SETIMAGELIST, LVSIL_SMALL,
                 reinterpret_cast<LPARAM>(small_images_ ? small_images_->Handle() : nullptr));
    SendMessageA(Handle(), LVM_SETIMAGELIST, LVSIL_NORMAL,
                 reinterpret_cast<LPARAM>(large_images_ ? large_images_->Handle() : nullptr));
}

void TListView::UpdateColumns() {
    if (!HandleAllocated()) return;
    HWND h = Handle();
    while (SendMessageA(h, LVM_DELETECOLUMN, 0, 0)) {
    }
    for (int i = 0; i < columns_.Count(); ++i) {
        TListColumn* c = columns_.Items(i);
        LVCOLUMNA col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        col.fmt = i == 0 ? LVCFMT_LEFT : FmtOf(c->alignment_);
        col.cx = c->width_;
        col.pszText = c->caption_.data();
        col.iSubItem = i;
        SendMessageA(h, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&col));
    }
    if (!owner_data_)
        for (auto& it : items_.items_)
            for (int s = 1; s < columns_.Count(); ++s) it->Push(s);
}

void TListView::UpdateColumn(int Index) {
    if (!HandleAllocated() || Index < 0) return;
    TListColumn* c = columns_.Items(Index);
    LVCOLUMNA col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    col.fmt = Index == 0 ? LVCFMT_LEFT : FmtOf(c->alignment_);
    col.cx = c->width_;
    col.pszText = c->caption_.data();
    SendMessageA(Handle(), LVM_SETCOLUMNA, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&col));
}

void TListView::InsertItemWindow(int Index, TListItem* Item) {
    if (!HandleAllocated()) return;
    LVITEMA it{};
    it.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    it.iItem = Index;
    it.pszText = Item->caption_.data();
    it.iImage = Item->image_index_;
    it.lParam = reinterpret_cast<LPARAM>(Item);
    SendMessageA(Handle(), LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&it));
    for (int s = 1; s < columns_.Count(); ++s) Item->Push(s);
}

TListItem* TListView::DataItem(int Index) {
    if (!data_item_) data_item_ = std::unique_ptr<TListItem>(new TListItem(this));
    if (cached_index_ == Index) return data_item_.get();
    TListItem* d = data_item_.get();
    d->virtual_index_ = Index;
    d->caption_.clear();
    d->sub_items_.Clear();
    d->image_index_ = -1;
    d->data_ = nullptr;
    cached_index_ = Index;
    if (OnData) OnData(this, d);
    return d;
}

void TListView::Notification(TComponent* AComponent, TOperation Operation) {
    TWinControl::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == small_images_) small_images_ = nullptr;
    if (AComponent == large_images_) large_images_ = nullptr;
    if ((AComponent == small_images_ || AComponent == large_images_) && !ComponentState().contains(csDestroying))
        UpdateImages();
}

void TListView::SetSmallImages(TCustomImageList* v) {
    if (v == small_images_) return;
    SwitchImageList(this, small_images_, v, small_link_);
    UpdateImages();
}

void TListView::SetLargeImages(TCustomImageList* v) {
    if (v == large_images_) return;
    SwitchImageList(this, large_images_, v, large_link_);
    UpdateImages();
}

void TListView::SetViewStyle(TViewStyle v) {
    if (v == view_style_) return;
    if (HandleAllocated() && view_style_ == vsReport)
        for (auto& c : columns_.columns_) c->width_ = c->Width();
    view_style_ = v;
    if (HandleAllocated()) {
        static const DWORD views[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
        LONG s = GetWindowLongA(Handle(), GWL_STYLE);
        SetWindowLongA(Handle(), GWL_STYLE, static_cast<LONG>((s & ~LVS_TYPEMASK) | views[v]));
        InvalidateRect(Handle(), nullptr, TRUE);
    }
}

void TListView::SetOwnerData(bool v) {
    if (v == owner_data_) return;
    items_.Clear();
    owner_data_ = v;
    RecreateWnd();
}

void TListView::SetMultiSelect(bool v) {
    if (v == multi_select_) return;
    multi_select_ = v;
    if (HandleAllocated()) SetStyleBit(Handle(), LVS_SINGLESEL, !v);
}

void TListView::SetReadOnly(bool v) {
    if (v == read_only_) return;
    read_only_ = v;
    if (HandleAllocated()) SetStyleBit(Handle(), LVS_EDITLABELS, !v);
}

void TListView::SetRowSelect(bool v) {
    row_select_ = v;
    UpdateExStyle();
}

void TListView::SetGridLines(bool v) {
    grid_lines_ = v;
    UpdateExStyle();
}

void TListView::SetHideSelection(bool v) {
    if (v == hide_selection_) return;
    hide_selection_ = v;
    if (HandleAllocated()) SetStyleBit(Handle(), LVS_SHOWSELALWAYS, !v);
}

void TListView::SetShowColumnHeaders(bool v) {
    if (v == show_headers_) return;
    show_headers_ = v;
    RecreateWnd();
}

int TListView::GetNextItem(int StartIndex, TSearchDir Direction, TItemStates States) {
    if (!HandleAllocated()) return -1;
    UINT flags = Direction == sdPrevious ? LVNI_ABOVE : LVNI_ALL;
    if (States.contains(isSelected)) flags |= LVNI_SELECTED;
    if (States.contains(isFocused)) flags |= LVNI_FOCUSED;
    if (States.contains(isCut)) flags |= LVNI_CUT;
    if (States.contains(isDropHilited)) flags |= LVNI_DROPHILITED;
    return static_cast<int>(SendMessageA(Handle(), LVM_GETNEXTITEM, static_cast<WPARAM>(StartIndex), flags));
}

TListItem* TListView::Selected() {
    int i = GetNextItem(-1, sdNext, {isSelected});
    return i < 0 ? nullptr : items_.Item(i);
}

void TListView::SetSelected(TListItem* v) {
    ClearSelection();
    if (v) {
        v->SetSelected(true);
        v->SetFocused(true);
    }
}

int TListView::SelCount() {
    if (!HandleAllocated()) return 0;
    return static_cast<int>(SendMessageA(Handle(), LVM_GETSELECTEDCOUNT, 0, 0));
}

int TListView::ItemIndex() { return GetNextItem(-1, sdNext, {isSelected}); }

void TListView::SetItemIndex(int v) {
    ClearSelection();
    if (v >= 0 && v < items_.Count()) {
        SetIsSelected(v, true);
        items_.Item(v)->SetFocused(true);
    }
}

TListItem* TListView::ItemFocused() {
    int i = GetNextItem(-1, sdNext, {isFocused});
    return i < 0 ? nullptr : items_.Item(i);
}

bool TListView::IsSelected(int Index) {
    if (!HandleAllocated() || Index < 0) return false;
    return SendMessageA(Handle(), LVM_GETITEMSTATE, static_cast<WPARAM>(Index), LVIS_SELECTED) != 0;
}

void TListView::SetIsSelected(int Index, bool v) {
    LVITEMA it{};
    it.stateMask = LVIS_SELECTED;
    it.state = v ? LVIS_SELECTED : 0;
    SendMessageA(Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(Index), reinterpret_cast<LPARAM>(&it));
}

void TListView::SelectAll() {
    LVITEMA it{};
    it.stateMask = LVIS_SELECTED;
    it.state = LVIS_SELECTED;
    SendMessageA(Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&it));
}

void TListView::ClearSelection() {
    if (!HandleAllocated()) return;
    LVITEMA it{};
    it.stateMask = LVIS_SELECTED;
    it.state = 0;
    SendMessageA(Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&it));
}

TListItem* TListView::GetItemAt(int X, int Y) {
    LVHITTESTINFO hi{};
    hi.pt = {X, Y};
    int i = static_cast<int>(SendMessageA(Handle(), LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hi)));
    return i < 0 ? nullptr : items_.Item(i);
}

void TListView::UpdateItems(int FirstIndex, int LastIndex) {
    ResetDataCache();
    if (HandleAllocated()) SendMessageA(Handle(), LVM_REDRAWITEMS, static_cast<WPARAM>(FirstIndex), LastIndex);
}

namespace {
struct SortContext {
    TListView* view;
    TLVCompareEvent* compare;
};

int CALLBACK CompareItems(LPARAM a, LPARAM b, LPARAM ctx) {
    auto* c = reinterpret_cast<SortContext*>(ctx);
    return CallGuarded(c->view, 0, [&] {
        auto* x = reinterpret_cast<TListItem*>(a);
        auto* y = reinterpret_cast<TListItem*>(b);
        int r = 0;
        if (*c->compare)
            (*c->compare)(c->view, x, y, 0, r);
        else
            r = CompareText(x->Caption(), y->Caption());
        return r;
    });
}
}  // namespace

bool TListView::CustomSort(const std::function<int(TListItem*, TListItem*, LPARAM)>& Compare, LPARAM Param) {
    TLVCompareEvent saved = OnCompare;
    OnCompare = [&](TObject*, TListItem* a, TListItem* b, int, int& r) { r = Compare(a, b, Param); };
    bool ok = false;
    try {
        ok = AlphaSort();
    } catch (...) {
        OnCompare = saved;
        throw;
    }
    OnCompare = saved;
    return ok;
}

bool TListView::AlphaSort() {
    if (owner_data_) return false;
    auto& v = items_.items_;
    if (!HandleAllocated()) {
        std::stable_sort(v.begin(), v.end(), [&](const auto& x, const auto& y) {
            int r = 0;
            if (OnCompare)
                OnCompare(this, x.get(), y.get(), 0, r);
            else
                r = CompareText(x->Caption(), y->Caption());
            return r < 0;
        });
        return true;
    }
    SortContext ctx{this, &OnCompare};
    BOOL ok = static_cast<BOOL>(
        SendMessageA(Handle(), LVM_SORTITEMS, reinterpret_cast<WPARAM>(&ctx), reinterpret_cast<LPARAM>(CompareItems)));
    // Bring the model into the window's new order.
    std::vector<std::unique_ptr<TListItem>> sorted;
    sorted.reserve(v.size());
    for (int i = 0; i < static_cast<int>(v.size()); ++i) {
        LVITEMA it{};
        it.mask = LVIF_PARAM;
        it.iItem = i;
        SendMessageA(Handle(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
        auto* p = reinterpret_cast<TListItem*>(it.lParam);
        for (auto& u : v)
            if (u && u.get() == p) {
                sorted.push_back(std::move(u));
                break;
            }
    }
    for (auto& u : v)
        if (u) sorted.push_back(std::move(u));
    v.swap(sorted);
    return ok != FALSE;
}

void TListView::NotifyHandler(TMessage& m) {
    auto* hdr = reinterpret_cast<NMHDR*>(m.LParam);
    switch (hdr->code) {
        case LVN_GETDISPINFOA: {
            auto* di = reinterpret_cast<NMLVDISPINFOA*>(m.LParam);
            int i = di->item.iItem;
            TListItem* item = nullptr;
            if (owner_data_) {
                if (i < 0 || i >= items_.virtual_count_) return;
                item = DataItem(i);
            } else {
                item = reinterpret_cast<TListItem*>(di->item.lParam);
                if (!item && i >= 0 && i < items_.Count()) item = items_.items_[static_cast<size_t>(i)].get();
                if (!item) return;
            }
            int sub = di->item.iSubItem;
            if ((di->item.mask & LVIF_TEXT) && di->item.pszText && di->item.cchTextMax > 0) {
                const std::string* t = nullptr;
                std::string tmp;
                if (sub == 0) {
                    t = &item->caption_;
                } else if (sub - 1 < item->sub_items_.Count()) {
                    tmp = item->sub_items_.Get(sub - 1);
                    t = &tmp;
                }
                lstrcpynA(di->item.pszText, t ? t->c_str() : "", di->item.cchTextMax);
            }
            if ((di->item.mask & LVIF_IMAGE) && sub == 0) di->item.iImage = item->image_index_;
            return;
        }
        case LVN_ODCACHEHINT: {
            auto* ch = reinterpret_cast<NMLVCACHEHINT*>(m.LParam);
            if (OnDataHint && !Silent()) OnDataHint(this, ch->iFrom, ch->iTo);
            return;
        }
        case LVN_ODFINDITEMW:
        case LVN_ODFINDITEMA: {
            // Some systems send the wide form to an ANSI parent: same layout,
            // wide text.
            auto* fi = reinterpret_cast<NMLVFINDITEMA*>(m.LParam);
            bool wide = hdr->code == LVN_ODFINDITEMW;
            int index = -1;
            if (OnDataFind && !Silent()) {
                UINT f = fi->lvfi.flags;
                TItemFind kind = (f & LVFI_PARAM)        ? ifData
                                 : (f & LVFI_PARTIAL)    ? ifPartialString
                                 : (f & LVFI_STRING)     ? ifExactString
                                                         : ifNearest;
                std::string s;
                if (fi->lvfi.psz && wide) {
                    auto* w = reinterpret_cast<const wchar_t*>(fi->lvfi.psz);
                    int n = WideCharToMultiByte(CP_ACP, 0, w, -1, nullptr, 0, nullptr, nullptr);
                    if (n > 1) {
                        s.resize(static_cast<size_t>(n));
                        WideCharToMultiByte(CP_ACP, 0, w, -1, s.data(), n, nullptr, nullptr);
                        s.resize(static_cast<size_t>(n - 1));
                    }
                } else if (fi->lvfi.psz) {
                    s = fi->lvfi.psz;
                }
                // "From the top" comes as -1; handlers get a row they can index.
                int start = fi->iStart < 0 || fi->iStart >= items_.virtual_count_ ? 0 : fi->iStart;
                OnDataFind(this, kind, s, {fi->lvfi.pt.x, fi->lvfi.pt.y}, reinterpret_cast<void*>(fi->lvfi.lParam),
                           start, sdAll, (f & LVFI_WRAP) != 0, index);
                if (index < -1 || index >= items_.virtual_count_) index = -1;
            }
            m.Result = index;
            return;
        }
        case LVN_COLUMNCLICK: {
            auto* nm = reinterpret_cast<NMLISTVIEW*>(m.LParam);
            if (OnColumnClick && !Silent() && nm->iSubItem >= 0 && nm->iSubItem < columns_.Count())
                OnColumnClick(this, columns_.Items(nm->iSubItem));
            return;
        }
        case LVN_ITEMCHANGED: {
            auto* nm = reinterpret_cast<NMLISTVIEW*>(m.LParam);
            if (Silent() || !(nm->uChanged & LVIF_STATE)) return;
            TListItem* item = nullptr;
            if (nm->iItem >= 0 && nm->iItem < items_.Count()) item = items_.Item(nm->iItem);
            if (OnChange) OnChange(this, item, ctState);
            bool was = nm->uOldState & LVIS_SELECTED, now = nm->uNewState & LVIS_SELECTED;
            if (was != now && OnSelectItem) OnSelectItem(this, item, now);
            return;
        }
        case LVN_BEGINDRAG:
        case LVN_BEGINRDRAG: {
            auto* nm = reinterpret_cast<NMLISTVIEW*>(m.LParam);
            if (Silent() || nm->iItem < 0 || nm->iItem >= items_.Count()) return;
            BeginItemDrag(items_.Item(nm->iItem), hdr->code == LVN_BEGINRDRAG ? mbRight : mbLeft);
            return;
        }
        case NM_CUSTOMDRAW:
            // The header's own drawing is not the list's.
            if (hdr->hwndFrom != Handle() || Silent()) return;
            m.Result = CustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(m.LParam));
            return;
        case NM_CLICK:
            Click();
            return;
        case NM_DBLCLK:
            DblClick();
            return;
        default:
            break;
    }
}

void TListView::BeginItemDrag(TListItem* Item, TMouseButton Button) {
    if (OnBeginDrag) OnBeginDrag(this, Item, Button);
}

void TListView::SetSortType(TSortType v) {
    if (v == sort_type_) return;
    sort_type_ = v;
    if (v != stNone) AlphaSort();
}

namespace {
bool SameFace(const TFont& A, const TFont& B) {
    return A.Name() == B.Name() && A.Height() == B.Height() && A.Style() == B.Style() &&
           A.Charset() == B.Charset() && A.Pitch() == B.Pitch();
}

TCustomDrawState DrawState(UINT ItemState) {
    static const std::pair<UINT, TCustomDrawStateFlag> map[] = {
        {CDIS_SELECTED, cdsSelected}, {CDIS_GRAYED, cdsGrayed},   {CDIS_DISABLED, cdsDisabled},
        {CDIS_CHECKED, cdsChecked},   {CDIS_FOCUS, cdsFocused},   {CDIS_DEFAULT, cdsDefault},
        {CDIS_HOT, cdsHot},           {CDIS_MARKED, cdsMarked},   {CDIS_INDETERMINATE, cdsIndeterminate}};
    TCustomDrawState st;
    for (const auto& [bit, flag] : map)
        if (ItemState & bit) st.insert(flag);
    return st;
}
}  // namespace

LRESULT TListView::CustomDraw(NMLVCUSTOMDRAW* Draw) {
    NMCUSTOMDRAW& nm = Draw->nmcd;
    // Every handler starts from the list's own look.
    auto reset = [&] {
        if (!SameFace(canvas_.Font(), Font()) || canvas_.Font().Color() != Font().Color())
            canvas_.Font().Assign(Font());
        canvas_.Brush().SetColor(Color());
    };
    switch (nm.dwDrawStage) {
        case CDDS_PREPAINT: {
            bool defaultDraw = true;
            if (OnCustomDraw) {
                reset();
                canvas_.SetHandle(nm.hdc);
                try {
                    OnCustomDraw(this, TRect{nm.rc.left, nm.rc.top, nm.rc.right, nm.rc.bottom}, defaultDraw);
                } catch (...) {
                    canvas_.SetHandle(nullptr);
                    throw;
                }
                canvas_.SetHandle(nullptr);
            }
            if (!defaultDraw) return CDRF_SKIPDEFAULT;
            return OnCustomDrawItem ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
        }
        case CDDS_ITEMPREPAINT: {
            const int index = static_cast<int>(nm.dwItemSpec);
            if (!OnCustomDrawItem || index < 0 || index >= items_.Count()) return CDRF_DODEFAULT;
            TListItem* item = items_.Item(index);
            reset();
            bool defaultDraw = true;
            canvas_.SetHandle(nm.hdc);
            try {
                OnCustomDrawItem(this, item, DrawState(nm.uItemState), defaultDraw);
            } catch (...) {
                canvas_.SetHandle(nullptr);
                throw;
            }
            canvas_.SetHandle(nullptr);
            if (!defaultDraw) return CDRF_SKIPDEFAULT;
            // Only what the handler changed; the rest (a selected item's
            // highlight above all) stays the control's.
            if (canvas_.Font().Color() != Font().Color()) Draw->clrText = ColorToRGB(canvas_.Font().Color());
            if (canvas_.Brush().Color() != Color()) Draw->clrTextBk = ColorToRGB(canvas_.Brush().Color());
            if (SameFace(canvas_.Font(), Font())) return CDRF_DODEFAULT;
            drawn_font_ = SelectObject(nm.hdc, canvas_.Font().Handle());
            return CDRF_NEWFONT | CDRF_NOTIFYPOSTPAINT;
        }
        case CDDS_ITEMPOSTPAINT:
            // The item's font goes before another item may replace it.
            if (drawn_font_) SelectObject(nm.hdc, drawn_font_);
            drawn_font_ = nullptr;
            return CDRF_DODEFAULT;
        default: return CDRF_DODEFAULT;
    }
}

void TListView::WndProc(TMessage& m) {
    switch (m.Msg) {
        case CN_NOTIFY:
            NotifyHandler(m);
            return;
        case WM_PAINT:
            ResetDataCache();
            break;
        case CM_COLORCHANGED:
            if (HandleAllocated()) {
                SendMessageA(Handle(), LVM_SETBKCOLOR, 0, static_cast<LPARAM>(ColorToRGB(Color())));
                SendMessageA(Handle(), LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(ColorToRGB(Color())));
            }
            break;
        case CM_FONTCHANGED:
            if (HandleAllocated())
                SendMessageA(Handle(), LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(ColorToRGB(Font().Color())));
            break;
        default:
            break;
    }
    TWinControl::WndProc(m);
}

}  // namespace bramble
