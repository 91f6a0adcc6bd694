// bmshell.dll as the shell drives it: loaded by path, its class made
// through DllGetClassObject and, once registered, through CoCreateInstance;
// initialised with a file drop; its items, identifiers, bitmaps and help
// texts read back from the menu; each item invoked against a stand-in
// bramble.exe that records its command line.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "app/registry_redirect.h"
#include "app/shellreg/clsid.h"
#include "engine/core/os.h"
#include "shell_support.h"
#include "support/testenv.h"
#include "ui/registry.h"

namespace bramble {
namespace {

using test::BoxWatcher;
using test::DropData;
using test::ShellExt;
using testing::RegistryRedirect;

// A COM pointer released on every way out.
template <typename T>
struct Ptr {
    T* p = nullptr;
    ~Ptr() {
        if (p) p->Release();
    }
    T* operator->() const { return p; }
    void** out() { return reinterpret_cast<void**>(&p); }
};

// A handler made through the library's factory, initialised with a drop
// of the files.
struct Handler {
    Ptr<IContextMenu> menu;
    HRESULT init = E_UNEXPECTED;
    explicit Handler(const std::vector<std::string>& files, bool wide = false) {
        Ptr<IClassFactory> factory;
        if (FAILED(ShellExt().GetClassObject(ShellExtClassId, IID_IClassFactory, factory.out()))) return;
        if (FAILED(factory->CreateInstance(nullptr, IID_IContextMenu, menu.out()))) return;
        Ptr<IShellExtInit> init_face;
        if (FAILED(menu->QueryInterface(IID_IShellExtInit, init_face.out()))) return;
        DropData drop(files, wide);
        init = init_face->Initialize(nullptr, &drop, nullptr);
    }
};

struct MenuItem {
    std::string text;
    UINT id;
    HBITMAP checked, unchecked;
};

std::vector<MenuItem> Items(HMENU menu) {
    std::vector<MenuItem> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[300] = {};
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_CHECKMARKS | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = sizeof text;
        GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info);
        items.push_back({text, info.wID, info.hbmpChecked, info.hbmpUnchecked});
    }
    return items;
}

// A menu holding Count items of the shell's own before ours go in.
HMENU ShellMenu(int Count) {
    HMENU menu = CreatePopupMenu();
    for (int i = 0; i < Count; ++i)
        AppendMenuA(menu, MF_STRING, 9000 + i, ("Shell item " + std::to_string(i)).c_str());
    return menu;
}

TEST(ShellExtLibrary, ServesOneClassAndStaysWhileAnythingOfItIsAlive) {
    const auto& lib = ShellExt();
    ASSERT_TRUE(lib.Module) << lib.Path;
    ASSERT_TRUE(lib.GetClassObject && lib.CanUnloadNow && lib.RegisterServer && lib.UnregisterServer);
    EXPECT_EQ(lib.CanUnloadNow(), S_OK);

    // Another class: refused, and the out pointer cleared.
    void* out = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(lib.GetClassObject(IID_IUnknown, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(lib.GetClassObject(ShellExtClassId, IID_IContextMenu, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);

    {
        Ptr<IClassFactory> factory;
        ASSERT_EQ(lib.GetClassObject(ShellExtClassId, IID_IClassFactory, factory.out()), S_OK);
        EXPECT_EQ(lib.CanUnloadNow(), S_FALSE);  // a reference to the factory is held
        Ptr<IUnknown> aggregate;
        EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory.p), IID_IUnknown, aggregate.out()),
                  CLASS_E_NOAGGREGATION);
        Ptr<IUnknown> odd;
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, odd.out()), E_NOINTERFACE);
        EXPECT_EQ(odd.p, nullptr);

        factory->LockServer(TRUE);
        factory->Release();
        factory.p = nullptr;
        EXPECT_EQ(lib.CanUnloadNow(), S_FALSE);  // the lock holds it
        ASSERT_EQ(lib.GetClassObject(ShellExtClassId, IID_IClassFactory, factory.out()), S_OK);
        factory->LockServer(FALSE);

        // Both faces of a handler are one object with one count.
        Ptr<IContextMenu> menu;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IContextMenu, menu.out()), S_OK);
        Ptr<IShellExtInit> init;
        ASSERT_EQ(menu->QueryInterface(IID_IShellExtInit, init.out()), S_OK);
        Ptr<IUnknown> a, b;
        menu->QueryInterface(IID_IUnknown, a.out());
        init->QueryInterface(IID_IUnknown, b.out());
        EXPECT_EQ(a.p, b.p);
        factory->Release();
        factory.p = nullptr;
        EXPECT_EQ(lib.CanUnloadNow(), S_FALSE);  // the handler lives
    }
    EXPECT_EQ(lib.CanUnloadNow(), S_OK);
}

TEST(ShellExtInitialize, TakesExactlyOneFileAndReleasesTheDrop) {
    Ptr<IClassFactory> factory;
    ASSERT_EQ(ShellExt().GetClassObject(ShellExtClassId, IID_IClassFactory, factory.out()), S_OK);
    struct Case {
        const char* what;
        std::vector<std::string> files;
        bool wide, offer;
        HRESULT result;
        UINT items;  // what QueryContextMenu inserts afterwards
    };
    const Case cases[] = {
        {"one ANSI name", {"C:\\data\\x.rar"}, false, true, S_OK, 2},
        {"one wide name", {"C:\\data\\x.zip"}, true, true, S_OK, 3},
        {"two files", {"C:\\a.zip", "C:\\b.zip"}, false, true, E_FAIL, 0},
        {"no file", {}, false, true, E_FAIL, 0},
        {"no file drop offered", {"C:\\a.zip"}, false, false, DV_E_FORMATETC, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Ptr<IShellExtInit> init;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IShellExtInit, init.out()), S_OK);
        // A handler that held a file before forgets it on a failed call.
        DropData earlier({"C:\\before.zip"});
        ASSERT_EQ(init->Initialize(nullptr, &earlier, nullptr), S_OK);

        DropData drop(c.files, c.wide, c.offer);
        EXPECT_EQ(init->Initialize(nullptr, &drop, nullptr), c.result);
        EXPECT_EQ(drop.Released(), drop.Handed());
        Ptr<IContextMenu> menu;
        ASSERT_EQ(init->QueryInterface(IID_IContextMenu, menu.out()), S_OK);
        HMENU m = CreatePopupMenu();
        EXPECT_EQ(HRESULT_CODE(menu->QueryContextMenu(m, 0, 100, 200, CMF_NORMAL)), static_cast<int>(c.items));
        EXPECT_EQ(GetMenuItemCount(m), static_cast<int>(c.items));
        DestroyMenu(m);
    }
    Ptr<IShellExtInit> init;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IShellExtInit, init.out()), S_OK);
    EXPECT_EQ(init->Initialize(nullptr, nullptr, nullptr), E_INVALIDARG);
}

TEST(ShellExtMenu, ItemsTextsIdentifiersAndBitmapsFollowTheFileKind) {
    struct Case {
        const char* file;
        std::vector<std::string> texts;
    };
    const Case cases[] = {
        {"C:\\Backup\\Backup.ZIP", {"Fast Extract Backup.ZIP", "Extract to...", "Create Self-Extracting (EXE)"}},
        {"C:\\x.tar.gz", {"Fast Extract x.tar.gz", "Extract to..."}},
        {"C:\\x.Z", {"Fast Extract x.Z", "Extract to..."}},
        {"C:\\x.lzh", {"Fast Extract x.lzh", "Extract to..."}},
        {"D:\\a b\\x.rar", {"Fast Extract x.rar", "Extract to..."}},
        {"C:\\x.zipx", {"Add to x.zip"}},
        {"C:\\x", {"Add to x.zip"}},
        {"C:\\docs\\report.final.doc", {"Add to report.zip"}},
        {"C:\\home\\.profile", {"Add to .zip"}},
        {"C:\\my.rar\\README", {"Add to README.zip"}},  // a dot in a folder is no extension
        // A menu shows "&" doubled as itself.
        {"C:\\Tom & Jerry.arj", {"Fast Extract Tom && Jerry.arj", "Extract to..."}},
        {"C:\\R&D.txt", {"Add to R&&D.zip"}},
    };
    HBITMAP shared = nullptr;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Handler h({c.file});
        ASSERT_EQ(h.init, S_OK);
        HMENU menu = ShellMenu(7);
        const HRESULT hr = h.menu->QueryContextMenu(menu, 5, 300, 400, CMF_NORMAL);
        EXPECT_TRUE(SUCCEEDED(hr));
        EXPECT_EQ(HRESULT_CODE(hr), static_cast<int>(c.texts.size()));
        const std::vector<MenuItem> items = Items(menu);
        ASSERT_EQ(items.size(), 7 + c.texts.size());
        for (size_t i = 0; i < c.texts.size(); ++i) {
            const MenuItem& it = items[5 + i];
            EXPECT_EQ(it.text, c.texts[i]);
            EXPECT_EQ(it.id, 300 + i);
            ASSERT_NE(it.checked, nullptr);
            EXPECT_EQ(it.checked, it.unchecked);
            // One bitmap for every item of every handler.
            if (!shared) shared = it.checked;
            EXPECT_EQ(it.checked, shared);
        }
        // The shell's own items keep their places around ours.
        EXPECT_EQ(items[4].text, "Shell item 4");
        EXPECT_EQ(items[5 + c.texts.size()].text, "Shell item 5");
        DestroyMenu(menu);
    }
    ASSERT_NE(shared, nullptr);
    BITMAP bm{};
    ASSERT_EQ(GetObjectA(shared, sizeof bm, &bm), static_cast<int>(sizeof bm));
    EXPECT_EQ(bm.bmWidth, 14);
    EXPECT_EQ(bm.bmHeight, 14);
}

TEST(ShellExtMenu, FlagsAndTheIdentifierRangeDecideWhatGoesIn) {
    struct Case {
        UINT flags, first, last;
        int inserted;
    };
    const Case cases[] = {
        {CMF_NORMAL, 10, 100, 3},
        {CMF_EXPLORE, 10, 100, 3},
        {CMF_DEFAULTONLY, 10, 100, 0},
        {CMF_VERBSONLY, 10, 100, 0},
        {CMF_NOVERBS, 10, 100, 0},
        {CMF_DEFAULTONLY | CMF_EXPLORE, 10, 100, 3},
        {CMF_NORMAL | CMF_EXTENDEDVERBS, 10, 100, 3},  // only the low four bits count
        // Identifiers past the shell's range belong to other handlers.
        {CMF_NORMAL, 10, 11, 2},
        {CMF_NORMAL, 10, 10, 1},
        {CMF_NORMAL, 10, 9, 0},
        {CMF_NORMAL, 0xFFFFFFFE, 0xFFFFFFFF, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "flags " << c.flags << " ids " << c.first << ".." << c.last);
        Handler h({"C:\\x.zip"});
        HMENU menu = CreatePopupMenu();
        const HRESULT hr = h.menu->QueryContextMenu(menu, 0, c.first, c.last, c.flags);
        EXPECT_EQ(hr, MAKE_HRESULT(SEVERITY_SUCCESS, 0, c.inserted));
        EXPECT_EQ(GetMenuItemCount(menu), c.inserted);
        DestroyMenu(menu);
    }
}

TEST(ShellExtMenu, HelpTextsFollowTheOffsetAndOnlyTheAnsiRequestIsAnswered) {
    struct Case {
        const char* file;
        UINT_PTR offset;
        const char* text;  // null: no such offset
    };
    const Case cases[] = {
        {"C:\\x.zip", 0, "Fast Extract the selected archive"},
        {"C:\\x.zip", 1, "Extract all files in the archive"},
        {"C:\\x.zip", 2, "Make Self-Extracting archive (.EXE)"},
        {"C:\\x.zip", 3, nullptr},
        {"C:\\x.rar", 1, "Extract all files in the archive"},
        // Offsets past what the file was offered still have their text.
        {"C:\\x.rar", 2, "Make Self-Extracting archive (.EXE)"},
        {"C:\\notes.txt", 0, "Fast add the selected file to archive"},
        {"C:\\notes.txt", 1, "Extract all files in the archive"},
        {"C:\\notes.txt", 2, "Make Self-Extracting archive (.EXE)"},
        {"C:\\notes.txt", 0x10000, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.file << " offset " << c.offset);
        Handler h({c.file});
        char ansi[80];
        std::memset(ansi, 'Z', sizeof ansi);
        const HRESULT a = h.menu->GetCommandString(c.offset, GCS_HELPTEXTA, nullptr, ansi, sizeof ansi);
        if (!c.text) {
            EXPECT_EQ(a, E_INVALIDARG);
            EXPECT_EQ(ansi[0], 'Z');
            continue;
        }
        EXPECT_EQ(a, S_OK);
        EXPECT_STREQ(ansi, c.text);

        // A short buffer gets what fits and the terminator, nothing past it.
        std::memset(ansi, 'Z', sizeof ansi);
        EXPECT_EQ(h.menu->GetCommandString(c.offset, GCS_HELPTEXTA, nullptr, ansi, 5), S_OK);
        EXPECT_EQ(std::string(ansi, 6), std::string(c.text, 4) + '\0' + 'Z');
    }

    // Every other request is acknowledged and writes nothing, whatever the offset.
    const UINT others[] = {GCS_HELPTEXTW, GCS_VERBA, GCS_VERBW, GCS_VALIDATEA, GCS_VALIDATEW, GCS_VERBICONW};
    Handler h({"C:\\x.zip"});
    for (UINT type : others) {
        for (UINT_PTR offset : {UINT_PTR(0), UINT_PTR(2), UINT_PTR(7)}) {
            SCOPED_TRACE(::testing::Message() << "type " << type << " offset " << offset);
            char buf[80];
            std::memset(buf, 'Z', sizeof buf);
            EXPECT_EQ(h.menu->GetCommandString(offset, type, nullptr, buf, 40), S_OK);
            EXPECT_EQ(std::string(buf, sizeof buf), std::string(sizeof buf, 'Z'));
        }
    }
    // A handler with no file answers by the offset too.
    Ptr<IClassFactory> factory;
    ASSERT_EQ(ShellExt().GetClassObject(ShellExtClassId, IID_IClassFactory, factory.out()), S_OK);
    Ptr<IContextMenu> empty;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IContextMenu, empty.out()), S_OK);
    char buf[64];
    EXPECT_EQ(empty->GetCommandString(1, GCS_HELPTEXTA, nullptr, buf, sizeof buf), S_OK);
    EXPECT_STREQ(buf, "Extract all files in the archive");
}

// ---- invoking ----------------------------------------------------------------------

class ShellExtInvoke : public ::testing::Test {
protected:
    RegistryRedirect hkcu{HKEY_CURRENT_USER, "User"};
    std::string scratch, root, log;

    void SetUp() override {
        ASSERT_TRUE(hkcu.ok());
        scratch = test::ScratchDir("invoke");
        // Blanks in the program's folder and in the archive's.
        root = test::Join(scratch, "Program Files");
        os::DirCreate(root);
        root = test::Join(root, "Bramble Two");
        os::DirCreate(root);
        ASSERT_TRUE(CopyFileA(test::WindowsPath(FAKE_BRAMBLE_DEFAULT).c_str(),
                              test::Join(root, "bramble.exe").c_str(), FALSE));
        os::DirCreate(test::Join(scratch, "a b"));
        log = test::Join(scratch, "started.txt");
        SetEnvironmentVariableA("BRAMBLE_FAKE_LOG", log.c_str());
    }
    void TearDown() override { SetEnvironmentVariableA("BRAMBLE_FAKE_LOG", nullptr); }

    static void SetRootDir(const std::string& dir) {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("SOFTWARE\\Quillmar\\Bramble", true));
        reg.WriteString("RootDir", dir);
    }
    static HRESULT Invoke(IContextMenu* menu, LPCSTR verb, HWND owner = nullptr, DWORD mask = 0) {
        CMINVOKECOMMANDINFO info{};
        info.cbSize = sizeof info;
        info.fMask = mask;
        info.hwnd = owner;
        info.lpVerb = verb;
        info.nShow = SW_SHOWNORMAL;
        return menu->InvokeCommand(&info);
    }
    static LPCSTR Offset(UINT n) { return MAKEINTRESOURCEA(n); }
    // The command line the stand-in was started with; empty when it was
    // not started within a few seconds.
    std::string Started() {
        for (int i = 0; i < 200; ++i) {
            if (os::FileExists(log)) {
                std::string line = test::ReadAll(log);
                DeleteFileA(log.c_str());
                while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
                return line;
            }
            Sleep(50);
        }
        return {};
    }
    std::string Expected(const char* sw, const std::string& file) {
        return "\"" + root + "\\bramble.exe\" " + sw + " \"" + file + "\"";
    }
};

TEST_F(ShellExtInvoke, EachItemStartsTheProgramWithItsSwitchAndTheQuotedPath) {
    SetRootDir(root);
    struct Case {
        const char* name;
        UINT offset;
        const char* sw;
    };
    const Case cases[] = {
        {"x.rar", 0, "/x"},           {"x.rar", 1, "/e"},
        {"Backup.ZIP", 0, "/x"},      {"Backup.ZIP", 1, "/e"},
        {"Backup.ZIP", 2, "/s"},      {"report.final.doc", 0, "/a"},
        // Offsets are taken as they come, whatever the file was offered.
        {"x.rar", 2, "/s"},           {"report.final.doc", 1, "/e"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.name << " offset " << c.offset);
        const std::string file = test::Join(test::Join(scratch, "a b"), c.name);
        test::WriteAll(file, "x");
        Handler h({file});
        ASSERT_EQ(h.init, S_OK);
        EXPECT_EQ(Invoke(h.menu.p, Offset(c.offset)), S_OK);
        EXPECT_EQ(Started(), Expected(c.sw, file));
    }
    // RootDir stored without its terminator: the folder, nothing past it.
    const std::string file = test::Join(test::Join(scratch, "a b"), "x.rar");
    Handler h({file});
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Quillmar\\Bramble", 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    RegSetValueExA(key, "RootDir", 0, REG_SZ, reinterpret_cast<const BYTE*>(root.data()), static_cast<DWORD>(root.size()));
    RegCloseKey(key);
    EXPECT_EQ(Invoke(h.menu.p, Offset(0)), S_OK);
    EXPECT_EQ(Started(), Expected("/x", file));
}

TEST_F(ShellExtInvoke, RefusesOffsetsAboveTwoAndVerbNamesAndReportsAFailedStart) {
    const std::string rar = test::Join(test::Join(scratch, "a b"), "x.rar");
    test::WriteAll(rar, "x");
    SetRootDir(root);
    {
        Handler h({rar});
        EXPECT_EQ(Invoke(h.menu.p, "open"), E_FAIL);
        EXPECT_EQ(Invoke(h.menu.p, Offset(3)), E_INVALIDARG);
        EXPECT_EQ(Invoke(h.menu.p, Offset(0xFFFF)), E_INVALIDARG);
        EXPECT_EQ(h.menu->InvokeCommand(nullptr), E_INVALIDARG);
        EXPECT_FALSE(os::FileExists(log));
    }

    HWND owner = CreateWindowA("STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    struct Case {
        const char* what;
        std::string rootDir;  // "-": no value at all, "#": a number
    };
    const Case cases[] = {
        {"no RootDir", "-"},
        {"a number as RootDir", "#"},
        {"empty RootDir", ""},
        {"no program in RootDir", scratch},
        {"a quote in RootDir", root + "\" /evil \""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("SOFTWARE\\Quillmar\\Bramble", true));
        if (c.rootDir == "-")
            reg.DeleteValue("RootDir");
        else if (c.rootDir == "#")
            reg.WriteInteger("RootDir", 42);
        else
            reg.WriteString("RootDir", c.rootDir);
        Handler h({rar});
        {
            BoxWatcher box;
            EXPECT_EQ(Invoke(h.menu.p, Offset(1), owner), S_OK);
            ASSERT_TRUE(box.Closed());
            EXPECT_EQ(box.Caption, "Error");
            EXPECT_EQ(box.Text, "Error executing Bramble.");
            EXPECT_EQ(box.Owner, owner);
            EXPECT_EQ(box.Icon, LoadIconA(nullptr, IDI_ERROR));
        }
        {
            // The box is the report even when the caller asked for no windows.
            BoxWatcher box;
            EXPECT_EQ(Invoke(h.menu.p, Offset(1), owner, CMIC_MASK_FLAG_NO_UI), S_OK);
            ASSERT_TRUE(box.Closed());
            EXPECT_EQ(box.Text, "Error executing Bramble.");
        }
        EXPECT_FALSE(os::FileExists(log));
    }
    DestroyWindow(owner);
}

TEST_F(ShellExtInvoke, NamesOutsideTheAnsiCodePageArriveInTheirShortForm) {
    SetRootDir(root);
    const std::wstring name = std::wstring(scratch.begin(), scratch.end()) + L"\\\x0416\x0443\x043A.zip";
    HANDLE f = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    CloseHandle(f);
    BOOL lossy = FALSE;
    char probe[MAX_PATH];
    WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, probe, sizeof probe, nullptr, &lossy);
    if (!lossy) GTEST_SKIP() << "this code page holds the name";

    Ptr<IClassFactory> factory;
    ASSERT_EQ(ShellExt().GetClassObject(ShellExtClassId, IID_IClassFactory, factory.out()), S_OK);
    Ptr<IShellExtInit> init;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IShellExtInit, init.out()), S_OK);
    DropData drop(std::vector<std::wstring>{name});
    ASSERT_EQ(init->Initialize(nullptr, &drop, nullptr), S_OK);
    Ptr<IContextMenu> menu;
    ASSERT_EQ(init->QueryInterface(IID_IContextMenu, menu.out()), S_OK);
    EXPECT_EQ(Invoke(menu.p, Offset(0)), S_OK);
    const std::string line = Started();
    const std::string prefix = "\"" + root + "\\bramble.exe\" /x \"";
    ASSERT_EQ(line.substr(0, prefix.size()), prefix);
    const std::string passed = line.substr(prefix.size(), line.size() - prefix.size() - 1);
    EXPECT_EQ(passed.find('?'), std::string::npos) << passed;
    EXPECT_TRUE(os::FileExists(passed)) << passed;
}

// ---- registration ---------------------------------------------------------------

std::string ReadValue(HKEY root, const std::string& key, const std::string& name = "") {
    TRegistry reg(KEY_READ);
    reg.SetRootKey(root);
    if (!reg.OpenKeyReadOnly(key) || !reg.ValueExists(name)) return "<missing>";
    return reg.ReadString(name);
}

bool KeyExists(HKEY root, const std::string& key) {
    HKEY h = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

const char* const kApproved = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

TEST(ShellExtRegistration, WritesItsKeysAndRemovesOnlyItsOwn) {
    RegistryRedirect hkcr{HKEY_CLASSES_ROOT, "Classes"};
    RegistryRedirect hklm{HKEY_LOCAL_MACHINE, "Machine"};
    ASSERT_TRUE(hkcr.ok() && hklm.ok());
    const std::string cls = std::string("CLSID\\") + ShellExtClassIdText;

    ASSERT_EQ(ShellExt().RegisterServer(), S_OK);
    EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, cls), "Bramble ContextMenu");
    EXPECT_EQ(lstrcmpiA(ReadValue(HKEY_CLASSES_ROOT, cls + "\\InprocServer32").c_str(), ShellExt().Path.c_str()), 0);
    EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, cls + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, "Bramble\\shellex"), "");
    EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, "Bramble\\shellex\\ContextMenuHandlers"), "");
    EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, "Bramble\\shellex\\ContextMenuHandlers\\ContMenu"), ShellExtClassIdText);
    EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers\\Bramble"), ShellExtClassIdText);
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kApproved, ShellExtClassIdText), "Bramble ContextMenu");

    ASSERT_EQ(ShellExt().UnregisterServer(), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, cls));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "Bramble\\shellex"));
    // The program removes these when it unregisters the extension.
    EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers\\Bramble"), ShellExtClassIdText);
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kApproved, ShellExtClassIdText), "Bramble ContextMenu");
    // Twice is harmless.
    EXPECT_EQ(ShellExt().UnregisterServer(), S_OK);
}

TEST(ShellExtRegistration, ARegisteredHandlerIsMadeByCoCreateInstance) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    ASSERT_EQ(ShellExt().RegisterServer(), S_OK);
    {
        Ptr<IContextMenu> menu;
        ASSERT_EQ(CoCreateInstance(ShellExtClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IContextMenu, menu.out()),
                  S_OK);
        Ptr<IShellExtInit> init;
        ASSERT_EQ(menu->QueryInterface(IID_IShellExtInit, init.out()), S_OK);
        DropData drop({"C:\\x.zip"});
        ASSERT_EQ(init->Initialize(nullptr, &drop, nullptr), S_OK);
        HMENU m = CreatePopupMenu();
        EXPECT_EQ(HRESULT_CODE(menu->QueryContextMenu(m, 0, 1, 10, CMF_NORMAL)), 3);
        DestroyMenu(m);
    }
    EXPECT_EQ(ShellExt().UnregisterServer(), S_OK);
    Ptr<IContextMenu> gone;
    EXPECT_NE(CoCreateInstance(ShellExtClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IContextMenu, gone.out()), S_OK);
    // What the library leaves for the program to remove, removed here.
    RegDeleteKeyA(HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers\\Bramble");
    HKEY approved = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kApproved, 0, KEY_SET_VALUE, &approved) == ERROR_SUCCESS) {
        RegDeleteValueA(approved, ShellExtClassIdText);
        RegCloseKey(approved);
    }
    CoUninitialize();
}

// The system's registration program run on the library, told by Wine which
// version of Windows it runs on.
bool RegisterAs(const std::string& Version) {
    const char* app = "Software\\Wine\\AppDefaults\\regsvr32.exe";
    {
        TRegistry reg;
        if (!reg.OpenKey(app, true)) return false;
        reg.WriteString("Version", Version);
    }
    std::string line = "regsvr32.exe /s \"" + ShellExt().Path + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const bool ran = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    if (ran) {
        WaitForSingleObject(pi.hProcess, INFINITE);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    RegDeleteKeyA(HKEY_CURRENT_USER, app);
    return ran;
}

// Only the NT shells keep a list of approved extensions.
TEST(ShellExtRegistration, TheApprovedListIsWrittenOnTheNtFamilyOnly) {
    const std::string cls = std::string("CLSID\\") + ShellExtClassIdText;
    auto forget = [] {
        TRegistry reg;
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        if (reg.OpenKey(kApproved, false)) reg.DeleteValue(ShellExtClassIdText);
    };
    for (auto [version, approved] : {std::pair{"win98", false}, {"winme", false}, {"winxp", true}}) {
        SCOPED_TRACE(version);
        forget();
        ASSERT_TRUE(RegisterAs(version));
        EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, cls), "Bramble ContextMenu");
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kApproved, ShellExtClassIdText),
                  approved ? "Bramble ContextMenu" : "<missing>");
        EXPECT_EQ(ShellExt().UnregisterServer(), S_OK);
        RegDeleteKeyA(HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers\\Bramble");
        forget();
    }
}

}  // namespace
}  // namespace bramble
