#include <gtest/gtest.h>

#include "app/settings/settings.h"
#include "registry_redirect.h"
#include "ui/registry.h"

namespace bramble {
namespace {

using testing::RegistryRedirect;

class Settings : public ::testing::Test {
protected:
    RegistryRedirect hkcu{HKEY_CURRENT_USER, "Settings"};
    void SetUp() override { ASSERT_TRUE(hkcu.ok()); }
};

// A record that differs from the defaults in every field.
TSettings Changed() {
    TSettings s;
    s.tbFlat = false;
    s.tbTips = false;
    s.tbText = false;
    s.FLeft = -8;
    s.FTop = 33;
    s.FWidth = 812;
    s.FHeight = 590;
    s.FState = 0;
    s.mnuDock = 0;
    s.mnuDockRow = 2;
    s.mnuLeft = 300;
    s.mnuTop = 310;
    s.tbDock = 4;
    s.tbDockRow = 3;
    s.tbLeft = 5;
    s.tbTop = 6;
    s.tbVisible = false;
    s.MsgDock = 1;
    s.MsgDockRow = 1;
    s.MsgLeft = 7;
    s.MsgTop = 8;
    s.MsgVisible = false;
    s.MsgWidth = 500;
    s.MsgHeight = 120;
    s.LastOpenFolder = "C:\\Data\\Old Files";
    s.ViewStyle = 3;
    s.RowSelect = true;
    s.ShowGrid = true;
    s.BlankDirs = true;
    s.Columns = {200, 0, 70, 38, 90, 70, 58, 100, 50, 40, 200, 151};
    return s;
}

// The values WriteSettings stores, compared after a read: the dialogs'
// values and the found flags are left out.
void ExpectSameWritten(TSettings a, TSettings b) {
    for (TSettings* s : {&a, &b}) {
        TSettings fresh;
        s->OnTop = fresh.OnTop;
        s->tmpDir = fresh.tmpDir;
        s->Viewer = fresh.Viewer;
        s->StartDefault = fresh.StartDefault;
        s->StartLast = fresh.StartLast;
        s->StartOther = fresh.StartOther;
        s->StartupFolder = fresh.StartupFolder;
        s->DefaultCheck = fresh.DefaultCheck;
        s->RestoreFolders = fresh.RestoreFolders;
        s->PosFound = s->OptionsFound = false;
    }
    EXPECT_TRUE(a == b) << "FLeft " << b.FLeft << " FWidth " << b.FWidth << " MsgDock " << b.MsgDock
                        << " Columns " << FormatColumns(b.Columns) << " LastOpenFolder " << b.LastOpenFolder;
}

TEST_F(Settings, RoundTripThroughTheRegistryWithTheStoredTypes) {
    TSettings written = Changed();
    WriteSettings(written);
    TSettings back;
    ReadSettings(back);
    EXPECT_TRUE(back.PosFound);
    EXPECT_TRUE(back.OptionsFound);
    ExpectSameWritten(written, back);

    // Booleans are numbers 0 or 1, the columns one text, every width
    // followed by a comma.
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\Quillmar\\Bramble\\Pos"));
    EXPECT_EQ(reg.GetDataType("tbVisible"), rdInteger);
    EXPECT_EQ(reg.ReadInteger("tbVisible"), 0);
    EXPECT_EQ(reg.ReadInteger("MsgDock"), 1);
    ASSERT_TRUE(reg.OpenKeyReadOnly("\\Software\\Quillmar\\Bramble\\Options"));
    EXPECT_EQ(reg.GetDataType("Columns"), rdString);
    EXPECT_EQ(reg.ReadString("Columns"), "200,0,70,38,90,70,58,100,50,40,200,151,");
    EXPECT_EQ(reg.ReadInteger("BlankDirs"), 1);
    // Values that belong to the dialogs are not written here.
    EXPECT_FALSE(reg.ValueExists("OnTop"));
    EXPECT_FALSE(reg.ValueExists("tmpDir"));
    EXPECT_FALSE(reg.ValueExists("DefaultCheck"));

    // A second write with the defaults overwrites every value.
    WriteSettings(TSettings{});
    ReadSettings(back);
    ExpectSameWritten(TSettings{}, back);
}

TEST_F(Settings, FirstStartKeepsWhatTheCallerHad) {
    TSettings s;
    s.FLeft = 11;
    s.FWidth = 333;
    TSettings before = s;
    ReadSettings(s);
    EXPECT_FALSE(s.PosFound);
    EXPECT_FALSE(s.OptionsFound);
    ExpectSameWritten(before, s);
    EXPECT_EQ(s.mnuDock, 1);  // menu bar and toolbar on top
    EXPECT_EQ(s.tbDock, 1);
    EXPECT_EQ(s.MsgDock, 2);  // Messages at the bottom
    EXPECT_EQ(s.tmpDir, "");  // so start-up takes the system's folder
    EXPECT_TRUE(s.StartDefault);
}

TEST_F(Settings, MissingMistypedOrOutOfRangeValuesKeepTheirDefaultsAndTheRestIsRead) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Quillmar\\Bramble\\Pos", true));
    reg.WriteInteger("FLeft", 50);
    reg.WriteString("FTop", "20");       // wrong type
    reg.WriteInteger("FWidth", 0);       // no window
    reg.WriteInteger("FHeight", -40);
    reg.WriteInteger("mnuDock", 9);      // no such dock
    reg.WriteInteger("tbDock", 3);
    reg.WriteInteger("MsgDock", 3);      // only 0 to 2 for the Messages window
    reg.WriteInteger("FState", 7);
    reg.WriteBinaryData("tbFlat", "\1\0\0\0", 4);
    reg.WriteInteger("MsgHeight", 77);
    ASSERT_TRUE(reg.OpenKey("\\Software\\Quillmar\\Bramble\\Options", true));
    // No OnTop: only the Options dialog writes it.
    reg.WriteInteger("ViewStyle", 4);
    reg.WriteInteger("ShowGrid", 1);
    reg.WriteInteger("RowSelect", 2);  // any non-zero number is true
    reg.WriteInteger("LastOpenFolder", 5);
    reg.WriteString("tmpDir", "D:\\Temp");
    reg.CloseKey();

    TSettings d;
    TSettings s;
    ReadSettings(s);
    EXPECT_TRUE(s.PosFound);
    EXPECT_EQ(s.FLeft, 50);
    EXPECT_EQ(s.FTop, d.FTop);
    EXPECT_EQ(s.FWidth, d.FWidth);
    EXPECT_EQ(s.FHeight, d.FHeight);
    EXPECT_EQ(s.mnuDock, d.mnuDock);
    EXPECT_EQ(s.tbDock, 3);
    EXPECT_EQ(s.MsgDock, 2);
    EXPECT_EQ(s.FState, 0);
    EXPECT_EQ(s.tbFlat, d.tbFlat);
    EXPECT_EQ(s.MsgHeight, 77);
    EXPECT_EQ(s.MsgWidth, d.MsgWidth);
    EXPECT_TRUE(s.OptionsFound);
    EXPECT_EQ(s.OnTop, false);
    EXPECT_EQ(s.ViewStyle, 0);
    EXPECT_TRUE(s.ShowGrid);
    EXPECT_TRUE(s.RowSelect);
    EXPECT_EQ(s.LastOpenFolder, "");
    EXPECT_EQ(s.tmpDir, "D:\\Temp");
    EXPECT_EQ(s.Columns, DefaultColumnWidths);
}

TEST_F(Settings, BoundsOfAMaximizedWindowAndTheDockOfASideDockedMessagesWindowAreNotWritten) {
    TSettings normal = Changed();
    WriteSettings(normal);
    TSettings maximized = Changed();
    maximized.FState = 1;
    maximized.FLeft = -4;
    maximized.FTop = -4;
    maximized.FWidth = 1288;
    maximized.FHeight = 1032;
    WriteSettings(maximized);
    TSettings s;
    ReadSettings(s);
    EXPECT_EQ(s.FState, 1);
    EXPECT_EQ(s.FLeft, normal.FLeft);
    EXPECT_EQ(s.FTop, normal.FTop);
    EXPECT_EQ(s.FWidth, normal.FWidth);
    EXPECT_EQ(s.FHeight, normal.FHeight);

    // Maximized on the very first run: no bounds at all are stored.
    TRegistry reg;
    reg.DeleteKey("Software\\Quillmar\\Bramble\\Pos");
    WriteSettings(maximized);
    ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\Quillmar\\Bramble\\Pos"));
    EXPECT_FALSE(reg.ValueExists("FLeft"));
    EXPECT_FALSE(reg.ValueExists("FHeight"));
    EXPECT_EQ(reg.ReadInteger("FState"), 1);
    reg.CloseKey();

    // The Messages window docked left or right keeps the dock stored before.
    TSettings side = Changed();
    side.MsgDock = -1;
    WriteSettings(side);
    ReadSettings(s);
    EXPECT_EQ(s.MsgDock, Changed().MsgDock);
}

TEST(SettingsColumns, ParsesWidthsAndToleratesMalformedText) {
    auto parse = [](const std::string& text) {
        std::array<int, SettingsColumnCount> w = DefaultColumnWidths;
        ParseColumns(text, w);
        return w;
    };
    using W = std::array<int, SettingsColumnCount>;
    EXPECT_EQ(parse("200,70,70,38,90,70,58,100,50,40,200,150,"), (W{200, 70, 70, 38, 90, 70, 58, 100, 50, 40, 200, 150}));
    EXPECT_EQ(parse(""), DefaultColumnWidths);
    // The last comma may be missing; missing widths keep theirs.
    EXPECT_EQ(parse("1,2,3"), (W{1, 2, 3, 38, 90, 70, 58, 100, 50, 40, 200, 150}));
    // Bad widths keep theirs, the next ones are still read.
    EXPECT_EQ(parse("abc,,-5,99999, 80 ,12a,0x10,+7,9,10,11,12,13,14,"),
              (W{140, 70, 70, 38, 80, 70, 58, 100, 9, 10, 11, 12}));
    // Hidden columns are stored as width 0.
    EXPECT_EQ(parse("0,0,0,0,0,0,0,0,0,0,0,0,"), W{});
    EXPECT_EQ(FormatColumns(DefaultColumnWidths), "140,70,70,38,90,70,58,100,50,40,200,150,");
}

TEST_F(Settings, MalformedOrMistypedColumnsDoNotStopTheRead) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Quillmar\\Bramble\\Options", true));
    reg.WriteString("Columns", "200,wide,,");
    reg.WriteInteger("ShowGrid", 1);
    TSettings s;
    ReadSettings(s);
    EXPECT_EQ(s.Columns[0], 200);
    EXPECT_EQ(s.Columns[1], 70);
    EXPECT_EQ(s.Columns[11], 150);
    EXPECT_TRUE(s.ShowGrid);

    reg.WriteInteger("Columns", 200);
    TSettings t;
    ReadSettings(t);
    EXPECT_EQ(t.Columns, DefaultColumnWidths);
}

TEST_F(Settings, ReadsTheValuesTheDialogsAndStartUpWrite) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Quillmar\\Bramble\\Options", true));
    reg.WriteString("Viewer", "C:\\Tools\\view.exe");
    reg.WriteBool("OnTop", true);
    reg.WriteBool("StartDefault", false);
    reg.WriteBool("StartLast", true);
    reg.WriteBool("StartOther", false);
    reg.WriteString("StartupFolder", "E:\\Archives");
    reg.WriteBool("RestoreFolders", true);
    reg.CloseKey();
    WriteDefaultCheck("No");

    TSettings s;
    ReadSettings(s);
    EXPECT_EQ(s.Viewer, "C:\\Tools\\view.exe");
    EXPECT_TRUE(s.OnTop);
    EXPECT_FALSE(s.StartDefault);
    EXPECT_TRUE(s.StartLast);
    EXPECT_FALSE(s.StartOther);
    EXPECT_EQ(s.StartupFolder, "E:\\Archives");
    EXPECT_TRUE(s.RestoreFolders);
    EXPECT_EQ(s.DefaultCheck, "No");

    // WriteSettings leaves the dialogs' values alone.
    WriteSettings(TSettings{});
    TSettings t;
    ReadSettings(t);
    EXPECT_EQ(t.Viewer, "C:\\Tools\\view.exe");
    EXPECT_TRUE(t.OnTop);
    EXPECT_EQ(t.DefaultCheck, "No");
}

TEST_F(Settings, RecentExtractFoldersStopAtTheFirstEmptyOneAndAtTen) {
    EXPECT_TRUE(ReadMRUExtract().empty());
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Quillmar\\Bramble\\MRUExtract", true));
    EXPECT_TRUE(ReadMRUExtract().empty());
    for (int i = 0; i < 12; ++i) reg.WriteString("H" + std::to_string(i), "C:\\Out" + std::to_string(i));
    std::vector<std::string> all = ReadMRUExtract();
    ASSERT_EQ(all.size(), 10u);
    EXPECT_EQ(all.front(), "C:\\Out0");
    EXPECT_EQ(all.back(), "C:\\Out9");
    reg.WriteString("H3", "");
    EXPECT_EQ(ReadMRUExtract(), (std::vector<std::string>{"C:\\Out0", "C:\\Out1", "C:\\Out2"}));
    reg.DeleteValue("H1");
    EXPECT_EQ(ReadMRUExtract(), (std::vector<std::string>{"C:\\Out0"}));
}

}  // namespace
}  // namespace bramble
