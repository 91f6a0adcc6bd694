#include <gtest/gtest.h>

#include "ui/registry.h"

namespace bramble {
namespace {

const char* kBase = "Software\\BrambleUiTests";

struct CleanKey {
    ~CleanKey() {
        TRegistry r;
        r.DeleteKey(kBase);
    }
};

TEST(Registry, ValuesRoundTripUnderKeysWithOrWithoutLeadingBackslash) {
    CleanKey clean;
    TRegistry reg;
    EXPECT_EQ(reg.RootKey(), HKEY_CURRENT_USER);
    ASSERT_TRUE(reg.OpenKey(std::string("\\") + kBase + "\\Options", true));
    EXPECT_EQ(reg.CurrentPath(), std::string(kBase) + "\\Options");
    reg.WriteString("Viewer", "C:\\Tools\\view.exe");
    reg.WriteString("Empty", "");
    reg.WriteInteger("Width", -120);
    reg.WriteBool("StartLast", true);
    const unsigned char blob[] = {1, 0, 2, 0xFF};
    reg.WriteBinaryData("Blob", blob, sizeof blob);
    reg.CloseKey();

    ASSERT_TRUE(reg.OpenKeyReadOnly(std::string(kBase) + "\\Options"));
    EXPECT_EQ(reg.ReadString("Viewer"), "C:\\Tools\\view.exe");
    EXPECT_EQ(reg.ReadString("Empty"), "");
    EXPECT_EQ(reg.ReadInteger("Width"), -120);
    EXPECT_TRUE(reg.ReadBool("StartLast"));
    unsigned char back[8] = {};
    EXPECT_EQ(reg.ReadBinaryData("Blob", back, sizeof back), 4);
    EXPECT_EQ(back[3], 0xFF);
    EXPECT_EQ(reg.GetDataType("Width"), rdInteger);
    EXPECT_EQ(reg.GetDataType("Viewer"), rdString);
    TStringList names;
    reg.GetValueNames(names);
    names.SetSorted(true);
    EXPECT_EQ(names.Text(), "Blob\r\nEmpty\r\nStartLast\r\nViewer\r\nWidth\r\n");
    // Writing through a read-only key fails loudly.
    EXPECT_THROW(reg.WriteInteger("Width", 1), ERegistryException);
}

TEST(Registry, AReadOnlyOpenLeavesLaterOpensWritable) {
    CleanKey clean;
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(std::string(kBase) + "\\Options", true));
    reg.WriteInteger("Width", 1);
    reg.CloseKey();
    ASSERT_TRUE(reg.OpenKeyReadOnly(std::string(kBase) + "\\Options"));
    EXPECT_EQ(reg.Access(), static_cast<REGSAM>(KEY_ALL_ACCESS));
    EXPECT_THROW(reg.WriteInteger("Width", 2), ERegistryException);
    // The settings code reads, then writes with the same object.
    ASSERT_TRUE(reg.OpenKey(std::string("\\") + kBase + "\\Pos", true));
    EXPECT_NO_THROW(reg.WriteInteger("Left", 10));
    EXPECT_EQ(reg.ReadInteger("Left"), 10);
    EXPECT_FALSE(reg.OpenKeyReadOnly(std::string("\\") + kBase + "\\Missing"));
    EXPECT_EQ(reg.Access(), static_cast<REGSAM>(KEY_ALL_ACCESS));
}

TEST(Registry, ReadsRaiseOrFallBackToDefaultsAsAsked) {
    CleanKey clean;
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kBase, true));
    reg.WriteString("Text", "12");
    EXPECT_EQ(reg.ReadString("Missing"), "");
    try {
        reg.ReadInteger("Missing");
        ADD_FAILURE() << "no exception";
    } catch (const ERegistryException& e) {
        EXPECT_STREQ(e.what(), "Failed to get data for 'Missing'");
    }
    try {
        reg.ReadInteger("Text");
        ADD_FAILURE() << "no exception";
    } catch (const ERegistryException& e) {
        EXPECT_STREQ(e.what(), "Invalid data type for 'Text'");
    }
    EXPECT_THROW(reg.ReadBool("Missing"), ERegistryException);
    unsigned char small[1];
    reg.WriteBinaryData("Big", "abcdef", 6);
    EXPECT_THROW(reg.ReadBinaryData("Big", small, sizeof small), ERegistryException);
    EXPECT_EQ(reg.ReadIntegerDef("Missing", 7), 7);
    EXPECT_EQ(reg.ReadIntegerDef("Text", 8), 8);
    EXPECT_TRUE(reg.ReadBoolDef("Missing", true));
    EXPECT_EQ(reg.ReadStringDef("Missing", "dflt"), "dflt");
    EXPECT_EQ(reg.ReadStringDef("Text", "dflt"), "12");
    reg.WriteInteger("Number", 5);
    EXPECT_EQ(reg.ReadStringDef("Number", "dflt"), "dflt");
    EXPECT_THROW(reg.ReadString("Number"), ERegistryException);
    EXPECT_TRUE(reg.DeleteValue("Text"));
    EXPECT_FALSE(reg.ValueExists("Text"));
    EXPECT_FALSE(reg.DeleteValue("Text"));
    reg.CloseKey();
    EXPECT_FALSE(reg.OpenKey(std::string(kBase) + "\\Nope", false));
    EXPECT_EQ(reg.CurrentKey(), nullptr);
}

TEST(Registry, KeysNestRelativeToTheOpenKeyAndDeleteWithTheirSubkeys) {
    CleanKey clean;
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kBase, true));
    ASSERT_TRUE(reg.OpenKey("MRU Items", true));  // relative to the open key
    EXPECT_EQ(reg.CurrentPath(), std::string(kBase) + "\\MRU Items");
    reg.WriteString("F0", "a.zip");
    ASSERT_TRUE(reg.OpenKey("Deeper\\Still", true));
    reg.CloseKey();
    EXPECT_TRUE(reg.KeyExists(std::string(kBase) + "\\MRU Items\\Deeper\\Still"));
    ASSERT_TRUE(reg.OpenKey(kBase, false));
    EXPECT_TRUE(reg.HasSubKeys());
    TStringList keys;
    reg.GetKeyNames(keys);
    EXPECT_EQ(keys.Text(), "MRU Items\r\n");
    reg.CloseKey();
    EXPECT_TRUE(reg.DeleteKey(std::string("\\") + kBase + "\\MRU Items"));
    EXPECT_FALSE(reg.KeyExists(std::string(kBase) + "\\MRU Items"));
    EXPECT_TRUE(reg.KeyExists(kBase));
    EXPECT_FALSE(reg.DeleteKey(""));
}

}  // namespace
}  // namespace bramble
