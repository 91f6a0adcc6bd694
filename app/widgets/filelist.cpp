#include "app/widgets/filelist.h"

namespace bramble {

TFileListView::TFileListView(TComponent* AOwner) : TListView(AOwner) {}
TFileListView::~TFileListView() = default;
void TFileListView::SetAcceptFiles(bool v) { accept_files_ = v; }
TListItem* TFileListView::AddFileItem(const std::string& Path) { return NewItem(Path, Path, -1); }
TListItem* TFileListView::AddUnknownItem(const std::string& Path) { return NewItem(Path, "????", -1); }
TListItem* TFileListView::AddUnknownItemNoImage(const std::string& Path) { return NewItem(Path, "????", -1); }
TFileItemInfo* TFileListView::ItemInfo(const TListItem* Item) {
    return Item ? static_cast<TFileItemInfo*>(Item->Data()) : nullptr;
}
void TFileListView::WndProc(TMessage& Message) { TListView::WndProc(Message); }
void TFileListView::Loaded() { TListView::Loaded(); }
void TFileListView::CreateWnd() { TListView::CreateWnd(); }
void TFileListView::ClearItems() {
    Items().Clear();
    infos_.clear();
}
TListItem* TFileListView::NewItem(const std::string& Path, const std::string& Caption, int Image) {
    TListItem* item = Items().Add();
    item->SetCaption(Caption);
    item->SetImageIndex(Image);
    auto info = std::make_unique<TFileItemInfo>();
    info->Name = Path;
    item->SetData(info.get());
    infos_.push_back(std::move(info));
    return item;
}
int TFileListView::FolderIcon() { return -1; }
const std::string& TFileListView::FolderTypeName() {
    static const std::string name;
    return name;
}
void TFileListView::ReadDrop(HDROP) {}
void TFileListView::UpdateDropTarget() {}

TFileList::TFileList(TComponent* AOwner) : TFileListView(AOwner), columns_{} {}
TFileList::~TFileList() = default;
std::string TFileList::Directory() const { return {}; }
void TFileList::SetDirectory(const std::string&) {}
void TFileList::SetFileTypes(TFileTypes v) { file_types_ = v; }
void TFileList::SetDisplayDirectory(bool v) { display_directory_ = v; }
void TFileList::SetDisplayParentDir(bool v) { display_parent_dir_ = v; }
std::string TFileList::Mask() const { return {}; }
void TFileList::SetMask(const std::string&) {}
void TFileList::SetSortColumn(TFileInfo v) { sort_column_ = v; }
void TFileList::SetViewColumns(TFileInfos v) { view_columns_ = v; }
void TFileList::SetColumnWidth(TFileInfo, int) {}
int TFileList::ColumnWidth(TFileInfo) const { return 0; }
int TFileList::ColumnPosition(TFileInfo) const { return -1; }
TFileInfo TFileList::ColumnKind(int) const { return fiName; }
TListItem* TFileList::AddFileItem(const std::string& Path) { return TFileListView::AddFileItem(Path); }
void TFileList::BuildColumns() {}
void TFileList::ReadFiles() {}
int TFileList::CompareFileItems(TListItem*, TListItem*, int) { return 0; }
void TFileList::FillDetails(TListItem*, const std::string&, const WIN32_FIND_DATAA&) {}
void TFileList::WndProc(TMessage& Message) { TFileListView::WndProc(Message); }
void TFileList::Loaded() { TFileListView::Loaded(); }
bool TFileList::ReadFolder(const std::string&) { return true; }
void TFileList::SortItems() {}
bool TFileList::Shown(TFileInfo) const { return false; }
bool TFileList::LetMessagesRun() { return true; }

}  // namespace bramble
