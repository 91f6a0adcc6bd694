#include "app/widgets/syslist.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>

#include "app/widgets/itemprop.h"
#include "app/widgets/texts.h"
#include "ui/forms.h"
#include "ui/registry.h"

namespace bramble {

namespace {

constexpr ULONG kFolderish = 0xA0000000;  // folder or has subfolders

void ReportNoData() {
    Application->MessageBox(WidgetText(SCouldNotGetFolderData).c_str(), Application->Title(), MB_OK | MB_ICONERROR);
}

std::string Lower(std::string S) {
    if (!S.empty()) CharLowerBuffA(S.data(), static_cast<DWORD>(S.size()));
    return S;
}

std::string DateTimeText(const FILETIME& Utc) {
    if (Utc.dwLowDateTime == 0 || Utc.dwHighDateTime == 0) return {};
    FILETIME local;
    SYSTEMTIME st;
    if (!FileTimeToLocalFileTime(&Utc, &local) || !FileTimeToSystemTime(&local, &st)) return {};
    char d[64] = {}, t[64] = {};
    GetDateFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, d, sizeof d);
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, t, sizeof t);
    return std::string(d) + " " + t;
}

}  // namespace

TSystemListView::TSystemListView(TComponent* AOwner) : TListView(AOwner) {
    SetViewStyle(vsReport);
    SetReadOnly(false);
    AttachSystemImages(small_, large_);
    SetSmallImages(&small_);
    SetLargeImages(&large_);
    TRegistry reg;
    reg.SetRootKey(HKEY_CURRENT_USER);
    try {
        if (reg.OpenKeyReadOnly("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer") &&
            reg.ValueExists("DirectoryCols")) {
            std::string bytes(static_cast<size_t>(reg.GetDataSize("DirectoryCols")), '\0');
            if (!bytes.empty())
                bytes.resize(static_cast<size_t>(
                    reg.ReadBinaryData("DirectoryCols", bytes.data(), static_cast<int>(bytes.size()))));
            ApplyDirectoryCols(bytes, widths_);
        }
    } catch (const ERegistryException&) {
    }
}

TSystemListView::~TSystemListView() {
    if (tree_) {
        tree_->RemoveFreeNotification(this);
        if (tree_->ListView() == this) tree_->SetListView(nullptr);
    }
    // All at once: one by one through the delete notifications would
    // search the list for every item.
    for (int i = 0; i < Items().Count(); ++i) Items().Item(i)->SetData(nullptr);
    Items().Clear();
    data_.clear();
    SetSmallImages(nullptr);
    SetLargeImages(nullptr);
}

void TSystemListView::ApplyDirectoryCols(const std::string& Bytes, int (&Widths)[4]) {
    const size_t words = std::min<size_t>(Bytes.size() / 2, 4);
    for (size_t i = 0; i < words; ++i)
        Widths[i] = static_cast<unsigned char>(Bytes[2 * i]) | (static_cast<unsigned char>(Bytes[2 * i + 1]) << 8);
}

std::vector<std::string> TSystemListView::SplitMask(const std::string& Mask) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < Mask.size()) {
        const size_t comma = Mask.find(',', start);
        const size_t end = comma == std::string::npos ? Mask.size() : comma;
        out.push_back(Lower(Mask.substr(start, end - start)));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return out;
}

bool TSystemListView::MaskAccepts(const std::vector<std::string>& Pieces, const std::string& Path) {
    if (Pieces.empty()) return true;
    const size_t dot = Path.find_last_of('.');
    const size_t sep = Path.find_last_of("\\:");
    std::string ext;
    if (dot != std::string::npos && (sep == std::string::npos || dot > sep)) ext = Lower(Path.substr(dot + 1));
    else return false;
    for (const std::string& p : Pieces)
        if (p == ext) return true;
    return false;
}

std::string TSystemListView::KiloBytes(uint64_t Size) { return std::to_string((Size + 1023) / 1024) + " KB"; }

TFolderItemData* TSystemListView::DataOf(const TListItem* Item) {
    return Item ? static_cast<TFolderItemData*>(Item->Data()) : nullptr;
}

HWND TSystemListView::OwnerWindow() {
    if (HandleAllocated()) return Handle();
    if (Parent() && Parent()->HandleAllocated()) return Parent()->Handle();
    if (Application && Application->MainForm() && Application->MainForm()->HandleAllocated())
        return Application->MainForm()->Handle();
    return nullptr;
}

void TSystemListView::SetTreeView(TSystemTreeView* v) {
    if (v == tree_) return;
    if (tree_) tree_->RemoveFreeNotification(this);
    tree_ = v;
    if (tree_) {
        tree_->FreeNotification(this);
        if (tree_->ListView() != this) tree_->SetListView(this);
    }
}

void TSystemListView::Notification(TComponent* AComponent, TOperation Operation) {
    TListView::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == tree_) {
        tree_ = nullptr;
        node_ = nullptr;
    }
}

void TSystemListView::SetColumnType(TColumnType v) {
    if (v == column_type_) return;
    column_type_ = v;
    if (!ComponentState().contains(csLoading)) CreateColumns(v);
}

void TSystemListView::SetShowFolders(bool v) {
    if (v == show_folders_) return;
    show_folders_ = v;
    Refill();
}

void TSystemListView::SetSimpleMask(const std::string& v) {
    if (v != mask_) {
        mask_ = v;
        try {
            pieces_ = SplitMask(v);
        } catch (const std::exception&) {
            pieces_.clear();
            Application->MessageBox(WidgetText(SErrorParsingMask).c_str(), Application->Title(),
                                    MB_OK | MB_ICONERROR);
        }
    }
    Refill();
}

void TSystemListView::CreateColumns(TColumnType Type) {
    struct Col {
        const char* name;
        TAlignment align;
    };
    std::vector<Col> cols;
    switch (Type) {
        case ctFileSystem:
            cols = {{"Name", taLeftJustify}, {"Size", taRightJustify}, {"Type", taLeftJustify},
                    {"Modified", taLeftJustify}};
            break;
        case ctMachine:
            cols = {{"Name", taLeftJustify}, {"Type", taLeftJustify}, {"Total Size", taRightJustify},
                    {"Free Space", taRightJustify}};
            break;
        case ctControlPanel: cols = {{"Name", taLeftJustify}, {"Description", taLeftJustify}}; break;
        case ctPrinters:
            cols = {{"Name", taLeftJustify}, {"Documents", taCenter}, {"Status", taLeftJustify},
                    {"Comment", taLeftJustify}};
            break;
        case ctDUNet:
            cols = {{"Entry name", taLeftJustify}, {"Phone #", taRightJustify}, {"Device name", taLeftJustify}};
            break;
        case ctNetwork: cols = {{"Name", taLeftJustify}, {"Comment", taLeftJustify}}; break;
        case ctUser:
            Columns().Clear();
            if (OnCreateColumns) {
                OnCreateColumns(this);
                return;
            }
            column_type_ = ctUnknown;
            cols = {{"Name", taLeftJustify}};
            break;
        case ctUnknown: cols = {{"Name", taLeftJustify}}; break;
    }
    Columns().Clear();
    for (size_t i = 0; i < cols.size(); ++i) {
        TListColumn* c = Columns().Add();
        c->SetCaption(cols[i].name);
        c->SetWidth(widths_[std::min<size_t>(i, 3)]);
        c->SetAlignment(cols[i].align);
    }
}

void TSystemListView::CreateWnd() {
    TListView::CreateWnd();
    if (ComponentState().contains(csLoading)) return;
    if (Columns().Count() == 0) CreateColumns(column_type_);
    if (fill_waits_) {
        fill_waits_ = false;
        Refill();
    }
}

void TSystemListView::ReleaseItems() {
    ClearSelection();
    for (int i = 0; i < Items().Count(); ++i) Items().Item(i)->SetData(nullptr);
    Items().Clear();
    data_.clear();
}

void TSystemListView::ReleaseData(TListItem* Item) {
    TFolderItemData* d = DataOf(Item);
    if (!d) return;
    Item->SetData(nullptr);
    auto owned = std::find_if(data_.begin(), data_.end(), [d](const auto& p) { return p.get() == d; });
    if (owned != data_.end()) data_.erase(owned);
}

void TSystemListView::Refill() { ShowFolder(node_, desktop_); }

void TSystemListView::ShowFolder(TTreeNode* Node, bool Desktop) {
    TFolderItemData* nd = TSystemTreeView::DataOf(Node);
    if (!nd) return;
    node_ = Node;
    desktop_ = Desktop;
    if (!HandleAllocated()) {
        fill_waits_ = true;
        return;
    }
    Items().BeginUpdate();
    ReleaseItems();
    TComPtr<IShellFolder> folder;
    if (Desktop) {
        SHGetDesktopFolder(folder.Put());
        if (column_type_ != ctUser) SetColumnType(ctFileSystem);
    } else {
        ULONG attrs = SFGAO_FILESYSTEM;
        LPCITEMIDLIST rel = nd->Relative;
        const bool fs = !PidlEmpty(rel) && SUCCEEDED(nd->ParentFolder->GetAttributesOf(1, &rel, &attrs)) &&
                        (attrs & SFGAO_FILESYSTEM);
        if (column_type_ != ctUser) SetColumnType(fs ? ctFileSystem : ctUnknown);
        if (PidlEmpty(rel))
            folder = nd->ParentFolder;
        else if (FAILED(nd->ParentFolder->BindToObject(rel, nullptr, IID_IShellFolder, folder.PutVoid())))
            folder.Reset();
    }
    if (folder) ListFolder(folder.Get(), Node);
    Items().EndUpdate();
    if (SortType() != stNone) SortItems(nullptr, 0);
}

void TSystemListView::ListFolder(IShellFolder* Folder, TTreeNode* Node) {
    const HCURSOR old = ::SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    TComPtr<IEnumIDList> e;
    const SHCONTF flags = SHCONTF_NONFOLDERS | (show_hidden_ ? SHCONTF_INCLUDEHIDDEN : 0) |
                          (show_folders_ ? SHCONTF_FOLDERS : 0);
    if (Folder->EnumObjects(OwnerWindow(), flags, e.Put()) == S_OK && e) {
        TFolderItemData* nd = TSystemTreeView::DataOf(Node);
        LPITEMIDLIST item = nullptr;
        ULONG got = 0;
        while (e->Next(1, &item, &got) == S_OK && got == 1 && item) {
            LPITEMIDLIST abs = nd ? PidlConcat(nd->Absolute, item) : PidlClone(item);
            AddListItem(Folder, abs, item, Node);
            item = nullptr;
        }
    }
    SetErrorMode(oldMode);
    ::SetCursor(old);
}

void TSystemListView::AddListItem(IShellFolder* Folder, LPITEMIDLIST Absolute, LPITEMIDLIST Relative,
                                  TTreeNode* Node) {
    STRRET sr{};
    if (FAILED(Folder->GetDisplayNameOf(Relative, SHGDN_NORMAL, &sr))) {
        PidlFree(Absolute);
        PidlFree(Relative);
        return;
    }
    const std::string name = StrRetText(sr, Relative);
    ULONG attrs = kItemAttributeMask;
    LPCITEMIDLIST rel = Relative;
    if (FAILED(Folder->GetAttributesOf(1, &rel, &attrs))) attrs = 0;
    const std::string path = PidlPath(Absolute);
    if (!pieces_.empty() && !(attrs & SFGAO_FOLDER) && !path.empty() && !MaskAccepts(pieces_, path)) {
        PidlFree(Absolute);
        PidlFree(Relative);
        return;
    }
    auto d = std::make_unique<TFolderItemData>();
    Folder->AddRef();
    d->ParentFolder = TComPtr<IShellFolder>(Folder);
    d->Relative = Relative;
    d->Absolute = Absolute;
    d->Attributes = attrs;
    TListItem* it = Items().Add();
    it->SetData(d.get());
    data_.push_back(std::move(d));
    SHFILEINFOA sfi{};
    it->SetImageIndex(SHGetFileInfoA(reinterpret_cast<LPCSTR>(Absolute), 0, &sfi, sizeof sfi,
                                     SHGFI_SYSICONINDEX | SHGFI_PIDL | SHGFI_SMALLICON)
                          ? sfi.iIcon
                          : -1);
    if ((attrs & SFGAO_LINK) && Node && Node->Parent()) {
        const std::string p = ItemPath(it);
        const size_t cut = p.find_last_of("\\:");
        it->SetCaption(cut == std::string::npos ? p : p.substr(cut + 1));
    } else {
        it->SetCaption(name);
    }
    if (OnAddListItem) {
        OnAddListItem(this, it);
        return;
    }
    if (path.empty()) return;
    // A removable drive's root is neither opened nor searched.
    const bool root = path.size() < 4 && path.size() >= 3 && path[1] == ':' && path[2] == '\\';
    const bool quiet = root && (attrs & SFGAO_REMOVABLE);
    std::string size, type, modified;
    if (!quiet) {
        HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            LARGE_INTEGER n{};
            if (GetFileSizeEx(h, &n)) size = KiloBytes(static_cast<uint64_t>(n.QuadPart));
            CloseHandle(h);
        }
    }
    if (SHGetFileInfoA(path.c_str(), 0, &sfi, sizeof sfi, SHGFI_TYPENAME)) type = sfi.szTypeName;
    if (!quiet) {
        WIN32_FIND_DATAA fd{};
        HANDLE f = FindFirstFileA(path.c_str(), &fd);
        if (f != INVALID_HANDLE_VALUE) {
            FindClose(f);
            modified = DateTimeText(fd.ftLastWriteTime);
        }
    }
    it->SubItems().Add(size);
    it->SubItems().Add(type);
    it->SubItems().Add(modified);
}

std::string TSystemListView::ItemPath(TListItem* Item) const {
    TFolderItemData* d = DataOf(Item);
    if (!d) return {};
    std::string p = PidlPath(d->Absolute);
    if (!p.empty() && (d->Attributes & SFGAO_FOLDER)) p += "\\";
    return p;
}

int TSystemListView::DefaultCompare(TListItem* A, TListItem* B, LPARAM Param) {
    int r;
    TFolderItemData* da = DataOf(A);
    TFolderItemData* db = DataOf(B);
    if (A == B) r = 0;
    else if (!A) r = -1;
    else if (!B) r = 1;
    else if (!da) r = 0;
    else if (db && (da->Attributes & kFolderish) && !(db->Attributes & kFolderish)) r = -1;
    else if (db && !(da->Attributes & kFolderish) && (db->Attributes & kFolderish)) r = 1;
    else if (!db) r = 0;
    else {
        const HRESULT hr = da->ParentFolder->CompareIDs(Param & 0xFFFF, da->Relative, db->Relative);
        r = FAILED(hr) ? 0 : static_cast<short>(HRESULT_CODE(hr));
    }
    if ((static_cast<ULONG_PTR>(Param) >> 16) & 0xFFFF) r = -r;
    return r;
}

bool TSystemListView::SortItems(const TSLVCompare& Compare, LPARAM Param) {
    if (!HandleAllocated()) return false;
    return CustomSort(Compare ? Compare : TSLVCompare(DefaultCompare), Param);
}

bool TSystemListView::ShowItemMenu(TListItem* Item, TPoint ScreenPos) {
    TFolderItemData* d = DataOf(Item);
    if (!d) {
        ReportNoData();
        return false;
    }
    if (!d->Relative) return false;
    LPCITEMIDLIST one = d->Relative;
    return ShowItemContextMenu(d->ParentFolder.Get(), &one, d->Attributes, 1, ScreenPos, OwnerWindow());
}

bool TSystemListView::ShowSelectionMenu(TPoint ScreenPos) {
    std::vector<TListItem*> sel;
    for (int i = 0; i < Items().Count(); ++i)
        if (IsSelected(i)) sel.push_back(Items().Item(i));
    if (sel.empty()) return false;
    TFolderItemData* first = DataOf(sel.front());
    if (!first) {
        ReportNoData();
        return false;
    }
    if (!first->Relative) return false;
    std::vector<LPCITEMIDLIST> lists;
    lists.reserve(sel.size());
    for (TListItem* it : sel)
        if (TFolderItemData* d = DataOf(it); d && d->Relative) lists.push_back(d->Relative);
    return ShowItemContextMenu(first->ParentFolder.Get(), lists.data(), first->Attributes,
                               static_cast<int>(lists.size()), ScreenPos, OwnerWindow());
}

void TSystemListView::DblClick() {
    if (OnDblClick) {
        TListView::DblClick();
        return;
    }
    TListItem* it = Selected();
    if (!it) return;
    TFolderItemData* d = DataOf(it);
    if (!d) {
        ReportNoData();
        return;
    }
    if (!d->Relative) return;
    std::string path = ItemPath(it);
    if ((d->Attributes & kFolderish) && tree_) {
        if (!path.empty()) {
            if (path.size() >= 2 && path.compare(path.size() - 2, 2, "\\\\") == 0) path.pop_back();
            tree_->SetDirectory(path);
        } else if (TTreeNode* sel = tree_->Selected()) {
            sel->Expand(false);
            const size_t n = PidlSize(d->Relative);
            for (int i = 0; i < sel->Count(); ++i) {
                TFolderItemData* cd = TSystemTreeView::DataOf(sel->Item(i));
                if (cd && PidlSize(cd->Relative) == n && std::memcmp(cd->Relative, d->Relative, n) == 0) {
                    tree_->SetSelected(sel->Item(i));
                    break;
                }
            }
        }
        return;
    }
    LPCITEMIDLIST one = d->Relative;
    InvokeItemDefaultAction(d->ParentFolder.Get(), &one, d->Attributes, 1, OwnerWindow());
}

void TSystemListView::MouseMove(TShiftState Shift, int X, int Y) {
    if (autoscroll_ && HandleAllocated()) {
        const int h = std::abs(Font().Height());
        auto bar = [&](int which) {
            int lo = 0, hi = 0;
            GetScrollRange(Handle(), which, &lo, &hi);
            return lo != hi ? 16 : 0;
        };
        if (Y < h)
            SendMessageA(Handle(), WM_VSCROLL, SB_LINEUP, 0);
        else if (Y > Height() - h - bar(SB_VERT))
            SendMessageA(Handle(), WM_VSCROLL, SB_LINEDOWN, 0);
        if (X < h)
            SendMessageA(Handle(), WM_HSCROLL, SB_LINEUP, 0);
        else if (X > Width() - h - bar(SB_HORZ))
            SendMessageA(Handle(), WM_HSCROLL, SB_LINEDOWN, 0);
    }
    TListView::MouseMove(Shift, X, Y);
}

void TSystemListView::WndProc(TMessage& m) {
    if (m.Msg == CN_NOTIFY) {
        auto* hdr = reinterpret_cast<NMHDR*>(m.LParam);
        if (hdr->code == NM_RCLICK && (popup_method_ == pmmContext || popup_method_ == pmmContextUser)) {
            POINT p;
            GetCursorPos(&p);
            POINT c = p;
            ::ScreenToClient(Handle(), &c);
            bool shown = false;
            if (TListItem* it = GetItemAt(c.x, c.y)) {
                if (it->Selected()) {
                    shown = ShowSelectionMenu(TPoint{p.x, p.y});
                } else {
                    ClearSelection();
                    it->SetSelected(true);
                    shown = ShowItemMenu(it, TPoint{p.x, p.y});
                }
            }
            TListView::WndProc(m);
            if (shown) m.Result = 1;
            return;
        }
        if (hdr->code == LVN_DELETEITEM) {
            // The control lets an item go: so do its folder data.
            auto* nm = reinterpret_cast<NMLISTVIEW*>(m.LParam);
            if (auto* it = reinterpret_cast<TListItem*>(nm->lParam)) ReleaseData(it);
        }
        if (hdr->code == LVN_BEGINLABELEDITA) {
            // Only what the shell can rename.
            auto* nm = reinterpret_cast<NMLVDISPINFOA*>(m.LParam);
            TFolderItemData* d = nm->item.iItem >= 0 && nm->item.iItem < Items().Count()
                                     ? DataOf(Items().Item(nm->item.iItem))
                                     : nullptr;
            m.Result = d && (d->Attributes & SFGAO_CANRENAME) ? 0 : 1;
            return;
        }
        if (hdr->code == LVN_ENDLABELEDITA) {
            auto* nm = reinterpret_cast<NMLVDISPINFOA*>(m.LParam);
            m.Result = 0;
            if (!nm->item.pszText || nm->item.iItem < 0 || nm->item.iItem >= Items().Count()) return;
            TListItem* it = Items().Item(nm->item.iItem);
            TFolderItemData* d = DataOf(it);
            if (!d) return;
            const std::wstring w = Widen(nm->item.pszText);
            LPITEMIDLIST renamed = nullptr;
            if (FAILED(d->ParentFolder->SetNameOf(OwnerWindow(), d->Relative, w.c_str(), 0x20, &renamed)) ||
                !renamed)
                return;
            PidlFree(d->Relative);
            d->Relative = renamed;
            PidlFree(d->Absolute);
            TFolderItemData* nd = TSystemTreeView::DataOf(node_);
            d->Absolute = nd && !desktop_ ? PidlConcat(nd->Absolute, renamed) : PidlClone(renamed);
            it->SetCaption(nm->item.pszText);
            return;
        }
        if (hdr->code == LVN_COLUMNCLICK) {
            TListView::WndProc(m);
            const int column = reinterpret_cast<NMLISTVIEW*>(m.LParam)->iSubItem;
            reversed_ = column == last_column_ ? !reversed_ : false;
            SortItems(nullptr, static_cast<LPARAM>(column | (reversed_ ? 0xFFFF0000u : 0u)));
            last_column_ = column;
            return;
        }
    }
    TListView::WndProc(m);
}

}  // namespace bramble
