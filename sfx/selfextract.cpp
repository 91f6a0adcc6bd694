#include "sfx/selfextract.h"

#include "engine/core/exception.h"
#include "engine/core/helpers.h"
#include "engine/core/messages.h"
#include "engine/core/os.h"
#include "engine/readers/unzip.h"

namespace bramble {

TSelfExtract::TSelfExtract(std::string Program) : program_(std::move(Program)) {
    TUnZIP probe;
    probe.SetArchiveFile(program_);
    hasArchive_ = probe.ArcType() == atZipExe;
}

TSelfExtract::Result TSelfExtract::Extract(const std::string& Folder) {
    Result result;
    const std::string target = os::FullPathName(Folder);
    if (!os::DirectoryExists(target)) {
        ForceDirs(target);
        if (!os::DirectoryExists(target)) {
            result.Errors.push_back(MessageText(25156) + ": " + target);
            return result;
        }
    }

    TUnZIP reader;
    reader.OnError = [&](TObject*, const std::string& FN, const std::string& MsgEx, const std::string&, int ECode) {
        if (ECode == 25400 || ECode == 25449) {
            result.Cancelled = true;
            return;
        }
        std::string line = (FN.empty() ? std::string() : FN + ": ") + MessageText(ECode);
        if (!MsgEx.empty()) line += " " + MsgEx;
        result.Errors.push_back(line);
    };
    reader.OnEnd = [&](TObject*, const std::string&, bool Pass) {
        if (Pass) ++result.Extracted;
    };
    reader.OnFileExists = [&](TObject* Sender, const std::string& FN, TDateTime, TOverwriteMode& Mode) {
        const TOverwriteAnswer answer = OnOverwrite ? OnOverwrite(FN) : TOverwriteAnswer::No;
        if (answer == TOverwriteAnswer::Yes) {
            Mode = omOverwrite;
        } else if (answer == TOverwriteAnswer::No) {
            Mode = omSkip;
        } else {
            Mode = omSkip;
            result.Cancelled = true;
            static_cast<TUnZIP*>(Sender)->SetCancel(true);
        }
    };
    reader.OnProgress = [&](TObject*, uint8_t, uint8_t ByArchive) {
        if (OnProgress) OnProgress(ByArchive);
    };
    reader.SetArchiveFile(program_);
    reader.SetExtractDir(target);
    reader.SetUseStoredDirs(true);
    reader.FileSpec() = {"*.*"};
    reader.SetConfirmOverwrites(true);
    reader.SetOverwriteMode(omSkip);
    try {
        reader.Extract();
    } catch (const E_RAISE& e) {
        if (e.Code() == 25400 || e.Code() == 25449)
            result.Cancelled = true;
        else if (result.Errors.empty())
            result.Errors.push_back(MessageText(e.Code()));
    }
    return result;
}

}  // namespace bramble
