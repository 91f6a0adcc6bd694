// Drag and drop: the file-drop data the program offers the shell, the drop
// source's decisions, the target's reading of a drop (posted by hand) and
// what the main window does with drops.
#include <shlobj.h>

#include <cstring>

#include "app/forms/addfiles.h"
#include "app/widgets/dragdrop.h"
#include "engine/core/messages.h"
#include "main_window.h"
#include "support/oleup.h"
#include "ui/comobj.h"

namespace bramble {
namespace {

// A drop as the shell hands it over: DROPFILES then the ANSI names.
HDROP MakeDrop(const std::vector<std::string>& Names, POINT At = {7, 9}) {
    std::string block = DropFilesBlock(Names);
    auto* df = reinterpret_cast<DROPFILES*>(block.data());
    df->pt = At;
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, block.size());
    std::memcpy(GlobalLock(h), block.data(), block.size());
    GlobalUnlock(h);
    return static_cast<HDROP>(h);
}

void Drop(TWinControl* On, const std::vector<std::string>& Names) {
    PostMessageA(On->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(Names)), 0);
    test::Pump(5);
}

TEST(DragData, TheBlockTheFormatsAndTheEnumerator) {
    const std::string block = DropFilesBlock({"a.txt", "b.txt"});
    ASSERT_EQ(block.size(), 20u + 5 + 1 + 5 + 2);
    EXPECT_EQ(block.substr(0, 4), std::string("\x14\0\0\0", 4));
    EXPECT_EQ(block.substr(4, 16), std::string(16, '\0'));
    EXPECT_EQ(block.substr(20), std::string("a.txt\0b.txt\0\0", 13));

    IDataObject* d = NewFileDataObject({"a.txt", "b.txt"});
    struct Case {
        CLIPFORMAT format;
        DWORD tymed;
        HRESULT want;
    } cases[] = {{CF_HDROP, TYMED_HGLOBAL, S_OK},
                 {CF_HDROP, TYMED_HGLOBAL | TYMED_ISTREAM, S_OK},
                 {CF_TEXT, TYMED_HGLOBAL, DV_E_FORMATETC},
                 {CF_HDROP, TYMED_ISTREAM, DV_E_TYMED}};
    for (const Case& c : cases) {
        FORMATETC f{c.format, nullptr, DVASPECT_CONTENT, -1, c.tymed};
        EXPECT_EQ(d->QueryGetData(&f), c.want) << c.format << " " << c.tymed;
        STGMEDIUM m{};
        const HRESULT got = d->GetData(&f, &m);
        if (c.want != S_OK) {
            EXPECT_EQ(got, DV_E_FORMATETC);
            continue;
        }
        ASSERT_EQ(got, S_OK);
        EXPECT_EQ(m.tymed, static_cast<DWORD>(TYMED_HGLOBAL));
        EXPECT_EQ(m.pUnkForRelease, nullptr);
        ASSERT_GE(GlobalSize(m.hGlobal), block.size());
        EXPECT_EQ(std::string(static_cast<char*>(GlobalLock(m.hGlobal)), block.size()), block);
        GlobalUnlock(m.hGlobal);
        ReleaseStgMedium(&m);
    }
    FORMATETC f{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM m{};
    EXPECT_EQ(d->GetDataHere(&f, &m), E_NOTIMPL);
    EXPECT_EQ(d->SetData(&f, &m, FALSE), E_NOTIMPL);
    EXPECT_EQ(d->DAdvise(&f, 0, nullptr, nullptr), E_NOTIMPL);
    IEnumFORMATETC* e = nullptr;
    EXPECT_EQ(d->EnumFormatEtc(DATADIR_SET, &e), E_NOTIMPL);
    EXPECT_EQ(e, nullptr);
    ASSERT_EQ(d->EnumFormatEtc(DATADIR_GET, &e), S_OK);
    FORMATETC got[2]{};
    // The count pointer may be null when one format is asked for.
    EXPECT_EQ(e->Next(1, got, nullptr), S_OK);
    EXPECT_EQ(got[0].cfFormat, CF_HDROP);
    EXPECT_EQ(got[0].tymed, static_cast<DWORD>(TYMED_HGLOBAL));
    EXPECT_EQ(got[0].lindex, -1);
    ULONG n = 9;
    EXPECT_EQ(e->Next(1, got, &n), S_FALSE);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(e->Next(2, got, &n), S_FALSE);
    EXPECT_EQ(n, 1u);
    IEnumFORMATETC* c = nullptr;
    EXPECT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(e->Skip(1), S_OK);
    EXPECT_EQ(e->Clone(&c), S_OK);
    EXPECT_EQ(c->Next(1, got, &n), S_FALSE);
    EXPECT_EQ(c->Skip(1), S_FALSE);
    c->Release();
    e->Release();
    IUnknown* u = nullptr;
    EXPECT_EQ(d->QueryInterface(IID_IDropTarget, reinterpret_cast<void**>(&u)), E_NOINTERFACE);
    d->Release();
}

TEST(DragSource, WhenADragStartsDropsOrIsCancelled) {
    TDragFilesSrc s(nullptr);
    EXPECT_EQ(s.Execute(), 0);
    const std::string dir = ScratchDir("drag-src");
    s.SetVerifyFiles(true);
    s.AddFile(Join(dir, "b-missing.txt"));
    s.AddFile(Join(dir, "A.txt"));
    s.AddFile(Join(dir, "a.TXT"));  // the same file
    EXPECT_EQ(s.FileCount(), 2);
    EXPECT_EQ(s.Files().front(), Join(dir, "A.txt"));
    EXPECT_EQ(s.Execute(), 0);

    int dropping = 0;
    s.OnDropping = [&](TObject*) { ++dropping; };
    EXPECT_EQ(s.QueryContinueDrag(TRUE, 0, DROPEFFECT_COPY), DRAGDROP_S_CANCEL);
    EXPECT_EQ(s.QueryContinueDrag(FALSE, MK_LBUTTON, DROPEFFECT_COPY), S_OK);
    EXPECT_EQ(s.QueryContinueDrag(FALSE, 0, DROPEFFECT_NONE), DRAGDROP_S_DROP);
    EXPECT_EQ(dropping, 0);
    EXPECT_EQ(s.QueryContinueDrag(FALSE, 0, DROPEFFECT_COPY), DRAGDROP_S_DROP);
    EXPECT_EQ(dropping, 1);
    // The handler took the files away: nothing to drop.
    s.OnDropping = [&](TObject*) { s.ClearFiles(); };
    EXPECT_EQ(s.QueryContinueDrag(FALSE, 0, DROPEFFECT_COPY), DRAGDROP_S_CANCEL);
    // A failure of the handler stays inside the drag loop and ends it.
    s.AddFile("x");
    s.OnDropping = [](TObject*) { throw E_RAISE(25400); };
    EXPECT_EQ(s.QueryContinueDrag(FALSE, 0, DROPEFFECT_COPY), DRAGDROP_S_CANCEL);
    EXPECT_TRUE(s.DroppingError());
    s.SetDropEffect(deMove);
    EXPECT_EQ(s.AllowedEffect(), static_cast<DWORD>(DROPEFFECT_MOVE));
}

TEST(DragTarget, ReadsDropsWholeAndLetsGoOfItsWindow) {
    TForm form(nullptr);
    form.SetBounds(10, 10, 200, 150);
    auto* panel = new TPanel(&form);
    panel->SetParent(&form);
    panel->SetBounds(0, 0, 100, 100);
    form.Show();
    test::Pump();
    TDragFilesTrg t(nullptr);
    int drops = 0;
    t.OnDrop = [&](TObject*) { ++drops; };
    t.SetTarget(panel);
    auto accepts = [&] { return (GetWindowLongPtrA(panel->Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0; };
    EXPECT_FALSE(accepts());
    t.SetEnabled(true);
    EXPECT_TRUE(accepts());

    const std::string longName = "C:\\" + std::string(300, 'n') + "\\file.zip";
    Drop(panel, {"C:\\one.zip", longName, "C:\\three.txt"});
    EXPECT_EQ(drops, 1);
    ASSERT_EQ(t.FileCount(), 3);
    EXPECT_EQ(t.Files()[1], longName);
    EXPECT_EQ(t.Files()[2], "C:\\three.txt");
    EXPECT_EQ(t.DropPoint().x, 7);
    EXPECT_EQ(t.DropPoint().y, 9);

    // A new window for the same control still takes drops.
    panel->RecreateWnd();
    test::Pump();
    EXPECT_TRUE(accepts());
    Drop(panel, {"C:\\again.zip"});
    EXPECT_EQ(drops, 2);

    t.SetTarget(nullptr);
    EXPECT_FALSE(accepts());
    Drop(panel, {"C:\\not-taken.zip"});
    EXPECT_EQ(drops, 2);

    // The window going first is harmless.
    auto* other = new TPanel(&form);
    other->SetParent(&form);
    t.SetTarget(other);
    delete other;
    EXPECT_EQ(t.Target(), nullptr);
    t.SetEnabled(false);
}

TEST_F(MainWindow, DropsOpenAnArchiveOrAreForAdd) {
    AnswerAll modals;
    TfrmMain* f = Make();
    const std::string dir = ScratchDir("drop-window");
    const std::string archive = CopyInto(dir, "plain.zip");
    const std::string text = Join(dir, "note.txt");
    test::WriteAll(text, "not an archive");
    Drop(f, {archive, text});
    EXPECT_EQ(f->Dovex1->ArchiveFile(), archive);
    EXPECT_GT(f->Entries->Count(), 0);
    EXPECT_TRUE(f->DragFilesTrg2->Enabled());

    Drop(f, {text});
    EXPECT_EQ(f->Dovex1->ArchiveFile(), archive);

    // On the list: Add opens with the dropped file chosen, and adds it.
    f->OpenArchive(archive);
    std::string chosen;
    modals.Drive = [&](TCustomForm* F) {
        auto* a = dynamic_cast<TfrmAddFiles*>(F);
        if (!a) return static_cast<int>(mrCancel);
        chosen = a->edtFileSpec->Text();
        a->bttnAdd->Click();
        return a->ModalResult();
    };
    Drop(f->ListView1, {text});
    test::Pump();
    EXPECT_EQ(chosen, "\"note.txt\" ");
    bool listed = false;
    for (int i = 0; i < f->Entries->Count(); ++i) listed = listed || f->Entries->GetEntry(i)->Name == "note.txt";
    EXPECT_TRUE(listed);
    EXPECT_FALSE(f->FilesDropped);

    Choose(f->mnuClose1);
    EXPECT_FALSE(f->DragFilesTrg2->Enabled());
}

// OLE is up before any drag: the clipboard answers, and the thread is
// already a single-threaded apartment.
TEST(DragSource, OleIsReadyFromTheStartBeforeAnyDrag) { test::ExpectOleUp(); }

// The shell widgets and the drag source both need OLE, and the end of the
// run lets it go once for all of them: the thread is free afterwards, and
// a second end takes nothing from a later user.
TEST(DragSource, TheEndOfTheRunEndsOleOnceForAllItsUsers) {
    EndOleForTheRun();
    const HRESULT free = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(free, S_OK);
    if (SUCCEEDED(free)) CoUninitialize();
    // The tests after this one still drag.
    ASSERT_EQ(OleInitialize(nullptr), S_OK);
    EndOleForTheRun();
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(hr, RPC_E_CHANGED_MODE);
    if (SUCCEEDED(hr)) CoUninitialize();
}

}  // namespace
}  // namespace bramble
