#include <gtest/gtest.h>

#include <objbase.h>

#include "app/shellreg/clsid.h"
#include "app/shellreg/shellreg.h"
#include "registry_redirect.h"
#include "ui/registry.h"

namespace bramble {
namespace {

using testing::RegistryRedirect;

class ShellRegistration : public ::testing::Test {
protected:
    RegistryRedirect hkcr{HKEY_CLASSES_ROOT, "Classes"};
    RegistryRedirect hklm{HKEY_LOCAL_MACHINE, "Machine"};
    void SetUp() override {
        ASSERT_TRUE(hkcr.ok());
        ASSERT_TRUE(hklm.ok());
    }

    // The default value (or the named one) of a key, or "<missing>".
    static std::string Read(HKEY root, const std::string& key, const std::string& name = "") {
        TRegistry reg(KEY_READ);
        reg.SetRootKey(root);
        if (!reg.OpenKeyReadOnly(key)) return "<missing>";
        if (!reg.ValueExists(name)) return "<missing>";
        return reg.ReadString(name);
    }
    static void Write(HKEY root, const std::string& key, const std::string& name, const std::string& value) {
        TRegistry reg;
        reg.SetRootKey(root);
        ASSERT_TRUE(reg.OpenKey(key, true));
        reg.WriteString(name, value);
    }
    static int SubkeyCount(HKEY root, const std::string& key) {
        TStringList names;
        GetRegSubTree(root, key, names);
        return names.Count();
    }
};

const char* const kApproved = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

std::string ModuleFileName() {
    char buf[MAX_PATH * 2];
    DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
    return std::string(buf, n);
}

TEST(ShellExtClassId, TextAndBinaryFormsNameTheSameClass) {
    wchar_t wide[40];
    ASSERT_EQ(StringFromGUID2(ShellExtClassId, wide, 40), 39);
    std::string text;
    for (const wchar_t* p = wide; *p; ++p) text += static_cast<char>(*p);
    EXPECT_EQ(text, ShellExtClassIdText);
    EXPECT_STREQ(ShellExtDescription, "Bramble ContextMenu");
}

TEST_F(ShellRegistration, AssociationWritesClassIconQuotedCommandAndTheZipTemplate) {
    MakeAssociation("zip", "C:\\Program Files\\Bramble\\default.ico");
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, ".zip"), "Bramble.zip");
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, "Bramble.zip"), "Bramble Archive");
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, "Bramble.zip\\DefaultIcon"), "C:\\Program Files\\Bramble\\default.ico");
    // The program's path is quoted, so a folder with blanks names no other
    // program.
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, "Bramble.zip\\Shell\\Open\\Command"), "\"" + ModuleFileName() + "\" \"%1\"");

    TRegistry reg;
    reg.SetRootKey(HKEY_CLASSES_ROOT);
    ASSERT_TRUE(reg.OpenKeyReadOnly(".zip\\ShellNew"));
    EXPECT_EQ(reg.GetDataType("Data"), rdBinary);
    unsigned char data[64];
    ASSERT_EQ(reg.ReadBinaryData("Data", data, sizeof data), 22);
    const unsigned char expected[22] = {0x50, 0x4B, 0x05, 0x06};
    EXPECT_EQ(0, memcmp(data, expected, 22));
    reg.CloseKey();

    // The template is for "zip" exactly; other extensions get none.
    MakeAssociation("arj", "C:\\icons\\arj.ico");
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, ".arj"), "Bramble.arj");
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, ".arj\\ShellNew"));
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, "Bramble.arj\\DefaultIcon"), "C:\\icons\\arj.ico");
}

TEST_F(ShellRegistration, UpperCaseZipGetsNoTemplateAndEmptyExtensionWritesNothing) {
    MakeAssociation("ZIP", "x.ico");
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, ".ZIP"), "Bramble.ZIP");
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, "Bramble.ZIP"), "Bramble Archive");
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, ".ZIP\\ShellNew"));
    EXPECT_EQ(SubkeyCount(HKEY_CLASSES_ROOT, ""), 2);

    MakeAssociation("", "x.ico");
    RemoveAssociation("");
    EXPECT_EQ(SubkeyCount(HKEY_CLASSES_ROOT, ""), 2);
}

TEST_F(ShellRegistration, RemovingAnAssociationTouchesOnlyOurOwn) {
    MakeAssociation("zip", "z.ico");
    MakeAssociation("lzh", "l.ico");
    // Another program has taken .lzh since; our class stays too.
    Write(HKEY_CLASSES_ROOT, ".lzh", "", "OtherArchiver.lzh");
    Write(HKEY_CLASSES_ROOT, ".lzh\\OtherData", "", "x");
    Write(HKEY_CLASSES_ROOT, "Unrelated", "", "keep");

    RemoveAssociation("zip");
    RemoveAssociation("lzh");
    RemoveAssociation("cab");  // never associated

    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, ".zip"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, "Bramble.zip"));
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, ".lzh"), "OtherArchiver.lzh");
    EXPECT_TRUE(RegistryKeyExists(HKEY_CLASSES_ROOT, ".lzh\\OtherData"));
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, "Bramble.lzh\\DefaultIcon"), "l.ico");
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, "Unrelated"), "keep");

    // The comparison is exact: a value differing only in case is not ours.
    MakeAssociation("tar", "t.ico");
    Write(HKEY_CLASSES_ROOT, ".tar", "", "bramble.tar");
    RemoveAssociation("tar");
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, ".tar"), "bramble.tar");
}

TEST_F(ShellRegistration, RemovingOurAssociationKeepsWhatOtherProgramsKeepUnderTheExtension) {
    MakeAssociation("zip", "z.ico");
    Write(HKEY_CLASSES_ROOT, ".zip\\OpenWithProgids", "OtherArchiver.zip", "");
    Write(HKEY_CLASSES_ROOT, ".zip\\PersistentHandler", "", "{11111111-2222-3333-4444-555555555555}");
    Write(HKEY_CLASSES_ROOT, ".zip", "Content Type", "application/zip");
    MakeAssociation("cab", "c.ico");
    // A New-menu template of another program's under ShellNew.
    Write(HKEY_CLASSES_ROOT, ".cab\\ShellNew", "FileName", "template.cab");

    RemoveAssociation("zip");
    RemoveAssociation("cab");

    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, ".zip"), "<missing>");
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, ".zip", "Content Type"), "application/zip");
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, ".zip\\OpenWithProgids", "OtherArchiver.zip"), "");
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, ".zip\\PersistentHandler"), "{11111111-2222-3333-4444-555555555555}");
    // Our template went with its key.
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, ".zip\\ShellNew"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, "Bramble.zip"));
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, ".cab\\ShellNew", "FileName"), "template.cab");
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, "Bramble.cab"));
}

TEST_F(ShellRegistration, ShellExtensionKeysAreWrittenWithTheLibrarysFullPathAndRemovedTwiceHarmlessly) {
    const std::string cls = std::string("CLSID\\") + ShellExtClassIdText;
    Write(HKEY_LOCAL_MACHINE, kApproved, "{00000000-1111-2222-3333-444444444444}", "Someone Else");
    MakeShellExt();
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers\\Bramble"), ShellExtClassIdText);
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, cls), "Bramble ContextMenu");
    std::string program = ModuleFileName();
    std::string folder = program.substr(0, program.find_last_of('\\') + 1);
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, cls + "\\InProcServer32"), folder + "bmshell.dll");
    EXPECT_EQ(ShellExtLibraryFile(), folder + "bmshell.dll");
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, cls + "\\InProcServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kApproved, ShellExtClassIdText), "Bramble ContextMenu");

    RemoveShellExt();
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers\\Bramble"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, cls));
    EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kApproved, ShellExtClassIdText), "<missing>");
    // Only our entry leaves the shared keys.
    EXPECT_TRUE(RegistryKeyExists(HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers"));
    EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kApproved, "{00000000-1111-2222-3333-444444444444}"), "Someone Else");

    RemoveShellExt();
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, cls));
    EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kApproved, "{00000000-1111-2222-3333-444444444444}"), "Someone Else");
}

TEST_F(ShellRegistration, TreeDeletionRemovesEverySubkeyAndRefusesTheRoot) {
    Write(HKEY_CLASSES_ROOT, "Tree\\a\\b\\c", "v", "1");
    Write(HKEY_CLASSES_ROOT, "Tree\\a\\d", "", "2");
    Write(HKEY_CLASSES_ROOT, "Tree\\e", "", "3");
    Write(HKEY_CLASSES_ROOT, "Sibling", "", "4");

    TStringList names;
    names.Add("kept");
    EXPECT_TRUE(GetRegSubTree(HKEY_CLASSES_ROOT, "Tree", names));
    names.SetSorted(true);
    EXPECT_EQ(names.Text(), "a\r\ne\r\nkept\r\n");
    TStringList none;
    EXPECT_FALSE(GetRegSubTree(HKEY_CLASSES_ROOT, "Tree\\e", none));
    EXPECT_FALSE(GetRegSubTree(HKEY_CLASSES_ROOT, "Missing", none));
    EXPECT_EQ(none.Count(), 0);

    // The platform's single-key deletion refuses a key with subkeys.
    EXPECT_FALSE(DeleteRegKey(HKEY_CLASSES_ROOT, "Tree\\a"));
    EXPECT_TRUE(NTDeleteRegKey(HKEY_CLASSES_ROOT, "Tree"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, "Tree"));
    EXPECT_TRUE(RegistryKeyExists(HKEY_CLASSES_ROOT, "Sibling"));
    EXPECT_TRUE(NTDeleteRegKey(HKEY_CLASSES_ROOT, "Tree"));  // already gone

    EXPECT_FALSE(NTDeleteRegKey(HKEY_CLASSES_ROOT, ""));
    EXPECT_FALSE(NTDeleteRegKey(HKEY_CLASSES_ROOT, "\\"));
    EXPECT_FALSE(DeleteRegKey(HKEY_CLASSES_ROOT, ""));
    EXPECT_TRUE(RegistryKeyExists(HKEY_CLASSES_ROOT, "Sibling"));
}

}  // namespace
}  // namespace bramble
