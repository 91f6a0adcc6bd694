#include "engine/writers/uuencode.h"

#include <algorithm>

#include "engine/core/helpers.h"
#include "engine/core/os.h"
#include "engine/formats/uu.h"

namespace bramble {

namespace {

constexpr size_t kBufferSize = 32768;
constexpr int kLineBytes = 45;
constexpr const char* kBanner = "Bramble TUUEncode component";

bool SamePath(const std::string& a, const std::string& b) {
    return UpperCase(os::FullPathName(a)) == UpperCase(os::FullPathName(b));
}

}  // namespace

std::string UuEncNextVolumeName(const std::string& Name, int Number) {
    return UuNextVolumeName(Name, Number, nvChangeExt, true);
}

TUUEncode::TUUEncode(TComponent* AOwner) : TCompBase(AOwner) {
    InitDefaultExt(".UUE");
    allowedMethods_ = {cmUUEncode, cmXXEncode};
    compressMethod_ = cmUUEncode;
    arcType_ = atNA;
}

void TUUEncode::SetArcType(TArcType) {
    // The source is any file: nothing to detect.
    arcType_ = archiveFile_.empty() ? atNA : atUue;
    arcOffset_ = 1;
}

void TUUEncode::SyncDefaultExt() {
    const std::string ext = compressMethod_ == cmXXEncode ? ".XXE" : ".UUE";
    if (ownDefaultExt_ == ext) return;
    // A chosen extension other than the method's own stays.
    if (defaultExt_ == ownDefaultExt_) defaultExt_ = ext;
    ownDefaultExt_ = ext;
}

void TUUEncode::SetCompressMethod(TCompressMethod v) {
    TCompBase::SetCompressMethod(v);
    SyncDefaultExt();
}

void TUUEncode::SetOutFilename(const std::string& v) {
    if (v == ".") {
        outFilename_.clear();
        return;
    }
    outFilename_ = v;
    if (!v.empty() && ExtractFileName(v).find('.') == std::string::npos) outFilename_ += defaultExt_;
}

// ---- output ---------------------------------------------------------------------------

void TUUEncode::FlushOut(TStream& Out) {
    if (writeBuffer_.empty()) return;
    CompressWriteHook(&Out, false, static_cast<int64_t>(writeBuffer_.size()), 0, false,
                      reinterpret_cast<const uint8_t*>(writeBuffer_.data()));
    writeBuffer_.clear();
}

void TUUEncode::WriteText(TStream& Out, const std::string& Text) {
    writeBuffer_ += Text;
    if (writeBuffer_.size() >= kBufferSize) FlushOut(Out);
}

bool TUUEncode::OpenPart(TFileStream& Out, const std::string& Name) {
    // A part is written beside its name and moved over it only when it is
    // whole, so a run that fails leaves an older file of that name as it
    // was. One that may not be replaced fails as opening it would.
    if (os::FileExists(Name) && !IsWritableFile(Name)) return false;
    partTemp_ = os::MakeTempFile(ExtractFilePath(os::FullPathName(Name)), "dvx");
    if (partTemp_.empty()) return false;
    if (Out.Open(partTemp_, os::OpenMode::Create)) return true;
    os::FileDelete(partTemp_);
    partTemp_.clear();
    return false;
}

void TUUEncode::DropPart(TFileStream& Out) {
    writeBuffer_.clear();
    Out.Close();
    if (!partTemp_.empty()) os::FileDelete(partTemp_);
    partTemp_.clear();
}

bool TUUEncode::ClosePart(TFileStream& Out, const std::string& Name) {
    FlushOut(Out);
    const bool closed = Out.Close();
    const std::string temp = std::move(partTemp_);
    partTemp_.clear();
    if (!closed || !os::FileRename(temp, Name)) {
        os::FileDelete(temp);
        return false;
    }
    if (dateAttribute_ == daFileDate) {
        os::FileTimes source;
        if (os::GetTimes(archiveFile_, source) && source.lastWrite != 0) {
            os::FileTimes t;
            t.lastWrite = source.lastWrite;
            os::SetTimes(Name, t);
        }
    }
    return true;
}

// ---- encoding ----------------------------------------------------------------------

bool TUUEncode::UuEncodeLines(TStream& Out) {
    auto sourceHasMore = [&] {
        if (readPos_ < readBuffer_.size()) return true;
        if (sourceEnded_) return false;
        os::ProcessMessages();
        if (cancel_) RaiseError(archiveFile_, "", "0", 25400);
        readBuffer_.resize(kBufferSize);
        const int64_t got = ReadHook(&inputFile_, static_cast<int64_t>(kBufferSize), 0, false,
                                     reinterpret_cast<uint8_t*>(readBuffer_.data()));
        readBuffer_.resize(got > 0 ? static_cast<size_t>(got) : 0);
        readPos_ = 0;
        if (got <= 0) {
            sourceEnded_ = true;
            return false;
        }
        done_ += got;
        bytesToDo_ -= got;
        DoProgress(done_, sourceSize_, sourceSize_);
        return true;
    };

    std::string line;
    for (;;) {
        uint8_t chunk[kLineBytes + 2] = {};
        int n = 0;
        while (n < kLineBytes && sourceHasMore()) {
            const size_t take = std::min<size_t>(static_cast<size_t>(kLineBytes - n), readBuffer_.size() - readPos_);
            std::copy_n(readBuffer_.data() + readPos_, take, chunk + n);
            readPos_ += take;
            n += static_cast<int>(take);
        }
        line.assign(1, alphabet_[n]);
        for (int i = 0; i < n; i += 3) {
            const uint8_t b0 = chunk[i], b1 = chunk[i + 1], b2 = chunk[i + 2];
            line += alphabet_[b0 >> 2];
            line += alphabet_[((b0 << 4) | (b1 >> 4)) & 63];
            line += alphabet_[((b1 << 2) | (b2 >> 6)) & 63];
            line += alphabet_[b2 & 63];
        }
        line += "\r\n";
        WriteText(Out, line);
        ++lineCounter_;
        if (n < kLineBytes) {
            // Even after a short line, the line of length 0 closes the data:
            // decoders of the classic format read up to it and take a file
            // without one as cut short (uudecode stops with "Short file",
            // having read "end" as data).
            if (n > 0) {
                WriteText(Out, std::string(1, alphabet_[0]) + "\r\n");
                ++lineCounter_;
            }
            FlushOut(Out);
            return true;
        }
        // A part that is full where the source ends takes the closing
        // short line too, rather than a part of its own.
        if (kBytesPerVolume_ > 0 && lineCounter_ >= int64_t{kBytesPerVolume_} * 16 && sourceHasMore()) {
            FlushOut(Out);
            return false;
        }
    }
}

bool TUUEncode::UuEncodeFile() {
    parts_ = 0;
    writeBuffer_.clear();
    readBuffer_.clear();
    readPos_ = 0;
    sourceEnded_ = false;
    done_ = 0;
    if (!OpenInputFile(archiveFile_)) return false;
    sourceSize_ = inputFile_.Size();
    bytesToDo_ = totalToDo_ = sourceSize_;
    const bool xx = compressMethod_ == cmXXEncode;
    alphabet_ = xx ? kXxAlphabet : kUuAlphabet;

    TFileStream out;
    if (!OpenPart(out, outFilename_)) {
        inputFile_.Close();
        ReportError(outFilename_, "", "0", 25235);
        return false;
    }
    parts_ = 1;
    const std::string name = ExtractFileName(archiveFile_);
    const std::string beginLine = "begin 644 " + name + "\r\n";
    std::string current = outFilename_;
    try {
        WriteText(out, std::string(xx ? "XXEncode" : "UUEncode") + " 2.5222 (" + kBanner + ")\r\n\r\n");
        if (writeTableToFile_)
            WriteText(out, "table\r\n" + std::string(alphabet_, 32) + "\r\n" + std::string(alphabet_ + 32, 32) +
                               "\r\n");
        WriteText(out, beginLine);
        lineCounter_ = 3;
        while (!UuEncodeLines(out)) {
            if (!ClosePart(out, current)) RaiseError(current, "", "0", 25137);
            current = UuEncNextVolumeName(outFilename_, parts_);
            // A part named like the source would destroy it.
            if (SamePath(current, archiveFile_)) {
                inputFile_.Close();
                ReportError(current, "", "0", 25171);
                return false;
            }
            if (!OpenPart(out, current)) {
                inputFile_.Close();
                ReportError(current, "", "0", 25235);
                return false;
            }
            WriteText(out, "part " + std::to_string(parts_) + "\r\n" + beginLine);
            ++parts_;
            lineCounter_ = 3;
        }
        WriteText(out, "end\r\n" + std::to_string(done_) + " bytes\r\n");
        if (parts_ > 1) WriteText(out, "encoded into " + std::to_string(parts_) + " file(s)\r\n");
        FlushOut(out);
    } catch (...) {
        DropPart(out);
        inputFile_.Close();
        throw;
    }
    inputFile_.Close();
    if (!ClosePart(out, current)) RaiseError(current, "", "0", 25137);
    return true;
}

void TUUEncode::CompressArchive() {
    SyncDefaultExt();
    if (outFilename_.empty()) RaiseError(archiveFile_, "", "0", 25243);
    // Encoding a file onto itself would truncate it before it is read.
    if (SamePath(outFilename_, archiveFile_)) {
        ReportError(outFilename_, "", "0", 25171);
        return;
    }
    if (os::FileExists(outFilename_)) {
        TOverwriteMode mode = overwriteMode_;
        if (confirmOverwrites_ && OnFileExists) {
            os::FileTimes t;
            const TDateTime date =
                os::GetTimes(outFilename_, t) ? DosDateToDateTime(FileTimeToDosDate(t.lastWrite)) : 0;
            Paused([&] { OnFileExists(this, outFilename_, date, mode); });
            overwriteMode_ = mode;
        }
        if (mode == omSkip) return;
        if (!IsWritableFile(outFilename_)) {
            bool writeToFile = false;
            if (OnNonWriteableArchive) Paused([&] { OnNonWriteableArchive(this, outFilename_, writeToFile); });
            // A "no" leaves the file as it is: opening it fails below.
            if (writeToFile && !os::SetAttributes(outFilename_, os::faArchive))
                RaiseError(outFilename_, "", "0", 25136);
        }
    }

    TRunScope run(*this, this);
    std::string FN = archiveFile_;
    if (!DoFileBegin(FN, 1)) return;
    if (!UuEncodeFile()) return;
    filesAdded_ = 1;
    success_ = true;
    if (OnEnd) OnEnd(this, FN, true);
}

}  // namespace bramble
