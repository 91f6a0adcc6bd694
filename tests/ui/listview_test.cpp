#include <gtest/gtest.h>

#include <chrono>
#include <map>

#include "ui/comctrls.h"
#include "ui/forms.h"
#include "ui_support.h"

namespace bramble {
namespace {

using test::Pump;

struct ListSetup {
    TForm* form = new TForm(nullptr);
    TListView* lv = new TListView(form);
    ListSetup() {
        form->SetBounds(0, 0, 500, 400);
        lv->SetParent(form);
        lv->SetAlign(alClient);
        lv->SetViewStyle(vsReport);
        for (const char* c : {"Name", "Size", "Folder"}) {
            TListColumn* col = lv->Columns().Add();
            col->SetCaption(c);
            col->SetWidth(120);
        }
        lv->Columns()[1]->SetAlignment(taRightJustify);
    }
    ~ListSetup() { TCustomForm::Free(form); }
    std::string Text(int item, int sub) {
        char buf[260] = {};
        LVITEMA it{};
        it.iSubItem = sub;
        it.pszText = buf;
        it.cchTextMax = sizeof buf;
        SendMessageA(lv->Handle(), LVM_GETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it));
        return buf;
    }
};

TEST(ListView, OwnerDataShowsAHundredThousandRowsAskingOnlyForVisibleOnes) {
    ListSetup s;
    s.lv->SetOwnerData(true);
    s.lv->SetMultiSelect(true);
    s.lv->SetGridLines(true);
    s.lv->SetRowSelect(true);
    std::vector<int> asked;
    s.lv->OnData = [&](TObject*, TListItem* item) {
        int i = item->Index();
        asked.push_back(i);
        item->SetCaption("Row " + std::to_string(i));
        item->SubItems().Add(std::to_string(i * 10));
        item->SubItems().Add("dir\\");
        item->SetImageIndex(-1);
    };
    auto t0 = std::chrono::steady_clock::now();
    s.lv->Items().SetCount(100000);
    s.form->Show();
    Pump();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(ms, 3000);
    EXPECT_EQ(s.lv->Items().Count(), 100000);
    EXPECT_EQ(ListView_GetItemCount(s.lv->Handle()), 100000);
    // Painting asked for the rows on screen, not for all of them.
    EXPECT_FALSE(asked.empty());
    EXPECT_LT(*std::max_element(asked.begin(), asked.end()), 100);
    EXPECT_EQ(s.Text(99999, 0), "Row 99999");
    EXPECT_EQ(s.Text(99999, 1), "999990");
    EXPECT_EQ(s.Text(12, 2), "dir\\");
    EXPECT_EQ(s.Text(12, 3), "");  // beyond the sub-items: empty, no crash
    // Selection by index, also through the temporary items.
    s.lv->SetIsSelected(5, true);
    s.lv->Items().Item(70000)->SetSelected(true);
    EXPECT_EQ(s.lv->SelCount(), 2);
    EXPECT_EQ(s.lv->GetNextItem(-1, sdNext, {isSelected}), 5);
    EXPECT_EQ(s.lv->GetNextItem(5, sdNext, {isSelected}), 70000);
    EXPECT_EQ(s.lv->Selected()->Caption(), "Row 5");
    s.lv->Items().Item(99999)->MakeVisible(false);
    Pump();
    EXPECT_GT(*std::max_element(asked.begin(), asked.end()), 99000);
    s.lv->ClearSelection();
    EXPECT_EQ(s.lv->SelCount(), 0);
    s.lv->Items().SetCount(3);
    EXPECT_EQ(ListView_GetItemCount(s.lv->Handle()), 3);
    EXPECT_THROW(s.lv->Items().Add(), EListError);
}

TEST(ListView, OwnerDataFindHintAndHeaderClicksReachTheEvents) {
    ListSetup s;
    s.lv->SetOwnerData(true);
    std::vector<std::string> names;
    for (int i = 0; i < 500; ++i) names.push_back((i % 2 ? "beta" : "alpha") + std::to_string(i));
    s.lv->OnData = [&](TObject*, TListItem* item) { item->SetCaption(names[static_cast<size_t>(item->Index())]); };
    std::vector<std::string> finds;
    std::vector<int> starts;
    s.lv->OnDataFind = [&](TObject*, TItemFind find, const std::string& text, TPoint, void*, int start,
                           TSearchDirection, bool wrap, int& index) {
        finds.push_back(text + (find == ifPartialString ? " partial" : " exact") + (wrap ? " wrap" : ""));
        starts.push_back(start);
        for (int k = 0; k < static_cast<int>(names.size()); ++k) {
            int i = (start + k) % static_cast<int>(names.size());
            if (CompareText(names[static_cast<size_t>(i)].substr(0, text.size()), text) == 0) {
                index = i;
                return;
            }
        }
    };
    int hint_from = -1, hint_to = -1;
    s.lv->OnDataHint = [&](TObject*, int a, int b) {
        hint_from = a;
        hint_to = b;
    };
    s.lv->Items().SetCount(static_cast<int>(names.size()));
    s.form->Show();
    Pump();
    LVFINDINFOA fi{};
    fi.flags = LVFI_STRING | LVFI_PARTIAL | LVFI_WRAP;
    fi.psz = "BETA4";
    int found = static_cast<int>(SendMessageA(s.lv->Handle(), LVM_FINDITEMA, static_cast<WPARAM>(-1),
                                              reinterpret_cast<LPARAM>(&fi)));
    EXPECT_EQ(found, 41);
    ASSERT_FALSE(finds.empty());
    EXPECT_EQ(finds.back(), "BETA4 partial wrap");
    EXPECT_EQ(starts.back(), 0);  // "from the top" arrives as row 0
    fi.psz = "gamma";
    found = static_cast<int>(SendMessageA(s.lv->Handle(), LVM_FINDITEMA, static_cast<WPARAM>(-1),
                                          reinterpret_cast<LPARAM>(&fi)));
    EXPECT_EQ(found, -1);
    EXPECT_GE(hint_from, 0);
    EXPECT_GE(hint_to, hint_from);

    std::vector<int> clicked;
    s.lv->OnColumnClick = [&](TObject*, TListColumn* c) { clicked.push_back(c->Index()); };
    NMLISTVIEW nm{};
    nm.hdr.hwndFrom = s.lv->Handle();
    nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(s.lv->Handle()));
    nm.hdr.code = LVN_COLUMNCLICK;
    nm.iItem = -1;
    nm.iSubItem = 2;
    SendMessageA(s.form->Handle(), WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
    nm.iSubItem = 7;  // no such column: ignored
    SendMessageA(s.form->Handle(), WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
    EXPECT_EQ(clicked, std::vector<int>{2});
}

TEST(ListView, OrdinaryItemsSortByTheCompareEventAndSurviveANewWindow) {
    ListSetup s;
    for (auto [name, size] : {std::pair{"b.txt", 1024}, {"a.txt", 999}, {"c.txt", 5}}) {
        TListItem* it = s.lv->Items().Add();
        it->SetCaption(name);
        it->SubItems().Add(std::to_string(size));
    }
    s.form->Show();
    Pump();
    EXPECT_EQ(s.Text(0, 1), "1024");
    s.lv->OnCompare = [](TObject*, TListItem* a, TListItem* b, int, int& r) {
        r = StrToInt(a->SubItems()[0]) - StrToInt(b->SubItems()[0]);
    };
    EXPECT_TRUE(s.lv->AlphaSort());
    EXPECT_EQ(s.lv->Items()[0]->Caption(), "c.txt");
    EXPECT_EQ(s.lv->Items()[2]->Caption(), "b.txt");
    EXPECT_EQ(s.Text(0, 0), "c.txt");
    EXPECT_EQ(s.Text(1, 1), "999");
    s.lv->OnCompare = nullptr;
    s.lv->AlphaSort();
    EXPECT_EQ(s.Text(0, 0), "a.txt");
    s.lv->Items()[1]->SetSelected(true);
    EXPECT_EQ(s.lv->Selected()->Caption(), "b.txt");
    // Changing the view keeps items and columns; a new window too.
    s.lv->SetViewStyle(vsList);
    s.lv->SetViewStyle(vsReport);
    s.lv->SetShowColumnHeaders(false);
    EXPECT_EQ(ListView_GetItemCount(s.lv->Handle()), 3);
    EXPECT_EQ(s.Text(2, 1), "5");
    s.lv->Items()[0]->Delete();
    EXPECT_EQ(s.lv->Items().Count(), 2);
    EXPECT_EQ(s.Text(0, 0), "b.txt");
    // A compare event that throws is contained; the sort still returns.
    test::ExceptionCatcher caught;
    s.lv->OnCompare = [](TObject*, TListItem*, TListItem*, int, int&) { throw std::runtime_error("compare"); };
    s.lv->AlphaSort();
    EXPECT_FALSE(caught.Messages.empty());
}

TEST(ListView, SharedImageListsAreNotFreedByTheWindow) {
    ListSetup s;
    TImageList images(nullptr);
    TBitmap glyph(16, 16);
    glyph.Canvas().Brush().SetColor(clRed);
    glyph.Canvas().FillRect(Rect(0, 0, 16, 16));
    images.Add(&glyph, nullptr);
    s.lv->SetSmallImages(&images);
    TListItem* it = s.lv->Items().Add();
    it->SetCaption("x");
    it->SetImageIndex(0);
    s.form->Show();
    Pump();
    EXPECT_EQ(reinterpret_cast<HIMAGELIST>(SendMessageA(s.lv->Handle(), LVM_GETIMAGELIST, LVSIL_SMALL, 0)),
              images.Handle());
    s.lv->RecreateWnd();
    EXPECT_EQ(ImageList_GetImageCount(images.Handle()), 1);
    EXPECT_EQ(reinterpret_cast<HIMAGELIST>(SendMessageA(s.lv->Handle(), LVM_GETIMAGELIST, LVSIL_SMALL, 0)),
              images.Handle());
}

// Custom drawing: each item gets the colours and font its handler left on
// the canvas, only those it changed, the control's font comes back after
// the item, and an item the handler paints itself is left alone.
TEST(ListView, CustomDrawGivesItemsTheHandlersColoursAndFont) {
    ListSetup s;
    for (const char* name : {"plain", "coloured", "bold", "own"}) s.lv->Items().Add()->SetCaption(name);
    std::map<std::string, int> calls;
    bool whole = false;
    s.lv->OnCustomDraw = [&](TListView* Sender, const TRect& R, bool& Default) {
        whole = Sender == s.lv && !R.IsEmpty() && Default;
    };
    s.lv->OnCustomDrawItem = [&](TListView* Sender, TListItem* Item, TCustomDrawState, bool& Default) {
        ++calls[Item->Caption()];
        TCanvas& c = Sender->Canvas();
        // Whatever the last item was given, each starts from the list's look.
        EXPECT_EQ(c.Font().Color(), Sender->Font().Color()) << Item->Caption();
        EXPECT_FALSE(c.Font().Style().contains(fsBold)) << Item->Caption();
        if (Item->Caption() == "coloured") {
            c.Font().SetColor(clRed);
            c.Brush().SetColor(clYellow);
        } else if (Item->Caption() == "bold") {
            c.Font().SetStyle({fsBold});
        } else if (Item->Caption() == "own") {
            Default = false;
        }
    };
    s.form->Show();
    Pump();
    TBitmap shot;
    test::RenderWindow(*s.lv, shot);
    EXPECT_TRUE(whole);
    for (const char* name : {"plain", "coloured", "bold", "own"}) EXPECT_GE(calls[name], 1) << name;
    auto count = [&](int item, auto&& pred) {
        RECT r{};
        r.left = LVIR_LABEL;
        SendMessageA(s.lv->Handle(), LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&r));
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) n += pred(test::PixelAt(shot, x, y)) ? 1 : 0;
        return n;
    };
    auto yellow = [](COLORREF c) { return c == RGB(255, 255, 0); };
    auto inked = [](COLORREF c) { return GetRValue(c) < 128 && GetGValue(c) < 128; };
    EXPECT_GT(count(1, yellow), 0);
    EXPECT_EQ(count(0, yellow), 0);
    EXPECT_GT(count(0, inked), 0);
    EXPECT_EQ(count(3, inked), 0);  // painted by nobody

    // The answers themselves, on a context of our own.
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT own = CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
    HGDIOBJ before = SelectObject(dc, own);
    auto stage = [&](DWORD Stage, int Item, NMLVCUSTOMDRAW& nm) {
        nm = {};
        nm.nmcd.hdr.hwndFrom = s.lv->Handle();
        nm.nmcd.hdr.code = NM_CUSTOMDRAW;
        nm.nmcd.dwDrawStage = Stage;
        nm.nmcd.hdc = dc;
        nm.nmcd.dwItemSpec = static_cast<DWORD_PTR>(Item);
        nm.clrText = nm.clrTextBk = 0x123456;
        return SendMessageA(s.form->Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&nm));
    };
    NMLVCUSTOMDRAW nm;
    EXPECT_EQ(stage(CDDS_PREPAINT, 0, nm), CDRF_NOTIFYITEMDRAW);
    EXPECT_EQ(stage(CDDS_ITEMPREPAINT, 0, nm), CDRF_DODEFAULT);
    EXPECT_EQ(nm.clrText, 0x123456u);
    EXPECT_EQ(nm.clrTextBk, 0x123456u);
    EXPECT_EQ(stage(CDDS_ITEMPREPAINT, 1, nm), CDRF_DODEFAULT);
    EXPECT_EQ(nm.clrText, RGB(255, 0, 0));
    EXPECT_EQ(nm.clrTextBk, RGB(255, 255, 0));
    EXPECT_EQ(stage(CDDS_ITEMPREPAINT, 2, nm), CDRF_NEWFONT | CDRF_NOTIFYPOSTPAINT);
    LOGFONTA lf{};
    GetObjectA(GetCurrentObject(dc, OBJ_FONT), sizeof lf, &lf);
    EXPECT_GE(lf.lfWeight, FW_BOLD);
    stage(CDDS_ITEMPOSTPAINT, 2, nm);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), own);
    EXPECT_EQ(stage(CDDS_ITEMPREPAINT, 3, nm), CDRF_SKIPDEFAULT);
    EXPECT_EQ(stage(CDDS_ITEMPREPAINT, 99, nm), CDRF_DODEFAULT);  // no such item
    SelectObject(dc, before);
    DeleteObject(own);
    DeleteDC(dc);
    // Without handlers the control draws alone.
    s.lv->OnCustomDraw = nullptr;
    s.lv->OnCustomDrawItem = nullptr;
    NMLVCUSTOMDRAW none;
    none = {};
    none.nmcd.hdr.hwndFrom = s.lv->Handle();
    none.nmcd.hdr.code = NM_CUSTOMDRAW;
    none.nmcd.dwDrawStage = CDDS_PREPAINT;
    EXPECT_EQ(SendMessageA(s.form->Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&none)), CDRF_DODEFAULT);
}

// Drags begun on an item name it and the button; a list told to sort by
// text sorts at once.
TEST(ListView, DragStartsAndSortType) {
    ListSetup s;
    for (const char* name : {"b", "C", "a"}) s.lv->Items().Add()->SetCaption(name);
    s.form->Show();
    Pump();
    std::vector<std::pair<std::string, TMouseButton>> drags;
    s.lv->OnBeginDrag = [&](TObject*, TListItem* it, TMouseButton b) { drags.emplace_back(it->Caption(), b); };
    for (auto [code, item] : {std::pair{LVN_BEGINDRAG, 1}, {LVN_BEGINRDRAG, 2}, {LVN_BEGINDRAG, 7}}) {
        NMLISTVIEW nm{};
        nm.hdr.hwndFrom = s.lv->Handle();
        nm.hdr.code = code;
        nm.iItem = item;
        SendMessageA(s.form->Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&nm));
    }
    using Drag = std::pair<std::string, TMouseButton>;
    EXPECT_EQ(drags, (std::vector<Drag>{{"C", mbLeft}, {"a", mbRight}}));

    EXPECT_EQ(s.lv->SortType(), stNone);
    EXPECT_EQ(s.Text(0, 0), "b");
    s.lv->SetSortType(stText);
    EXPECT_EQ(s.Text(0, 0), "a");
    EXPECT_EQ(s.Text(2, 0), "C");
    EXPECT_EQ(s.lv->Items()[1]->Caption(), "b");
}

}  // namespace
}  // namespace bramble
