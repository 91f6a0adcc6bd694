#include "app/widgets/systree.h"

#include <algorithm>
#include <vector>

#include <shellapi.h>

#include <cstring>

#include "app/widgets/itemprop.h"
#include "app/widgets/texts.h"
#include "app/widgets/syslist.h"
#include "ui/forms.h"

namespace bramble {

namespace {

// Posted to the tree's own window when its watched folder changed; WParam
// is the watch's generation, so a report of an abandoned watch is ignored.
constexpr UINT WM_FOLDERCHANGED = WM_APP + 0x6A01;

void ReportNoData() {
    Application->MessageBox(WidgetText(SCouldNotGetFolderData).c_str(), Application->Title(), MB_OK | MB_ICONERROR);
}

// The shell's order: the code part of CompareIDs' answer, signed 16 bits.
// Its low byte alone would turn a code of 256 into "equal" and one of 128
// into "before": the platform gives the order as a signed 16-bit code.
int ShellOrder(IShellFolder* Folder, LPARAM Column, LPCITEMIDLIST A, LPCITEMIDLIST B) {
    const HRESULT hr = Folder->CompareIDs(Column, A, B);
    if (FAILED(hr)) return 0;
    return static_cast<short>(HRESULT_CODE(hr));
}

// Critical-error boxes (no disk in A:) stay off while the shell reads.
struct QuietDrives {
    UINT old = SetErrorMode(SEM_FAILCRITICALERRORS);
    ~QuietDrives() { SetErrorMode(old); }
};

// A path compared without case and without a trailing "\".
std::string SamePathKey(std::string P) {
    while (P.size() > 1 && P.back() == '\\') P.pop_back();
    if (!P.empty()) CharLowerBuffA(P.data(), static_cast<DWORD>(P.size()));
    return P;
}

// Whether a folder on a fixed drive holds a folder. The shell's answer for
// such folders is not always looked up (some report subfolders for every
// folder); removable and network drives are not searched.
bool HoldsFolder(const std::string& Path, bool Hidden, bool& Known) {
    Known = false;
    if (Path.size() < 3 || Path[1] != ':') return true;
    if (GetDriveTypeA(Path.substr(0, 3).c_str()) != DRIVE_FIXED) return true;
    Known = true;
    std::string pattern = Path;
    if (pattern.back() != '\\') pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileExA(pattern.c_str(), FindExInfoStandard, &fd, FindExSearchLimitToDirectories, nullptr, 0);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool found = false;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        if (!std::strcmp(fd.cFileName, ".") || !std::strcmp(fd.cFileName, "..")) continue;
        if (!Hidden && (fd.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN)) continue;
        found = true;
    } while (!found && FindNextFileA(h, &fd));
    FindClose(h);
    return found;
}

struct HourGlass {
    HCURSOR old = SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
    ~HourGlass() { SetCursor(old); }
};

}  // namespace

int RootFolderCsidl(TRootFolder Root) {
    static const int table[] = {0, 10, 3, 16, 17, 6, 20, 18, 19, 5, 4, 2, 8, 9, 11, 7, 21, 17, -1};
    return table[Root];
}

// ---- the watch thread ----------------------------------------------------------------------

TFileChangeThread::TFileChangeThread(const std::string& Folder, bool WatchSubtree, unsigned Filter)
    : TThread(true), folder_(Folder), subtree_(WatchSubtree), filter_(Filter) {}

TFileChangeThread::~TFileChangeThread() {
    Terminate();
    Start();  // a thread never started runs to its first test and ends
    WaitFor();
}

DWORD TFileChangeThread::PlatformFilter(unsigned Filter) {
    static const DWORD bits[] = {FILE_NOTIFY_CHANGE_FILE_NAME, FILE_NOTIFY_CHANGE_DIR_NAME,
                                 FILE_NOTIFY_CHANGE_ATTRIBUTES, FILE_NOTIFY_CHANGE_SIZE,
                                 FILE_NOTIFY_CHANGE_LAST_WRITE, FILE_NOTIFY_CHANGE_SECURITY};
    DWORD r = 0;
    for (unsigned i = 0; i < 6; ++i)
        if (Filter & (1u << i)) r |= bits[i];
    return r;
}

void TFileChangeThread::Execute() {
    HANDLE h = FindFirstChangeNotificationA(folder_.c_str(), subtree_, PlatformFilter(filter_));
    if (h == INVALID_HANDLE_VALUE) {
        ReturnValue = static_cast<int>(GetLastError());
        // A folder that went before the watch began has changed; any other
        // failure leaves it unwatched.
        no_change_ = GetFileAttributesA(folder_.c_str()) != INVALID_FILE_ATTRIBUTES;
        return;
    }
    // Removing the watched folder itself is not reported on every system:
    // the removal may wait for this very handle to close. So the parent's
    // list of folders is watched as well, and now and then the handle is
    // let go for a moment to see whether the folder is still there.
    HANDLE handles[2] = {h, INVALID_HANDLE_VALUE};
    DWORD count = 1;
    std::string parent = folder_;
    while (parent.size() > 3 && parent.back() == '\\') parent.pop_back();
    const size_t cut = parent.find_last_of('\\');
    if (parent.size() > 3 && cut != std::string::npos) {
        parent = parent.substr(0, cut + 1);
        handles[1] = FindFirstChangeNotificationA(parent.c_str(), FALSE, FILE_NOTIFY_CHANGE_DIR_NAME);
        if (handles[1] != INVALID_HANDLE_VALUE) count = 2;
    }
    for (unsigned round = 1;; ++round) {
        const DWORD r = WaitForMultipleObjects(count, handles, FALSE, 10);
        if (Terminated()) {
            no_change_ = true;
            break;
        }
        if (r != WAIT_TIMEOUT) break;
        if (round % 50 == 0) {
            FindCloseChangeNotification(handles[0]);
            handles[0] = FindFirstChangeNotificationA(folder_.c_str(), subtree_, PlatformFilter(filter_));
            if (handles[0] == INVALID_HANDLE_VALUE) break;
        }
    }
    if (handles[0] != INVALID_HANDLE_VALUE) FindCloseChangeNotification(handles[0]);
    if (count == 2) FindCloseChangeNotification(handles[1]);
}

void TFileChangeThread::DoTerminate() {
    // Stopped or failed: ends without a word.
    if (!no_change_) TThread::DoTerminate();
}

// ---- the tree ------------------------------------------------------------------------------

TSystemTreeView::TSystemTreeView(TComponent* AOwner) : TTreeView(AOwner) {
    SHFILEINFOA sfi{};
    auto sys = reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoA("C:\\", 0, &sfi, sizeof sfi, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    images_.SetShareImages(true);
    if (sys) {
        int w = 16, h = 16;
        ImageList_GetIconSize(sys, &w, &h);
        images_.SetWidth(w);
        images_.SetHeight(h);
        images_.SetHandle(sys);
    }
    SetImages(&images_);
    // A file list already placed on the same owner without a tree of its
    // own follows this one.
    if (AOwner)
        for (int i = 0; i < AOwner->ComponentCount(); ++i)
            if (auto* l = dynamic_cast<TSystemListView*>(AOwner->Components(i)); l && !l->TreeView())
                l->SetTreeView(this);
}

TSystemTreeView::~TSystemTreeView() {
    StopWatch();
    if (list_) {
        list_->RemoveFreeNotification(this);
        if (list_->TreeView() == this) list_->SetTreeView(nullptr);
        list_ = nullptr;
    }
    // Every node's data go with it, here where the override still runs.
    Items().Clear();
    SetImages(nullptr);
}

void TSystemTreeView::CreateParams(TCreateParams& P) {
    TTreeView::CreateParams(P);
    if (checkboxes_) P.Style |= TVS_CHECKBOXES;
}

void TSystemTreeView::CreateWnd() {
    TTreeView::CreateWnd();
    if (Items().Count() == 0 && !ComponentState().contains(csLoading)) Build();
}

void TSystemTreeView::Loaded() {
    TTreeView::Loaded();
    if (HandleAllocated() && Items().Count() == 0) Build();
}

TFolderItemData* TSystemTreeView::DataOf(const TTreeNode* Node) {
    return Node ? static_cast<TFolderItemData*>(Node->Data()) : nullptr;
}

TFolderItemData* TSystemTreeView::DataOrReport(TTreeNode* Node) {
    TFolderItemData* d = DataOf(Node);
    if (!d && Node) ReportNoData();
    return d;
}

void TSystemTreeView::Build() {
    if (!HandleAllocated()) return;
    StopWatch();
    Items().BeginUpdate();
    Items().Clear();
    desktop_.Reset();
    LPITEMIDLIST root = nullptr;
    if (SUCCEEDED(SHGetDesktopFolder(desktop_.Put())) && desktop_) {
        if (root_folder_ == rfCustom) {
            std::wstring w = Widen(custom_dir_);
            ULONG eaten = 0;
            if (w.empty() || FAILED(desktop_->ParseDisplayName(Handle(), nullptr, w.data(), &eaten, &root, nullptr)))
                root = nullptr;
        } else if (FAILED(SHGetSpecialFolderLocation(Handle(), RootFolderCsidl(root_folder_), &root))) {
            root = nullptr;
        }
    }
    // A root that cannot be found leaves the tree empty.
    if (root) {
        TTreeNode* n = AddNode(desktop_.Get(), root, PidlClone(root), nullptr);
        if (n && root_folder_ == rfCustom && !custom_caption_.empty()) n->SetText(custom_caption_);
        if (n && expand_root_) n->Expand(false);
    }
    Items().EndUpdate();
    if (!pending_dir_.empty()) {
        std::string p;
        p.swap(pending_dir_);
        SetDirectory(p);
    }
}

TTreeNode* TSystemTreeView::AddNode(IShellFolder* Folder, LPITEMIDLIST Relative, LPITEMIDLIST Absolute,
                                    TTreeNode* Parent) {
    ULONG attrs = kItemAttributeMask;
    LPCITEMIDLIST rel = Relative;
    if (PidlEmpty(Relative)) {
        // The desktop itself: a folder with folders in it.
        attrs = SFGAO_FOLDER | SFGAO_HASSUBFOLDER | SFGAO_FILESYSANCESTOR;
    } else if (FAILED(Folder->GetAttributesOf(1, &rel, &attrs))) {
        attrs = 0;
    }
    if (root_folder_ == rfFileSystem && Parent && !(attrs & (SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR))) {
        PidlFree(Relative);
        PidlFree(Absolute);
        return nullptr;
    }
    auto* d = new TFolderItemData;
    d->ParentFolder = TComPtr<IShellFolder>(Folder);
    Folder->AddRef();
    d->Relative = Relative;
    d->Absolute = Absolute;
    d->Attributes = attrs;

    std::string name;
    STRRET sr{};
    if (SUCCEEDED(Folder->GetDisplayNameOf(Relative, Parent ? SHGDN_INFOLDER : SHGDN_NORMAL, &sr)))
        name = StrRetText(sr, Relative);
    SHFILEINFOA sfi{};
    if (name.empty() &&
        SHGetFileInfoA(reinterpret_cast<LPCSTR>(Absolute), 0, &sfi, sizeof sfi, SHGFI_PIDL | SHGFI_DISPLAYNAME))
        name = sfi.szDisplayName;

    TTreeNode* n = Parent ? Items().AddChild(Parent, name) : Items().Add(nullptr, name);
    n->SetData(d);
    int image = -1, open = -1;
    if (SHGetFileInfoA(reinterpret_cast<LPCSTR>(Absolute), 0, &sfi, sizeof sfi,
                       SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON))
        image = sfi.iIcon;
    if (SHGetFileInfoA(reinterpret_cast<LPCSTR>(Absolute), 0, &sfi, sizeof sfi,
                       SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_OPENICON))
        open = sfi.iIcon;
    n->SetImageIndex(image);
    n->SetSelectedIndex(open >= 0 ? open : image);
    if (attrs & SFGAO_SHARE)
        n->SetOverlayIndex(0);
    else if (attrs & SFGAO_LINK)
        n->SetOverlayIndex(1);

    // Whether it shows a "+" is worked out when the node is first drawn:
    // a folder scrolled out of sight is never searched.
    n->SetChildrenOnDemand(true);
    return n;
}

bool TSystemTreeView::GetHasChildren(TTreeNode* Node) {
    TFolderItemData* d = DataOf(Node);
    if (!d) return false;
    if (d->ChildrenRead) return Node->Count() > 0;
    const ULONG attrs = d->Attributes;
    bool children = (attrs & SFGAO_HASSUBFOLDER) != 0;
    if (children && (attrs & SFGAO_FILESYSTEM) && !show_files_) {
        bool known = false;
        const bool holds = HoldsFolder(PidlPath(d->Absolute), show_hidden_, known);
        if (known) children = holds;
    }
    if (show_files_ && !children && (attrs & SFGAO_FOLDER)) {
        TComPtr<IShellFolder> sub = FolderOf(Node);
        TComPtr<IEnumIDList> e;
        QuietDrives quiet;
        if (sub && sub->EnumObjects(HandleAllocated() ? Handle() : nullptr,
                                    SHCONTF_FOLDERS | SHCONTF_NONFOLDERS |
                                        (show_hidden_ ? SHCONTF_INCLUDEHIDDEN : 0),
                                    e.Put()) == S_OK &&
            e) {
            LPITEMIDLIST one = nullptr;
            ULONG got = 0;
            if (e->Next(1, &one, &got) == S_OK && got == 1) children = true;
            PidlFree(one);
        }
    }
    return children;
}

TComPtr<IShellFolder> TSystemTreeView::FolderOf(TTreeNode* Node) {
    TComPtr<IShellFolder> r;
    TFolderItemData* d = DataOf(Node);
    if (!d || !d->ParentFolder) return r;
    if (PidlEmpty(d->Relative)) return d->ParentFolder;
    if (FAILED(d->ParentFolder->BindToObject(d->Relative, nullptr, IID_IShellFolder, r.PutVoid()))) r.Reset();
    return r;
}

void TSystemTreeView::ReadChildren(TTreeNode* Node) {
    TFolderItemData* d = DataOrReport(Node);
    if (!d || d->ChildrenRead) return;
    d->ChildrenRead = true;
    HourGlass busy;
    QuietDrives quiet;
    TComPtr<IShellFolder> folder = FolderOf(Node);
    TComPtr<IEnumIDList> e;
    const SHCONTF flags = SHCONTF_FOLDERS | (show_hidden_ ? SHCONTF_INCLUDEHIDDEN : 0) |
                          (show_files_ ? SHCONTF_NONFOLDERS : 0);
    // An empty or unready drive answers S_FALSE without a list: nothing.
    if (folder && folder->EnumObjects(Handle(), flags, e.Put()) == S_OK && e) {
        Items().BeginUpdate();
        LPITEMIDLIST item = nullptr;
        ULONG got = 0;
        while (e->Next(1, &item, &got) == S_OK && got == 1 && item) {
            AddNode(folder.Get(), item, PidlConcat(d->Absolute, item), Node);
            item = nullptr;
        }
        SortNodes(Node);
        Items().EndUpdate();
    }
    if (Node->Count() == 0) Node->SetHasChildren(false);
}

void TSystemTreeView::SortNodes(TTreeNode* Node) {
    TComPtr<IShellFolder> folder = FolderOf(Node);
    if (!folder) return;
    Node->CustomSort([&](TTreeNode* a, TTreeNode* b) {
        TFolderItemData* da = DataOf(a);
        TFolderItemData* db = DataOf(b);
        if (!da || !db) return 0;
        return ShellOrder(folder.Get(), 0, da->Relative, db->Relative);
    });
}

void TSystemTreeView::RefreshNode(TTreeNode* Node) {
    TFolderItemData* d = DataOrReport(Node);
    if (!d) return;
    const bool open = Node->Expanded();
    Items().BeginUpdate();
    Node->DeleteChildren();
    d->ChildrenRead = false;
    ReadChildren(Node);
    if (open && Node->Count() > 0) Node->Expand(false);
    Items().EndUpdate();
}

bool TSystemTreeView::CanExpand(TTreeNode* Node) {
    ReadChildren(Node);
    return TTreeView::CanExpand(Node);
}

void TSystemTreeView::Delete(TTreeNode* Node) {
    if (Node == watch_node_) StopWatch();
    TTreeView::Delete(Node);
    delete DataOf(Node);
    Node->SetData(nullptr);
}

std::string TSystemTreeView::Directory() const {
    TFolderItemData* d = DataOf(Selected());
    return d ? PidlPath(d->Absolute) : std::string();
}

void TSystemTreeView::SetDirectory(const std::string& Path) {
    if (ComponentState().contains(csLoading) || !HandleAllocated() || !desktop_) {
        pending_dir_ = Path;
        return;
    }
    TTreeNode* root = Items().GetFirstNode();
    if (!root || Path.empty()) return;
    if (!root->Expanded()) root->Expand(false);
    std::wstring w = Widen(Path);
    LPITEMIDLIST target = nullptr;
    ULONG eaten = 0;
    QuietDrives quiet;
    if (root_folder_ != rfDesktop && root_folder_ != rfDrives && root_folder_ != rfFileSystem) {
        // Below a special folder the path is taken from that folder on.
        TFolderItemData* rd = DataOf(root);
        const std::string rootPath = rd ? PidlPath(rd->Absolute) : std::string();
        TComPtr<IShellFolder> rf = FolderOf(root);
        if (!rootPath.empty() && rf && Path.size() > rootPath.size() &&
            CompareText(Path.substr(0, rootPath.size()), rootPath) == 0) {
            std::string rest = Path.substr(rootPath.size());
            while (!rest.empty() && rest.front() == '\\') rest.erase(0, 1);
            std::wstring wr = Widen(rest);
            LPITEMIDLIST relative = nullptr;
            if (!wr.empty() && SUCCEEDED(rf->ParseDisplayName(Handle(), nullptr, wr.data(), &eaten, &relative,
                                                              nullptr))) {
                target = PidlConcat(rd->Absolute, relative);
                PidlFree(relative);
            }
        }
    }
    if (!target && FAILED(desktop_->ParseDisplayName(Handle(), nullptr, w.data(), &eaten, &target, nullptr)))
        target = nullptr;
    if (!target) return;
    SelectPidl(target);
    PidlFree(target);
}

void TSystemTreeView::SelectPidl(LPCITEMIDLIST Target) {
    TTreeNode* node = Items().GetFirstNode();
    TFolderItemData* rd = DataOf(node);
    if (!rd) return;
    // The root must be where the target starts.
    const int rootItems = PidlCount(rd->Absolute);
    const int items = PidlCount(Target);
    if (items < rootItems) return;
    if (rootItems > 0) {
        LPITEMIDLIST head = PidlClone(Target);
        // Cut the copy after the root's items.
        auto* p = reinterpret_cast<BYTE*>(head);
        for (int i = 0; i < rootItems; ++i) p += reinterpret_cast<SHITEMID*>(p)->cb;
        reinterpret_cast<SHITEMID*>(p)->cb = 0;
        const int same = ShellOrder(desktop_.Get(), 0, head, rd->Absolute);
        PidlFree(head);
        if (same != 0) return;
    }
    Items().BeginUpdate();
    for (int i = rootItems; i < items && node; ++i) {
        ReadChildren(node);
        TComPtr<IShellFolder> folder = FolderOf(node);
        LPITEMIDLIST one = PidlItem(Target, i);
        TTreeNode* found = nullptr;
        for (int c = 0; folder && c < node->Count() && !found; ++c) {
            TFolderItemData* cd = DataOf(node->Item(c));
            if (cd && ShellOrder(folder.Get(), 0, cd->Relative, one) == 0) found = node->Item(c);
        }
        if (!found) {
            // Some folders order a parsed item apart from the listed one
            // (a drive typed in lower case): the same path is the same item.
            LPITEMIDLIST upto = PidlConcat(DataOf(node)->Absolute, one);
            const std::string want = SamePathKey(PidlPath(upto));
            PidlFree(upto);
            for (int c = 0; !want.empty() && c < node->Count() && !found; ++c) {
                TFolderItemData* cd = DataOf(node->Item(c));
                if (cd && SamePathKey(PidlPath(cd->Absolute)) == want) found = node->Item(c);
            }
        }
        PidlFree(one);
        if (found && i + 1 < items) node->Expand(false);
        node = found;
    }
    Items().EndUpdate();
    if (!node) return;
    if (node->Parent() && !node->Parent()->Expanded()) node->Parent()->Expand(false);
    SetSelected(node);
    node->MakeVisible();
}

void TSystemTreeView::Change(TTreeNode* Node) {
    {
        HourGlass busy;
        ShowInList(Node);
        TFolderItemData* d = DataOf(Node);
        std::string path = d ? PidlPath(d->Absolute) : std::string();
        // A selected file is watched through its folder.
        if (show_files_ && d && !(d->Attributes & SFGAO_FOLDER) && Node->Parent()) {
            TFolderItemData* pd = DataOf(Node->Parent());
            StartWatch(Node->Parent(), pd ? PidlPath(pd->Absolute) : std::string());
        } else {
            StartWatch(Node, path);
        }
    }
    TTreeView::Change(Node);
}

void TSystemTreeView::StopWatch() {
    ++watch_generation_;
    watch_node_ = nullptr;
    if (watch_) {
        watch_->Terminate();
        watch_.reset();
    }
}

void TSystemTreeView::StartWatch(TTreeNode* Node, const std::string& Path) {
    StopWatch();
    if (!Node || Path.empty() || !HandleAllocated()) return;
    watch_node_ = Node;
    watch_ = std::make_unique<TFileChangeThread>(Path, false, 1u << 1);
    // The report goes to the window, never into this object: by the time
    // it arrives the tree may have moved on or gone.
    HWND h = Handle();
    const WPARAM generation = watch_generation_;
    watch_->OnTerminate = [h, generation](TObject*) { PostMessageA(h, WM_FOLDERCHANGED, generation, 0); };
    watch_->Start();
}

std::string TSystemTreeView::WatchedFolder() const { return watch_ ? watch_->Folder() : std::string(); }

void TSystemTreeView::FolderChanged() {
    TTreeNode* node = watch_node_;
    if (!node || !watch_) return;
    const std::string path = watch_->Folder();
    StopWatch();
    Items().BeginUpdate();
    const DWORD a = GetFileAttributesA(path.c_str());
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) {
        RefreshNode(node);
        ShowInList(node);
        StartWatch(node, path);
    } else if (a != INVALID_FILE_ATTRIBUTES) {
        std::string parent = path;
        while (!parent.empty() && parent.back() == '\\') parent.pop_back();
        const size_t cut = parent.find_last_of('\\');
        parent = cut == std::string::npos ? std::string() : parent.substr(0, cut + 1);
        StartWatch(node->Parent(), parent);
    } else if (TTreeNode* parent = node->Parent()) {
        RefreshNode(parent);
        parent->Expand(false);
        SetSelected(parent);
        // Selecting what is selected already says nothing: watch it here.
        if (!watch_) Change(parent);
    }
    Items().EndUpdate();
}

void TSystemTreeView::WndProc(TMessage& m) {
    if (m.Msg == WM_FOLDERCHANGED) {
            if (m.WParam == watch_generation_) CallGuarded(this, [&] { FolderChanged(); });
        m.Result = 0;
        return;
    }
    TTreeView::WndProc(m);
}

bool TSystemTreeView::CanEdit(TTreeNode* Node) {
    TFolderItemData* d = DataOf(Node);
    return d && (d->Attributes & SFGAO_CANRENAME) && TTreeView::CanEdit(Node);
}

void TSystemTreeView::Edit(TTreeNode* Node, std::string& S) {
    TFolderItemData* d = DataOrReport(Node);
    if (!d || S == Node->Text()) {
        S = Node->Text();
        return;
    }
    std::wstring w = Widen(S);
    LPITEMIDLIST renamed = nullptr;
    if (FAILED(d->ParentFolder->SetNameOf(Handle(), d->Relative, w.c_str(), SHGDN_INFOLDER, &renamed)) || !renamed) {
        S = Node->Text();
        return;
    }
    PidlFree(d->Relative);
    d->Relative = renamed;
    TFolderItemData* pd = DataOf(Node->Parent());
    PidlFree(d->Absolute);
    d->Absolute = PidlConcat(pd ? pd->Absolute : nullptr, renamed);
    TTreeView::Edit(Node, S);
    if (Node == Selected()) Change(Node);
}

void TSystemTreeView::KeyDown(WORD& Key, TShiftState Shift) {
    if (Key == VK_F2 && Shift.empty() && Selected() && !IsEditing()) {
        Selected()->EditText();
        Key = 0;
        return;
    }
    TTreeView::KeyDown(Key, Shift);
}

bool TSystemTreeView::ContextClick(TPoint ScreenPos) {
    if (popup_method_ == pmmContext || popup_method_ == pmmContextUser) {
        POINT c{ScreenPos.X, ScreenPos.Y};
        ::ScreenToClient(Handle(), &c);
        if (TTreeNode* n = GetNodeAt(c.x, c.y)) {
            SetSelected(n);
            if (ShowPopupMenu(n, ScreenPos)) return true;
        }
    }
    if (popup_method_ == pmmNone || popup_method_ == pmmContext) return true;
    return TTreeView::ContextClick(ScreenPos);
}

bool TSystemTreeView::ShowPopupMenu(TTreeNode* Node, TPoint ScreenPos) {
    TFolderItemData* d = DataOrReport(Node);
    if (!d || PidlEmpty(d->Relative)) return false;
    LPCITEMIDLIST one = d->Relative;
    return ShowItemContextMenu(d->ParentFolder.Get(), &one, d->Attributes, 1, ScreenPos, Handle());
}

void TSystemTreeView::MouseMove(TShiftState Shift, int X, int Y) {
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
    TTreeView::MouseMove(Shift, X, Y);
}

void TSystemTreeView::SetListView(TSystemListView* v) {
    if (v == list_) return;
    if (list_) list_->RemoveFreeNotification(this);
    list_ = v;
    if (list_) {
        list_->FreeNotification(this);
        if (list_->TreeView() != this) list_->SetTreeView(this);
        ShowInList(Selected());
    }
}

void TSystemTreeView::ShowInList(TTreeNode* Node) {
    if (list_ && Node) list_->ShowFolder(Node, root_folder_ == rfDesktop && Node == Items().GetFirstNode());
}

void TSystemTreeView::Notification(TComponent* AComponent, TOperation Operation) {
    TTreeView::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == list_) list_ = nullptr;
}

void TSystemTreeView::SetRootFolder(TRootFolder v) {
    if (v == root_folder_) return;
    root_folder_ = v;
    Build();
}

void TSystemTreeView::SetCustomDir(const std::string& v) {
    if (v == custom_dir_) return;
    custom_dir_ = v;
    if (root_folder_ == rfCustom) Build();
}

void TSystemTreeView::SetCustomDirCaption(const std::string& v) {
    custom_caption_ = v;
    if (root_folder_ == rfCustom && Items().GetFirstNode() && !v.empty()) Items().GetFirstNode()->SetText(v);
}

void TSystemTreeView::SetShowFiles(bool v) {
    if (v == show_files_) return;
    show_files_ = v;
    Build();
}

void TSystemTreeView::SetShowHiddenDirs(bool v) {
    if (v == show_hidden_) return;
    show_hidden_ = v;
    Build();
}

void TSystemTreeView::SetCheckboxes(bool v) {
    checkboxes_ = v;
    if (!HandleAllocated()) return;
    const LONG_PTR st = GetWindowLongPtrA(Handle(), GWL_STYLE);
    SetWindowLongPtrA(Handle(), GWL_STYLE, v ? (st | TVS_CHECKBOXES) : (st & ~static_cast<LONG_PTR>(TVS_CHECKBOXES)));
}

}  // namespace bramble
