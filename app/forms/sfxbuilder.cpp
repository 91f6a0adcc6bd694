#include "app/forms/sfxbuilder.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "engine/core/helpers.h"
#include "engine/core/messages.h"
#include "engine/core/os.h"
#include "engine/formats/zip.h"

namespace bramble {

namespace {

constexpr int64_t kBlock = 8192;
constexpr int64_t kEndSize = zip::kEndSize;
constexpr int64_t kCentralSize = zip::kCentralSize;

// A failure on its way out of the build: the message id and its file.
struct Failure {
    int id;
    std::string file;
};

// The end record of the archive and where it lies.
struct EndRecord {
    TZipEndRecord rec;
    int64_t position = 0;
    uint16_t entries() const { return rec.TotalEntries; }
    uint32_t centralSize() const { return rec.CentralSize; }
    uint32_t centralOffset() const { return rec.CentralOffset; }
    uint16_t commentLength() const { return rec.CommentLength; }
};

bool SamePath(const std::string& A, const std::string& B) {
    const std::string a = os::FullPathName(A), b = os::FullPathName(B);
#ifdef _WIN32
    return UpperCase(a) == UpperCase(b);
#else
    return a == b;
#endif
}

class Builder {
public:
    Builder(const std::string& Archive, const std::string& Exe, const TSfxProgress& Progress)
        : archiveName_(Archive), exeName_(Exe), progress_(Progress) {}

    void Run(const std::string& Stub) {
        const std::string& Exe = exeName_;
        os::File stub;
        OpenSource(stub, Stub);
        OpenSource(archive_, archiveName_);
        const int64_t shift = stub.Size();
        if (shift < 0) throw Failure{25236, Stub};

        EndRecord end;
        if (!FindEndOfCentralDir(end)) throw Failure{25242, archiveName_};
        // Every offset must still fit its 32-bit field once moved.
        if (shift + end.centralOffset() + end.centralSize() > 0xFFFFFFFFll) throw Failure{25256, Exe};
        total_ = shift + end.position + kEndSize + end.commentLength();

        // Written beside the target under a name of its own, so a failure
        // leaves an existing program as it was.
        const std::string folder = ExtractFilePath(os::FullPathName(Exe));
        temp_ = os::MakeTempFile(folder, "dvx");
        if (temp_.empty() || !out_.Open(temp_, os::OpenMode::Create)) throw Failure{25235, Exe};

        CopyBuffer(stub, Stub, -1);
        stub.Close();
        if (!archive_.Seek(0)) throw Failure{25292, archiveName_};
        CopyBuffer(archive_, archiveName_, end.centralOffset());
        RWCentralDir(end, static_cast<uint32_t>(shift));
        archive_.Close();
        if (!out_.Close()) throw Failure{25137, Exe};
        if (!os::FileMove(temp_, Exe, true)) throw Failure{25136, Exe};
        temp_.clear();
    }

    // Whatever was written under the temporary name goes again.
    void Discard() {
        out_.Close();
        if (!temp_.empty()) os::FileDelete(temp_);
    }

private:
    void OpenSource(os::File& f, const std::string& Name) {
        if (!os::FileExists(Name)) throw Failure{25172, Name};
        // Nobody may change the archive while its offsets are being moved.
        if (!f.Open(Name, os::OpenMode::Read, os::Share::DenyWrite)) throw Failure{25235, Name};
    }

    void Read(void* Buffer, int64_t Count) {
        if (archive_.Read(Buffer, Count) != Count) throw Failure{25236, archiveName_};
    }

    void Write(const void* Buffer, int64_t Count) {
        if (out_.Write(Buffer, Count) != Count) throw Failure{25136, exeName_};
        done_ += Count;
        if (progress_) progress_(done_, total_);
    }

    // Copies Count bytes (to the end of the source when negative) in
    // blocks. A source that ends before Count bytes is a damaged archive.
    void CopyBuffer(os::File& From, const std::string& FromName, int64_t Count) {
        std::vector<uint8_t> block(kBlock);
        while (Count != 0) {
            const int64_t want = Count < 0 ? kBlock : std::min(Count, kBlock);
            const int64_t got = From.Read(block.data(), want);
            if (got < 0 || (Count > 0 && got < want)) throw Failure{25236, FromName};
            if (got > 0) Write(block.data(), got);
            if (Count > 0) Count -= got;
            if (got < want) break;
        }
    }

    // The end record: the last 22 bytes when the archive has no comment,
    // else found by a backward scan of the last 64 KB. A record is taken
    // only when it describes one volume whose central directory ends where
    // the record begins.
    bool FindEndOfCentralDir(EndRecord& End) {
        const int64_t size = archive_.Size();
        if (size < kEndSize) return false;
        const int64_t span = zip::EndSearchSpan(size, zip::kMaxComment);
        std::vector<uint8_t> tail(static_cast<size_t>(span));
        if (!archive_.Seek(size - span) || archive_.Read(tail.data(), span) != span) throw Failure{25236, archiveName_};
        const std::optional<size_t> hit =
            zip::FindEndRecord(tail.data(), tail.size(), [&](const TZipEndRecord& e, size_t At) {
                // One volume: this disk is the first and holds every entry.
                if (e.ThisDisk != 0 || e.CentralDisk != 0 || e.EntriesOnDisk != e.TotalEntries) return false;
                return int64_t{e.CentralOffset} + e.CentralSize == size - span + static_cast<int64_t>(At);
            });
        if (!hit) return false;
        End.rec = TZipEndRecord::Parse(&tail[*hit]);
        End.position = size - span + static_cast<int64_t>(*hit);
        return true;
    }

    // The central headers with their local-header offsets moved, the end
    // record with the directory's offset moved, then the comment.
    void RWCentralDir(const EndRecord& End, uint32_t Shift) {
        uint8_t header[kCentralSize];
        int64_t consumed = 0;
        for (unsigned n = 0; n < End.entries(); ++n) {
            Read(header, kCentralSize);
            TZipCentralRecord r = TZipCentralRecord::Parse(header);
            if (!r.Valid()) throw Failure{25108, archiveName_};
            // A local header lies before the directory.
            if (r.LocalOffset >= End.centralOffset()) throw Failure{25108, archiveName_};
            r.LocalOffset += Shift;
            Write(r.Bytes().data(), kCentralSize);
            const int64_t variable = r.TotalSize() - kCentralSize;
            consumed += kCentralSize + variable;
            if (consumed > End.centralSize()) throw Failure{25108, archiveName_};
            CopyBuffer(archive_, archiveName_, variable);
        }
        if (consumed != End.centralSize()) throw Failure{25108, archiveName_};
        TZipEndRecord moved = End.rec;
        moved.CentralOffset = End.centralOffset() + Shift;
        Write(moved.Bytes().data(), kEndSize);
        if (!archive_.Seek(End.position + kEndSize)) throw Failure{25292, archiveName_};
        CopyBuffer(archive_, archiveName_, End.commentLength());
    }

    std::string archiveName_;
    std::string exeName_;
    const TSfxProgress& progress_;
    os::File archive_;
    os::File out_;
    std::string temp_;
    int64_t done_ = 0;
    int64_t total_ = 0;
};

}  // namespace

std::string SelfExtractorName(const std::string& Archive) { return ChangeFileExt(Archive, ".exe"); }

std::string TSfxResult::Message(const std::string& Exe) const {
    if (Ok()) return "Creation of " + Exe + " Finished";
    return MessageText(ErrorId) + ":\r" + FileName;
}

TSfxResult MakeSelfExtractor(const std::string& Stub, const std::string& Archive, const std::string& Exe,
                             const TSfxProgress& Progress) {
    // Writing the program over one of its sources would destroy it.
    if (SamePath(Exe, Archive) || SamePath(Exe, Stub)) return {25171, Exe};
    Builder b(Archive, Exe, Progress);
    try {
        b.Run(Stub);
        return {};
    } catch (const Failure& f) {
        b.Discard();
        return {f.id, f.file};
    } catch (const std::bad_alloc&) {
        b.Discard();
        return {25253, Archive};
    }
}

}  // namespace bramble
