#include "app/widgets/filelist.h"

#include <shellapi.h>
#include <shlobj.h>

#include "app/widgets/shellitem.h"
#include "ui/errormode.h"
#include "ui/forms.h"

namespace bramble {

namespace {

// The shell's answer about a path: display name, small icon, type name.
struct ShellLook {
    bool ok = false;
    std::string name, type;
    int icon = -1;
};

ShellLook AskShell(const std::string& Path, UINT Flags) {
    SHFILEINFOA sfi{};
    ShellLook look;
    look.ok = SHGetFileInfoA(Path.c_str(), 0, &sfi, sizeof sfi, Flags) != 0;
    if (!look.ok) return look;
    look.name = sfi.szDisplayName;
    look.type = sfi.szTypeName;
    look.icon = (Flags & SHGFI_SYSICONINDEX) ? sfi.iIcon : -1;
    return look;
}

std::string NamePart(const std::string& Path) {
    const size_t slash = Path.find_last_of('\\', Path.empty() ? 0 : Path.size() - 2);
    return slash == std::string::npos ? Path : Path.substr(slash + 1);
}

}  // namespace

// ---- TFileListView ------------------------------------------------------------------------

TFileListView::TFileListView(TComponent* AOwner) : TListView(AOwner) {
    drive_mask_ = GetLogicalDrives();
    LPITEMIDLIST drives = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &drives)) && drives) {
        SHFILEINFOA sfi{};
        if (SHGetFileInfoA(reinterpret_cast<LPCSTR>(drives), 0, &sfi, sizeof sfi,
                           SHGFI_PIDL | SHGFI_DISPLAYNAME | SHGFI_SYSICONINDEX | SHGFI_SMALLICON)) {
            drives_name_ = sfi.szDisplayName;
            drives_icon_ = sfi.iIcon;
        }
        PidlFree(drives);
    }
    AttachSystemImages(small_, large_);
    SetSmallImages(&small_);
    SetLargeImages(&large_);
}

TFileListView::~TFileListView() {
    Destroying();
    Items().Clear();
    infos_.clear();
    SetSmallImages(nullptr);
    SetLargeImages(nullptr);
}

int TFileListView::FolderIcon() {
    static const int icon = [] {
        char windir[MAX_PATH] = {};
        GetWindowsDirectoryA(windir, MAX_PATH);
        return AskShell(windir, SHGFI_SYSICONINDEX | SHGFI_SMALLICON).icon;
    }();
    return icon;
}

const std::string& TFileListView::FolderTypeName() {
    static const std::string type = [] {
        char windir[MAX_PATH] = {};
        GetWindowsDirectoryA(windir, MAX_PATH);
        return AskShell(windir, SHGFI_TYPENAME).type;
    }();
    return type;
}

void TFileListView::SetAcceptFiles(bool v) {
    accept_files_ = v;
    UpdateDropTarget();
}

void TFileListView::UpdateDropTarget() {
    if (ComponentState().contains(csDesigning) || ComponentState().contains(csLoading)) return;
    if (HandleAllocated()) DragAcceptFiles(Handle(), accept_files_);
}

void TFileListView::Loaded() {
    TListView::Loaded();
    UpdateDropTarget();
}

void TFileListView::CreateWnd() {
    TListView::CreateWnd();
    // A new window is not registered for drops until told again.
    if (accept_files_) UpdateDropTarget();
}

void TFileListView::ReadDrop(HDROP Drop) {
    TStringList files;
    const UINT count = DragQueryFileA(Drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT len = DragQueryFileA(Drop, i, nullptr, 0);
        std::string name(len + 1, '\0');
        DragQueryFileA(Drop, i, name.data(), len + 1);
        name.resize(len);
        files.Add(name);
    }
    POINT at{};
    DragQueryPoint(Drop, &at);
    DragFinish(Drop);
    if (OnFileDrop && !Silent()) OnFileDrop(&files, at.x, at.y);
}

void TFileListView::WndProc(TMessage& m) {
    if (m.Msg == WM_DROPFILES) {
        ReadDrop(reinterpret_cast<HDROP>(m.WParam));
        m.Result = 0;
        return;
    }
    TListView::WndProc(m);
}

TFileItemInfo* TFileListView::ItemInfo(const TListItem* Item) {
    return Item ? static_cast<TFileItemInfo*>(Item->Data()) : nullptr;
}

void TFileListView::ClearItems() {
    Items().Clear();
    infos_.clear();
}

TListItem* TFileListView::NewItem(const std::string& Path, const std::string& Caption, int Image) {
    auto info = std::make_unique<TFileItemInfo>();
    info->Name = NamePart(Path);
    info->Folder = Path.substr(0, Path.size() - info->Name.size());
    TListItem* item = Items().Add();
    item->SetData(info.get());
    infos_.push_back(std::move(info));
    item->SetImageIndex(Image);
    item->SetCaption(Caption);
    return item;
}

TListItem* TFileListView::AddFileItem(const std::string& Path) {
    const ShellLook look = AskShell(Path, SHGFI_SYSICONINDEX | SHGFI_DISPLAYNAME | SHGFI_SMALLICON);
    return NewItem(Path, look.name.empty() ? NamePart(Path) : look.name, look.icon);
}

TListItem* TFileListView::AddUnknownItem(const std::string& Path) { return NewItem(Path, "????", FolderIcon()); }

TListItem* TFileListView::AddUnknownItemNoImage(const std::string& Path) { return NewItem(Path, "????", -1); }

// ---- TFileList ------------------------------------------------------------------------------

TFileList::TFileList(TComponent* AOwner)
    : TFileListView(AOwner),
      columns_{{"Name", 150, taLeftJustify, -1},      {"Size", 60, taRightJustify, -1},
               {"Type", 130, taLeftJustify, -1},      {"Modified", 100, taLeftJustify, -1},
               {"Created", 100, taLeftJustify, -1},   {"Last Access", 85, taLeftJustify, -1},
               {"Attributes", 60, taLeftJustify, -1}, {"Dos Name", 130, taLeftJustify, -1},
               {"Dos Ext", 60, taLeftJustify, -1},    {"Path", 200, taLeftJustify, -1}} {
    folders_.SetDuplicates(dupIgnore);
    folders_.SetSorted(true);
    masks_.SetDuplicates(dupIgnore);
    masks_.SetSorted(true);
    masks_.Add("*.*");
    // Built now as well, so a list made outside a form has its columns.
    BuildColumns();
}

TFileList::~TFileList() { Destroying(); }

void TFileList::Loaded() {
    TFileListView::Loaded();
    BuildColumns();
}

std::string TFileList::Directory() const {
    std::string s;
    for (int i = 0; i < folders_.Count(); ++i) {
        if (i) s += ';';
        s += folders_.Get(i);
    }
    return s;
}

void TFileList::SetDirectory(const std::string& v) {
    folders_.Clear();
    for (const std::string& f : ParseFolderList(v, drive_list_)) folders_.Add(f);
    ReadFiles();
}

std::string TFileList::Mask() const {
    std::string s;
    for (int i = 0; i < masks_.Count(); ++i) {
        if (i) s += ';';
        s += masks_.Get(i);
    }
    return s;
}

void TFileList::SetMask(const std::string& v) {
    ParseMaskList(v, masks_, true, false);
    ReadFiles();
}

void TFileList::SetFileTypes(TFileTypes v) {
    if (v == file_types_) return;
    file_types_ = v;
    ReadFiles();
}

void TFileList::SetDisplayDirectory(bool v) {
    if (v == display_directory_) return;
    display_directory_ = v;
    ReadFiles();
}

void TFileList::SetDisplayParentDir(bool v) {
    if (v == display_parent_dir_) return;
    display_parent_dir_ = v;
    if (display_directory_) ReadFiles();
}

bool TFileList::Shown(TFileInfo Kind) const { return view_columns_.contains(Kind) || view_columns_.contains(fiAll); }

void TFileList::SetViewColumns(TFileInfos v) {
    if (v == view_columns_) return;
    view_columns_ = v;
    // The details of every item follow the columns, in any view: a later
    // switch to the report view must not show texts under the wrong header.
    BuildColumns();
    ReadFiles();
}

void TFileList::SetSortColumn(TFileInfo v) {
    if (v >= fiAll || !Shown(v)) return;
    if (v == sort_column_)
        descending_ = !descending_;
    else
        sort_column_ = v;
    SortItems();
}

void TFileList::SetColumnWidth(TFileInfo Kind, int Width) {
    if (Kind >= fiAll || columns_[Kind].Width == Width) return;
    columns_[Kind].Width = Width;
    BuildColumns();
}

int TFileList::ColumnWidth(TFileInfo Kind) const { return Kind < fiAll ? columns_[Kind].Width : 0; }

int TFileList::ColumnPosition(TFileInfo Kind) const { return Kind < fiAll ? columns_[Kind].Position : -1; }

TFileInfo TFileList::ColumnKind(int Position) const {
    if (Position < 0 || Position >= static_cast<int>(position_kinds_.size())) return fiAll;
    return position_kinds_[static_cast<size_t>(Position)];
}

void TFileList::BuildColumns() {
    Columns().Clear();
    position_kinds_.clear();
    auto add = [this](TFileInfo kind, int width) {
        TListColumn* c = Columns().Add();
        c->SetCaption(columns_[kind].Caption);
        c->SetAlignment(columns_[kind].Alignment);
        c->SetWidth(width);
        columns_[kind].Position = static_cast<int>(position_kinds_.size());
        position_kinds_.push_back(kind);
    };
    // Name and size always stand at 0 and 1: the size text is always kept
    // and the folders-first order reads it.
    add(fiName, Shown(fiName) ? columns_[fiName].Width : 0);
    add(fiSize, Shown(fiSize) ? columns_[fiSize].Width : 0);
    for (int k = fiType; k < fiAll; ++k) {
        const auto kind = static_cast<TFileInfo>(k);
        if (Shown(kind))
            add(kind, columns_[kind].Width);
        else
            columns_[kind].Position = -1;
    }
}

bool TFileList::LetMessagesRun() {
    TAliveToken alive = AliveToken();
    if (Application) Application->ProcessMessages();
    return alive.Alive();
}

void TFileList::ReadFiles() {
    // Messages run between entries, and one of them may ask for another
    // read: the read under way then starts over instead of being nested.
    if (reading_) {
        reread_ = true;
        return;
    }
    reading_ = true;
    TAliveToken alive = AliveToken();
    if (Screen) Screen->SetCursor(crHourGlass);
    // The report view would lay out its columns for every entry added.
    const TViewStyle style = ViewStyle();
    SetViewStyle(vsIcon);
    do {
        reread_ = false;
        Items().BeginUpdate();
        ClearItems();
        std::vector<std::string> folders;
        for (int i = 0; i < folders_.Count(); ++i) folders.push_back(folders_.Get(i));
        for (const std::string& folder : folders) {
            if (!ReadFolder(folder) || !alive.Alive() || reread_) break;
            if (!LetMessagesRun()) break;
            if (reread_) break;
        }
        if (!alive.Alive()) break;
        if (!reread_ && !drive_list_) SortItems();
        Items().EndUpdate();
    } while (reread_);
    if (Screen) Screen->SetCursor(crDefault);
    if (!alive.Alive()) return;
    SetViewStyle(style);
    reading_ = false;
}

bool TFileList::ReadFolder(const std::string& Folder) {
    TQuietDrives quiet;
    if (drive_list_) {
        for (int d = 0; d < 26; ++d) {
            if (!(drive_mask_ & (1u << d))) continue;
            const char letter = static_cast<char>('A' + d);
            const std::string root = std::string(1, letter) + ":\\";
            const ShellLook look = AskShell(root, SHGFI_DISPLAYNAME | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
            TListItem* item = AddUnknownItemNoImage(root);
            TFileItemInfo* info = ItemInfo(item);
            info->Folder.clear();
            info->Name = root;
            info->Drive = letter;
            FillDetails(item, std::string(), info->FindData);
            item->SetCaption(look.name.empty() ? root : look.name);
            item->SetImageIndex(look.icon);
        }
        return true;
    }
    WIN32_FIND_DATAA fd{};
    HANDLE h = FindFirstFileA((Folder + "*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return true;
    struct Closer {
        HANDLE h;
        ~Closer() { FindClose(h); }
    } closer{h};
    do {
        const std::string name = fd.cFileName;
        if (!MatchesFileTypes(fd.dwFileAttributes, file_types_)) continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (name == "." || !display_directory_) continue;
            if (name == ".." && !display_parent_dir_) continue;
            TListItem* item = AddUnknownItem(Folder + name);
            // Captioned before the details, so OnFileAdd sees the name.
            item->SetCaption(name);
            FillDetails(item, Folder, fd);
        } else {
            TListItem* item = TFileListView::AddFileItem(Folder + name);
            FillDetails(item, Folder, fd);
        }
        if (!LetMessagesRun() || reread_) return false;
    } while (FindNextFileA(h, &fd));
    return true;
}

TListItem* TFileList::AddFileItem(const std::string& Path) {
    WIN32_FIND_DATAA fd{};
    HANDLE h;
    {
        TQuietDrives quiet;
        h = FindFirstFileA(Path.c_str(), &fd);
    }
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    FindClose(h);
    const std::string name = fd.cFileName;
    const bool folder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name == "..";
    TListItem* item = folder ? AddUnknownItem(Path) : TFileListView::AddFileItem(Path);
    if (folder) item->SetCaption(name);
    TFileItemInfo* info = ItemInfo(item);
    FillDetails(item, info ? info->Folder : std::string(), fd);
    return item;
}

void TFileList::FillDetails(TListItem* Item, const std::string& Folder, const WIN32_FIND_DATAA& Find) {
    TFileItemInfo local;
    TFileItemInfo* info = ItemInfo(Item);
    if (!info) info = &local;
    info->FindData = Find;
    if (!info->Drive) {
        info->Folder = Folder;
        info->Name = Find.cFileName;
    }
    TStringList& sub = Item->SubItems();
    sub.BeginUpdate();
    sub.Clear();
    sub.Add(FileSizeText(*info));
    if (Shown(fiType)) {
        std::string type;
        if (info->Drive)
            type = AskShell(info->Name, SHGFI_TYPENAME).type;
        else if (info->IsFolder())
            type = FolderTypeName();
        else
            type = AskShell(info->FullPath(), SHGFI_TYPENAME | SHGFI_DISPLAYNAME).type;
        sub.Add(type);
    }
    if (Shown(fiModified)) sub.Add(FileTimeText(Find.ftLastWriteTime));
    if (Shown(fiCreated)) sub.Add(FileTimeText(Find.ftCreationTime));
    if (Shown(fiLastAccess)) sub.Add(FileTimeText(Find.ftLastAccessTime));
    if (Shown(fiAttributes)) sub.Add(AttributeText(Find.dwFileAttributes));
    if (Shown(fiDosName)) sub.Add(DosName(Find));
    if (Shown(fiDosExt)) sub.Add(DosExt(Find));
    if (Shown(fiPath)) sub.Add(Folder);
    sub.EndUpdate();
    if (OnFileAdd && !Silent()) OnFileAdd(this, Item, Folder, Find);
}

int TFileList::CompareFileItems(TListItem* Item1, TListItem* Item2, int Position) {
    const TFileInfo kind = Position == 0 ? fiName : ColumnKind(Position);
    auto key = [&](TListItem* item) {
        TFileSortKey k;
        k.Caption = item->Caption();
        TStringList& sub = item->SubItems();
        if (sub.Count() > 0) k.SizeText = sub.Get(0);
        if (Position >= 1 && Position - 1 < sub.Count()) k.Detail = sub.Get(Position - 1);
        return k;
    };
    return CompareFileKeys(key(Item1), key(Item2), kind == fiAll ? fiPath : kind, descending_);
}

void TFileList::SortItems() {
    int position = ColumnPosition(sort_column_);
    if (position < 0) position = 0;
    CustomSort([this](TListItem* a, TListItem* b, LPARAM p) { return CompareFileItems(a, b, static_cast<int>(p)); },
               position);
}

void TFileList::WndProc(TMessage& m) {
    if (m.Msg == CN_NOTIFY) {
        auto* hdr = reinterpret_cast<NMHDR*>(m.LParam);
        if (hdr->code == LVN_COLUMNCLICK && !Silent()) {
            auto* nm = reinterpret_cast<NMLISTVIEW*>(m.LParam);
            const TFileInfo kind = ColumnKind(nm->iSubItem);
            if (kind != fiAll) SetSortColumn(kind);
        }
    }
    TFileListView::WndProc(m);
}

}  // namespace bramble
