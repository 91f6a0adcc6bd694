// A self-extracting program made by the builder with our own zipsfx.bin,
// run under Wine as a user runs it: it offers the current folder, extracts
// there or into a folder typed in (made when missing), asks before
// replacing a file, and what it writes equals what unzip extracts from the
// same archive (the tree the archive was made from).
#ifdef _WIN32

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/forms/sfxbuilder.h"
#include "engine/core/os.h"
#include "support/testenv.h"

namespace bramble {
namespace {

using test::Join;
using test::ReadAll;

std::string WindowsPath(std::string p) {
    if (!p.empty() && p[0] == '/') {
        for (char& c : p)
            if (c == '/') c = '\\';
        p = "Z:" + p;
    }
    return p;
}

// Every file below Dir by its path relative to it, with its bytes.
void Tree(const std::string& Dir, const std::string& Prefix, std::map<std::string, std::string>& Out) {
    os::Finder finder;
    os::FindData fd;
    for (int rc = finder.First(Join(Dir, "*"), fd); rc == 0; rc = finder.Next(fd)) {
        if (fd.name == "." || fd.name == "..") continue;
        if (fd.attributes & os::faDirectory)
            Tree(Join(Dir, fd.name), Prefix + fd.name + "/", Out);
        else
            Out[Prefix + fd.name] = ReadAll(Join(Dir, fd.name));
    }
}
std::map<std::string, std::string> Tree(const std::string& Dir) {
    std::map<std::string, std::string> out;
    Tree(Dir, "", out);
    return out;
}

struct Look {
    DWORD pid;
    bool box;
    HWND found = nullptr;
};

std::string ClassOf(HWND w) {
    char cls[64] = {};
    GetClassNameA(w, cls, sizeof cls);
    return cls;
}
// The window layer names its classes "Bramble.<type>:<system class>".
bool ClassIs(HWND w, const std::string& System) {
    std::string cls = ClassOf(w);
    cls = cls.substr(cls.find_last_of(':') + 1);
    return lstrcmpiA(cls.c_str(), System.c_str()) == 0;
}
std::string TextOf(HWND w) {
    char text[2048] = {};
    SendMessageA(w, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

struct Want {
    std::string cls, text;
    HWND hit = nullptr;
};

BOOL CALLBACK MatchChild(HWND c, LPARAM p) {
    auto* w = reinterpret_cast<Want*>(p);
    if (!ClassIs(c, w->cls) || (!w->text.empty() && TextOf(c) != w->text)) return TRUE;
    w->hit = c;
    return FALSE;
}

// A child of the window by class and (when given) text.
HWND Child(HWND Parent, const std::string& Class, const std::string& Text = "") {
    Want want{Class, Text};
    EnumChildWindows(Parent, MatchChild, reinterpret_cast<LPARAM>(&want));
    return want.hit;
}

BOOL CALLBACK MatchTopLevel(HWND w, LPARAM p) {
    auto* l = reinterpret_cast<Look*>(p);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid != l->pid || !IsWindowVisible(w) || !IsWindowEnabled(w)) return TRUE;
    const bool isBox = ClassOf(w) == "#32770";
    if (isBox != l->box || (!isBox && !Child(w, "Edit"))) return TRUE;
    l->found = w;
    return FALSE;
}

BOOL CALLBACK JoinStatics(HWND c, LPARAM p) {
    if (ClassOf(c) == "Static") *reinterpret_cast<std::string*>(p) += TextOf(c);
    return TRUE;
}

// The self-extractor as a process, and its windows.
class Program {
public:
    Program(const std::string& Exe, const std::string& Folder) {
        STARTUPINFOA si{};
        si.cb = sizeof si;
        std::string line = "\"" + Exe + "\"";
        if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, Folder.c_str(), &si, &pi_))
            ADD_FAILURE() << "cannot start " << Exe;
    }
    ~Program() {
        if (!pi_.hProcess) return;
        if (WaitForSingleObject(pi_.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(pi_.hProcess, 99);
        CloseHandle(pi_.hThread);
        CloseHandle(pi_.hProcess);
    }

    // The folder question (Box false) or a message box (Box true) once it
    // shows; null when none shows within a minute or the program ended.
    HWND Wait(bool Box) {
        for (int i = 0; i < 1200; ++i) {
            Look look{pi_.dwProcessId, Box};
            EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&look));
            if (look.found) return look.found;
            if (WaitForSingleObject(pi_.hProcess, 50) == WAIT_OBJECT_0) return nullptr;
        }
        return nullptr;
    }
    bool Ended() { return WaitForSingleObject(pi_.hProcess, 60000) == WAIT_OBJECT_0; }

private:
    PROCESS_INFORMATION pi_{};
};

// The texts of a message box, joined.
std::string BoxText(HWND Box) {
    std::string all;
    EnumChildWindows(Box, JoinStatics, reinterpret_cast<LPARAM>(&all));
    return all;
}

void Click(HWND Form, const std::string& Caption) {
    HWND button = Child(Form, "Button", Caption);
    ASSERT_NE(button, nullptr) << Caption;
    PostMessageA(Form, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

// Runs the program in Folder: Typed (when not empty) replaces the folder
// it offers, which must be Folder; each overwrite question is answered by
// Answer from the file it names. The final box's text.
std::string RunOnce(const std::string& Exe, const std::string& Folder, const std::string& Typed,
                    const std::function<int(const std::string&)>& Answer, std::vector<std::string>* Asked = nullptr) {
    Program p(Exe, Folder);
    HWND form = p.Wait(false);
    if (!form) {
        ADD_FAILURE() << "no folder question";
        return {};
    }
    HWND edit = Child(form, "Edit");
    EXPECT_EQ(TextOf(edit), Folder);
    if (!Typed.empty()) SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Typed.c_str()));
    Click(form, "E&xtract");
    std::string last;
    for (;;) {
        HWND box = p.Wait(true);
        if (!box) {
            ADD_FAILURE() << "no closing message";
            return {};
        }
        char caption[256] = {};
        GetWindowTextA(box, caption, sizeof caption);
        const std::string text = BoxText(box);
        if (std::string(caption) == "Confirm") {
            if (Asked) Asked->push_back(text);
            PostMessageA(box, WM_COMMAND, Answer(text), 0);
            // The next window shows once this one is gone.
            for (int i = 0; i < 200 && IsWindow(box); ++i) Sleep(25);
            continue;
        }
        last = text;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        break;
    }
    EXPECT_TRUE(p.Ended());
    return last;
}

TEST(SelfExtractor, ExtractsItsFilesWhereTheUserSaysAsUnzipDoes) {
    const std::string dir = test::ScratchDir("sfxrun");
    const std::string home = Join(dir, "My Files");
    os::DirCreate(home);
    const std::string exe = Join(home, "plain.exe");
    const TSfxResult made = MakeSelfExtractor(WindowsPath(ZIPSFX_DEFAULT), test::Join(test::FixturesDir(), "plain.zip"), exe);
    ASSERT_TRUE(made.Ok()) << made.Message(exe);
    // plain.zip is zip -r of this tree: what unzip extracts from it.
    const auto expected = Tree(Join(test::FixturesDir(), "in"));
    ASSERT_EQ(expected.size(), 4u);
    auto never = [](const std::string& question) {
        ADD_FAILURE() << "asked: " << question;
        return IDCANCEL;
    };

    // The current folder, as offered.
    const std::string here = Join(dir, "run here");
    os::DirCreate(here);
    std::string said = RunOnce(exe, here, "", never);
    EXPECT_EQ(said, "4 files extracted to " + here + ".");
    EXPECT_TRUE(Tree(here) == expected);

    // A folder typed in, made with its parents.
    const std::string typed = Join(Join(dir, "new place"), "deep");
    said = RunOnce(exe, here, typed, never);
    EXPECT_EQ(said, "4 files extracted to " + typed + ".");
    EXPECT_TRUE(Tree(typed) == expected);

    // Files that exist: kept or replaced as answered, one question each.
    const std::string about = Join(here, "about.txt"), hello = Join(here, "hello.txt");
    test::WriteAll(about, "mine");
    test::WriteAll(hello, "mine too");
    std::vector<std::string> asked;
    said = RunOnce(
        exe, here, "",
        [](const std::string& q) { return q.find("about.txt") != std::string::npos ? IDNO : IDYES; }, &asked);
    EXPECT_EQ(asked.size(), 4u);
    EXPECT_EQ(ReadAll(about), "mine");
    EXPECT_EQ(ReadAll(hello), expected.at("hello.txt"));
    EXPECT_EQ(said, "3 files extracted to " + here + ".");

    // Cancel at the first question stops the run there.
    asked.clear();
    said = RunOnce(exe, here, "", [](const std::string&) { return IDCANCEL; }, &asked);
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_NE(said.find("cancelled"), std::string::npos) << said;
    EXPECT_EQ(ReadAll(about), "mine");
}

}  // namespace
}  // namespace bramble

#endif
