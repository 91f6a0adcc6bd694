#include "app/forms/entrylist.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <unordered_map>
#include <utility>

#include "engine/core/helpers.h"
#include "engine/core/zipcommon.h"
#include "ui/comctrls.h"
#include "ui/forms.h"
#include "ui/graphics.h"

namespace bramble {

namespace {

struct ColumnDef {
    const char* caption;
    int width;
    TAlignment alignment;
};

const ColumnDef kColumns[EntryColumnCount] = {
    {"Name", 140, taLeftJustify},     {"Size", 70, taRightJustify},   {"Packed", 70, taRightJustify},
    {"Ratio", 38, taLeftJustify},     {"Folder", 90, taLeftJustify},  {"Modified", 70, taLeftJustify},
    {"Method", 58, taLeftJustify},    {"File Type", 100, taLeftJustify}, {"Offset", 50, taRightJustify},
    {"Encrypted", 40, taLeftJustify}, {"Volume ID", 200, taLeftJustify}, {"File Comment", 150, taLeftJustify},
};

std::string UpperAnsi(std::string s) {
    if (!s.empty()) CharUpperBuffA(s.data(), static_cast<DWORD>(s.size()));
    return s;
}

std::string LowerAnsi(std::string s) {
    if (!s.empty()) CharLowerBuffA(s.data(), static_cast<DWORD>(s.size()));
    return s;
}

// The locale's case-insensitive order of file names.
int AnsiCompareText(const std::string& a, const std::string& b) {
    int r = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                           static_cast<int>(b.size()));
    return r == 0 ? CompareText(a, b) : r - CSTR_EQUAL;
}

// A byte string that orders like AnsiCompareText, so a sort asks the locale
// once per record instead of once per comparison.
std::string SortKey(const std::string& s) {
    if (s.empty()) return std::string();
    int n = LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, s.data(), static_cast<int>(s.size()),
                         nullptr, 0);
    if (n <= 0) return UpperAnsi(s);
    std::string key(static_cast<size_t>(n), '\0');
    LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, s.data(), static_cast<int>(s.size()), key.data(),
                 n);
    while (!key.empty() && key.back() == '\0') key.pop_back();
    return key;
}

const std::string& TextOf(int column, const TShellItem& r) {
    switch (column) {
        case ecName: return r.Name;
        case ecRatio: return r.Ratio;
        case ecFolder: return r.Folder;
        case ecMethod: return r.Method;
        case ecFileType: return r.FileType;
        case ecEncrypted: return r.Encrypted;
        case ecVolumeID: return r.VolumeID;
        default: return r.FileComment;
    }
}

bool IsNumericColumn(int column) {
    return column == ecSize || column == ecPacked || column == ecOffset || column == ecModified;
}

template <typename T>
int Sign(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

std::string ThousandSeparator() {
    static const std::string sep = [] {
        char buf[8] = {};
        int n = GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, buf, sizeof buf);
        return n > 1 ? std::string(buf) : std::string(",");
    }();
    return sep;
}

// The system image list for large or small icons; the shell keeps it.
HIMAGELIST SystemImageList(bool Large) {
    SHFILEINFOA sfi{};
    UINT flags = SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | (Large ? SHGFI_LARGEICON : SHGFI_SMALLICON);
    return reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoA("file.txt", FILE_ATTRIBUTE_NORMAL, &sfi, sizeof sfi, flags));
}

const char* const kLargeListName = "SystemLargeImages";
const char* const kSmallListName = "SystemSmallImages";

// Per extension (lower case): the icon index and the type name.
std::map<std::string, int>& IconCache() {
    static std::map<std::string, int> cache;
    return cache;
}
std::map<std::string, std::string>& TypeCache() {
    static std::map<std::string, std::string> cache;
    return cache;
}

std::string ExtKey(const std::string& Name) { return LowerAnsi(ExtractFileExt(Name)); }

}  // namespace

// ---- shell file information --------------------------------------------------------------------

TShellFileInfo::TIconLookup TShellFileInfo::IconLookup;
TShellFileInfo::TTypeLookup TShellFileInfo::TypeLookup;

int TShellFileInfo::IconIndex(const std::string& Name) {
    std::string key = ExtKey(Name);
    auto& cache = IconCache();
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    // Asked by a name of the extension alone, so the answer fits every name
    // that shares it.
    std::string probe = "file" + ExtractFileExt(Name);
    int index = IconLookup ? IconLookup(probe) : TZipCommon::GetFileIconIndex(probe);
    cache.emplace(std::move(key), index);
    return index;
}

std::string TShellFileInfo::TypeName(const std::string& Name) {
    std::string key = ExtKey(Name);
    auto& cache = TypeCache();
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    std::string probe = "file" + ExtractFileExt(Name);
    std::string type = TypeLookup ? TypeLookup(probe) : TZipCommon::GetFileTypeName(probe);
    cache.emplace(std::move(key), type);
    return type;
}

std::string TShellFileInfo::FileTypeText(const std::string& Name) {
    std::string type = TypeName(Name);
    if (!type.empty()) return type;
    std::string ext = ExtractFileExt(Name);
    if (!ext.empty()) ext.erase(0, 1);
    return ext + " File";
}

int TShellFileInfo::DisplayIcon(const std::string& Name) {
    if (ExtKey(Name) == ".exe") return IconIndex("test.com");
    return IconIndex(Name);
}

void TShellFileInfo::ClearCache() {
    IconCache().clear();
    TypeCache().clear();
}

void SetSystemImageLists(TListView* ListView) {
    if (!ListView) return;
    FreeSystemImageLists(ListView);
    auto make = [&](const char* name, bool large) -> TImageList* {
        HIMAGELIST h = SystemImageList(large);
        if (!h) return nullptr;
        auto* list = new TImageList(ListView);
        list->SetName(name);
        list->SetShareImages(true);  // the system's list: never destroyed here
        list->SetHandle(h);
        return list;
    };
    if (TImageList* large = make(kLargeListName, true)) ListView->SetLargeImages(large);
    if (TImageList* small = make(kSmallListName, false)) ListView->SetSmallImages(small);
}

void FreeSystemImageLists(TListView* ListView) {
    if (!ListView) return;
    for (const char* name : {kLargeListName, kSmallListName}) {
        TComponent* c = ListView->FindComponent(name);
        if (!c) continue;
        if (ListView->LargeImages() == c) ListView->SetLargeImages(nullptr);
        if (ListView->SmallImages() == c) ListView->SetSmallImages(nullptr);
        delete c;
    }
}

// ---- formatting ----------------------------------------------------------------------------------

std::string FormatKB(int64_t Bytes) {
    if (Bytes < 0) return std::string();
    if (Bytes < 1024) return std::to_string(Bytes) + " bytes";
    double v;
    const char* unit;
    if (Bytes < 1048576) {
        v = static_cast<double>(Bytes) / 1024.0;
        unit = " KB";
    } else {
        v = static_cast<double>(Bytes) / 1048576.0;
        unit = " MB";
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3G", v);
    // The class library's general format writes an exponent as "E3", not
    // "E+03".
    std::string s = buf;
    size_t e = s.find('E');
    if (e != std::string::npos) {
        std::string mant = s.substr(0, e);
        int exp = std::atoi(s.c_str() + e + 1);
        s = mant + "E" + std::to_string(exp);
    }
    return s + unit;
}

std::string FormatThousands(int64_t Value) {
    bool neg = Value < 0;
    uint64_t u = neg ? 0 - static_cast<uint64_t>(Value) : static_cast<uint64_t>(Value);
    std::string digits = std::to_string(u);
    std::string sep = ThousandSeparator();
    std::string out;
    int n = static_cast<int>(digits.size());
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) out += sep;
        out += digits[static_cast<size_t>(i)];
    }
    return neg ? "-" + out : out;
}

std::string FormatEntryDate(TDateTime Value) {
    int y, mo, d, h, mi, s;
    DecodeDateTime(Value, y, mo, d, h, mi, s);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%02d %02d:%02d", mo, d, y % 100, h, mi);
    return buf;
}

// ---- the entry list ------------------------------------------------------------------------------

TEntryList::TEntryList(TListView* ListView, bool Virtual)
    : listView_(ListView), listViewAlive_(ListView->AliveToken()), virtual_(Virtual) {}

TEntryList::~TEntryList() {
    if (!listViewAlive_.Alive()) return;
    // The list view may outlive the records it asks for.
    listView_->OnData = nullptr;
    listView_->OnDataFind = nullptr;
    listView_->OnDataHint = nullptr;
    listView_->OnColumnClick = nullptr;
    listView_->OnCompare = nullptr;
}

const char* TEntryList::ColumnCaption(int Column) {
    return Column >= 0 && Column < EntryColumnCount ? kColumns[Column].caption : "";
}

int TEntryList::DefaultColumnWidth(int Column) {
    return Column >= 0 && Column < EntryColumnCount ? kColumns[Column].width : 0;
}

void TEntryList::Setup() {
    TListView* lv = listView_;
    lv->SetViewStyle(vsReport);
    lv->SetMultiSelect(true);
    lv->SetReadOnly(true);
    lv->SetOwnerData(virtual_);
    lv->Columns().Clear();
    for (const ColumnDef& def : kColumns) {
        TListColumn* c = lv->Columns().Add();
        c->SetCaption(def.caption);
        c->SetWidth(def.width);
        c->SetAlignment(def.alignment);
    }
    lv->OnData = [this](TObject*, TListItem* Item) { ListViewData(Item); };
    lv->OnDataFind = [this](TObject*, TItemFind Find, const std::string& FindString, TPoint, void*, int StartIndex,
                            TSearchDirection, bool Wrap, int& Index) {
        if (Find != ifPartialString && Find != ifExactString) return;
        // Both kinds of find match a name the text starts, as typing does.
        const int found = FindPrefix(FindString, StartIndex, Wrap);
        if (found >= 0) Index = found;
    };
    lv->OnDataHint = [](TObject*, int, int) {};
    lv->OnColumnClick = [this](TObject*, TListColumn* Column) {
        if (Column) ColumnClick(Column->Index());
    };
    lv->OnCompare = [this](TObject*, TListItem* A, TListItem* B, int, int& Compare) {
        auto* x = static_cast<const TShellItem*>(A->Data());
        auto* y = static_cast<const TShellItem*>(B->Data());
        if (!x || !y) return;
        Compare = ComparePlain(sortColumn_, *x, *y);
        if (!ascending_) Compare = -Compare;
    };
}

std::vector<int> TEntryList::ColumnWidths() const {
    std::vector<int> w;
    for (int i = 0; i < listView_->Columns().Count(); ++i) w.push_back(listView_->Columns()[i]->Width());
    return w;
}

void TEntryList::SetColumnWidths(const std::vector<int>& Widths) {
    int n = std::min(static_cast<int>(Widths.size()), listView_->Columns().Count());
    for (int i = 0; i < n; ++i)
        if (Widths[static_cast<size_t>(i)] > 0) listView_->Columns()[i]->SetWidth(Widths[static_cast<size_t>(i)]);
}

void TEntryList::Clear() {
    listView_->Items().Clear();
    items_.clear();
}

TShellItem* TEntryList::AddFromComponent(TZipCommon& Sender, int64_t Offset, const std::string& Comment) {
    return Add(Sender.EntryInfo, Offset, Sender.DiskManager().VolumeLabel(), Comment);
}

TShellItem* TEntryList::Add(const TEntryInfo& Info, int64_t Offset, const std::string& VolumeID,
                            const std::string& Comment) {
    auto rec = std::make_unique<TShellItem>();
    TShellItem& r = *rec;
    r.Name = ExtractFileName(Info.FileName);
    r.Folder = ExtractFilePath(Info.FileName);
    r.PackedValue = Info.PackedSize;
    r.SizeValue = Info.UnpackedSize;
    r.OffsetValue = Offset;
    r.DateValue = Info.DateTime;
    r.Packed = std::to_string(Info.PackedSize);
    r.Size = std::to_string(Info.UnpackedSize);
    r.Ratio = std::to_string(Info.Ratio) + "%";
    r.Modified = FormatEntryDate(Info.DateTime);
    r.Method = Info.MethodName;
    r.FileType = TShellFileInfo::FileTypeText(Info.FileName);
    r.Offset = std::to_string(Offset);
    r.Encrypted = Info.Encrypted ? "Yes" : "No";
    r.VolumeID = VolumeID;
    r.FileComment = Comment;
    r.Icon = TShellFileInfo::DisplayIcon(r.Name);

    if (OnInstallEntry && IsInstallName(r.Name)) OnInstallEntry(r.Name);

    TShellItem* p = rec.get();
    items_.push_back(std::move(rec));
    if (!virtual_) {
        TListItem* item = listView_->Items().Add();
        item->SetData(p);
        FillItem(item, *p, true);
    }
    return p;
}

void TEntryList::UpdateCount() {
    if (virtual_) listView_->Items().SetCount(Count());
    listView_->Invalidate();
}

const TShellItem* TEntryList::GetEntry(int Index) const {
    if (Index < 0 || Index >= Count()) return nullptr;
    return items_[static_cast<size_t>(Index)].get();
}

void TEntryList::FillItem(TListItem* Item, const TShellItem& Rec, bool Report) const {
    Item->SetCaption(Rec.Name);
    Item->SetImageIndex(Rec.Icon);
    if (!Report) return;
    TStringList& s = Item->SubItems();
    s.BeginUpdate();
    s.Add(FormatThousands(Rec.SizeValue));
    s.Add(FormatThousands(Rec.PackedValue));
    for (const std::string* t : {&Rec.Ratio, &Rec.Folder, &Rec.Modified, &Rec.Method, &Rec.FileType, &Rec.Offset,
                                 &Rec.Encrypted, &Rec.VolumeID, &Rec.FileComment})
        s.Add(*t);
    s.EndUpdate();
}

void TEntryList::ListViewData(TListItem* Item) {
    const TShellItem* r = GetEntry(Item->Index());
    if (!r) return;
    FillItem(Item, *r, listView_->ViewStyle() == vsReport);
}

int TEntryList::CompareBy(int Column, const TShellItem& A, const TShellItem& B) {
    switch (Column) {
        case ecSize: return Sign(A.SizeValue, B.SizeValue);
        case ecPacked: return Sign(A.PackedValue, B.PackedValue);
        case ecOffset: return Sign(A.OffsetValue, B.OffsetValue);
        case ecModified: {
            // By the day's 100000th part (about 0.86 s): times the stored
            // formats keep at different precisions compare equal.
            const double units = std::round((A.DateValue - B.DateValue) * 100000.0);
            return units < 0 ? -1 : units > 0 ? 1 : 0;
        }
        default: return AnsiCompareText(TextOf(Column, A), TextOf(Column, B));
    }
}

int TEntryList::ComparePlain(int Column, const TShellItem& A, const TShellItem& B) {
    if (Column != ecRatio) return CompareBy(Column, A, B);
    // The list view sorts its own items here: a ratio is the number before
    // its "%", so 9% comes before 10%.
    auto value = [](const std::string& Ratio) {
        const std::string digits = Ratio.empty() ? Ratio : Ratio.substr(0, Ratio.size() - 1);
        char* end = nullptr;
        const long v = std::strtol(digits.c_str(), &end, 10);
        return end && *end == '\0' && !digits.empty() ? v : 0L;
    };
    return Sign(value(A.Ratio), value(B.Ratio));
}

void TEntryList::ColumnClick(int Column) {
    if (Column < 0 || Column >= EntryColumnCount) return;
    bool asc = Column == sortColumn_ ? !ascending_ : true;
    Sort(Column, asc);
}

void TEntryList::RedrawRows() {
    // Only the rows on screen: asking the window to redraw every row costs
    // a pass over the whole list.
    int first = 0, last = Count() - 1;
    if (listView_->HandleAllocated()) {
        HWND h = listView_->Handle();
        first = static_cast<int>(SendMessageA(h, LVM_GETTOPINDEX, 0, 0));
        last = std::min(last, first + static_cast<int>(SendMessageA(h, LVM_GETCOUNTPERPAGE, 0, 0)) + 1);
    }
    if (last >= first) listView_->UpdateItems(first, last);
    listView_->Invalidate();
}

void TEntryList::Sort(int Column, bool Ascending) {
    if (Column < 0 || Column >= EntryColumnCount) return;
    sortColumn_ = Column;
    ascending_ = Ascending;

    struct CursorScope {
        TCursor old;
        CursorScope() : old(Screen ? Screen->Cursor() : crDefault) {
            if (Screen) Screen->SetCursor(crHourGlass);
        }
        ~CursorScope() {
            if (Screen) Screen->SetCursor(old);
        }
    } cursor;

    if (!virtual_) {
        listView_->AlphaSort();
        return;
    }
    // The list view knows its selection and focus by row number only: they
    // go with the records they were on, or Delete and View would act on
    // entries the user never chose.
    const std::vector<const TShellItem*> selected = SelectedItems();
    const TShellItem* focused = nullptr;
    if (listView_->HandleAllocated()) focused = GetEntry(listView_->GetNextItem(-1, sdNext, {isFocused}));
    // Stable, so rows that compare equal keep the order they had.
    if (IsNumericColumn(Column)) {
        std::stable_sort(items_.begin(), items_.end(), [&](const auto& a, const auto& b) {
            int c = CompareBy(Column, *a, *b);
            return Ascending ? c < 0 : c > 0;
        });
    } else {
        std::vector<std::pair<std::string, std::unique_ptr<TShellItem>>> keyed;
        keyed.reserve(items_.size());
        for (auto& p : items_) {
            std::string key = SortKey(TextOf(Column, *p));
            keyed.emplace_back(std::move(key), std::move(p));
        }
        std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
            return Ascending ? a.first < b.first : b.first < a.first;
        });
        for (size_t i = 0; i < keyed.size(); ++i) items_[i] = std::move(keyed[i].second);
    }
    RestoreSelection(selected, focused);
    RedrawRows();
}

void TEntryList::RestoreSelection(const std::vector<const TShellItem*>& Selected, const TShellItem* Focused) {
    if (!listView_->HandleAllocated() || (Selected.empty() && !Focused)) return;
    std::unordered_map<const TShellItem*, int> row;
    row.reserve(items_.size());
    for (size_t i = 0; i < items_.size(); ++i) row.emplace(items_[i].get(), static_cast<int>(i));
    if (static_cast<int>(Selected.size()) == Count()) {
        listView_->SelectAll();
    } else {
        listView_->ClearSelection();
        for (const TShellItem* r : Selected) {
            auto it = row.find(r);
            if (it != row.end()) listView_->SetIsSelected(it->second, true);
        }
    }
    auto it = Focused ? row.find(Focused) : row.end();
    if (it != row.end()) {
        HWND h = listView_->Handle();
        LVITEMA state{};
        state.stateMask = LVIS_FOCUSED;
        state.state = LVIS_FOCUSED;
        SendMessageA(h, LVM_SETITEMSTATE, static_cast<WPARAM>(it->second), reinterpret_cast<LPARAM>(&state));
        // Shift+arrows extend from where the user was.
        SendMessageA(h, LVM_SETSELECTIONMARK, 0, it->second);
    }
}

int TEntryList::FindPrefix(const std::string& Text, int Start, bool Wrap) const {
    int n = Count();
    if (n == 0) return -1;
    if (Start < 0 || Start >= n) Start = 0;
    std::string want = UpperAnsi(Text);
    for (int k = 0; k < n; ++k) {
        int i = Start + k;
        if (i >= n) {
            if (!Wrap) break;
            i -= n;
        }
        const std::string& name = items_[static_cast<size_t>(i)]->Name;
        if (name.size() >= want.size() && UpperAnsi(name.substr(0, want.size())) == want) return i;
    }
    return -1;
}

std::vector<int> TEntryList::SelectedIndices() const {
    std::vector<int> out;
    if (!listView_->HandleAllocated()) return out;
    int n = Count();
    for (int i = listView_->GetNextItem(-1, sdNext, {isSelected}); i >= 0 && i < n;
         i = listView_->GetNextItem(i, sdNext, {isSelected})) {
        if (!out.empty() && i <= out.back()) break;  // a list view that wraps around
        out.push_back(i);
    }
    return out;
}

std::vector<const TShellItem*> TEntryList::SelectedItems() const {
    std::vector<const TShellItem*> out;
    for (int i : SelectedIndices()) {
        const TShellItem* r = virtual_ ? GetEntry(i) : static_cast<const TShellItem*>(listView_->Items()[i]->Data());
        if (r) out.push_back(r);
    }
    return out;
}

std::vector<std::string> TEntryList::SelectedNames() const {
    std::vector<std::string> out;
    for (const TShellItem* r : SelectedItems()) out.push_back(r->StoredName());
    return out;
}

int TEntryList::SelectedCount() const { return listView_->HandleAllocated() ? listView_->SelCount() : 0; }

int64_t TEntryList::SelectedBytes() const {
    int64_t sum = 0;
    for (const TShellItem* r : SelectedItems()) sum += r->SizeValue;
    return sum;
}

int64_t TEntryList::TotalSize() const {
    int64_t sum = 0;
    for (const auto& r : items_) sum += r->SizeValue;
    return sum;
}

int64_t TEntryList::TotalPacked() const {
    int64_t sum = 0;
    for (const auto& r : items_) sum += r->PackedValue;
    return sum;
}

std::string TEntryList::TotalsText(int64_t ArchiveBytes) const {
    return "Total " + std::to_string(Count()) + " file(s), " + FormatKB(ArchiveBytes);
}

std::string TEntryList::SelectedText() const {
    return std::to_string(SelectedCount()) + " file(s) selected, " + FormatKB(SelectedBytes());
}

bool TEntryList::IsInstallName(const std::string& Name) {
    std::string lower = LowerAnsi(Name);
    return lower.compare(0, 5, "setup") == 0 || lower.compare(0, 7, "install") == 0 ||
           LowerAnsi(ExtractFileExt(Name)) == ".inf";
}

}  // namespace bramble
