// What the main window's tests share: scripted answers for every question,
// a window made and freed per test with the registry redirected, and the
// peers' listings and extracted trees to compare with.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/forms/main.h"
#include "app/forms/options.h"
#include "registry_redirect.h"
#include "support/testenv.h"
#include "ui/registry.h"
#include "ui/ui_support.h"

namespace bramble {

using test::FixturesDir;
using test::Join;
using test::ReadAll;
using test::ScratchDir;

// Answers every question with a fixed answer per kind and keeps what was
// asked, so a test states which questions it expects rather than their
// exact order.
class AnswerAll : public TModalInterceptor {
public:
    AnswerAll() { previous_ = SetModalInterceptor(this); }
    ~AnswerAll() override { SetModalInterceptor(previous_); }
    int MessageDlg(const std::string& Msg, TMsgDlgType, TMsgDlgButtons) override {
        Asked.push_back(Msg);
        return DialogAnswer;
    }
    int MessageBox(const std::string& Text, const std::string&, UINT Flags) override {
        Asked.push_back(Text);
        LastBoxFlags = Flags;
        return BoxAnswer;
    }
    bool InputQuery(const std::string& Caption, const std::string& Prompt, std::string&) override {
        Asked.push_back(Caption);
        Prompts.push_back(Prompt);
        return false;
    }
    int ShowModal(TCustomForm* Form) override {
        Asked.push_back("form: " + Form->Caption());
        return Drive ? Drive(Form) : mrCancel;
    }
    // The file dialog hands back FileToOpen (cancelled when empty); where
    // it would have started is kept.
    bool ExecuteFileDialog(TOpenDialog* Dialog, bool) override {
        Asked.push_back("file dialog: " + Dialog->InitialDir());
        if (FileToOpen.empty()) return false;
        Dialog->SetFileName(FileToOpen);
        return true;
    }

    bool AskedAbout(const std::string& Text) const {
        return std::any_of(Asked.begin(), Asked.end(), [&](const std::string& a) { return a.find(Text) != std::string::npos; });
    }
    std::vector<std::string> Asked;
    std::vector<std::string> Prompts;  // of the input boxes
    int DialogAnswer = mrYes;
    int BoxAnswer = IDOK;  // what every message box returns
    UINT LastBoxFlags = 0;
    std::string FileToOpen;
    std::function<int(TCustomForm*)> Drive;

private:
    TModalInterceptor* previous_;
};

// A menu command as the message loop runs it: what escapes goes to the
// application's handler (its box), not to the test.
inline void Choose(TMenuItem* Item) {
    try {
        Item->Click();
    } catch (...) {
        Application->HandleException(Item, std::current_exception());
    }
}

// A ustar archive of the files given (a name ending in "/" is a folder),
// with a "./" folder entry first, as "tar -C dir -cf x.tar ." writes it.
inline std::string DotSlashTar(const std::vector<std::pair<std::string, std::string>>& Files) {
    auto header = [](const std::string& name, size_t size, char type) {
        std::string h(512, '\0');
        h.replace(0, name.size(), name);
        std::snprintf(&h[100], 8, "%07o", type == '5' ? 0755 : 0644);
        std::snprintf(&h[108], 8, "%07o", 0);
        std::snprintf(&h[116], 8, "%07o", 0);
        std::snprintf(&h[124], 12, "%011zo", size);
        std::snprintf(&h[136], 12, "%011o", 981173106);
        h[156] = type;
        h.replace(257, 8, std::string("ustar\0" "00", 8));
        h.replace(148, 8, "        ");
        unsigned sum = 0;
        for (unsigned char c : h) sum += c;
        std::snprintf(&h[148], 8, "%06o", sum);
        h[155] = ' ';
        return h;
    };
    std::string out = header("./", 0, '5');
    for (const auto& [name, data] : Files) {
        if (name.back() == '/') {
            out += header(name, 0, '5');
            continue;
        }
        out += header(name, data.size(), '0') + data;
        out.append((512 - data.size() % 512) % 512, '\0');
    }
    out.append(1024, '\0');
    return out;
}

inline void WriteDefaultCheckNo() {
    TRegistry r;
    r.SetRootKey(HKEY_CURRENT_USER);
    if (r.OpenKey("Software\\Quillmar\\Bramble\\Options", true)) r.WriteString("DefaultCheck", "No");
}

// The entries peers listed for a fixture: stored name with '\' -> size.
inline std::map<std::string, int64_t> PeerListing(const std::string& Tsv) {
    std::map<std::string, int64_t> out;
    std::istringstream in(ReadAll(Join(Join(FixturesDir(), "peers"), Tsv)));
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::string cell;
        std::istringstream ls(line);
        while (std::getline(ls, cell, '\t')) f.push_back(cell);
        if (f.size() < 4 || f[3] != "f") continue;
        std::replace(f[0].begin(), f[0].end(), '/', '\\');
        out[f[0]] = std::stoll(f[1]);
    }
    return out;
}

// Every file below Dir, relative name -> contents.
inline void Tree(const std::string& Dir, const std::string& Prefix, std::map<std::string, std::string>& Out) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(Join(Dir, "*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        std::string n = fd.cFileName;
        if (n == "." || n == "..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            Tree(Join(Dir, n), Prefix + n + "\\", Out);
        else
            Out[Prefix + n] = ReadAll(Join(Dir, n));
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

inline std::map<std::string, std::string> Tree(const std::string& Dir) {
    std::map<std::string, std::string> t;
    Tree(Dir, "", t);
    return t;
}

// The peers' own extraction of the inputs every archive of the corpus holds.
inline std::map<std::string, std::string> Inputs() {
    std::map<std::string, std::string> t;
    const std::string in = Join(FixturesDir(), "in");
    for (const char* n : {"about.txt", "big.bin", "hello.txt", "sub\\nested.txt"}) t[n] = ReadAll(Join(in, n));
    return t;
}

inline std::string CopyInto(const std::string& Dir, const std::string& Fixture) {
    const std::string to = Join(Dir, Fixture);
    CopyFileA(Join(FixturesDir(), Fixture).c_str(), to.c_str(), FALSE);
    return to;
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(user_.ok());
        ASSERT_TRUE(classes_.ok());
        WriteDefaultCheckNo();
    }
    void TearDown() override {
        if (form_) TCustomForm::Free(form_);
        form_ = nullptr;
        if (options_) TCustomForm::Free(options_);
        options_ = nullptr;
        SetCommandLineArguments({});
    }
    TfrmMain* Make(std::vector<std::string> Args = {}) {
        SetCommandLineArguments(std::move(Args));
        form_ = new TfrmMain(nullptr);
        form_->AfterConstruction();
        // The dialogs after the main window, as the program makes them.
        options_ = new TfrmOptions(nullptr);
        frmOptions = options_;
        options_->AfterConstruction();
        form_->Show();
        test::Pump();
        return form_;
    }
    std::vector<std::string> Lines() {
        std::vector<std::string> out;
        for (int i = 0; i < form_->RichEdit1->Lines().Count(); ++i) out.push_back(form_->RichEdit1->Lines()[i]);
        return out;
    }
    bool HasLine(const std::string& Part) {
        auto l = Lines();
        return std::any_of(l.begin(), l.end(), [&](const std::string& s) { return s.find(Part) != std::string::npos; });
    }

    testing::RegistryRedirect user_{HKEY_CURRENT_USER, "MainWindowUser"};
    testing::RegistryRedirect classes_{HKEY_CLASSES_ROOT, "MainWindowClasses"};
    TfrmMain* form_ = nullptr;
    TfrmOptions* options_ = nullptr;
};

}  // namespace bramble
