// The recent-files list on its own: order and maximum, captions, what it
// reads back from its store, and the items it puts into menus.
#include "app/widgets/mrulist.h"

#include "app/widgets/texts.h"
#include "registry_redirect.h"
#include "support/testenv.h"
#include "ui/registry.h"
#include "ui/ui_support.h"

namespace bramble {
namespace {

using test::Join;
using test::ScratchDir;

std::vector<std::string> Captions(const TMenuItem* Parent) {
    std::vector<std::string> out;
    for (int i = 0; i < Parent->Count(); ++i) out.push_back(Parent->Items(i)->Caption());
    return out;
}

TMenuItem* NewMenuItem(TMenuItem* Parent, const std::string& Caption) {
    auto* item = new TMenuItem(nullptr);
    item->SetCaption(Caption);
    Parent->Add(item);
    return item;
}

TEST(RecentFiles, OrderMaximumAndCase) {
    TMRUFileList l(nullptr);
    l.SetAutoSave(false);
    EXPECT_EQ(l.Maximum(), 5);
    EXPECT_EQ(l.Version(), "TMRUFileList v2.60");
    l.SetMaximum(4);
    for (const char* n : {"c:\\a.zip", "c:\\b.zip", "c:\\c.zip", "c:\\d.zip"}) l.AddItem(n);
    EXPECT_EQ(l.Items(), (std::vector<std::string>{"c:\\d.zip", "c:\\c.zip", "c:\\b.zip", "c:\\a.zip"}));
    l.AddItem("C:\\B.ZIP");  // moved up, not doubled
    EXPECT_EQ(l.Items(), (std::vector<std::string>{"c:\\b.zip", "c:\\d.zip", "c:\\c.zip", "c:\\a.zip"}));
    l.AddItem("c:\\e.zip");  // the oldest goes
    EXPECT_EQ(l.Items(), (std::vector<std::string>{"c:\\e.zip", "c:\\b.zip", "c:\\d.zip", "c:\\c.zip"}));
    l.SetMaximum(2);
    EXPECT_EQ(l.Items(), (std::vector<std::string>{"c:\\e.zip", "c:\\b.zip"}));

    // Letters beyond ASCII match without case as the platform sees them
    // (code page 1252 here), but keep their accents.
    l.AddItem("C:\\\xC4rger.zip");
    l.AddItem("c:\\a.zip");
    l.AddItem("c:\\\xE4rger.zip");
    l.AddItem("c:\\arger.zip");
    EXPECT_EQ(l.Items(), (std::vector<std::string>{"c:\\arger.zip", "C:\\\xC4rger.zip"}));

    TMRUFileList bottom(nullptr);
    bottom.SetAutoSave(false);
    bottom.SetAddToTop(false);
    bottom.SetMaximum(2);
    for (const char* n : {"1", "2", "3"}) bottom.AddItem(n);
    EXPECT_EQ(bottom.Items(), (std::vector<std::string>{"2", "3"}));
}

TEST(RecentFiles, CaptionsShortenEscapeAndFollowTheDisplayMode) {
    TMRUFileList l(nullptr);
    l.SetAutoSave(false);
    l.SetMaxCaptionWidth(130);
    const std::string longPath = "C:\\Program Files\\Some Long Folder\\Deeper Still\\archive.zip";
    const std::string c = l.EntryCaption(1, longPath);
    EXPECT_EQ(c.rfind("&1 C:\\...\\", 0), 0u) << c;
    EXPECT_LE(MenuTextWidth(c.substr(3)), 130) << c;
    EXPECT_NE(c.find("archive.zip"), std::string::npos);
    EXPECT_EQ(l.EntryCaption(2, "C:\\R&D.zip"), "&2 C:\\R&&D.zip");
    l.SetMRUDisplay(mdFileNameExt);
    EXPECT_EQ(l.EntryCaption(3, longPath), "archive.zip");
    l.SetMRUDisplay(mdFileNameOnly);
    EXPECT_EQ(l.EntryCaption(3, longPath), "archive");
    l.SetMRUDisplay(mdCustom);
    l.OnGetDisplayName = [](TObject*, const std::string& f, std::string& d) { d = "<" + f + ">"; };
    EXPECT_EQ(l.EntryCaption(1, "x"), "<x>");
    // Shortening never cuts the name itself.
    auto chars = [](const std::string& s) { return static_cast<int>(s.size()); };
    EXPECT_EQ(MinimizeName("C:\\a\\b\\c\\name.zip", 15, chars), "C:\\...\\name.zip");
    EXPECT_EQ(MinimizeName("C:\\a\\b\\c\\name.zip", 4, chars), "name.zip");
    EXPECT_EQ(MinimizeName("\\\\srv\\share\\aaa\\bbb\\n.zip", 21, chars), "\\\\srv\\share\\...\\n.zip");
}

// The captions of the submenu and command items are the program's own
// texts, kept in its string table.
TEST(RecentFiles, CommandCaptionsComeFromTheStringTable) {
    struct Case {
        unsigned id;
        const char* text;
    };
    const Case cases[] = {
        {SMRUSubmenuName, "Reopen"},
        {SMRUClearItemName, "&Clear MRU List"},
        {SMRURemoveObsoleteName, "&Remove Obsolete"},
    };
    TMRUFileList l(nullptr);
    l.SetAutoSave(false);
    const std::string defaults[] = {l.SubmenuName(), l.ClearItemName(), l.RemoveObsoleteName()};
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].text);
        char text[128] = {};
        ASSERT_GT(LoadStringA(GetModuleHandleA(nullptr), cases[i].id, text, sizeof text), 0);
        EXPECT_STREQ(text, cases[i].text);
        EXPECT_EQ(defaults[i], text);
    }
    // An emptied caption falls back to the table's text.
    TMainMenu menu(nullptr);
    TMenuItem* file = NewMenuItem(menu.Items(), "&File");
    l.SetShowRemoveObsolete(true);
    l.SetClearItemName("");
    l.SetRemoveObsoleteName("");
    l.SetFileMenu(file);
    l.AddItem("c:\\a.zip");
    EXPECT_EQ(Captions(menu.Items()), (std::vector<std::string>{"-", "&1 c:\\a.zip", "-", "&Clear MRU List",
                                                                "&Remove Obsolete", "&File"}));
}

// Load reads back the whole section: every value, in the saved entries'
// order, without applying Maximum.
TEST(RecentFiles, LoadKeepsEveryValueOfTheSectionAndCreatesTheKey) {
    testing::RegistryRedirect user(HKEY_CURRENT_USER, "RecentFilesLoad");
    ASSERT_TRUE(user.ok());
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> values;  // written in this order
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"more than Maximum", {{"F0", "a"}, {"F1", "b"}, {"F2", "c"}, {"F3", "d"}}, {"a", "b", "c", "d"}},
        {"out of order", {{"F2", "c"}, {"F10", "k"}, {"F0", "a"}, {"F1", "b"}}, {"a", "b", "c", "k"}},
        {"empty and doubled values", {{"F0", "a"}, {"F1", ""}, {"F2", "A"}}, {"a", "", "A"}},
        {"another name", {{"F0", "a"}, {"Other", "o"}}, {"a", "o"}},
        {"a name with '='", {{"x=y", "z"}}, {"y=z"}},
        {"nothing", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        {
            TRegistry r;
            r.DeleteKey("Software\\Quillmar\\Bramble");
            ASSERT_TRUE(r.OpenKey("Software\\Quillmar\\Bramble\\MRU Items", true));
            for (const auto& [name, value] : c.values) r.WriteString(name, value);
        }
        TMRUFileList l(nullptr);
        l.SetAutoSave(false);
        l.SetMaximum(2);
        l.SetAutoSaveName("\\Software\\Quillmar\\Bramble");
        l.Load();
        EXPECT_EQ(l.Items(), c.expected);
    }
    // A missing key is made.
    TRegistry r;
    r.DeleteKey("Software\\Quillmar\\Bramble");
    TMRUFileList l(nullptr);
    l.SetAutoSave(false);
    l.SetAutoSaveName("\\Software\\Quillmar\\Bramble");
    l.Load();
    EXPECT_TRUE(l.Items().empty());
    EXPECT_TRUE(r.KeyExists("Software\\Quillmar\\Bramble"));

    // The ini file: the section's lines, each cut after its first "=".
    const std::string ini = Join(ScratchDir("mru-load-ini"), "mru.ini");
    {
        HANDLE h = CreateFileA(ini.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        const char text[] = "[MRU Items]\r\nF1=b\r\nF0=a\r\nF2=c=d\r\nF3=\r\n";
        DWORD put = 0;
        WriteFile(h, text, sizeof text - 1, &put, nullptr);
        CloseHandle(h);
    }
    TMRUFileList fromIni(nullptr);
    fromIni.SetAutoSave(false);
    fromIni.SetUseRegistry(false);
    fromIni.SetMaximum(1);
    fromIni.SetAutoSaveName(ini);
    fromIni.Load();
    EXPECT_EQ(fromIni.Items(), (std::vector<std::string>{"a", "b", "c=d", ""}));
}

TEST(RecentFiles, SaveErasesTheSectionFirst) {
    testing::RegistryRedirect user(HKEY_CURRENT_USER, "RecentFilesSave");
    ASSERT_TRUE(user.ok());
    {
        TRegistry r;
        ASSERT_TRUE(r.OpenKey("Software\\Quillmar\\Bramble\\MRU Items", true));
        for (int i = 0; i < 6; ++i) r.WriteString("F" + std::to_string(i), "old");
        r.WriteString("Other", "old");
    }
    {
        TMRUFileList l(nullptr);
        l.SetAutoSaveName("\\Software\\Quillmar\\Bramble");
        l.Clear();
        for (const char* n : {"c", "b", "a"}) l.AddItem(n);
    }  // saved on the way out
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("Software\\Quillmar\\Bramble\\MRU Items", false));
    TStringList names;
    r.GetValueNames(names);
    EXPECT_EQ(names.Count(), 3);
    EXPECT_EQ(r.ReadString("F0"), "a");
    EXPECT_EQ(r.ReadString("F2"), "c");
    EXPECT_FALSE(r.ValueExists("F3"));
    EXPECT_FALSE(r.ValueExists("Other"));

    // The ini file keeps the same section.
    const std::string ini = Join(ScratchDir("mru-ini"), "mru.ini");
    TMRUFileList l(nullptr);
    l.SetAutoSave(false);
    l.SetUseRegistry(false);
    l.SetAutoSaveName(ini);
    for (const char* n : {"a", "b", "c"}) l.AddItem(n);
    l.Save();
    l.Clear();
    l.AddItem("x");
    l.Save();
    l.Clear();
    l.Load();
    EXPECT_EQ(l.Items(), std::vector<std::string>{"x"});
}

TEST(RecentFiles, RemoveObsoleteDropsMissingFilesOrWhatTheEventSays) {
    const std::string dir = ScratchDir("mru-obsolete");
    const std::string here = Join(dir, "here.zip");
    CloseHandle(CreateFileA(here.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    TMRUFileList l(nullptr);
    l.SetAutoSave(false);
    for (const std::string& n : {Join(dir, "gone.zip"), here, std::string("Q:\\no-drive\\x.zip")}) l.AddItem(n);
    l.RemoveObsolete();
    EXPECT_EQ(l.Items(), std::vector<std::string>{here});
    l.OnRemoveObsolete = [](TObject*, const std::string&, bool& Remove) { Remove = true; };
    l.RemoveObsolete();
    EXPECT_TRUE(l.Items().empty());
}

// Where the items go: the file menu's place, a submenu, the separator
// before them, and the popup menu.
TEST(RecentFiles, MenuLayoutFollowsSubmenuSeparatorAndPopup) {
    struct Case {
        const char* what;
        bool useSubmenu, insertSeparator, popup;
        std::vector<std::string> file;     // the File menu's captions
        std::vector<std::string> submenu;  // the submenu's, when there is one
    };
    const std::vector<std::string> entries = {"&1 b", "&2 a"};
    const Case cases[] = {
        {"plain", false, true, false, {"&Open", "-", "&1 b", "&2 a", "-", "&Clear MRU List", "E&xit"}, {}},
        {"no separator", false, false, false, {"&Open", "&1 b", "&2 a", "-", "&Clear MRU List", "E&xit"}, {}},
        {"submenu", true, true, false, {"&Open", "-", "Reopen", "E&xit"}, {"&1 b", "&2 a", "-", "&Clear MRU List"}},
        {"submenu, no separator", true, false, true, {"&Open", "Reopen", "E&xit"},
         {"&1 b", "&2 a", "-", "&Clear MRU List"}},
        {"popup too", false, true, true, {"&Open", "-", "&1 b", "&2 a", "-", "&Clear MRU List", "E&xit"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TMainMenu menu(nullptr);
        TMenuItem* file = NewMenuItem(menu.Items(), "&File");
        NewMenuItem(file, "&Open");
        TMenuItem* exit = NewMenuItem(file, "E&xit");
        TPopupMenu popup(nullptr);
        NewMenuItem(popup.Items(), "Other");
        TMRUFileList l(nullptr);
        l.SetAutoSave(false);
        l.SetShowRemoveObsolete(false);
        l.SetMaxCaptionWidth(0);
        l.SetUseSubmenu(c.useSubmenu);
        l.SetInsertSeparator(c.insertSeparator);
        // An item without sub-items: the entries go just above it.
        l.SetFileMenu(exit);
        if (c.popup) l.SetPopupMenu(&popup);
        l.AddItem("a");
        l.AddItem("b");
        EXPECT_EQ(Captions(file), c.file);
        if (c.useSubmenu) {
            EXPECT_EQ(Captions(file->Find("Reopen")), c.submenu);
        }
        // The popup gets the entries alone, at its top.
        const std::vector<std::string> popupCaptions =
            c.popup ? std::vector<std::string>{"&1 b", "&2 a", "Other"} : std::vector<std::string>{"Other"};
        EXPECT_EQ(Captions(popup.Items()), popupCaptions);
    }
}

// A list whose Clear is its own: the clear item must run it.
class CountingList : public TMRUFileList {
public:
    using TMRUFileList::TMRUFileList;
    void Clear() override {
        ++Clears;
        TMRUFileList::Clear();
    }
    int Clears = 0;
};

TEST(RecentFiles, ClicksOnEntriesAndCommandsAndTheItemEvents) {
    TMainMenu menu(nullptr);
    TMenuItem* file = NewMenuItem(menu.Items(), "&File");
    NewMenuItem(file, "&Open");
    CountingList l(nullptr);
    l.SetAutoSave(false);
    l.SetShowRemoveObsolete(false);
    l.SetMaxCaptionWidth(0);
    int created = 0, destroyed = 0;
    std::vector<int> createdIndexes;
    l.OnCreateMRUItem = [&](TObject*, TMRUMenuItem* Item) {
        ++created;
        createdIndexes.push_back(Item->MRUIndex());
    };
    l.OnDestroyMRUItem = [&](TObject*, TMRUMenuItem*) { ++destroyed; };
    std::vector<std::string> clicked;
    l.OnMRUItemClick = [&](TObject*, const std::string& f) { clicked.push_back(f); };
    l.SetFileMenu(file);
    l.AddItem("a");
    l.AddItem("b");
    // The separator, two entries, the separator and the clear item; the
    // first rebuild's four went again.
    EXPECT_EQ(createdIndexes, (std::vector<int>{0, 1, 0, 0, 0, 1, 2, 0, 0}));
    EXPECT_EQ(destroyed, 4);

    struct Click {
        bool removeOnClick;
        std::vector<std::string> left;
    };
    for (const Click& c : {Click{false, {"b", "a"}}, Click{true, {"a"}}}) {
        SCOPED_TRACE(c.removeOnClick);
        l.SetRemoveOnClick(c.removeOnClick);
        clicked.clear();
        file->Items(2)->Click();  // "&1 b"
        test::Pump();
        EXPECT_EQ(clicked, std::vector<std::string>{"b"});
        EXPECT_EQ(l.Items(), c.left);
        EXPECT_EQ(Captions(file).size(), c.left.size() + 4);
    }

    // The clear item runs the list's Clear, and the items go afterwards.
    const int before = created - destroyed;
    EXPECT_GT(before, 0);
    file->Find("&Clear MRU List")->Click();
    test::Pump();
    EXPECT_EQ(l.Clears, 1);
    EXPECT_TRUE(l.Items().empty());
    EXPECT_EQ(Captions(file), std::vector<std::string>{"&Open"});
    EXPECT_EQ(created, destroyed);
}

}  // namespace
}  // namespace bramble
