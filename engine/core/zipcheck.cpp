#include "engine/core/zipcheck.h"

#include <memory>

#include "engine/core/os.h"
#include "engine/readers/readers.h"

namespace bramble {

TZipCheck::~TZipCheck() = default;

void TZipCheck::SetCancel(bool Value) {
    cancel_ = Value;
    TZipCommon* running = RunningComponent();
    if (running == this || !Value || !running)
        os::ProcessMessages();
    else
        running->SetCancel(true);
}

int TZipCheck::TestArchive() {
    if (archiveFile_.empty() || !CanTestArcType(arcType_)) RaiseError(archiveFile_, "", "0", 25242);
    if (!OnStatus) RaiseError(archiveFile_, "OnStatus", "0", 25270);

    // The tester is the running component until it hands over to its
    // reader; the reader fires the run's events, so none fire here.
    if (RunningComponent() && RunningComponent() != this) RaiseError(archiveFile_, "", "0", 26859);
    struct Running {
        TZipCheck& t;
        ~Running() {
            SetRunningComponent(nullptr);
            if (t.OnElapsedTime) {
                t.ElapsedTimer().Stop();
                try {
                    t.OnElapsedTime(&t, t.ElapsedTimer().ElapsedTime());
                } catch (...) {
                }
            }
        }
    } running{*this};
    SetRunningComponent(this);
    fileCount_ = 0;
    cancel_ = false;
    if (OnElapsedTime) timer_.Start();

    // The reader lives for this test only, whatever way it ends.
    struct Free {
        std::unique_ptr<TUnBase>& r;
        ~Free() { r.reset(); }
    } freeReader{reader_};

    reader_ = CreateReaderForKind(arcType_ == atZipMV ? atZip : arcType_);
    if (!reader_) RaiseError(archiveFile_, "", "0", 25242);
    TUnBase& r = *reader_;
    if (arcType_ == atZip || arcType_ == atZipExe || arcType_ == atZipMV) r.SetZipCmntBufSize(32000);

    // Nothing is written: blocks are only decrypted and checked.
    r.ExtractWriteHook = [&r](TStream* s, bool data, int64_t n, int k, bool d, const uint8_t* b) {
        uint8_t saved = r.OutputTarget;
        r.OutputTarget = otTest;
        int64_t done = r.WriteDecrypted(s, data, n, k, d, b);
        r.OutputTarget = saved;
        return done;
    };
    // Every entry that fails is reported through OnError under its own
    // stored name: one whose data only failed its check value says nothing
    // on its way, so the failure is said at its end.
    auto entryReported = std::make_shared<bool>(false);
    r.OnBegin = [this, entryReported](TObject* sender, const std::string& FN, int n, bool& extract) {
        *entryReported = false;
        if (OnBegin) OnBegin(sender, FN, n, extract);
    };
    r.OnError = [this, entryReported](TObject* sender, const std::string& FN, const std::string& ex,
                                       const std::string& v, int code) {
        *entryReported = true;
        if (OnError) OnError(sender, FN, ex, v, code);
    };
    r.OnEnd = [this, entryReported](TObject*, const std::string& FN, bool pass) {
        if (OnStatus) OnStatus(this, FN, pass);
        if (!pass && !*entryReported) ReportError(FN, "", "0", 25151);
        *entryReported = false;
        if (OnEnd) OnEnd(this, FN);
    };
    r.OnNextVolume = [this](TObject*, std::string& name, const std::string& id, bool exists, bool& cancel) {
        if (OnNextVolume) OnNextVolume(this, name, id, exists, cancel);
    };
    r.SetCancelQuietly(false);
    r.SetUseStoredDirs(false);
    r.SetArchiveFile(archiveFile_);
    r.SetFileSpec(fileSpec_);
    r.SetPasswords(passwords_);
    r.SetPasswordAttempts(passwordAttempts_);
    r.OnActivate = OnActivate;
    r.OnDeactivate = OnDeactivate;
    r.OnGetPassword = OnGetPassword;
    r.OnProgress = OnProgress;
    r.OnCorruptZipHeader = OnCorruptZipHeader;
    r.OnGetZipNextDisk = OnGetZipNextDisk;
    r.OnGetZipFirstDisk = OnGetZipFirstDisk;
    r.OnGetZipLastDisk = OnGetZipLastDisk;

    int tested = 0;
    try {
        tested = r.Test(this);
    } catch (...) {
        passwords_ = r.Passwords();
        throw;
    }
    passwords_ = r.Passwords();
    fileCount_ = tested;
    return tested;
}

}  // namespace bramble
