// The file list: masks and folder lists as typed, entries with their real
// names and detail texts, folders on top, header clicks that sort sizes by
// value and dates by time, the drive list, and a read asked for while one
// runs.
#include <gtest/gtest.h>
#include <windows.h>

#include <bit>
#include <string>
#include <vector>

#include "app/widgets/filelist.h"
#include "support/testenv.h"
#include "ui/forms.h"
#include "ui/ui_support.h"

namespace bramble {
namespace {

using test::Join;
using test::ScratchDir;
using test::WriteAll;

std::vector<std::string> Lines(const TStrings& L) {
    std::vector<std::string> v;
    for (int i = 0; i < L.Count(); ++i) v.push_back(L.Get(i));
    return v;
}

TEST(FileListRules, MasksParseIntoCompletedSortedPatterns) {
    const struct {
        const char* text;
        std::vector<std::string> want;
    } cases[] = {
        {"doc, *.txt ,abc?", {"*.txt", "*doc*", "abc?*"}},
        {"", {"*"}},
        {"DOC;doc", {"*doc*"}},              // folded, duplicates dropped
        {"a,,b;", {"*a*", "*b*"}},           // empty pieces are no pattern
        {" , ; ", {"*"}},                    // nothing but separators
        {"abc*", {"abc*"}},                  // already a prefix
        {"*.tar.gz", {"*.tar.gz"}},
    };
    for (const auto& c : cases) {
        TStringList list;
        ParseMaskList(c.text, list, true, false);
        EXPECT_EQ(Lines(list), c.want) << "\"" << c.text << "\"";
    }
    TStringList kept;
    ParseMaskList("Doc", kept, false, true);
    EXPECT_EQ(Lines(kept), std::vector<std::string>{"Doc"});
}

TEST(FileListRules, FolderListsSkipEmptyPiecesAndEmptyMeansDrives) {
    const struct {
        const char* value;
        bool drives;
        std::vector<std::string> want;
    } cases[] = {
        {"", true, {""}},
        {"c:\\a;d:\\b\\", false, {"c:\\a\\", "d:\\b\\"}},
        {"c:\\a;;d:\\b;", false, {"c:\\a\\", "d:\\b\\"}},
        {";", false, {}},
    };
    for (const auto& c : cases) {
        bool drives = !c.drives;
        EXPECT_EQ(ParseFolderList(c.value, drives), c.want) << c.value;
        EXPECT_EQ(drives, c.drives) << c.value;
    }
}

TEST(FileListRules, AttributesFilterAndText) {
    EXPECT_EQ(AttributeText(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY |
                            FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY),
              "DARSHT");
    EXPECT_EQ(AttributeText(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE), "AH");
    const TFileTypes dflt{ftArchive, ftReadonly};
    EXPECT_TRUE(MatchesFileTypes(FILE_ATTRIBUTE_DIRECTORY, dflt));
    EXPECT_TRUE(MatchesFileTypes(FILE_ATTRIBUTE_NORMAL, TFileTypes{}));
    EXPECT_TRUE(MatchesFileTypes(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY, dflt));
    EXPECT_FALSE(MatchesFileTypes(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN, dflt));
    EXPECT_FALSE(MatchesFileTypes(FILE_ATTRIBUTE_SYSTEM, dflt));
    EXPECT_FALSE(MatchesFileTypes(FILE_ATTRIBUTE_TEMPORARY, dflt));
    EXPECT_FALSE(MatchesFileTypes(FILE_ATTRIBUTE_ARCHIVE, TFileTypes{ftReadonly}));
    EXPECT_TRUE(MatchesFileTypes(FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN, TFileTypes{ftAll}));

    TFileItemInfo big;
    big.FindData.nFileSizeHigh = 2;  // more than 32 bits and ten digits
    big.FindData.nFileSizeLow = 0x540BE400;
    EXPECT_EQ(FileSizeText(big), "10000000000");
    TFileItemInfo small;
    small.FindData.nFileSizeLow = 3;
    EXPECT_EQ(FileSizeText(small), "         3");
    TFileItemInfo folder;
    folder.FindData.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
    EXPECT_EQ(FileSizeText(folder), "");
}

TEST(FileListRules, OrderKeepsFoldersOnTopAndComparesTheShownTexts) {
    auto key = [](const char* caption, const char* size, const char* detail) {
        return TFileSortKey{caption, size, detail};
    };
    const TFileSortKey dir = key("zeta", "", "");
    for (bool desc : {false, true})
        for (TFileInfo kind : {fiName, fiSize, fiModified, fiType}) {
            SCOPED_TRACE(::testing::Message() << kind << " " << desc);
            EXPECT_LT(CompareFileKeys(dir, key("a", "         1", "a"), kind, desc), 0);
            EXPECT_GT(CompareFileKeys(key("a", "         1", "a"), dir, kind, desc), 0);
        }
    struct Case {
        const char* what;
        TFileSortKey a, b;
        TFileInfo kind;
        int ascending;  // the sign for A against B, ascending
    };
    const Case cases[] = {
        {"names, case does not count", key("a.bin", "1", "x"), key("B.bin", "0", "w"), fiName, -1},
        // The size column's text is the first detail.
        {"sizes as right-aligned texts", key("b", "         3", "         3"), key("a", "  12345678", "  12345678"),
         fiSize, -1},
        // Eleven digits no longer fit: the text order is what counts.
        {"sizes past ten digits", key("a", "12345678901", "12345678901"), key("b", "9999999999", "9999999999"),
         fiSize, -1},
        {"types upper-cased", key("a", "1", "Y"), key("b", "1", "x"), fiType, 1},
        {"equal texts: the names", key("b", "1", "x"), key("a", "1", "X"), fiType, 1},
        // Dates as their texts, reversed once more: "9/..." is after "12/...".
        {"dates", key("a", "1", "9/1/2020  10:00"), key("b", "1", "12/1/2020  10:00"), fiModified, -1},
        {"created", key("a", "1", "9/1/2020  10:00"), key("b", "1", "12/1/2020  10:00"), fiCreated, -1},
        {"last access", key("a", "1", "9/1/2020  10:00"), key("b", "1", "12/1/2020  10:00"), fiLastAccess, -1},
        {"a missing text counts as empty", key("a", "1", ""), key("b", "1", "x"), fiPath, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(CompareFileKeys(c.a, c.b, c.kind, false), c.ascending);
        EXPECT_EQ(CompareFileKeys(c.a, c.b, c.kind, true), -c.ascending);
    }
}

// ---- the list on a form -------------------------------------------------------------------------

FILETIME Utc(int Year, int Month, int Day) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(Year);
    st.wMonth = static_cast<WORD>(Month);
    st.wDay = static_cast<WORD>(Day);
    st.wHour = 12;
    FILETIME ft{};
    SystemTimeToFileTime(&st, &ft);
    return ft;
}

void SetModified(const std::string& Path, const FILETIME& T) {
    HANDLE h = CreateFileA(Path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << Path;
    SetFileTime(h, nullptr, nullptr, &T);
    CloseHandle(h);
}

// A file of Size bytes that takes no room: the end is set, nothing written.
void MakeSized(const std::string& Path, int64_t Size) {
    HANDLE h = CreateFileA(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << Path;
    LARGE_INTEGER at;
    at.QuadPart = Size;
    SetFilePointerEx(h, at, nullptr, FILE_BEGIN);
    SetEndOfFile(h);
    CloseHandle(h);
}

class FileListForm : public ::testing::Test {
protected:
    void SetUp() override {
        form_ = new TForm(nullptr);
        form_->AfterConstruction();
        form_->SetBounds(20, 20, 640, 400);
        list_ = new TFileList(form_);
        list_->SetParent(form_);
        list_->SetBounds(0, 0, 620, 360);
        list_->SetViewStyle(vsReport);
        form_->Show();
        test::Pump();
    }
    void TearDown() override { TCustomForm::Free(form_); }

    std::vector<std::string> Names() {
        std::vector<std::string> v;
        for (int i = 0; i < list_->Items().Count(); ++i) {
            const TFileItemInfo* info = TFileListView::ItemInfo(list_->Items().Item(i));
            v.push_back(info ? info->Name : "(none)");
        }
        return v;
    }
    TListItem* Named(const std::string& Name) {
        for (int i = 0; i < list_->Items().Count(); ++i) {
            const TFileItemInfo* info = TFileListView::ItemInfo(list_->Items().Item(i));
            if (info && info->Name == Name) return list_->Items().Item(i);
        }
        return nullptr;
    }
    std::string Detail(const std::string& Name, TFileInfo Kind) {
        TListItem* item = Named(Name);
        const int pos = list_->ColumnPosition(Kind);
        if (!item || pos < 1 || pos - 1 >= item->SubItems().Count()) return "(none)";
        return item->SubItems().Get(pos - 1);
    }
    // A click on the column's header, as the mouse makes it.
    void ClickHeader(TFileInfo Kind) {
        HWND header = reinterpret_cast<HWND>(SendMessageA(list_->Handle(), LVM_GETHEADER, 0, 0));
        ASSERT_NE(header, nullptr);
        RECT r{};
        SendMessageA(header, HDM_GETITEMRECT, static_cast<WPARAM>(list_->ColumnPosition(Kind)),
                     reinterpret_cast<LPARAM>(&r));
        const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageA(header, WM_LBUTTONUP, 0, at);
        test::Pump();
    }

    TForm* form_ = nullptr;
    TFileList* list_ = nullptr;
};

TEST_F(FileListForm, ShowsAFolderWithRealNamesDetailsAndFoldersOnTop) {
    const std::string dir = ScratchDir("filelist-show");
    CreateDirectoryA(Join(dir, "sub").c_str(), nullptr);
    WriteAll(Join(dir, "b.txt"), "abc");
    WriteAll(Join(dir, "A.doc"), "12345");
    WriteAll(Join(dir, "ro.txt"), "r");
    SetFileAttributesA(Join(dir, "ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    SetModified(Join(dir, "b.txt"), Utc(2021, 3, 4));

    std::vector<std::string> added;
    std::vector<TViewStyle> styles;
    list_->OnFileAdd = [&](TObject*, TListItem* Item, const std::string& Path, const WIN32_FIND_DATAA& Find) {
        added.push_back(Path + Find.cFileName);
        styles.push_back(list_->ViewStyle());
    };
    EXPECT_EQ(list_->ColumnPosition(fiAttributes), -1);
    list_->SetViewColumns({fiName, fiSize, fiType, fiModified, fiAttributes});
    list_->SetDirectory(dir);
    EXPECT_EQ(list_->Directory(), dir + "\\");
    EXPECT_EQ(Names(), (std::vector<std::string>{"..", "sub", "A.doc", "b.txt", "ro.txt"}));
    EXPECT_EQ(added.size(), 5u);
    // The icon view while reading, the report view again afterwards.
    EXPECT_EQ(styles, std::vector<TViewStyle>(5, vsIcon));
    EXPECT_EQ(list_->ViewStyle(), vsReport);
    EXPECT_EQ(list_->TypeIconList().Count(), 0);
    EXPECT_EQ(list_->Items().Item(0)->Caption(), "..");
    EXPECT_EQ(list_->Items().Item(1)->Caption(), "sub");

    EXPECT_EQ(Detail("b.txt", fiSize), "         3");
    EXPECT_EQ(Detail("sub", fiSize), "");
    EXPECT_EQ(Detail("sub", fiAttributes).substr(0, 1), "D");
    EXPECT_NE(Detail("ro.txt", fiAttributes).find('R'), std::string::npos);
    EXPECT_FALSE(Detail("b.txt", fiType).empty());
    const std::string when = Detail("b.txt", fiModified);
    EXPECT_NE(when.find("2021"), std::string::npos) << when;
    EXPECT_NE(when.find("  "), std::string::npos) << when;  // date, two blanks, time
    EXPECT_EQ(Detail("sub", fiType), Detail("..", fiType));
    const TFileItemInfo* info = TFileListView::ItemInfo(Named("b.txt"));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->FullPath(), Join(dir, "b.txt"));
    EXPECT_NE(Named("b.txt")->ImageIndex(), -1);
    test::Pump();
    test::SaveScreenshot(*form_, "filelist-report.bmp");

    // Without folders, or without "..".
    list_->SetDisplayParentDir(false);
    EXPECT_EQ(Names(), (std::vector<std::string>{"sub", "A.doc", "b.txt", "ro.txt"}));
    list_->SetDisplayDirectory(false);
    EXPECT_EQ(Names(), (std::vector<std::string>{"A.doc", "b.txt", "ro.txt"}));
    // Read-only files only when asked for.
    list_->SetFileTypes({ftArchive});
    EXPECT_EQ(Named("ro.txt"), nullptr);

    EXPECT_EQ(list_->AddFileItem(Join(dir, "missing.txt")), nullptr);
    ASSERT_NE(list_->AddFileItem(Join(dir, "sub")), nullptr);
    EXPECT_EQ(list_->Items().Item(list_->Items().Count() - 1)->Caption(), "sub");
    SetFileAttributesA(Join(dir, "ro.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FileListForm, HeaderClicksSortByTheShownTexts) {
    const std::string dir = ScratchDir("filelist-sort");
    CreateDirectoryA(Join(dir, "folder").c_str(), nullptr);
    WriteAll(Join(dir, "small"), "abc");
    MakeSized(Join(dir, "ten-digits"), 9999999999LL);
    MakeSized(Join(dir, "eleven-digits"), 12345678901LL);
    SetModified(Join(dir, "small"), Utc(2020, 2, 1));
    SetModified(Join(dir, "ten-digits"), Utc(2020, 12, 1));
    SetModified(Join(dir, "eleven-digits"), Utc(2020, 11, 20));
    list_->SetDisplayParentDir(false);
    list_->SetDirectory(dir);
    EXPECT_EQ(Names(), (std::vector<std::string>{"folder", "eleven-digits", "small", "ten-digits"}));
    EXPECT_EQ(Detail("eleven-digits", fiSize), "12345678901");

    ClickHeader(fiSize);
    EXPECT_EQ(list_->SortColumn(), fiSize);
    // By the size texts: right-aligned, so by number while they fit in
    // ten digits; the eleven-digit one sorts by its text.
    EXPECT_EQ(Names(), (std::vector<std::string>{"folder", "small", "eleven-digits", "ten-digits"}));
    ClickHeader(fiSize);  // again: reversed, folders still first
    EXPECT_TRUE(list_->SortDescending());
    EXPECT_EQ(Names(), (std::vector<std::string>{"folder", "ten-digits", "eleven-digits", "small"}));
    ClickHeader(fiName);
    EXPECT_EQ(Names(), (std::vector<std::string>{"folder", "ten-digits", "small", "eleven-digits"}));
    ClickHeader(fiName);
    EXPECT_FALSE(list_->SortDescending());

    // Dates by their texts, the greatest first on the first click:
    // "2/1/2020", "12/1/2020", "11/20/2020"; the second click reverses.
    ASSERT_EQ(Detail("small", fiModified).substr(0, 9), "2/1/2020 ");
    ClickHeader(fiModified);
    EXPECT_EQ(Names(), (std::vector<std::string>{"folder", "small", "ten-digits", "eleven-digits"}));
    ClickHeader(fiModified);
    EXPECT_EQ(Names(), (std::vector<std::string>{"folder", "eleven-digits", "ten-digits", "small"}));

    // A kind not shown is no sort column.
    list_->SetSortColumn(fiDosName);
    EXPECT_EQ(list_->SortColumn(), fiModified);
    // A new read keeps the order chosen.
    list_->SetDirectory(dir);
    EXPECT_EQ(Names(), (std::vector<std::string>{"folder", "eleven-digits", "ten-digits", "small"}));
}

TEST_F(FileListForm, ListsDrivesAndSeveralFolders) {
    list_->SetDirectory("");
    EXPECT_TRUE(list_->DriveList());
    EXPECT_EQ(list_->Directory(), "");
    const DWORD mask = GetLogicalDrives();
    ASSERT_EQ(list_->Items().Count(), std::popcount(static_cast<unsigned>(mask)));
    char last = 0;
    for (int i = 0; i < list_->Items().Count(); ++i) {
        TListItem* item = list_->Items().Item(i);
        const TFileItemInfo* info = TFileListView::ItemInfo(item);
        ASSERT_NE(info, nullptr);
        // The letter stays with the item, whatever the caption says.
        EXPECT_GT(info->Drive, last);
        EXPECT_TRUE(mask & (1u << (info->Drive - 'A')));
        EXPECT_EQ(info->FullPath(), std::string(1, info->Drive) + ":\\");
        EXPECT_TRUE(info->IsFolder());
        EXPECT_FALSE(item->Caption().empty());
        last = info->Drive;
    }

    const std::string a = ScratchDir("filelist-two-a"), b = ScratchDir("filelist-two-b");
    WriteAll(Join(a, "one.txt"), "1");
    WriteAll(Join(b, "two.txt"), "2");
    list_->SetDisplayDirectory(false);
    list_->SetDirectory(b + ";;" + a + ";");
    EXPECT_FALSE(list_->DriveList());
    EXPECT_EQ(list_->Directory(), a + "\\;" + b + "\\");
    EXPECT_EQ(Names(), (std::vector<std::string>{"one.txt", "two.txt"}));
    EXPECT_EQ(TFileListView::ItemInfo(Named("two.txt"))->Folder, b + "\\");

    list_->SetMask("doc, *.txt ,abc?");
    EXPECT_EQ(list_->Mask(), "*.txt;*doc*;abc?*");
}

TEST_F(FileListForm, AReadAskedForDuringAReadStartsOverInsteadOfNesting) {
    const std::string a = ScratchDir("filelist-reenter-a"), b = ScratchDir("filelist-reenter-b");
    for (const char* n : {"a1", "a2", "a3"}) WriteAll(Join(a, n), n);
    for (const char* n : {"b1", "b2"}) WriteAll(Join(b, n), n);
    list_->SetDisplayDirectory(false);
    int calls = 0;
    list_->OnFileAdd = [&](TObject*, TListItem*, const std::string&, const WIN32_FIND_DATAA&) {
        ++calls;
        EXPECT_TRUE(list_->Reading());
        if (calls == 1) {
            // As a click on another folder would while messages run.
            list_->SetDirectory(b);
        }
    };
    list_->SetDirectory(a);
    EXPECT_FALSE(list_->Reading());
    EXPECT_EQ(list_->Directory(), b + "\\");
    EXPECT_EQ(Names(), (std::vector<std::string>{"b1", "b2"}));
    EXPECT_EQ(calls, 3);  // one of a, then b's two
}

}  // namespace
}  // namespace bramble
