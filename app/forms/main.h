// The main window: the archive's entries in a list, the menus and toolbar
// with the commands on them, the Messages window, the status bar with the
// busy indicator and progress bar, and one engine component per role whose
// events all arrive at a small set of shared handlers here.
//
// All archive work runs on the GUI thread inside the command that started
// it. While a run is under way the engine lets messages through (progress,
// repaints, the indicator's cancel click); every command refuses to start
// then, and closing the window cancels the run and closes once it is over.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/forms/entrylist.h"
#include "engine/lister/dovex.h"
#include "engine/core/os.h"
#include "engine/core/unbase.h"
#include "engine/readers/zipcheck.h"
#include "kits/menu/menubar.h"
#include "kits/toolbar/button.h"
#include "kits/toolbar/toolbar.h"
#include "ui/comctrls.h"
#include "ui/dialogs.h"
#include "ui/forms.h"
#include "ui/menus.h"
#include "ui/stdctrls.h"

namespace bramble {

class TCompBase;
class TUnTAR;
class TUUDecode;
class TUUEncode;
class TMRUFileList;
class TDragFilesTrg;
class TDragFilesSrc;
struct TSettings;

// ---- helpers the commands share (also for the tests) -------------------------

// The command line split into the switch (the last argument holding a "/";
// "none" when arguments exist but no switch, empty without arguments) and
// the other arguments joined with single blanks.
struct TCommandLine {
    std::string Switch;
    std::string Path;
};
TCommandLine ParseCommandLine(const std::vector<std::string>& Args);
// The arguments of this process as the platform splits them (quotes
// removed), without the program's own name.
std::vector<std::string> ProcessArguments();

// The long form of a path that may hold short (8.3) names; a trailing "\"
// is kept. Raises Exception("Path %s does not exist!") for a missing path.
std::string ExpandLongPath(const std::string& Path);

// A path without the extension of its file name (from the last "." of the
// name, not of a folder), trailing blanks cut: the folder that Fast
// extract and "/x" extract into.
std::string PathWithoutExtension(const std::string& Path);
// The ZIP archive "/a" adds a file to: its folder, the name up to its first
// ".", then ".zip".
std::string AddArchiveName(const std::string& Path);

// "123 bytes", "1.5 KB", "2.34 MB"; empty for a negative count.
std::string getkb(int64_t Bytes);

// Where a dialog of DialogWidth x DialogHeight goes over the main window:
// centred on it, kept off a taskbar docked on any edge, and on the screen.
// Without a taskbar (no "Shell_TrayWnd" window) the work area bounds it.
TPoint PlaceDialogRect(const TRect& MainWindow, int DialogWidth, int DialogHeight, int ScreenWidth,
                       int ScreenHeight, const TRect* Taskbar, const TRect& WorkArea);
// Places a dialog over the main window by the rule above.
void PlaceDialog(TCustomForm* Dialog, TCustomForm* MainWindow);

// The "Messages" line of an engine error (empty for ids outside the
// message ranges the program reports).
std::string ErrorLine(const std::string& ArchiveFile, const std::string& MsgEx, int ECode);
// The box of an engine error that FN concerns. Only a damaged or unreadable
// archive is blamed on the archive; a password, the output, a full disk or a
// cancel is told in the message's own words under the file it concerns.
std::string ErrorBoxText(const std::string& FN, const std::string& ArchiveFile, int ECode);

// The arguments formCreate reads (the program's own by default; WinMain
// hands them over, tests set their own).
void SetCommandLineArguments(std::vector<std::string> Args);
const std::vector<std::string>& CommandLineArguments();

// ---- the default-program question -------------------------------------------------

// Asked at start-up while ".zip" files are not associated with the program.
class TfrmDefault : public TForm {
public:
    explicit TfrmDefault(TComponent* AOwner);
    TLabel* Label1;
    TCheckBox* CheckBox1;  // "Always perform this check when starting Bramble"
    TButton* btnYes;
    TButton* btnNo;
};

// ---- the busy indicator ---------------------------------------------------------

// A small windowed box in the status bar that draws its image centred.
class TLedBox : public TCustomControl {
public:
    explicit TLedBox(TComponent* AOwner);
    TNotifyEvent OnPaint;

protected:
    void Paint() override;
};

// ---- the main window --------------------------------------------------------------

class TfrmMain : public TForm {
public:
    explicit TfrmMain(TComponent* AOwner);
    ~TfrmMain() override;

    // ---- controls ----
    TMainMenu2000* MainMenu1;
    TMenuItem *mnuFile, *mnuNew1, *mnuOpen1, *mnuClose1, *FileMakeexe1, *mnuUUEncode1, *mnuExit1;
    TMenuItem *mnuAction, *mnuAddFiles1, *mnuDelete1, *mnuExtract1, *ActionFastextract1, *mnuView2,
        *SelectAll1, *Invertselection1, *mnuTest, *mnuRefresh1;
    TMenuItem *mnuViewMenu, *mnuToolbar, *mnuErrorMessages1, *mnuDisplayElapsedTime1, *mnuBlankDirs1, *mnuSort1,
        *mnuIcons, *mnuReport1, *mnuList1, *mnuSmall1, *mnuLarge1, *mnuOptions;
    TMenuItem *mnuHelp, *Contents1, *BrambleHomepage1, *About1;

    // The docks on the four edges; the bottom one sits above the status bar.
    TDock97 *DockTop, *DockBottom, *DockLeft, *DockRight;
    // The "Menu Bar" toolbar and the menu bar on it, which shows MainMenu1.
    TSkiffbar* MainMenu981;
    TMenuBar2000* MenuBar20001;
    TSkiffbar* Skiffbar1;  // the "Toolbar"
    TToolbarButton97 *ToolbarButtonNew, *ToolbarButtonOpen, *ToolbarButtonAdd, *ToolbarButtonExtract,
        *ToolbarButtonDel, *ToolbarButtonView, *ToolbarButtonInstall;
    TPopupMenu2000 *PopupMenuTB, *PopupMenuOpen, *PopupMenuExtract, *PopupMenuInstall, *PopupMenu98List;
    TMenuItem *Flat1, *Text1, *Tooltips1, *ListOpen1, *Properties1;

    TListView* ListView1;
    TToolWindow97* MsgToolWindow;  // the "Messages" window
    TRichEdit* RichEdit1;
    TStatusBar* StatusBar1;
    TProgressBar* ProgressBar1;
    TLedBox* pbxLed;
    TBitmap imgLed;
    TOpenDialog* OpenDialog1;

    // ---- engine components ----
    TDovex* Dovex1;
    TZipCheck* ZipCheck1;
    TUnTAR* UnTAR1;      // also where the gzip reader hands a TAR on
    TUUDecode* UUDecode1;
    TUnBase *UnACE1, *UnARC1, *UnARJ1, *UnBH1, *UnCAB1, *UnGZIP1, *UnJar1, *UnLHA1, *UnRAR1, *UnZIP1, *UnZOO1;
    TCompBase* Zip1;     // the ZIP writer, nullptr while there is none
    TCompBase* Tar1;
    TCompBase* BlakHole1;
    TCompBase* Lha1;
    TCompBase* MakeCAB1;
    TCompBase* GZip1;
    TCompBase* Jar1;
    TUUEncode* UUEncode1;  // set up by the UUEncode dialog
    TMRUFileList* MRUFileList1;  // the recent archives under the File menu
    TDragFilesTrg* DragFilesTrg1;  // drops on the window: open an archive
    TDragFilesTrg* DragFilesTrg2;  // drops on the list: add files
    TDragFilesSrc* DragFilesSrc1;  // entries dragged out of the list
    TPoint DragStartPoint{-1, -1};

    std::unique_ptr<TEntryList> Entries;

    // ---- state shared with the commands ----
    std::string CommandSwitch;
    std::string CommandPath;
    std::string TempFolder;
    std::string LastOpenFolder;
    TCompBase* CompressComponent = nullptr;
    // The writer kind the Add dialog used last (ZIP at first).
    int Tag = 8;
    // Set only while Add runs for files dropped on the list.
    bool FilesDropped = false;
    TUnBase* ExtractComponent = nullptr;
    bool UseVirtualList = true;
    // Names this program wrote into TempFolder for viewing or installing;
    // they are deleted when the window goes.
    std::set<std::string> ExtractedNames;
    // True when the last extraction into TempFolder wrote Path whole and it
    // passed its check: only such a file is started.
    bool WrittenWhole(const std::string& Path) const;

    // ---- operations ----
    void OpenArchive(const std::string& Path);
    // After a UU/XX-encoded file was listed: offers to decode the archive it
    // holds into TempFolder and opens the result.
    void DoUueDecode();
    // which: 0 the selected entries, 1 all; confirm: 1 asks before
    // overwriting, 0 overwrites existing files.
    void ExtractFiles(const std::string& Target, const std::string& Viewer, const std::string& OpenWith,
                      int Confirm, int Which, bool Restore);
    bool DefineCompressComponent();
    // True when the drive's size can be read (a disk is in it), asked
    // without the system's critical-error box.
    static bool DiskInDrive(char Drive);
    // Where the Open and New dialogs start, by the Options' start folder.
    std::string ArchiveDialogFolder();
    // Says on the Messages window that a part of the program is not built
    // yet, for commands that would show it.
    void NotAvailable(const std::string& What);
    void EnableMenus();
    void DisplayTotals();
    void ApplicationBusy();
    void ApplicationWaiting();
    void SetLedColor(TColor Color);
    void AddMessage(const std::string& Line);
    void ShowMessages();
    // The reader for the kind by the program's table, or nullptr.
    TUnBase* ReaderFor(TArcType Kind);
    // A run of an archive command is under way.
    bool Busy() const { return running_ > 0; }
    TColor LedColor() const { return ledColor_; }

    // ---- commands ----
    void mnuOpen1Click(TObject* Sender);
    // Asks for a new archive's name, then for its files through the Add
    // dialog, and writes it.
    void mnuNew1Click(TObject* Sender);
    // Writes the new archive Name from the files the Add dialog gives.
    void CreateNewArchive(const std::string& Name);
    // Adds files to the open archive through the Add dialog; Dropped are
    // files dropped on the list, which the dialog starts with.
    void mnuAddFiles1Click(TObject* Sender);
    void AddFiles(const std::vector<std::string>& Dropped);
    void mnuClose1Click(TObject* Sender);
    void mnuExit1Click(TObject* Sender);
    // Writes the open ZIP archive as a self-extracting program beside it.
    void FileMakeexe1Click(TObject* Sender);
    void mnuDelete1Click(TObject* Sender);
    // Asks through the Extract dialog, then extracts.
    void mnuExtract1Click(TObject* Sender);
    void ActionFastextract1Click(TObject* Sender);
    void mnuView2Click(TObject* Sender);
    void SelectAll1Click(TObject* Sender);
    void Invertselection1Click(TObject* Sender);
    void mnuTestClick(TObject* Sender);
    void mnuRefresh1Click(TObject* Sender);
    void mnuToolbarClick(TObject* Sender);
    void mnuErrorMessages1Click(TObject* Sender);
    void mnuDisplayElapsedTime1Click(TObject* Sender);
    void mnuBlankDirs1Click(TObject* Sender);
    void mnuSort1Click(TObject* Sender);
    void View1Click(TObject* Sender);
    // Places and shows the Options dialog; a confirmed change is applied
    // to this window, the shell and the registry.
    void mnuOptionsClick(TObject* Sender);
    void Contents1Click(TObject* Sender);
    void BrambleHomepage1Click(TObject* Sender);
    void About1Click(TObject* Sender);
    void Properties1Click(TObject* Sender);
    // The entry Properties describes: the right-clicked (focused) row while
    // it is selected, else the first selected one; "" when none is.
    std::string PropertiesEntryName();
    void mnuUUEncode1Click(TObject* Sender);
    void MRUFileList1MRUItemClick(TObject* Sender, const std::string& AFilename);
    void DragFilesTrg1Drop(TObject* Sender);
    void DragFilesTrg2Drop(TObject* Sender);
    void DragFilesSrc1Dropping(TObject* Sender);
    void ListView1MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
    void ListView1DblClick(TObject* Sender);
    void ListView1KeyDown(TObject* Sender, WORD& Key, TShiftState Shift);
    void ListView1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void ListView1Click(TObject* Sender);
    // Any selection change of the list, whoever made it (keys, type-ahead,
    // a right-click, a sort, the program).
    void ListView1Change(TObject* Sender, TListItem* Item, TItemChange Change);
    void PopupMenuExtractPopup(TObject* Sender);
    // The Open button's drop-down: one item per recent archive.
    void PopupMenuOpenPopup(TObject* Sender);
    void PopupHandlerOpen(TObject* Sender);
    // The close buttons of the floating toolbar and Messages window.
    void Skiffbar1Close(TObject* Sender);
    void MsgToolWindowClose(TObject* Sender);
    void MyPopupHandler(TObject* Sender);
    void PopupHandlerInstall(TObject* Sender);
    void PopupMenuInstallChange();
    void FlatClick(TObject* Sender);
    void TextClick(TObject* Sender);
    void TooltipsClick(TObject* Sender);
    void pbxLedClick(TObject* Sender);
    void pbxLedPaint(TObject* Sender);
    void FormResize(TObject* Sender);
    void FormPaint(TObject* Sender);
    void Install(const std::string& Name);

    // ---- engine events ----
    void Dovex1Activate(TObject* Sender);
    void Dovex1Deactivate(TObject* Sender);
    void Dovex1Read(TObject* Sender, int Offset, int Filenum);
    void Dovex1Error(TObject* Sender, const std::string& FN, const std::string& MsgEx, const std::string& VolumeID,
                     int ECode);
    void Dovex1NextVolume(TObject* Sender, std::string& VolumeName, const std::string& VolumeID, bool FExists,
                          bool& Cancel);
    void Dovex1GetZipFirstDisk(TObject* Sender, bool& Cancel);
    void Dovex1GetZipLastDisk(TObject* Sender, bool& Cancel);
    void Dovex1GetZipNextDisk(TObject* Sender, const std::string& VolumeName, bool& Cancel);
    void Dovex1CorruptZipHeader(TObject* Sender, uint8_t HeadFlag, bool& Cancel);
    void UnZIP1begin(TObject* Sender, const std::string& FN, int Count, bool& Extract);
    void UnZIP1end(TObject* Sender, const std::string& FN, bool CRC_PASS);
    void UnZIP1Progress(TObject* Sender, uint8_t ProgressByFile, uint8_t ProgressByArchive);
    void UnZIP1FileExists(TObject* Sender, const std::string& FN, TDateTime FileDate, TOverwriteMode& OverwriteMode);
    void UnZIP1GetPassword(TObject* Sender, const std::string& FN, std::string& Password, bool& TryAgain);
    void UnZIP1ElapsedTime(TObject* Sender, float ElapsedTime);
    void Zip1Activate(TObject* Sender);
    void Zip1Deactivate(TObject* Sender);
    void Zip1begin(TObject* Sender, const std::string& FN, int Count, bool& Extract);
    void Zip1end(TObject* Sender, const std::string& FN, bool CRC_PASS);
    void Zip1RecurseDir(TObject* Sender, const std::string& Directory);
    void Zip1NonWriteableArchive(TObject* Sender, const std::string& ArchiveFile, bool& WriteToFile);
    void Zip1ReplaceFile(TObject* Sender, const std::string& OldFN, const std::string& FN, TDateTime OldDate,
                         TDateTime NewDate, int OldFileSize, int NewFileSize, int OldAttr, int NewAttr,
                         bool& Replace);
    void Zip1InsertDiskette(TObject* Sender, const std::string& VolumeName, int TotalSpace, int FreeSpace,
                            bool& Cancel);
    void ZipCheck1Activate(TObject* Sender);
    void ZipCheck1Deactivate(TObject* Sender);
    void ZipCheck1Status(TObject* Sender, const std::string& FN, bool PassFail);
    void ZipCheck1Error(TObject* Sender, const std::string& FN, const std::string& MsgEx,
                        const std::string& VolumeID, int ECode);
    void ZipCheck1End(TObject* Sender, const std::string& FN);
    void ZipCheck1NextVolume(TObject* Sender, std::string& VolumeName, const std::string& VolumeID, bool FExists,
                             bool& Cancel);

    // Carries out the command-line switch; runs once, posted after the
    // first paint.
    void RunSwitch();
    void RunSwitchAction(const std::string& Switch);

    void WndProc(TMessage& Message) override;
    // The menu's shortcuts, and the second ones of Add files (Shift+A) and
    // Extract (Shift+E).
    bool IsShortCut(WORD Key, TShiftState Shift) override;

private:
    void BuildMenus();
    void BuildDocks();
    void BuildToolbar();
    void BuildMenuBar();
    void BuildListAndMessages();
    void BuildStatusBar();
    void CreateEngine();
    void WireReader(TUnBase* Reader, TArcType Kind);
    // The events beyond those every writer has, by what the writer does.
    enum : unsigned { weRead = 1, weFolders = 2, wePassword = 4, weFileExists = 8 };
    void WireWriter(TCompBase* Writer, unsigned Events);
    void formCreate(TObject* Sender);
    void formDestroy(TObject* Sender);
    void FormCloseQuery(TObject* Sender, bool& CanClose);
    void ReadOptions();
    // What a confirmed Options dialog changes.
    void ApplyOptions();
    void ApplyShortcuts();
    void ApplySettings();
    void SaveSettings();
    void ToolbarLook();
    // The least client area at which the toolbar, a few rows of the list,
    // the Messages window and the status bar with its texts all fit.
    TPoint MinimumClientSize();
    // Grows a normal window that has become smaller than that (a pane was
    // shown, the toolbar got its captions).
    void KeepMinimumSize();
    void LoadGlyph(TToolbarButton97* Button, const std::string& Name);
    void ButtonHover(TToolbarButton97* Button, const std::string& Base, bool Enter);
    // The dock of a stored dock code (0 floating, 1 top, 2 right, 3 bottom,
    // 4 left) and back.
    TDock97* DockOfCode(int Code) const;
    int CodeOfDock(const TDock97* Dock) const;
    // Puts a bar where the settings say: on Fallback first, then on the
    // dock of Code (floating for 0) at the row, and at the place along the
    // dock or on the screen from Left and Top.
    void PlaceBar(TCustomToolWindow97* Bar, TDock97* Fallback, TDock97* Dock, bool Float, int Row, int Left, int Top);
    // The bars' part of the settings, read and stored.
    void RestoreBars(const TSettings& S);
    void StoreBars(TSettings& S) const;
    // Runs a command unless a run is under way; the run's guard and the
    // quiet end of a cancelled run are here, for every command alike.
    template <typename F>
    void Command(F&& Body);
    // A toolbar button's click: the menu item's command where the item is
    // enabled, else the reason it is not.
    void ToolbarCommand(TMenuItem* Item, void (TfrmMain::*Handler)(TObject*), TObject* Sender);
    void SetStatus(int Panel, const std::string& Text, bool RepaintNow = false);
    std::string ShortenPath(const std::string& Path);
    void OpenWithShell(const std::string& File, const std::string& Parameters);
    void ExtractSelectedAndOpen();
    // False, and says so, when a file stands where the folder an
    // extraction goes into would be.
    bool TargetFolderPossible(const std::string& Target);
    void ClearInstallMenu();
    void SetArchiveCaption();

    struct RunMark;
    int running_ = 0;
    bool closePending_ = false;
    bool firstPaint_ = true;
    bool switchPosted_ = false;
    bool totalsPosted_ = false;
    // Errors the engine reported and the window told, and the last one's
    // id: the raise that follows such a report is not shown again.
    int reportedErrors_ = 0;
    int lastReportedCode_ = 0;
    // A run of the window (the outermost RunMark) shows at most one error
    // box and one "Extract failed!" box, however many entries fail; every
    // error still has its line, and the run's end counts the entries that
    // failed (lower-cased names).
    bool runErrorBoxShown_ = false;
    bool runFailedBoxShown_ = false;
    std::set<std::string> runFailed_;
    void BeginRunReport();
    void EndRunReport();
    // False when a box of that kind was shown in this run already; marks it
    // shown otherwise. Outside a run every box is shown.
    bool TakeRunBox(bool& Shown);
    void NoteFailedEntry(const std::string& Name);
    // An engine error's line on the Messages window, naming the entry
    // (Name) it concerns, which counts as failed; false when it gets no box.
    bool TellRunError(const std::string& Archive, const std::string& Name, const std::string& MsgEx, int ECode);
    // The entry a reader's event names, without the target folder the
    // reader put before it.
    static std::string EntryShownName(TObject* Sender, const std::string& FN);
    // While a delete runs, names it did not find (25172, one per name) go
    // to the Messages window only; the delete says once that nothing went.
    bool deleting_ = false;
    // The entry a run has under way, by the name its OnBegin gave (in a
    // test: the name the list shows).
    std::string testEntry_;
    bool driveChecked_ = false;
    bool tempRun_ = false;  // the running extraction goes into TempFolder
    int busyCount_ = 0;
    TColor ledColor_ = clGreen;
    std::string switchPath_;  // the command line's path made absolute at start-up
    std::string tempBegin_;   // the temporary file now being written, if it was new
    bool tempBeginNew_ = false;
    // Lower-cased: what the last extraction into TempFolder wrote whole.
    std::set<std::string> tempWhole_;
    // Starts File from TempFolder when this run wrote it whole; says on the
    // Messages window why not otherwise.
    bool StartableTempFile(const std::string& File);
    std::vector<std::unique_ptr<TUnBase>> readers_;  // the readers below UnTAR1 and UUDecode1
    std::vector<std::unique_ptr<TCompBase>> writers_;
    os::AppHooks savedHooks_;
    bool hooksInstalled_ = false;
};

extern TfrmMain* frmMain;

// The engine's questions as message boxes and its message pump as the
// application's; the window installs them when it is created.
os::AppHooks ProgramHooks();

}  // namespace bramble
