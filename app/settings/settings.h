// The program's settings under HKEY_CURRENT_USER "Software\Quillmar\Bramble".
//
// Key "Pos" (read by ReadSettings, written whole by WriteSettings):
//   field        value        type   default
//   tbFlat       tbFlat       bool   true    toolbar popup item Flat checked
//   tbTips       tbTips       bool   true    toolbar popup item Tooltips checked
//   tbText       tbText       bool   true    toolbar popup item Text checked
//   FLeft        FLeft        int    100     main window bounds; a width or
//   FTop         FTop         int    100     height below 1 is not taken
//   FWidth       FWidth       int    640
//   FHeight      FHeight      int    480
//   FState       FState       int    0       1 maximized, 0 otherwise
//   mnuDock      mnuDock      int    1       menu bar's dock code (below)
//   mnuDockRow   mnuDockRow   int    0
//   mnuLeft      mnuLeft      int    0
//   mnuTop       mnuTop       int    0
//   tbDock       tbDock       int    1       toolbar's dock code (below)
//   tbDockRow    tbDockRow    int    1
//   tbLeft       tbLeft       int    0
//   tbTop        tbTop        int    0
//   tbVisible    tbVisible    bool   true
//   MsgDock      MsgDock      int    2       0 floating, 1 DockTop, 2 DockBottom
//   MsgDockRow   MsgDockRow   int    0
//   MsgLeft      MsgLeft      int    0
//   MsgTop       MsgTop       int    0
//   MsgVisible   MsgVisible   bool   true
//   MsgWidth     MsgWidth     int    400     below 1 is not taken
//   MsgHeight    MsgHeight    int    100     below 1 is not taken
// Dock codes of mnuDock and tbDock: 0 floating, 1 DockTop, 2 DockRight,
// 3 DockBottom, 4 DockLeft.
//
// Key "Options", values WriteSettings writes:
//   LastOpenFolder LastOpenFolder string ""
//   ViewStyle    ViewStyle    int    0       0 report, 1 list, 2 small icons, 3 large icons
//   RowSelect    RowSelect    bool   false
//   ShowGrid     ShowGrid     bool   false
//   BlankDirs    BlankDirs    bool   false   the inverse of View, Show empty dirs
//   Columns      Columns      string "140,70,70,38,90,70,58,100,50,40,200,150,"
//                                            the 12 column widths, each followed by ","
// Key "Options", values other code writes and ReadSettings only reads:
//   OnTop        OnTop        bool   false   (Options dialog)
//   tmpDir       tmpDir       string ""      (Options dialog; empty: the system's)
//   Viewer       Viewer       string ""      (Options dialog)
//   StartDefault StartDefault bool   true    (Options dialog)
//   StartLast    StartLast    bool   false   (Options dialog)
//   StartOther   StartOther   bool   false   (Options dialog)
//   StartupFolder StartupFolder string ""    (Options dialog)
//   DefaultCheck DefaultCheck string ""      (start-up question; "No" stops it)
//   RestoreFolders RestoreFolders bool false (Extract dialog)
//
// Every value is read with its default: a missing value, one of the wrong
// type or one out of range leaves the field as it was, so a caller may
// first fill the struct from the live window (its bounds, say) and then
// read over it. Nothing raises.
//
// Key "MRUExtract": string values "H0" (newest) to "H9", the recent
// extraction folders; ReadMRUExtract returns them.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace bramble {

inline constexpr const char* SettingsKey = "Software\\Quillmar\\Bramble";
inline constexpr const char* SettingsPosKey = "Software\\Quillmar\\Bramble\\Pos";
inline constexpr const char* SettingsOptionsKey = "Software\\Quillmar\\Bramble\\Options";
inline constexpr const char* SettingsMRUExtractKey = "Software\\Quillmar\\Bramble\\MRUExtract";

inline constexpr int SettingsColumnCount = 12;
inline constexpr std::array<int, SettingsColumnCount> DefaultColumnWidths = {140, 70, 70, 38, 90,  70,
                                                                            58,  100, 50, 40, 200, 150};

struct TSettings {
    // Pos
    bool tbFlat = true;
    bool tbTips = true;
    bool tbText = true;
    int FLeft = 100;
    int FTop = 100;
    int FWidth = 640;
    int FHeight = 480;
    int FState = 0;
    int mnuDock = 1;
    int mnuDockRow = 0;
    int mnuLeft = 0;
    int mnuTop = 0;
    int tbDock = 1;
    int tbDockRow = 1;
    int tbLeft = 0;
    int tbTop = 0;
    bool tbVisible = true;
    // Written only when 0, 1 or 2: a Messages window docked left or right
    // keeps whatever was stored before.
    int MsgDock = 2;
    int MsgDockRow = 0;
    int MsgLeft = 0;
    int MsgTop = 0;
    bool MsgVisible = true;
    int MsgWidth = 400;
    int MsgHeight = 100;

    // Options, written by WriteSettings
    std::string LastOpenFolder;
    int ViewStyle = 0;
    bool RowSelect = false;
    bool ShowGrid = false;
    bool BlankDirs = false;
    std::array<int, SettingsColumnCount> Columns = DefaultColumnWidths;

    // Options, only read here
    bool OnTop = false;
    std::string tmpDir;
    std::string Viewer;
    bool StartDefault = true;
    bool StartLast = false;
    bool StartOther = false;
    std::string StartupFolder;
    std::string DefaultCheck;
    bool RestoreFolders = false;

    // Set by ReadSettings: whether each key opened. A key that is missing
    // leaves every field of its part as it was.
    bool PosFound = false;
    bool OptionsFound = false;

    bool operator==(const TSettings&) const = default;
};

// Reads "Pos" and "Options" over the fields (see above).
void ReadSettings(TSettings& S);
// Writes all of "Pos" and the Options values marked above, creating the
// keys. The window bounds are not written while FState is 1, so they stay
// those of the last normal window. Failures are silent: this runs while
// the main window is being destroyed.
void WriteSettings(const TSettings& S);
// The start-up question's answer, written whatever it was.
void WriteDefaultCheck(const std::string& Value);

// "H0" to "H9" in order, up to the first missing or empty value.
std::vector<std::string> ReadMRUExtract();

// Parses a "Columns" text into Widths: each width is the decimal text up to
// the next ","; a width that is not a number from 0 to 32767 keeps the
// field's value, and missing widths keep theirs too.
void ParseColumns(const std::string& Text, std::array<int, SettingsColumnCount>& Widths);
// Each width in decimal followed by ",".
std::string FormatColumns(const std::array<int, SettingsColumnCount>& Widths);

// The separator the program prints dates with ('/' unless changed). It
// belongs to this process: the user's locale is never touched.
char DateSeparator();
void SetDateSeparator(char C);

}  // namespace bramble
