// The engine's events on the main window: progress, file names, errors,
// test results and the questions the engine asks while it runs.
#include <windows.h>

#include "app/forms/main_private.h"
#include "app/forms/overwrite.h"
#include "app/settings/settings.h"
#include "engine/core/compbase.h"
#include "engine/core/messages.h"

namespace bramble {

std::string ErrorLine(const std::string& ArchiveFile, const std::string& MsgEx, int ECode) {
    const bool error = ECode >= 25100 && ECode <= 25450;
    const bool message = ECode >= 26500 && ECode <= 26522;
    if (!error && !message) return {};
    return LowerStr(ArchiveFile) + ":" + "   " + (error ? "Error#: " : "Message#: ") + std::to_string(ECode) +
           "   " + ": " + MessageText(ECode) + "   " + MsgEx;
}

namespace {

bool IsCancelCode(int ECode) { return ECode == 25449 || ECode == 25400; }

// Errors that say nothing against the archive: the user's password, where
// the output goes, and the user's own cancel.
bool OwnWordsError(int ECode, bool ArchiveItself) {
    switch (ECode) {
        case 26517: case 26522:
        case 25136: case 25150: case 25155: case 25156: case 25159:
        case 25400: case 25449:
            return true;
        case 25235:  // the archive that cannot be opened is unreadable
            return !ArchiveItself;
        default:
            return false;
    }
}

}  // namespace

std::string ErrorBoxText(const std::string& FN, const std::string& ArchiveFile, int ECode) {
    const bool archiveItself = FN.empty() || SameText(FN, ArchiveFile);
    if (!OwnWordsError(ECode, archiveItself))
        return "Not a valid archive file, if you downloaded it from the internet, try downloading it again.";
    return "File   : " + (FN.empty() ? ArchiveFile : FN) + "\r" + "Error# : " + std::to_string(ECode) + "\r" +
           MessageText(ECode);
}

// ---- the run's report ------------------------------------------------------------------

void TfrmMain::BeginRunReport() {
    runErrorBoxShown_ = false;
    runFailedBoxShown_ = false;
    runFailed_.clear();
}

void TfrmMain::EndRunReport() {
    const size_t n = runFailed_.size();
    runFailed_.clear();
    if (n == 0) return;
    try {
        // The boxes stopped at the first: the lines tell the rest.
        ShowMessages();
        AddMessage(n == 1 ? std::string("1 entry failed.") : std::to_string(n) + " entries failed.");
    } catch (...) {
        // The run is over either way; its lines are there.
    }
}

bool TfrmMain::TakeRunBox(bool& Shown) {
    if (running_ == 0) return true;
    if (Shown) return false;
    Shown = true;
    return true;
}

void TfrmMain::NoteFailedEntry(const std::string& Name) {
    if (!Name.empty()) runFailed_.insert(LowerStr(Name));
}

bool TfrmMain::TellRunError(const std::string& Archive, const std::string& Name, const std::string& MsgEx, int ECode) {
    const bool cancel = IsCancelCode(ECode);
    // Lines without a box must still say which entry they are about.
    const bool entry = !cancel && !Name.empty() && !SameText(Name, Archive);
    const std::string line = ErrorLine(Archive, !entry ? MsgEx : MsgEx.empty() ? Name : MsgEx + "   " + Name, ECode);
    if (!line.empty()) AddMessage(line);
    if (entry) NoteFailedEntry(Name);
    // The names a delete missed are told once, by the delete.
    if (!cancel && !(deleting_ && ECode == 25172)) {
        ++reportedErrors_;
        lastReportedCode_ = ECode;
    }
    // A window closing stops its run: that needs no telling.
    return !(cancel && closePending_);
}

std::string TfrmMain::EntryShownName(TObject* Sender, const std::string& FN) {
    auto* r = dynamic_cast<TUnBase*>(Sender);
    if (!r || r->ExtractDir().empty()) return FN;
    const std::string dir = AppendBackslash(r->ExtractDir());
    return FN.size() > dir.size() && StartsWithNoCase(FN, LowerStr(dir)) ? FN.substr(dir.size()) : FN;
}

os::AppHooks ProgramHooks() {
    os::AppHooks h;
    h.processMessages = [] {
        if (Application) Application->ProcessMessages();
    };
    h.askYesNo = [](const std::string& text, const std::string& caption) {
        int r = Application->MessageBox(text, caption.empty() ? Application->Title() : caption,
                                        MB_YESNO | MB_ICONQUESTION);
        return r == IDYES ? os::Answer::Yes : os::Answer::No;
    };
    h.askRetryCancel = [](const std::string& text, const std::string& caption) {
        int r = Application->MessageBox(text, caption.empty() ? Application->Title() : caption,
                                        MB_RETRYCANCEL | MB_ICONSTOP);
        return r == IDRETRY ? os::Answer::Retry : os::Answer::Cancel;
    };
    h.handleException = [](std::exception_ptr e) {
        if (Application) Application->HandleException(nullptr, e);
    };
    return h;
}

// ---- engine events -------------------------------------------------------------------------

void TfrmMain::Dovex1Activate(TObject*) {
    ClearInstallMenu();
    ApplicationBusy();
    Entries->Clear();
}

void TfrmMain::Dovex1Deactivate(TObject*) {
    SetStatus(1, "");
    ApplicationWaiting();
    Entries->UpdateCount();
}

void TfrmMain::Dovex1Read(TObject* Sender, int Offset, int) {
    auto* c = dynamic_cast<TZipCommon*>(Sender);
    if (!c || !Entries) return;
    Entries->AddFromComponent(*c, Offset);
}

void TfrmMain::Dovex1Error(TObject* Sender, const std::string& FN, const std::string& MsgEx, const std::string&,
                           int ECode) {
    MessageBeep(0);
    auto* c = dynamic_cast<TdvxMain*>(Sender);
    const std::string archive = c ? c->ArchiveFile() : std::string();
    if (ErrorLine(archive, MsgEx, ECode).empty()) return;
    const bool tell = TellRunError(archive, FN, MsgEx, ECode);
    if (ListView1->CanFocus()) ListView1->SetFocus();
    if (!tell || (deleting_ && ECode == 25172) || !TakeRunBox(runErrorBoxShown_)) return;
    Application->MessageBox(ErrorBoxText(FN, archive, ECode), Application->Title(),
                            MB_OK | (IsCancelCode(ECode) ? MB_ICONINFORMATION : MB_ICONERROR));
}

void TfrmMain::Dovex1NextVolume(TObject*, std::string& VolumeName, const std::string& VolumeID, bool FExists,
                                bool& Cancel) {
    Cancel = false;
    if (FExists) return;
    std::string v = VolumeName;
    if (InputQuery(ExtractFileName(VolumeName), "Volume ID: " + VolumeID, v))
        VolumeName = v;
    else
        Cancel = true;
}

void TfrmMain::Dovex1GetZipFirstDisk(TObject*, bool& Cancel) {
    if (MessageDlg("Insert FIRST disk of this archive set.", mtInformation, {mbOK, mbCancel}) == mrOk) Cancel = false;
}

void TfrmMain::Dovex1GetZipLastDisk(TObject*, bool& Cancel) {
    if (MessageDlg("Insert LAST disk of this archive set.", mtInformation, {mbOK, mbCancel}) == mrOk) Cancel = false;
}

void TfrmMain::Dovex1GetZipNextDisk(TObject*, const std::string& VolumeName, bool& Cancel) {
    if (MessageDlg("Insert disk# : " + VolumeName, mtInformation, {mbOK, mbCancel}) == mrOk) Cancel = false;
}

void TfrmMain::Dovex1CorruptZipHeader(TObject*, uint8_t HeadFlag, bool& Cancel) {
    ShowMessages();
    AddMessage("Warning : Bad zip header found: ");
    if (!(HeadFlag & 0x10)) AddMessage("Local header missing or corrupt");
    if (!(HeadFlag & 0x08)) AddMessage("Central header missing or corrupt");
    if (!(HeadFlag & 0x01)) AddMessage("Ending header missing or corrupt");
    Cancel = false;
}

void TfrmMain::UnZIP1begin(TObject*, const std::string& FN, int, bool&) {
    SetStatus(1, "Extracting: " + ShortenPath(FN), true);
    // In a test (the tester's reader fires the tester's handlers) this is
    // the entry's stored name.
    testEntry_ = FN;
    tempBegin_.clear();
    if (tempRun_) {
        tempBegin_ = FN;
        tempBeginNew_ = !os::FileExists(FN);
    }
}

void TfrmMain::UnZIP1end(TObject*, const std::string& FN, bool CRC_PASS) {
    // A file counts as this program's when it came out whole, or when
    // there was none before this run made it; only a whole one is started.
    if (tempRun_ && FN == tempBegin_ && os::FileExists(FN)) {
        if (CRC_PASS || tempBeginNew_) ExtractedNames.insert(FN);
        if (CRC_PASS) tempWhole_.insert(LowerStr(FN));
    }
    tempBegin_.clear();
    if (CRC_PASS) return;
    // Readers end a damaged entry here without an error: the line is its
    // only trace once the run's one box has been shown.
    AddMessage(FN + " ...Extract failed!");
    NoteFailedEntry(FN);
    if (TakeRunBox(runFailedBoxShown_)) Application->MessageBox(FN + "\rExtract failed!", Application->Title(), MB_OK);
}

void TfrmMain::UnZIP1Progress(TObject*, uint8_t, uint8_t ProgressByArchive) {
    ProgressBar1->SetPosition(ProgressByArchive);
    if (ProgressBar1->HandleAllocated()) ProgressBar1->Update();
}

void TfrmMain::UnZIP1FileExists(TObject* Sender, const std::string& FN, TDateTime, TOverwriteMode& OverwriteMode) {
    auto* c = dynamic_cast<TZipCommon*>(Sender);
    TfrmOverwrite* dlg = frmOverwrite;
    std::unique_ptr<TfrmOverwrite> own;
    if (!dlg) {
        own = std::make_unique<TfrmOverwrite>(nullptr);
        own->AfterConstruction();
        dlg = own.get();
    }
    dlg->SetFileName(FN);
    const int r = dlg->ShowModal();
    if (r == mrYes)
        OverwriteMode = omOverwrite;
    else if (r == mrNo)
        OverwriteMode = omSkip;
    else if (c)
        c->SetCancel(true);
    if (c) c->SetConfirmOverwrites(!dlg->DontAskAgain());
    if (own) {
        own->BeforeDestruction();
        own.reset();
    }
}

void TfrmMain::UnZIP1GetPassword(TObject* Sender, const std::string& FN, std::string& Password, bool& TryAgain) {
    std::string p = Password;
    // Entries may have passwords of their own: the question says whose.
    const std::string entry = EntryShownName(Sender, FN);
    if (InputQuery("Encrypted file...", entry.empty() ? "Enter password" : "Enter password for " + entry, p))
        Password = p;
    else
        TryAgain = false;
}

void TfrmMain::UnZIP1ElapsedTime(TObject*, float ElapsedTime) {
    if (!mnuDisplayElapsedTime1->Checked()) return;
    AddMessage("Elapsed time : " + Format("Seconds: %g", static_cast<double>(ElapsedTime)));
}

void TfrmMain::Zip1Activate(TObject*) {
    ProgressBar1->SetVisible(true);
    ApplicationBusy();
}

void TfrmMain::Zip1Deactivate(TObject*) {
    ApplicationWaiting();
    DisplayTotals();
}

void TfrmMain::Zip1begin(TObject* Sender, const std::string& FN, int, bool&) {
    auto* w = dynamic_cast<TCompBase*>(Sender);
    SetStatus(1, std::string(w && w->Switch() == swDelete ? "Deleting: " : "Compressing: ") + ShortenPath(FN));
}

void TfrmMain::Zip1end(TObject*, const std::string& FN, bool CRC_PASS) {
    SetStatus(1, "");
    if (!CRC_PASS) NoteFailedEntry(FN);
}

void TfrmMain::Zip1RecurseDir(TObject*, const std::string& Directory) {
    SetStatus(1, "Scanning dir: " + ShortenPath(Directory));
}

void TfrmMain::Zip1NonWriteableArchive(TObject*, const std::string& ArchiveFile, bool& WriteToFile) {
    if (MessageDlg(ArchiveFile + " is ReadOnly, SysFile, or Hidden file...\r\r" + "Write to this file?",
                   mtConfirmation, {mbYes, mbNo}) == mrYes)
        WriteToFile = true;
}

void TfrmMain::Zip1ReplaceFile(TObject*, const std::string& OldFN, const std::string& FN, TDateTime OldDate,
                               TDateTime NewDate, int OldFileSize, int NewFileSize, int OldAttr, int NewAttr,
                               bool& Replace) {
    auto date = [](TDateTime d) {
        int y, mo, da, h, mi, s;
        DecodeDateTime(d, y, mo, da, h, mi, s);
        const char sep = DateSeparator();
        return Format("%02d%c%02d%c%02d %02d:%02d", mo, sep, da, sep, y % 100, h, mi);
    };
    const std::string text = "Replace:\r" + FN + "\rSize: " + std::to_string(OldFileSize) + "\rDate: " +
                             date(OldDate) + "\rAttr: " + std::to_string(OldAttr) + "\r\rWith:\r" + OldFN +
                             "\rSize: " + std::to_string(NewFileSize) + "\rDate: " + date(NewDate) + "\rAttr: " +
                             std::to_string(NewAttr);
    if (MessageDlg(text, mtConfirmation, {mbYes, mbNo}) != mrYes) Replace = false;
}

void TfrmMain::Zip1InsertDiskette(TObject*, const std::string& VolumeName, int, int, bool& Cancel) {
    if (MessageDlg("Insert disk# : " + VolumeName, mtInformation, {mbOK, mbCancel}) == mrOk) Cancel = false;
}

void TfrmMain::ZipCheck1Activate(TObject*) {
    testEntry_.clear();
    SetLedColor(clRed);
    ProgressBar1->SetPosition(0);
    ProgressBar1->SetVisible(true);
}

void TfrmMain::ZipCheck1Deactivate(TObject*) {
    SetLedColor(clGreen);
    ProgressBar1->SetPosition(0);
    ProgressBar1->SetVisible(false);
}

void TfrmMain::ZipCheck1Status(TObject*, const std::string& FN, bool PassFail) {
    testEntry_.clear();
    if (!PassFail) NoteFailedEntry(FN);
    AddMessage(FN + (PassFail ? " ...Ok" : " ...Failed"));
    if (ListView1->CanFocus()) ListView1->SetFocus();
}

void TfrmMain::ZipCheck1Error(TObject* Sender, const std::string& FN, const std::string& MsgEx,
                              const std::string&, int ECode) {
    MessageBeep(0);
    auto* c = dynamic_cast<TdvxMain*>(Sender);
    const std::string archive = c ? c->ArchiveFile() : FN;
    // An entry's problem is told under the entry's name as the list shows
    // it, whatever output path the reader would have used for it.
    const std::string name = IsCancelCode(ECode) || testEntry_.empty() ? FN : testEntry_;
    if (!TellRunError(archive, name, MsgEx, ECode) || !TakeRunBox(runErrorBoxShown_)) return;
    Application->MessageBox("File   : " + name + "\r" + "Error# : " + std::to_string(ECode) + "\r" + MessageText(ECode),
                            Application->Title(), MB_OK);
}

void TfrmMain::ZipCheck1End(TObject*, const std::string&) { SetStatus(1, "Ready..."); }

void TfrmMain::ZipCheck1NextVolume(TObject*, std::string& VolumeName, const std::string&, bool FExists,
                                   bool& Cancel) {
    if (FExists) return;
    std::string v = VolumeName;
    if (InputQuery("Enter new drv:\\directory...", "Filename: " + VolumeName, v))
        VolumeName = v;
    else
        Cancel = true;
}

}  // namespace bramble
