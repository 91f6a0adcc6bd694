// The commands that write archives through the Add dialog: New (also Open
// with a name that does not exist), Add files, and files dropped on the
// list.
#include <windows.h>

#include <cctype>

#include "app/forms/addfiles.h"
#include "app/forms/main_private.h"
#include "app/forms/options.h"
#include "app/widgets/mrulist.h"
#include "engine/core/compbase.h"
#include "engine/writers/gzip.h"

namespace bramble {

void TfrmMain::mnuNew1Click(TObject*) {
    OpenDialog1->SetInitialDir(ArchiveDialogFolder());
    OpenDialog1->SetFilter(
        "Zip files|*.zip|Cab files|*.cab|Lha files|*.lha|Tar files|*.tar|Jar files|*.jar|All Archives|*.zip;*.lha|All "
        "files|*.*");
    OpenDialog1->SetTitle("New Archive");
    OpenDialog1->SetOptions({ofHideReadOnly, ofEnableSizing});
    OpenDialog1->SetFileName("");
    if (!OpenDialog1->Execute()) return;
    std::string name = OpenDialog1->FileName();
    if (name.empty()) return;
    LastOpenFolder = ExtractFilePath(name);
    // Under the ZIP, CAB or LHA filter the name gets that kind's extension
    // unless it has it already: "backup" becomes backup.zip, and so does
    // "x.tar" (x.tar.zip), so the archive is of the kind the filter chose.
    static const char* const filterExt[] = {".zip", ".cab", ".lha"};
    const int filter = OpenDialog1->FilterIndex();
    if (filter >= 1 && filter <= 3 && LowerStr(ExtractFileExt(name)) != filterExt[filter - 1])
        name += filterExt[filter - 1];
    if (os::FileExists(name)) {
        OpenArchive(name);
        return;
    }
    MRUFileList1->AddItem(name);
    CreateNewArchive(name);
}

void TfrmMain::CreateNewArchive(const std::string& Name) {
    EnsureAddDialog();
    CompressComponent = nullptr;
    frmAddFiles->Prepare(*this, true, Name);
    PlaceDialog(frmAddFiles, this);
    if (frmAddFiles->ShowModal() != mrOk || !frmAddFiles->CompressComponent ||
        frmAddFiles->CompressComponent->FileSpec().empty()) {
        CompressComponent = nullptr;
        return;
    }
    TCompBase* w = frmAddFiles->CompressComponent;
    CompressComponent = w;
    // Without a new archive to show, the one open before comes back (or
    // the window is left as closed), also when the writer raised.
    const std::string before = Dovex1->ArchiveFile();
    auto restore = [&] {
        if (!before.empty() && os::FileExists(before))
            OpenArchive(before);
        else
            mnuClose1Click(this);
    };
    {
        BusyScope busy(*this);
        ClearInstallMenu();
        Entries->Clear();
        DisplayTotals();
    }
    w->SetArchiveFile(Name);
    try {
        w->Compress();
    } catch (...) {
        restore();
        throw;
    }
    // gzip writes one file per source beside the name; the first is what
    // there is to show.
    std::string written = w->ArchiveFile().empty() ? Name : w->ArchiveFile();
    if (auto* gz = dynamic_cast<TGZip*>(w); gz && !os::FileExists(written) && !w->FileSpec().empty())
        written = gz->OutputNameFor(w->FileSpec().front());
    if (w->FilesAdded() > 0 && os::FileExists(written)) {
        // Opening it lists it and puts it in the recent-files list.
        OpenArchive(written);
        return;
    }
    restore();
}

void TfrmMain::mnuAddFiles1Click(TObject*) { AddFiles({}); }

void TfrmMain::AddFiles(const std::vector<std::string>& Dropped) {
    if (Dovex1->ArchiveFile().empty() || !DefineCompressComponent()) return;
    TCompBase* w = CompressComponent;
    w->FileSpec().clear();
    struct Restore {
        ~Restore() { Screen->SetCursor(crDefault); }
    } restore;
    Screen->SetCursor(crHourGlass);
    w->SetArchiveFile(Dovex1->ArchiveFile());
    EnsureAddDialog();
    frmAddFiles->Prepare(*this, false, Dovex1->ArchiveFile(), Dropped);
    PlaceDialog(frmAddFiles, this);
    Screen->SetCursor(crDefault);
    const int answer = frmAddFiles->ShowModal();
    CompressComponent = frmAddFiles->CompressComponent;
    if (answer == mrOk && CompressComponent && !CompressComponent->FileSpec().empty()) {
        Screen->SetCursor(crHourGlass);
        CompressComponent->Compress();
        if (CompressComponent->FilesAdded() > 0) DisplayTotals();
        SetArchiveCaption();
    }
    mnuRefresh1Click(this);
}

}  // namespace bramble
