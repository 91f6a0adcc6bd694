#include <gtest/gtest.h>

#include "ui/comctrls.h"
#include "ui/forms.h"
#include "ui/menus.h"
#include "ui/stdctrls.h"
#include "ui_support.h"

namespace bramble {
namespace {

// One form with every control of the layer, for the screenshot artifact.
class TfrmDemo : public TForm {
public:
    explicit TfrmDemo(TComponent* o) : TForm(o) {
        SetCaption("Bramble controls");
        SetBorderStyle(bsSingle);
        SetClientSize(640, 480);
        Font().SetName("Tahoma");

        auto* menu = new TMainMenu(this);
        for (const char* cap : {"&File", "&Action", "&View", "&Help"}) {
            auto* m = new TMenuItem(this);
            m->SetCaption(cap);
            menu->Items()->Add(m);
        }
        SetMenu(menu);

        status = new TStatusBar(this);
        status->SetParent(this);
        for (int w : {120, 260, 100}) status->Panels().Add()->SetWidth(w);
        status->Panels()[0]->SetText("Zip");
        status->Panels()[1]->SetText("3 file(s) selected, 1.5 KB");
        progress_in_status = new TProgressBar(this);
        progress_in_status->SetParent(status);
        progress_in_status->SetPosition(60);

        auto* top = new TPanel(this);
        top->SetParent(this);
        top->SetAlign(alTop);
        top->SetHeight(34);
        top->SetCaption("");
        auto* btn = new TButton(this);
        btn->SetParent(top);
        btn->SetBounds(6, 4, 75, 25);
        btn->SetCaption("&Open");
        auto* bit = new TBitBtn(this);
        bit->SetParent(top);
        bit->SetBounds(86, 4, 90, 25);
        bit->SetCaption("E&xtract");
        TBitmap& g = bit->Glyph();
        g.SetSize(16, 16);
        g.Canvas().Brush().SetColor(clFuchsia);
        g.Canvas().FillRect(Rect(0, 0, 16, 16));
        g.Canvas().Brush().SetColor(clGreen);
        g.Canvas().Ellipse(2, 2, 14, 14);
        auto* combo = new TComboBox(this);
        combo->SetParent(top);
        combo->SetBounds(182, 6, 120, 21);
        combo->SetStyle(csDropDownList);
        combo->Items().SetText("Store\r\nDeflate\r\nFuse");
        combo->SetItemIndex(1);
        auto* drawn = new TComboBox(this);
        drawn->SetParent(top);
        drawn->SetBounds(308, 6, 120, 21);
        drawn->SetStyle(csOwnerDrawFixed);
        drawn->Items().SetText("Red\r\nBlue");
        drawn->SetItemIndex(0);
        drawn->OnDrawItem = [drawn](TWinControl*, int i, TRect r, TOwnerDrawState) {
            TCanvas& c = drawn->Canvas();
            c.FillRect(r);
            TBrush old;
            c.Brush().SetColor(i == 0 ? clRed : clBlue);
            c.FillRect(Rect(r.Left + 2, r.Top + 2, r.Left + 14, r.Bottom - 2));
            c.Brush().SetStyle(bsClear);
            c.TextOut(r.Left + 18, r.Top + 1, drawn->Items()[i]);
        };
        auto* edit = new TEdit(this);
        edit->SetParent(top);
        edit->SetBounds(434, 6, 110, 21);
        edit->SetText("*.*");
        auto* paint = new TPaintBox(this);
        paint->SetParent(top);
        paint->SetBounds(550, 6, 22, 22);
        paint->OnPaint = [paint](TObject*) {
            paint->Canvas().Brush().SetColor(clRed);
            paint->Canvas().Ellipse(1, 1, 21, 21);
        };
        auto* image = new TImage(this);
        image->SetParent(top);
        image->SetBounds(578, 6, 22, 22);
        image->Bitmap().SetSize(22, 22);
        image->Bitmap().Canvas().Brush().SetColor(clLime);
        image->Bitmap().Canvas().FillRect(Rect(0, 0, 22, 22));
        image->Bitmap().Canvas().Brush().SetColor(clNavy);
        image->Bitmap().Canvas().FillRect(Rect(5, 5, 17, 17));

        auto* left = new TPanel(this);
        left->SetParent(this);
        left->SetAlign(alLeft);
        left->SetWidth(190);
        left->SetBevelOuter(bvLowered);
        auto* tree = new TTreeView(this);
        tree->SetParent(left);
        tree->SetAlign(alClient);
        TTreeNode* root = tree->Items().AddChild(nullptr, "C:\\");
        TTreeNode* docs = tree->Items().AddChild(root, "Documents");
        tree->Items().AddChild(docs, "Archives");
        tree->Items().AddChild(root, "Windows");
        root->Expand(true);
        auto* group = new TGroupBox(this);
        group->SetParent(left);
        group->SetAlign(alBottom);
        group->SetHeight(110);
        group->SetCaption("A&ttribute (File type)");
        const char* boxes[] = {"Archive", "Read Only", "Hidden"};
        for (int i = 0; i < 3; ++i) {
            auto* cb = new TCheckBox(this);
            cb->SetParent(group);
            cb->SetBounds(10, 20 + i * 20, 150, 17);
            cb->SetCaption(boxes[i]);
            cb->SetChecked(i != 1);
        }
        auto* radio = new TRadioButton(this);
        radio->SetParent(group);
        radio->SetBounds(10, 82, 150, 17);
        radio->SetCaption("VolumeID");
        radio->SetChecked(true);

        pages = new TPageControl(this);
        pages->SetParent(this);
        pages->SetAlign(alClient);
        auto* sheet1 = new TTabSheet(this);
        sheet1->SetCaption("Entries");
        sheet1->SetPageControl(pages);
        auto* sheet2 = new TTabSheet(this);
        sheet2->SetCaption("Messages");
        sheet2->SetPageControl(pages);

        list = new TListView(this);
        list->SetParent(sheet1);
        list->SetAlign(alClient);
        list->SetViewStyle(vsReport);
        list->SetGridLines(true);
        list->SetRowSelect(true);
        list->SetMultiSelect(true);
        list->SetOwnerData(true);
        for (auto [cap, w] : {std::pair{"Name", 140}, {"Size", 70}, {"Packed", 70}, {"Ratio", 50}}) {
            TListColumn* c = list->Columns().Add();
            c->SetCaption(cap);
            c->SetWidth(w);
        }
        list->Columns()[1]->SetAlignment(taRightJustify);
        list->Columns()[2]->SetAlignment(taRightJustify);
        list->OnData = [](TObject*, TListItem* it) {
            int i = it->Index();
            it->SetCaption("file" + std::to_string(i) + ".txt");
            it->SubItems().Add(std::to_string(1000 + i * 37));
            it->SubItems().Add(std::to_string(400 + i * 11));
            it->SubItems().Add(std::to_string(40 + i % 50) + "%");
        };
        list->Items().SetCount(100000);

        auto* radios = new TRadioGroup(this);
        radios->SetParent(sheet2);
        radios->SetAlign(alTop);
        radios->SetHeight(60);
        radios->SetCaption("Ac&tion");
        radios->SetColumns(2);
        radios->Items().SetText("Add File(s)\r\nMove Files(s)");
        radios->SetItemIndex(0);
        auto* rich = new TRichEdit(this);
        rich->SetParent(sheet2);
        rich->SetAlign(alClient);
        rich->Lines().Add("Testing archive...");
        rich->Lines().Add("a.txt ...Ok");
        auto* memo = new TMemo(this);
        memo->SetParent(sheet2);
        memo->SetAlign(alBottom);
        memo->SetHeight(50);
        memo->Lines().Add("plain memo line");

        auto* label = new TLabel(this);
        label->SetParent(this);
        label->SetAlign(alBottom);
        label->SetCaption("  File name:  a label at the bottom");
        progress = new TProgressBar(this);
        progress->SetParent(this);
        progress->SetAlign(alBottom);
        progress->SetHeight(14);
        progress->SetPosition(35);
    }
    TStatusBar* status;
    TProgressBar* progress_in_status;
    TProgressBar* progress;
    TPageControl* pages;
    TListView* list;
};

TEST(Demo, AFormWithEveryControlRendersAndIsSavedAsAnArtifact) {
    TfrmDemo* f = nullptr;
    Application->CreateForm(f);
    f->Show();
    test::Pump(5);
    // The progress bar lives inside the third panel of the status bar.
    TRect pr = f->status->PanelRect(2);
    f->progress_in_status->SetBounds(pr.Left + 2, pr.Top + 2, pr.Width() - 4, pr.Height() - 4);
    f->list->SetIsSelected(1, true);
    f->list->SetIsSelected(2, true);
    test::Pump(5);
    std::string path = test::SaveScreenshot(*f, "ui-demo.bmp");
    f->pages->SetActivePageIndex(1);
    test::Pump(5);
    test::SaveScreenshot(*f, "ui-demo-messages.bmp");
    TBitmap shot;
    test::RenderWindow(*f, shot);
    EXPECT_GT(shot.Width(), 600);
    // Every window of the client area was drawn through WM_PRINT (the
    // helper's fill colour shows nowhere there).
    RECT wr{};
    GetWindowRect(f->Handle(), &wr);
    TPoint origin = f->ClientOrigin();
    int ox = origin.X - wr.left, oy = origin.Y - wr.top;
    TRect cr = f->ClientRect();
    int magenta = 0;
    for (int y = oy; y < oy + cr.Height(); y += 5)
        for (int x = ox; x < ox + cr.Width(); x += 5)
            if (test::PixelAt(shot, x, y) == RGB(255, 0, 255)) ++magenta;
    EXPECT_EQ(magenta, 0) << path;
    TCustomForm::Free(f);
}

}  // namespace
}  // namespace bramble
