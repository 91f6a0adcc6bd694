// The main window's entry list driven in-process: archives listed through
// the lister into an owner-data list view and read back from the window,
// sorting by every column, typeahead, totals, shell icons and type names.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "app/forms/entrylist.h"
#include "engine/lister/dovex.h"
#include "engine/core/helpers.h"
#include "support/testenv.h"
#include "ui/comctrls.h"
#include "ui/forms.h"

namespace bramble {
namespace {

void Pump() {
    for (int i = 0; i < 3; ++i) {
        Application->ProcessMessages();
        Sleep(1);
    }
}

struct ListWindow {
    TForm* form = new TForm(nullptr);
    TListView* lv = new TListView(form);
    std::unique_ptr<TEntryList> list;
    std::vector<std::string> install;

    explicit ListWindow(bool Virtual = true) {
        form->SetBounds(0, 0, 900, 500);
        lv->SetParent(form);
        lv->SetAlign(alClient);
        list = std::make_unique<TEntryList>(lv, Virtual);
        list->Setup();
        list->OnInstallEntry = [this](const std::string& Name) { install.push_back(Name); };
        form->Show();
        Pump();
    }
    ~ListWindow() {
        list.reset();
        TCustomForm::Free(form);
    }
    std::string Text(int Item, int Sub) {
        char buf[520] = {};
        LVITEMA it{};
        it.iSubItem = Sub;
        it.pszText = buf;
        it.cchTextMax = sizeof buf;
        SendMessageA(lv->Handle(), LVM_GETITEMTEXTA, static_cast<WPARAM>(Item), reinterpret_cast<LPARAM>(&it));
        return buf;
    }
    int Image(int Item) {
        LVITEMA it{};
        it.mask = LVIF_IMAGE;
        it.iItem = Item;
        SendMessageA(lv->Handle(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
        return it.iImage;
    }
    std::vector<std::string> Column(int Sub) {
        std::vector<std::string> out;
        int n = ListView_GetItemCount(lv->Handle());
        for (int i = 0; i < n; ++i) out.push_back(Text(i, Sub));
        return out;
    }
    // Lists an archive the way the main window does: emptied at the start,
    // one record per OnRead, the count handed over at the end.
    TDovex& List(const std::string& Path) {
        dovex.OnActivate = [this](TObject*) { list->Clear(); };
        dovex.OnRead = [this](TObject* Sender, int Offset, int) {
            list->AddFromComponent(*static_cast<TZipCommon*>(Sender), Offset);
        };
        dovex.OnDeactivate = [this](TObject*) { list->UpdateCount(); };
        dovex.SetFileSpec({"*.*"});
        dovex.SetArchiveFile(Path);
        dovex.ReadArchive();
        Pump();
        return dovex;
    }
    TDovex dovex;
};

TEntryInfo Entry(const std::string& Name, int64_t Size, int64_t Packed, TDateTime Date, uint8_t Ratio = 0,
                 const std::string& Method = "Stored", bool Encrypted = false) {
    TEntryInfo e;
    e.FileName = Name;
    e.UnpackedSize = Size;
    e.PackedSize = Packed;
    e.DateTime = Date;
    e.Ratio = Ratio;
    e.MethodName = Method;
    e.Encrypted = Encrypted;
    return e;
}

std::string Thousands(const std::string& Digits) { return FormatThousands(std::stoll(Digits)); }

TEST(EntryList, SetsUpTheTwelveColumnsOfAnOwnerDataReportView) {
    ListWindow w;
    EXPECT_TRUE(w.lv->OwnerData());
    EXPECT_EQ(w.lv->ViewStyle(), vsReport);
    EXPECT_TRUE(w.lv->MultiSelect());
    EXPECT_TRUE(w.lv->ReadOnly());
    const char* captions[] = {"Name",   "Size",      "Packed",    "Ratio",     "Folder",    "Modified",
                              "Method", "File Type", "Offset",    "Encrypted", "Volume ID", "File Comment"};
    const int widths[] = {140, 70, 70, 38, 90, 70, 58, 100, 50, 40, 200, 150};
    ASSERT_EQ(w.lv->Columns().Count(), 12);
    for (int i = 0; i < 12; ++i) {
        HDITEMA hd{};
        char buf[64] = {};
        hd.mask = HDI_TEXT;
        hd.pszText = buf;
        hd.cchTextMax = sizeof buf;
        SendMessageA(ListView_GetHeader(w.lv->Handle()), HDM_GETITEMA, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&hd));
        EXPECT_STREQ(buf, captions[i]);
        EXPECT_EQ(ListView_GetColumnWidth(w.lv->Handle(), i), widths[i]) << captions[i];
    }
    for (int i : {1, 2, 8}) EXPECT_EQ(w.lv->Columns()[i]->Alignment(), taRightJustify);
    // Stored widths replace the defaults; a short or long list is tolerated.
    w.list->SetColumnWidths({200, 0, 90});
    EXPECT_EQ(w.list->ColumnWidths()[0], 200);
    EXPECT_EQ(w.list->ColumnWidths()[1], 70);
    EXPECT_EQ(w.list->ColumnWidths()[2], 90);
    w.list->SetColumnWidths(std::vector<int>(20, 60));
    EXPECT_EQ(w.list->ColumnWidths().size(), 12u);
}

TEST(EntryList, ShowsEveryEntryTheListerReportsForArchivesOfSeveralKinds) {
    for (const char* file : {"plain.zip", "ustar.tar", "plain.lzh"}) {
        SCOPED_TRACE(file);
        std::string path = test::Join(test::FixturesDir(), file);
        ASSERT_TRUE(FindFileExists(path)) << path;

        // What the lister reports, collected on its own.
        std::vector<std::pair<TEntryInfo, int>> expected;
        {
            TDovex d;
            d.SetFileSpec({"*.*"});
            d.SetArchiveFile(path);
            d.OnRead = [&](TObject*, int Offset, int) { expected.push_back({d.EntryInfo, Offset}); };
            d.ReadArchive();
        }
        ASSERT_GE(expected.size(), 4u);

        ListWindow w;
        TDovex& d = w.List(path);
        ASSERT_EQ(w.list->Count(), static_cast<int>(expected.size()));
        ASSERT_EQ(ListView_GetItemCount(w.lv->Handle()), w.list->Count());
        std::map<std::string, int64_t> sizes;
        for (size_t i = 0; i < expected.size(); ++i) {
            const TEntryInfo& e = expected[i].first;
            int row = static_cast<int>(i);
            EXPECT_EQ(w.Text(row, 0), ExtractFileName(e.FileName));
            EXPECT_EQ(w.Text(row, 1), FormatThousands(e.UnpackedSize));
            EXPECT_EQ(w.Text(row, 2), FormatThousands(e.PackedSize));
            EXPECT_EQ(w.Text(row, 3), std::to_string(e.Ratio) + "%");
            EXPECT_EQ(w.Text(row, 4), ExtractFilePath(e.FileName));
            EXPECT_EQ(w.Text(row, 5), FormatEntryDate(e.DateTime));
            EXPECT_EQ(w.Text(row, 6), e.MethodName);
            EXPECT_FALSE(w.Text(row, 7).empty());
            EXPECT_EQ(w.Text(row, 8), std::to_string(expected[i].second));
            EXPECT_EQ(w.Text(row, 9), "No");
            EXPECT_EQ(w.list->GetEntry(row)->StoredName(), e.FileName);
            EXPECT_EQ(w.Image(row), w.list->GetEntry(row)->Icon);
            sizes[e.FileName] = e.UnpackedSize;
        }
        // The fixture's inputs, whatever the archive's order.
        EXPECT_EQ(sizes["big.bin"], 102400);
        EXPECT_GT(sizes["sub\\nested.txt"], 0);
        std::vector<std::string> folders = w.Column(4);
        EXPECT_NE(std::find(folders.begin(), folders.end(), "sub\\"), folders.end());
        EXPECT_EQ(w.list->TotalSize(), d.TotalUnpacked());
        EXPECT_EQ(w.list->TotalsText(d.TotalUnpacked()),
                  "Total " + std::to_string(expected.size()) + " file(s), " + FormatKB(d.TotalUnpacked()));
    }
}

TEST(EntryList, MarksEncryptedEntries) {
    ListWindow w;
    w.List(test::Join(test::FixturesDir(), "encrypted.zip"));
    ASSERT_GT(w.list->Count(), 0);
    for (const std::string& e : w.Column(9)) EXPECT_EQ(e, "Yes");
}

TEST(EntryList, ListingAgainEmptiesTheListFirst) {
    ListWindow w;
    std::string path = test::Join(test::FixturesDir(), "plain.zip");
    w.List(path);
    int n = w.list->Count();
    ASSERT_GT(n, 0);
    w.lv->SetIsSelected(0, true);
    w.List(path);
    EXPECT_EQ(w.list->Count(), n);
    EXPECT_EQ(ListView_GetItemCount(w.lv->Handle()), n);
    w.list->Clear();
    EXPECT_EQ(w.list->Count(), 0);
    EXPECT_EQ(ListView_GetItemCount(w.lv->Handle()), 0);
    EXPECT_EQ(w.list->GetEntry(0), nullptr);
    EXPECT_TRUE(w.list->SelectedItems().empty());
}

// Records whose text order differs from their value order in every numeric
// column: sizes beyond 4 GB, 999 against 1,024, a 1999 date against 2000.
struct SortRows {
    ListWindow& w;
    explicit SortRows(ListWindow& W) : w(W) {
        w.list->Add(Entry("b.txt", 1024, 10, EncodeDateTime(1999, 12, 31, 23, 59, 0), 10, "DeflateN"), 300, "VOL1");
        w.list->Add(Entry("A.doc", 999, 5000000000LL, EncodeDateTime(2000, 1, 1, 0, 0, 0), 9, "Stored", true), 20);
        // 1 s after A.doc: the same text, a later stored time.
        w.list->Add(Entry("dir\\c.bin", 6000000000LL, 2, EncodeDateTime(2000, 1, 1, 0, 0, 1), 50, "Frozen-5"),
                    1000, "VOL0");
        w.list->Add(Entry("d.TXT", 0, 0, EncodeDateTime(1980, 1, 1, 0, 0, 0), 0, "Stored"), 1);
        w.list->UpdateCount();
        Pump();
    }
    std::vector<std::string> Names() { return w.Column(0); }
};

TEST(EntryList, SortsEveryColumnBothWaysByValueWhereTheColumnHoldsNumbersOrDates) {
    ListWindow w;
    SortRows rows(w);
    using V = std::vector<std::string>;
    const std::map<int, V> ascending = {
        {ecName, {"A.doc", "b.txt", "c.bin", "d.TXT"}},
        {ecSize, {"d.TXT", "A.doc", "b.txt", "c.bin"}},
        {ecPacked, {"d.TXT", "c.bin", "b.txt", "A.doc"}},
        {ecModified, {"d.TXT", "b.txt", "A.doc", "c.bin"}},
        {ecOffset, {"d.TXT", "A.doc", "b.txt", "c.bin"}},
    };
    for (const auto& [column, order] : ascending) {
        SCOPED_TRACE(TEntryList::ColumnCaption(column));
        w.list->Sort(column, true);
        Pump();
        EXPECT_EQ(rows.Names(), order);
        w.list->Sort(column, false);
        Pump();
        V names = rows.Names();
        EXPECT_EQ(V(names.rbegin(), names.rend()), order);
    }
    // Columns with equal values: in order both ways, ties keep their order.
    const std::map<int, std::pair<std::string, std::string>> firstLast = {
        {ecFolder, {"", "c.bin"}}, {ecEncrypted, {"", "A.doc"}}, {ecVolumeID, {"", "b.txt"}}};
    for (const auto& [column, last] : firstLast) {
        SCOPED_TRACE(TEntryList::ColumnCaption(column));
        w.list->Sort(ecName, true);
        w.list->Sort(column, true);
        Pump();
        EXPECT_EQ(rows.Names().back(), last.second);
        for (int i = 0; i + 1 < w.list->Count(); ++i) {
            int c = TEntryList::CompareBy(column, *w.list->GetEntry(i), *w.list->GetEntry(i + 1));
            EXPECT_LE(c, 0);
            if (c == 0) {
                EXPECT_LT(CompareText(w.list->GetEntry(i)->Name, w.list->GetEntry(i + 1)->Name), 0);
            }
        }
        w.list->Sort(column, false);
        Pump();
        EXPECT_EQ(rows.Names().front(), last.second);
        for (int i = 0; i + 1 < w.list->Count(); ++i)
            EXPECT_GE(TEntryList::CompareBy(column, *w.list->GetEntry(i), *w.list->GetEntry(i + 1)), 0);
    }
    // The ratio column orders as text: 9% after 10% and 50%.
    w.list->Sort(ecRatio, true);
    Pump();
    EXPECT_EQ(w.Column(3), (V{"0%", "10%", "50%", "9%"}));
    // Every other text column is in order both ways, and the window's texts
    // follow the records.
    for (int column : {ecMethod, ecFileType, ecFileComment}) {
        for (bool asc : {true, false}) {
            w.list->Sort(column, asc);
            Pump();
            for (int i = 0; i + 1 < w.list->Count(); ++i) {
                int c = TEntryList::CompareBy(column, *w.list->GetEntry(i), *w.list->GetEntry(i + 1));
                EXPECT_TRUE(asc ? c <= 0 : c >= 0);
            }
            for (int i = 0; i < w.list->Count(); ++i) EXPECT_EQ(w.Text(i, 0), w.list->GetEntry(i)->Name);
        }
    }
    // Sizes beyond 32 bits show in full.
    w.list->Sort(ecSize, false);
    Pump();
    EXPECT_EQ(w.Text(0, 1), Thousands("6000000000"));
    EXPECT_EQ(w.Text(0, 4), "dir\\");
}

TEST(EntryList, HeaderClicksPickTheColumnAscendingAndFlipOnTheSameColumn) {
    ListWindow w;
    SortRows rows(w);
    EXPECT_EQ(w.list->SortColumn(), 0);
    EXPECT_FALSE(w.list->SortAscending());
    auto click = [&](int column) {
        NMLISTVIEW nm{};
        nm.hdr.hwndFrom = w.lv->Handle();
        nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(w.lv->Handle()));
        nm.hdr.code = LVN_COLUMNCLICK;
        nm.iItem = -1;
        nm.iSubItem = column;
        SendMessageA(w.form->Handle(), WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
        Pump();
    };
    click(ecSize);
    EXPECT_EQ(rows.Names(), (std::vector<std::string>{"d.TXT", "A.doc", "b.txt", "c.bin"}));
    click(ecSize);
    EXPECT_EQ(rows.Names(), (std::vector<std::string>{"c.bin", "b.txt", "A.doc", "d.TXT"}));
    EXPECT_FALSE(w.list->SortAscending());
    click(ecName);
    EXPECT_EQ(rows.Names(), (std::vector<std::string>{"A.doc", "b.txt", "c.bin", "d.TXT"}));
    EXPECT_TRUE(w.list->SortAscending());
    EXPECT_EQ(w.list->SortColumn(), ecName);
}

TEST(EntryList, ModifiedTimesCloserThanTheDaysHundredThousandthCompareEqual) {
    struct Case {
        int ms;  // the second entry's time after the first
        int want;
    } cases[] = {{0, 0}, {300, 0}, {-300, 0}, {1000, -1}, {-1000, 1}, {60000, -1}};
    const TDateTime base = EncodeDateTime(2001, 5, 6, 7, 8, 9);
    for (const Case& c : cases) {
        TShellItem a, b;
        a.DateValue = base;
        b.DateValue = base + c.ms / 86400000.0;
        EXPECT_EQ(TEntryList::CompareBy(ecModified, a, b), c.want) << c.ms;
    }
}

TEST(EntryList, AnExactFindMatchesANameTheTextStarts) {
    ListWindow w;
    for (const char* n : {"alpha.txt", "beta.txt", "bravo.txt"})
        w.list->Add(Entry(n, 1, 1, EncodeDateTime(2000, 1, 1, 0, 0, 0), 0, "Stored"));
    w.list->UpdateCount();
    Pump();
    struct Case {
        TItemFind kind;
        const char* text;
        int start, want;
    } cases[] = {
        {ifExactString, "br", 0, 2},  {ifExactString, "BETA", 0, 1}, {ifExactString, "beta.txt", 0, 1},
        {ifExactString, "a", 1, 0},   {ifPartialString, "b", 0, 1},  {ifExactString, "c", 0, -1},
    };
    for (const Case& c : cases) {
        int index = -1;
        w.lv->OnDataFind(w.lv, c.kind, c.text, TPoint{0, 0}, nullptr, c.start, sdAll, true, index);
        EXPECT_EQ(index, c.want) << c.text;
    }
}

TEST(EntryList, TypeaheadFindsTheFirstNameStartingWithTheTextWrappingToTheTop) {
    ListWindow w;
    for (const char* n : {"alpha.txt", "beta.txt", "Bravo.txt", "charlie.txt", "zulu.txt"})
        w.list->Add(Entry(n, 1, 1, 0));
    w.list->UpdateCount();
    Pump();
    EXPECT_EQ(w.list->FindPrefix("b", 0, true), 1);
    EXPECT_EQ(w.list->FindPrefix("BR", 0, true), 2);
    EXPECT_EQ(w.list->FindPrefix("b", 2, true), 2);
    EXPECT_EQ(w.list->FindPrefix("a", 1, true), 0);   // wraps to the top
    EXPECT_EQ(w.list->FindPrefix("a", 1, false), -1);
    EXPECT_EQ(w.list->FindPrefix("zu", 0, false), 4);  // the last entry too
    EXPECT_EQ(w.list->FindPrefix("zulu.txt.", 0, true), -1);
    EXPECT_EQ(w.list->FindPrefix("x", 3, true), -1);

    // Through the window, as typing does.
    auto find = [&](const char* text, UINT flags, int start) {
        LVFINDINFOA fi{};
        fi.flags = flags;
        fi.psz = text;
        return static_cast<int>(SendMessageA(w.lv->Handle(), LVM_FINDITEMA, static_cast<WPARAM>(start),
                                             reinterpret_cast<LPARAM>(&fi)));
    };
    EXPECT_EQ(find("ch", LVFI_PARTIAL | LVFI_WRAP, -1), 3);
    EXPECT_EQ(find("ZU", LVFI_PARTIAL | LVFI_WRAP, -1), 4);
    EXPECT_EQ(find("BRAVO.TXT", LVFI_STRING, -1), 2);
    EXPECT_EQ(find("bra", LVFI_STRING, -1), 2);  // an exact find too matches what the name starts with
    EXPECT_EQ(find("q", LVFI_PARTIAL | LVFI_WRAP, -1), -1);

    // Typing a letter in the list moves the selection there.
    w.lv->SetFocus();
    SendMessageA(w.lv->Handle(), WM_CHAR, 'z', 1);  // repeat count 1
    Pump();
    EXPECT_EQ(w.lv->ItemIndex(), 4);
}

TEST(EntryList, TotalsAndSelectedBytesAreSixtyFourBit) {
    ListWindow w;
    SortRows rows(w);
    EXPECT_EQ(w.list->TotalSize(), 6000000000LL + 1024 + 999);
    EXPECT_EQ(w.list->TotalPacked(), 5000000000LL + 12);
    EXPECT_EQ(w.list->SelectedText(), "0 file(s) selected, 0 bytes");
    w.lv->SetIsSelected(0, true);  // b.txt, 1024
    w.lv->SetIsSelected(2, true);  // c.bin, 6 GB
    EXPECT_EQ(w.list->SelectedCount(), 2);
    EXPECT_EQ(w.list->SelectedBytes(), 6000000000LL + 1024);
    EXPECT_EQ(w.list->SelectedNames(), (std::vector<std::string>{"b.txt", "dir\\c.bin"}));
    EXPECT_EQ(w.list->SelectedText(), "2 file(s) selected, " + FormatKB(6000000000LL + 1024));
    w.lv->SelectAll();
    EXPECT_EQ(w.list->SelectedBytes(), w.list->TotalSize());

    EXPECT_EQ(FormatKB(-1), "");
    EXPECT_EQ(FormatKB(0), "0 bytes");
    EXPECT_EQ(FormatKB(1023), "1023 bytes");
    EXPECT_EQ(FormatKB(1536), "1.5 KB");
    EXPECT_EQ(FormatKB(1048576), "1 MB");
    EXPECT_EQ(FormatKB(6000000000LL), "5.72E3 MB");
    // The separator is the locale's; the digits group by three.
    std::string grouped = FormatThousands(1234567);
    std::string digits;
    for (char c : grouped)
        if (c >= '0' && c <= '9') digits += c;
    EXPECT_EQ(digits, "1234567");
    EXPECT_GT(grouped.size(), 7u);
    EXPECT_EQ(FormatThousands(-1234), "-" + FormatThousands(1234));
    EXPECT_EQ(FormatThousands(999), "999");
    EXPECT_EQ(FormatEntryDate(EncodeDateTime(2001, 2, 3, 4, 5, 6)), "02/03/01 04:05");
}

TEST(EntryList, InstallItemsComeFromSetupAndInstallProgramsAndInfFiles) {
    ListWindow w;
    for (const char* n : {"SETUP.EXE", "disk1\\Install.bat", "drv\\oem.INF", "readme.txt", "setu.exe", "dir\\"})
        w.list->Add(Entry(n, 1, 1, 0));
    EXPECT_EQ(w.install, (std::vector<std::string>{"SETUP.EXE", "Install.bat", "oem.INF"}));
    // Every program shows the generic program icon.
    EXPECT_EQ(w.list->GetEntry(0)->Icon, TShellFileInfo::IconIndex("test.com"));
    // A folder entry (listed with "Show empty folders") has no name of its own.
    EXPECT_EQ(w.list->GetEntry(5)->Name, "");
    EXPECT_EQ(w.list->GetEntry(5)->Folder, "dir\\");
}

TEST(EntryList, AHundredThousandRowsListAndSortQuickly) {
    ListWindow w;
    int asked = 0;
    auto previous = w.lv->OnData;
    w.lv->OnData = [&](TObject* s, TListItem* i) {
        ++asked;
        previous(s, i);
    };
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 100000; ++i) {
        int k = (i * 7919) % 100000;
        w.list->Add(Entry("dir" + std::to_string(k % 50) + "\\file" + std::to_string(k) + (k % 3 ? ".txt" : ".dat"),
                          static_cast<int64_t>(k) * 100000, k, 36000 + k / 1000.0),
                    i * 64);
    }
    w.list->UpdateCount();
    Pump();
    auto t1 = std::chrono::steady_clock::now();
    w.list->Sort(ecName, true);
    w.list->Sort(ecSize, false);
    w.list->Sort(ecModified, true);
    Pump();
    auto t2 = std::chrono::steady_clock::now();
    auto ms = [](auto a, auto b) { return std::chrono::duration_cast<std::chrono::milliseconds>(b - a).count(); };
    // About 0.4 s and 0.25 s on a quiet machine.
    EXPECT_LT(ms(t0, t1), 3000);
    EXPECT_LT(ms(t1, t2), 3000);
    EXPECT_EQ(ListView_GetItemCount(w.lv->Handle()), 100000);
    EXPECT_LT(asked, 1000);  // only the rows on screen were built
    for (int i = 0; i + 1 < 100000; i += 997)
        EXPECT_LE(w.list->GetEntry(i)->DateValue, w.list->GetEntry(i + 1)->DateValue);
    EXPECT_EQ(w.Text(0, 0), w.list->GetEntry(0)->Name);
    EXPECT_EQ(w.Text(99999, 0), w.list->GetEntry(99999)->Name);
}

TEST(EntryList, IconsAndTypeNamesAreAskedOncePerExtension) {
    TShellFileInfo::ClearCache();
    std::map<std::string, int> iconCalls, typeCalls;
    TShellFileInfo::IconLookup = [&](const std::string& Name) {
        ++iconCalls[Name];
        return TZipCommon::GetFileIconIndex(Name);
    };
    TShellFileInfo::TypeLookup = [&](const std::string& Name) {
        ++typeCalls[Name];
        return Name == "file.xyz" ? std::string() : TZipCommon::GetFileTypeName(Name);
    };
    {
        ListWindow w;
        for (int i = 0; i < 300; ++i)
            w.list->Add(Entry("f" + std::to_string(i) + (i % 3 == 0 ? ".txt" : i % 3 == 1 ? ".TXT" : ".xyz"), 1, 1, 0));
        w.list->Add(Entry("noext", 1, 1, 0));
        w.list->Add(Entry("prog.exe", 1, 1, 0));
        EXPECT_EQ(iconCalls.size(), 4u);  // .txt (any case), .xyz, no extension, the program icon
        for (const auto& [name, n] : iconCalls) EXPECT_EQ(n, 1) << name;
        EXPECT_EQ(iconCalls.count("file.com"), 1u);
        for (const auto& [name, n] : typeCalls) EXPECT_EQ(n, 1) << name;
        // A type the shell does not know: the extension as stored + " File".
        EXPECT_EQ(w.list->GetEntry(2)->FileType, "xyz File");
        EXPECT_EQ(w.list->GetEntry(0)->FileType, w.list->GetEntry(1)->FileType);
        EXPECT_FALSE(w.list->GetEntry(0)->FileType.empty());
        // The shell's system image list really has the indices.
        SetSystemImageLists(w.lv);
        ASSERT_NE(w.lv->SmallImages(), nullptr);
        ASSERT_NE(w.lv->LargeImages(), nullptr);
        int count = ImageList_GetImageCount(w.lv->SmallImages()->Handle());
        EXPECT_GT(count, 0);
        for (int i = 0; i < w.list->Count(); ++i) {
            EXPECT_GE(w.list->GetEntry(i)->Icon, 0);
            EXPECT_LT(w.list->GetEntry(i)->Icon, count);
        }
        HIMAGELIST system = w.lv->SmallImages()->Handle();
        EXPECT_EQ(reinterpret_cast<HIMAGELIST>(
                      SendMessageA(w.lv->Handle(), LVM_GETIMAGELIST, LVSIL_SMALL, 0)), system);
        FreeSystemImageLists(w.lv);
        EXPECT_EQ(w.lv->SmallImages(), nullptr);
        EXPECT_EQ(w.lv->LargeImages(), nullptr);
        // Shared, not destroyed: the system list still answers.
        EXPECT_EQ(ImageList_GetImageCount(system), count);
        SetSystemImageLists(w.lv);  // left for the window to free
    }
    TShellFileInfo::IconLookup = nullptr;
    TShellFileInfo::TypeLookup = nullptr;
    TShellFileInfo::ClearCache();
}

TEST(EntryList, PlainItemsModeFillsAndSortsTheSameWay) {
    ListWindow w(false);
    EXPECT_FALSE(w.lv->OwnerData());
    SortRows rows(w);
    EXPECT_EQ(w.lv->Items().Count(), 4);
    EXPECT_EQ(w.Text(0, 1), FormatThousands(1024));
    w.list->ColumnClick(ecModified);
    Pump();
    EXPECT_EQ(rows.Names(), (std::vector<std::string>{"d.TXT", "b.txt", "A.doc", "c.bin"}));
    w.list->ColumnClick(ecModified);
    Pump();
    EXPECT_EQ(rows.Names(), (std::vector<std::string>{"c.bin", "A.doc", "b.txt", "d.TXT"}));
    w.lv->SetIsSelected(0, true);
    EXPECT_EQ(w.list->SelectedBytes(), 6000000000LL);
    EXPECT_EQ(w.list->SelectedNames(), (std::vector<std::string>{"dir\\c.bin"}));
}

TEST(EntryList, PlainItemsSortTheRatioByItsNumber) {
    ListWindow w(false);
    SortRows rows(w);
    w.list->ColumnClick(ecRatio);
    Pump();
    EXPECT_EQ(rows.Names(), (std::vector<std::string>{"d.TXT", "A.doc", "b.txt", "c.bin"}));
    struct Case {
        const char* a;
        const char* b;
        int order;
    };
    for (Case c : {Case{"9%", "10%", -1}, {"-5%", "0%", -1}, {"100%", "99%", 1}, {"10%", "10%", 0}}) {
        TShellItem x, y;
        x.Ratio = c.a;
        y.Ratio = c.b;
        EXPECT_EQ(TEntryList::ComparePlain(ecRatio, x, y), c.order) << c.a << " vs " << c.b;
    }
}

}  // namespace
}  // namespace bramble
