// The Options dialog as the main window's command uses it: what is stored
// and when, the associations, the shortcuts, the list's columns, and where
// the dialog goes.
#include "app/forms/options.h"
#include "app/shellreg/clsid.h"
#include "app/shellreg/shellreg.h"
#include "main_window.h"

namespace bramble {
namespace {

const char* const kShellFolders = "Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// A 16x16 icon of one colour, as an .ico file holds it.
std::string IconFile(uint32_t Bgra) {
    std::string s;
    auto u16 = [&](int v) { s += static_cast<char>(v & 0xFF); s += static_cast<char>((v >> 8) & 0xFF); };
    auto u32 = [&](uint32_t v) { u16(static_cast<int>(v & 0xFFFF)); u16(static_cast<int>(v >> 16)); };
    u16(0); u16(1); u16(1);
    s += '\x10'; s += '\x10'; s += '\0'; s += '\0';
    u16(1); u16(32); u32(40 + 16 * 16 * 4 + 16 * 4); u32(22);
    u32(40); u32(16); u32(32); u16(1); u16(32); u32(0); u32(16 * 16 * 4); u32(0); u32(0); u32(0); u32(0);
    for (int i = 0; i < 256; ++i) u32(Bgra);
    s.append(16 * 4, '\0');
    return s;
}

std::string ProgramDir() {
    std::string exe = ProgramFileName();
    return exe.substr(0, exe.find_last_of('\\'));
}

// A file that ships beside bramble.exe.
std::string Shipped(const std::string& Name) {
    std::string p = BRAMBLE_PROGRAM_DEFAULT;
    if (!p.empty() && p[0] == '/') {
        std::replace(p.begin(), p.end(), '/', '\\');
        p = "Z:" + p;
    }
    return p.substr(0, p.find_last_of('\\') + 1) + Name;
}

// What the icon menu showed, noted from inside its loop: its rows, and
// whether the glyph of the blue icon's row was drawn.
struct IconMenuSeen {
    int popups = 0, rows = 0;
    bool blueGlyph = false;
};
IconMenuSeen g_icons;
TToolbarButton97* g_opener = nullptr;
UINT_PTR g_failsafe = 0;

void CALLBACK CloseMenuNow(HWND, UINT, UINT_PTR Id, DWORD) {
    KillTimer(nullptr, Id);
    CloseActiveMenus(true);
}

// Then a press on the button that opened it, as the user's second click
// makes it: that press only closes the menu.
void CALLBACK LookAtIconMenu(HWND, UINT, UINT_PTR Id, DWORD) {
    KillTimer(nullptr, Id);
    TCustomPopupMenu2000* open = ActivePopup();
    if (!open || !open->IsFormOpen()) return;
    TPopupMenu2000Form* w = open->Window();
    g_icons.rows = w->ShownCount();
    RECT r;
    GetWindowRect(w->Handle(), &r);
    TBitmap shot(r.right - r.left, r.bottom - r.top);
    w->PaintTo(shot.Canvas().Handle());
    shot.SaveToFile(test::ArtifactsDir() + "\\bramble-options-icon-menu.bmp");
    for (int i = 0; i < w->ShownCount(); ++i) {
        if (w->ShownItem(i)->Caption() != "b&&w.ico") continue;
        const RECT row = w->ItemRect(i);
        for (int y = row.top; y < row.bottom && !g_icons.blueGlyph; ++y)
            for (int x = row.left; x < row.left + 30 && !g_icons.blueGlyph; ++x)
                g_icons.blueGlyph = test::PixelAt(shot, x, y) == RGB(0x20, 0x40, 0xC0);
    }
    TWinControl* parent = g_opener->Parent();
    const POINT at{g_opener->Left() + 5, g_opener->Top() + 5};
    POINT screen = at;
    ClientToScreen(parent->Handle(), &screen);
    SetCursorPos(screen.x, screen.y);
    PostMessage(parent->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    PostMessage(parent->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    // Should the press not close it, the test goes on all the same.
    g_failsafe = SetTimer(nullptr, 0, 2000, CloseMenuNow);
}

bool Exists(const std::string& Path) { return GetFileAttributesA(Path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class OptionsDialog : public MainWindow {
protected:
    void SetUp() override {
        MainWindow::SetUp();
        ASSERT_TRUE(machine_.ok());
    }
    // Runs the Options command; Drive gets the shown dialog and says how it
    // closes.
    void Run(const std::function<int(TfrmOptions&)>& Drive) {
        modals_.Drive = [&](TCustomForm* Form) {
            if (Form != frmOptions) return static_cast<int>(mrCancel);
            frmOptions->FormShow(frmOptions);
            return Drive(*frmOptions);
        };
        Choose(form_->mnuOptions);
    }
    static int Ok(TfrmOptions& o) {
        o.bttnOk->Click();
        return o.ModalResult();
    }
    static int Cancel(TfrmOptions& o) {
        o.bttnCancel->Click();
        return o.ModalResult();
    }
    static std::string Stored(const std::string& Value) {
        TRegistry reg(KEY_READ);
        if (!reg.OpenKeyReadOnly("Software\\Quillmar\\Bramble\\Options") || !reg.ValueExists(Value)) return "<missing>";
        return reg.GetDataType(Value) == rdInteger ? std::to_string(reg.ReadInteger(Value)) : reg.ReadString(Value);
    }
    static std::string Classes(const std::string& Key, const std::string& Name = "") {
        TRegistry reg(KEY_READ);
        reg.SetRootKey(HKEY_CLASSES_ROOT);
        if (!reg.OpenKeyReadOnly(Key)) return "<no key>";
        return reg.ValueExists(Name) ? reg.ReadString(Name) : "<missing>";
    }
    static void WriteClasses(const std::string& Key, const std::string& Value) {
        TRegistry reg;
        reg.SetRootKey(HKEY_CLASSES_ROOT);
        ASSERT_TRUE(reg.OpenKey(Key, true));
        reg.WriteString("", Value);
    }

    testing::RegistryRedirect machine_{HKEY_LOCAL_MACHINE, "OptionsMachine"};
    AnswerAll modals_;
};

TEST(OptionsPlacement, BesideTheMainWindowAndClearOfTheTaskbar) {
    const TRect bottom = Rect(0, 994, 1280, 1024), left = Rect(0, 0, 60, 1024), top = Rect(0, 0, 1280, 30),
                right = Rect(1220, 0, 1280, 1024);
    struct Case {
        int mainLeft, mainTop;
        const TRect* taskbar;
        int x, y;
    };
    for (const Case& c : {Case{100, 100, &bottom, 118, 118},
                          // Near the bottom: the dialog's bottom meets the taskbar's top.
                          Case{100, 900, &bottom, 118, 994 - 340},
                          Case{10, 10, &left, 60, 28}, Case{10, 0, &top, 28, 30},
                          Case{1200, 10, &right, 1220 - 410, 28},
                          // No taskbar: only the screen bounds it.
                          Case{-300, -100, nullptr, 0, 0}, Case{1200, 900, nullptr, 1280 - 410, 1024 - 340}}) {
        SCOPED_TRACE(::testing::Message() << c.mainLeft << "," << c.mainTop);
        TPoint p = PlaceOptionsRect(c.mainLeft, c.mainTop, 410, 340, 1280, 1024, c.taskbar);
        EXPECT_EQ(p.X, c.x);
        EXPECT_EQ(p.Y, c.y);
    }
}

TEST_F(OptionsDialog, StoresOnlyAConfirmedChangeAndReadsItBackAtStart) {
    Make();
    ASSERT_TRUE(frmOptions);
    EXPECT_TRUE(form_->mnuOptions->Enabled());
    const std::string temp = ScratchDir("options-temp");

    // Cancel stores nothing, whatever was changed.
    Run([&](TfrmOptions& o) {
        o.ViewProgram->SetText("C:\\Tools\\view.exe");
        return Cancel(o);
    });
    EXPECT_TRUE(modals_.AskedAbout("form: Options"));
    EXPECT_EQ(Stored("Viewer"), "<missing>");

    Run([&](TfrmOptions& o) {
        o.ViewProgram->SetText("C:\\Tools\\view.exe");
        o.RadioOther->SetChecked(true);
        o.StartupFolder->SetText("C:\\Archives");
        o.tmpDir->SetText(temp);
        o.OnTop->SetChecked(true);
        return Ok(o);
    });
    EXPECT_EQ(Stored("Viewer"), "C:\\Tools\\view.exe");
    EXPECT_EQ(Stored("StartDefault") + Stored("StartLast") + Stored("StartOther"), "001");
    EXPECT_EQ(Stored("StartupFolder"), "C:\\Archives");
    EXPECT_EQ(Stored("tmpDir"), temp);
    EXPECT_EQ(Stored("OnTop"), "1");
    EXPECT_TRUE(GetWindowLongPtrA(form_->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);

    // Shown again with nothing changed since, OK stores nothing.
    TRegistry().DeleteKey("Software\\Quillmar\\Bramble\\Options");
    bool changedAtShow = true;
    Run([&](TfrmOptions& o) {
        changedAtShow = o.HasChanged->Checked();
        return Ok(o);
    });
    EXPECT_FALSE(changedAtShow);
    EXPECT_EQ(Stored("Viewer"), "<missing>");

    // The start folder alone is no change: nothing is stored.
    Run([&](TfrmOptions& o) {
        o.RadioLastOpen->SetChecked(true);
        o.StartupFolder->SetText("D:\\Elsewhere");
        EXPECT_FALSE(o.HasChanged->Checked());
        return Ok(o);
    });
    EXPECT_EQ(Stored("StartLast"), "<missing>");
    EXPECT_EQ(Stored("StartupFolder"), "<missing>");
    // With another change it goes along; a temporary folder that is not
    // there yet is stored as typed, without a word.
    modals_.Asked.clear();
    Run([&](TfrmOptions& o) {
        o.RadioLastOpen->SetChecked(true);
        o.tmpDir->SetText(temp + "\\missing");
        return Ok(o);
    });
    EXPECT_FALSE(modals_.AskedAbout("does not exist"));
    EXPECT_EQ(Stored("StartLast"), "1");
    EXPECT_EQ(Stored("tmpDir"), temp + "\\missing");

    // A stored viewer the file-name edit would refuse still comes back, as
    // text, when the program starts.
    TCustomForm::Free(form_);
    form_ = nullptr;
    TCustomForm::Free(options_);
    options_ = nullptr;
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("Software\\Quillmar\\Bramble\\Options", true));
        reg.WriteString("Viewer", "\"C:\\a|b.exe");
        reg.WriteBool("StartDefault", false);
        reg.WriteBool("StartLast", false);
        reg.WriteBool("StartOther", true);
        reg.WriteString("StartupFolder", "D:\\Here");
    }
    test::ExceptionCatcher caught;
    Make();
    test::Pump(5);
    EXPECT_TRUE(caught.Messages.empty()) << ::testing::PrintToString(caught.Messages);
    EXPECT_EQ(frmOptions->ViewProgram->Text(), "\"C:\\a|b.exe");
    EXPECT_TRUE(frmOptions->RadioOther->Checked());
    EXPECT_FALSE(frmOptions->RadioDefault->Checked());
    EXPECT_EQ(frmOptions->StartupFolder->Text(), "D:\\Here");
    EXPECT_EQ(frmOptions->tmpDir->Text(), form_->TempFolder);
}

TEST_F(OptionsDialog, AssociationsAreMadeAndRemovedLeavingOtherProgramsAlone) {
    // Icons beside the program: one with an "&" in its name, one that does
    // not load.
    const std::string amp = ProgramDir() + "\\b&w.ico", broken = ProgramDir() + "\\broken.ico";
    test::WriteAll(amp, IconFile(0xFF2040C0));
    test::WriteAll(broken, "not an icon");
    MakeAssociation("zip", "C:\\old.ico");
    WriteClasses(".zip\\OpenWithProgids", "");
    WriteClasses(".rar", "OtherArc.rar");
    WriteClasses(".rar\\PersistentHandler", "{12345678-0000-0000-0000-000000000000}");
    Make();

    test::ExceptionCatcher caught;
    Run([&](TfrmOptions& o) {
        EXPECT_TRUE(o.CheckBoxOf("zip")->Checked());
        EXPECT_TRUE(o.ToolbarButtonOf("zip")->Enabled());
        EXPECT_EQ(o.ToolbarButtonOf("zip")->Hint(), "C:\\old.ico");
        EXPECT_FALSE(o.CheckBoxOf("rar")->Checked());
        EXPECT_FALSE(o.ToolbarButtonOf("gz")->Enabled());
        EXPECT_EQ(o.ToolbarButtonOf("gz")->Hint(), ProgramDir() + "\\default.ico");
        // The icon menu lists the files by name; the chosen one goes to the
        // button pressed last.
        o.CheckBoxOf("gz")->SetChecked(true);
        EXPECT_TRUE(o.ToolbarButtonOf("gz")->Enabled());
        o.PopupMenu20001->OnPopup = [](TObject*) {
            ++g_icons.popups;
            SetTimer(nullptr, 0, 300, LookAtIconMenu);
        };
        g_icons = {};
        g_opener = o.ToolbarButtonOf("gz");
        o.ToolbarButtonOf("gz")->Click();
        test::Pump(10);
        KillTimer(nullptr, g_failsafe);
        EXPECT_EQ(o.IconTargetExt(), "GZ");
        EXPECT_EQ(g_icons.popups, 1);
        EXPECT_FALSE(IsActivePopupOpen());
        EXPECT_EQ(g_icons.rows, o.PopupMenu20001->Items()->Count());
        EXPECT_TRUE(g_icons.blueGlyph);
        TMenuItem* chosen = nullptr;
        TMenuItem* bad = nullptr;
        for (int i = 0; i < o.PopupMenu20001->Items()->Count(); ++i) {
            TMenuItem* m = o.PopupMenu20001->Items()->Items(i);
            if (m->Caption() == "b&&w.ico") chosen = m;
            if (m->Caption() == "broken.ico") bad = m;
        }
        EXPECT_TRUE(bad);
        if (bad) o.MyPopupHandler(bad);
        EXPECT_EQ(o.ToolbarButtonOf("gz")->Hint(), broken);
        if (!chosen) {
            ADD_FAILURE() << "no menu item for b&w.ico";
        } else {
            o.MyPopupHandler(chosen);
        }
        EXPECT_EQ(o.ToolbarButtonOf("gz")->Hint(), amp);
        EXPECT_EQ(test::PixelAt(o.ToolbarButtonOf("gz")->Glyph(), 8, 8), RGB(0x20, 0x40, 0xC0));
        o.CheckBoxOf("zip")->SetChecked(false);
        o.ShellExt->SetChecked(true);
        return Ok(o);
    });
    EXPECT_TRUE(caught.Messages.empty()) << ::testing::PrintToString(caught.Messages);
    EXPECT_EQ(Classes(".gz"), "Bramble.gz");
    EXPECT_EQ(Classes("Bramble.gz\\DefaultIcon"), amp);
    // Ours goes; the other program's subkey of the extension stays.
    EXPECT_EQ(Classes(".zip"), "<missing>");
    EXPECT_EQ(Classes(".zip\\OpenWithProgids"), "");
    EXPECT_EQ(Classes(".zip\\ShellNew"), "<no key>");
    EXPECT_EQ(Classes("Bramble.zip"), "<no key>");
    EXPECT_EQ(Classes(".rar"), "OtherArc.rar");
    EXPECT_EQ(Classes(".rar\\PersistentHandler"), "{12345678-0000-0000-0000-000000000000}");
    EXPECT_NE(Classes("*\\shellex\\ContextMenuHandlers\\Bramble"), "<no key>");

    // Select none removes every association of ours again.
    Run([&](TfrmOptions& o) {
        EXPECT_TRUE(o.ShellExt->Checked());
        EXPECT_TRUE(o.CheckBoxOf("gz")->Checked());
        o.ToolbarButtonNone->Click();
        o.ShellExt->SetChecked(false);
        return Ok(o);
    });
    EXPECT_EQ(Classes(".gz"), "<no key>");
    EXPECT_EQ(Classes("*\\shellex\\ContextMenuHandlers\\Bramble"), "<no key>");
    EXPECT_EQ(Classes(".rar"), "OtherArc.rar");
    DeleteFileA(amp.c_str());
    DeleteFileA(broken.c_str());
}

// The shell extension box says whether our handler's key names our class;
// only a missing key (no value) leaves the box as it was.
TEST_F(OptionsDialog, ShellExtensionBoxFollowsTheHandlersValue) {
    Make();
    struct Case {
        const char* value;  // "<none>": the key without a value
        bool before, shown;
    };
    for (const Case& c : {Case{ShellExtClassIdText, false, true}, Case{"<none>", true, false},
                          Case{"{00000000-0000-0000-0000-000000000000}", true, false}, Case{nullptr, true, true},
                          Case{nullptr, false, false}}) {
        SCOPED_TRACE(c.value ? c.value : "<no key>");
        TRegistry reg;
        reg.SetRootKey(HKEY_CLASSES_ROOT);
        reg.DeleteKey("*\\shellex\\ContextMenuHandlers\\Bramble");
        if (c.value) {
            ASSERT_TRUE(reg.OpenKey("*\\shellex\\ContextMenuHandlers\\Bramble", true));
            if (std::string(c.value) != "<none>") reg.WriteString("", c.value);
        }
        frmOptions->ShellExt->SetChecked(c.before);
        frmOptions->FormShow(frmOptions);
        EXPECT_EQ(frmOptions->ShellExt->Checked(), c.shown);
    }
}

TEST_F(OptionsDialog, ShortcutsGoIntoTheUsersFoldersOnlyWhenConfirmed) {
    const std::string root = ScratchDir("options-links");
    const std::string desk = root + "\\Desktop", start = root + "\\Start Menu";
    RemoveDirectoryA(desk.c_str());
    RemoveDirectoryA(start.c_str());
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kShellFolders, true));
        reg.WriteString("Desktop", desk);
        reg.WriteString("Start Menu", start);
    }
    Make();
    // Showing looks where saving would put the shortcuts: the folders are
    // made (one level), no shortcut is.
    Run(Cancel);
    EXPECT_TRUE(Exists(desk));
    EXPECT_TRUE(Exists(start));
    EXPECT_FALSE(Exists(desk + "\\Bramble.lnk"));
    EXPECT_FALSE(Exists(start + "\\Bramble.lnk"));

    Run([&](TfrmOptions& o) {
        o.InclDesk->SetChecked(true);
        o.InclStart->SetChecked(true);
        return Ok(o);
    });
    EXPECT_TRUE(Exists(desk + "\\Bramble.lnk"));
    EXPECT_TRUE(Exists(start + "\\Bramble.lnk"));

    // A box comes back checked from the shortcut that is there.
    Run([&](TfrmOptions& o) {
        o.InclDesk->SetChecked(false);
        o.InclStart->SetChecked(false);
        return Cancel(o);
    });
    Run([&](TfrmOptions& o) {
        EXPECT_TRUE(o.InclDesk->Checked());
        EXPECT_TRUE(o.InclStart->Checked());
        o.InclDesk->SetChecked(false);
        return Ok(o);
    });
    EXPECT_FALSE(Exists(desk + "\\Bramble.lnk"));
    EXPECT_TRUE(Exists(start + "\\Bramble.lnk"));

    // An empty folder value is skipped, not taken as the current folder.
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kShellFolders, true));
        reg.WriteString("Desktop", "");
    }
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    Run([&](TfrmOptions& o) {
        o.InclDesk->SetChecked(true);
        return Ok(o);
    });
    EXPECT_FALSE(Exists(std::string(cwd) + "\\Bramble.lnk"));
    EXPECT_FALSE(Exists("\\Bramble.lnk"));
    DeleteFileA((start + "\\Bramble.lnk").c_str());
}

TEST_F(OptionsDialog, ColumnsAndListLookAreApplied) {
    Make();
    TListColumns& cols = form_->ListView1->Columns();
    ASSERT_GE(cols.Count(), 12);
    cols[1]->SetWidth(123);
    Run([&](TfrmOptions& o) {
        EXPECT_TRUE(o.Size->Checked());
        EXPECT_TRUE(o.Name->Checked());
        EXPECT_FALSE(o.Name->Enabled());
        o.Size->SetChecked(false);
        o.Showgrid->SetChecked(true);
        o.FullRowSelect->SetChecked(true);
        return Ok(o);
    });
    EXPECT_EQ(cols[1]->Width(), 0);
    EXPECT_EQ(cols[2]->Width(), 70);
    EXPECT_TRUE(form_->ListView1->GridLines());
    EXPECT_TRUE(form_->ListView1->RowSelect());
    Run([&](TfrmOptions& o) {
        EXPECT_FALSE(o.Size->Checked());
        EXPECT_TRUE(o.Showgrid->Checked());
        o.Size->SetChecked(true);
        return Ok(o);
    });
    // Back at its default width, not at the one it had.
    EXPECT_EQ(cols[1]->Width(), 70);
    // Cancel applies nothing.
    Run([&](TfrmOptions& o) {
        o.Ratio->SetChecked(false);
        return Cancel(o);
    });
    EXPECT_EQ(cols[3]->Width(), 38);
}

// Where the shown dialog stood and whether it was filled, seen from inside
// its modal loop; then OK.
TPoint shownAt;
bool shownFilled = false;
void CALLBACK ConfirmShown(HWND, UINT, UINT_PTR Id, DWORD) {
    KillTimer(nullptr, Id);
    if (!frmOptions || !frmOptions->Visible()) return;
    shownAt = Point(frmOptions->Left(), frmOptions->Top());
    shownFilled = frmOptions->Flat->Checked() && frmOptions->Size->Checked();
    frmOptions->Size->SetChecked(false);
    frmOptions->bttnOk->Click();
}

TEST_F(OptionsDialog, TheCommandShowsTheDialogBesideTheWindowAndAppliesItsOk) {
    Make();
    form_->SetBounds(100, 100, 640, 480);
    modals_.Drive = [](TCustomForm* Form) {
        SetTimer(nullptr, 0, 300, ConfirmShown);
        return Form->ExecuteModal();
    };
    Choose(form_->mnuOptions);
    EXPECT_EQ(shownAt.X, 118);
    EXPECT_EQ(shownAt.Y, 118);
    EXPECT_TRUE(shownFilled);
    EXPECT_EQ(form_->ListView1->Columns()[1]->Width(), 0);
}

// Behind the open dialog the main window's bars still repaint: with the
// dialog moved clear of them and the window erased and invalidated, their
// captions and glyphs are back when the dialog looks again.
TfrmMain* g_behind = nullptr;
std::vector<int> g_ink;  // per bar: pixels well off the light face

void CALLBACK UncoverTheBars(HWND, UINT, UINT_PTR Id, DWORD) {
    KillTimer(nullptr, Id);
    frmOptions->SetBounds(g_behind->Left() + g_behind->Width() + 20, g_behind->Top(), frmOptions->Width(),
                          frmOptions->Height());
    RedrawWindow(g_behind->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

void CALLBACK LookAtTheBars(HWND, UINT, UINT_PTR Id, DWORD) {
    KillTimer(nullptr, Id);
    TBitmap shot;
    test::GrabWindow(*g_behind, shot);
    shot.SaveToFile(test::ArtifactsDir() + "\\bramble-behind-options.bmp");
    RECT frame{}, r{};
    GetWindowRect(g_behind->Handle(), &frame);
    for (TWinControl* bar : std::initializer_list<TWinControl*>{g_behind->MenuBar20001, g_behind->Skiffbar1}) {
        GetWindowRect(bar->Handle(), &r);
        int ink = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) {
                const COLORREF c = test::PixelAt(shot, x - frame.left, y - frame.top);
                if (std::max({GetRValue(c), GetGValue(c), GetBValue(c)}) < 0xD0) ++ink;  // greyed text too
            }
        g_ink.push_back(ink);
    }
    frmOptions->bttnCancel->Click();
}

TEST_F(OptionsDialog, TheWindowsBarsRepaintBehindTheOpenDialog) {
    Make();
    g_behind = form_;
    form_->SetBounds(20, 20, 640, 480);
    form_->OpenArchive(Join(FixturesDir(), "plain.zip"));
    test::Pump(5);
    modals_.Drive = [](TCustomForm* Form) {
        SetTimer(nullptr, 0, 300, UncoverTheBars);
        SetTimer(nullptr, 0, 1200, LookAtTheBars);
        return Form->ExecuteModal();
    };
    Choose(form_->mnuOptions);
    ASSERT_EQ(g_ink.size(), 2u);
    EXPECT_GT(g_ink[0], 40) << "menu bar";
    EXPECT_GT(g_ink[1], 40) << "toolbar";
}

// Every control lies inside its parent, and every caption fits its control.
void CheckFits(TWinControl& Parent, TCanvas& Measure) {
    const TRect client = Parent.ClientRect();
    for (int i = 0; i < Parent.ControlCount(); ++i) {
        TControl* c = Parent.Controls(i);
        if (!c->Visible()) continue;
        SCOPED_TRACE(c->Name().empty() ? c->Caption() : c->Name());
        EXPECT_GE(c->Left(), client.Left);
        EXPECT_GE(c->Top(), client.Top);
        EXPECT_LE(c->Left() + c->Width(), client.Right);
        EXPECT_LE(c->Top() + c->Height(), client.Bottom);
        const std::string text = StripHotkey(c->Caption());
        if (dynamic_cast<TCheckBox*>(c) || dynamic_cast<TRadioButton*>(c)) {
            EXPECT_LE(Measure.TextWidth(text) + 20, c->Width());
        } else if (dynamic_cast<TButton*>(c) && !dynamic_cast<TBitBtn*>(c)) {
            EXPECT_LE(Measure.TextWidth(text) + 8, c->Width());
        }
        // The edits place their own button inside.
        if (auto* w = dynamic_cast<TWinControl*>(c); w && !dynamic_cast<TCustomComboEdit*>(c)) CheckFits(*w, Measure);
    }
}

TEST_F(OptionsDialog, EveryPageFitsAndOkIsTheDefault) {
    const std::string def = ProgramDir() + "\\default.ico", own = ProgramDir() + "\\own.ico";
    // The icon the program ships with.
    ASSERT_TRUE(CopyFileA(Shipped("default.ico").c_str(), def.c_str(), FALSE));
    test::WriteAll(own, IconFile(0xFF2020C0));
    MakeAssociation("zip", own);
    Make();
    TfrmOptions& o = *frmOptions;
    EXPECT_TRUE(o.bttnOk->Default());
    EXPECT_TRUE(o.bttnCancel->Cancel());
    o.FormShow(&o);
    // Ours in its own colour, the others greyed with the default icon (a
    // purple berry).
    EXPECT_EQ(test::PixelAt(o.ToolbarButtonOf("zip")->Glyph(), 8, 8), RGB(0x20, 0x20, 0xC0));
    const COLORREF grey = test::PixelAt(o.ToolbarButtonOf("cab")->Glyph(), 18 + 8, 8);
    EXPECT_TRUE(GetRValue(grey) == GetGValue(grey) && GetGValue(grey) == GetBValue(grey));
    EXPECT_LT(GetRValue(grey), 0xC0);
    o.Show();
    test::Pump(5);
    TBitmap measure;
    measure.SetSize(8, 8);
    measure.Canvas().Font().Assign(o.Font());
    CheckFits(o, measure.Canvas());
    for (int i = 0; i < o.PageControl1->PageCount(); ++i) {
        o.PageControl1->SetActivePageIndex(i);
        test::Pump(5);
        test::SaveScreenshot(o, "options-" + std::to_string(i + 1) + ".bmp");
    }
    // Tab goes down each page in reading order.
    o.PageControl1->SetActivePage(o.General);
    test::Pump();
    o.ShellExt->SetFocus();
    for (TWinControl* next : std::initializer_list<TWinControl*>{o.InclStart, o.InclDesk, o.OnTop, o.ViewProgram}) {
        o.SelectNext(o.ActiveControl(), true, true);
        EXPECT_EQ(o.ActiveControl(), next) << next->Name();
    }
    o.Hide();
    DeleteFileA(def.c_str());
    DeleteFileA(own.c_str());
}

}  // namespace
}  // namespace bramble
