#include "app/forms/sfxbuilder.h"

#include <algorithm>
#include <array>
#include <vector>

#include "engine/core/bytes.h"
#include "engine/core/helpers.h"
#include "engine/core/messages.h"
#include "engine/core/os.h"

namespace bramble {

namespace {

constexpr int64_t kBlock = 8192;
constexpr uint32_t kEndSig = 0x06054B50;
constexpr uint32_t kCentralSig = 0x02014B50;
constexpr int64_t kEndSize = 22;
constexpr int64_t kCentralSize = 46;
constexpr int64_t kMaxComment = 65535;

// A failure on its way out of the build: the message id and its file.
struct Failure {
    int id;
    std::string file;
};

// The end record of the archive and where it lies.
struct EndRecord {
    std::array<uint8_t, kEndSize> bytes{};
    int64_t position = 0;
    uint16_t entries() const { return Le16(&bytes[10]); }
    uint32_t centralSize() const { return Le32(&bytes[12]); }
    uint32_t centralOffset() const { return Le32(&bytes[16]); }
    uint16_t commentLength() const { return Le16(&bytes[20]); }
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
        if (!f.Open(Name, os::OpenMode::Read)) throw Failure{25235, Name};
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
    // only when its central directory ends where it begins; a comment that
    // happens to hold the signature bytes is passed over.
    bool FindEndOfCentralDir(EndRecord& End) {
        const int64_t size = archive_.Size();
        if (size < kEndSize) return false;
        const int64_t span = std::min(size, kMaxComment + kEndSize);
        std::vector<uint8_t> tail(static_cast<size_t>(span));
        if (!archive_.Seek(size - span) || archive_.Read(tail.data(), span) != span) throw Failure{25236, archiveName_};
        for (int64_t i = span - kEndSize; i >= 0; --i) {
            const uint8_t* p = &tail[static_cast<size_t>(i)];
            if (p[0] != 'P' || Le32(p) != kEndSig) continue;
            std::copy(p, p + kEndSize, End.bytes.begin());
            End.position = size - span + i;
            // Only bytes past the comment may follow (they are not copied).
            if (i + kEndSize + End.commentLength() > span) continue;
            // One volume: this disk is the first and holds every entry.
            if (Le16(p + 4) != 0 || Le16(p + 6) != 0 || Le16(p + 8) != End.entries()) continue;
            if (int64_t{End.centralOffset()} + End.centralSize() != End.position) continue;
            return true;
        }
        return false;
    }

    // The central headers with their local-header offsets moved, the end
    // record with the directory's offset moved, then the comment.
    void RWCentralDir(const EndRecord& End, uint32_t Shift) {
        uint8_t header[kCentralSize];
        int64_t consumed = 0;
        for (unsigned n = 0; n < End.entries(); ++n) {
            Read(header, kCentralSize);
            if (Le32(header) != kCentralSig) throw Failure{25108, archiveName_};
            const uint32_t local = Le32(&header[42]);
            // A local header lies before the directory.
            if (local >= End.centralOffset()) throw Failure{25108, archiveName_};
            PutLe32(&header[42], local + Shift);
            Write(header, kCentralSize);
            const int64_t variable = int64_t{Le16(&header[28])} + Le16(&header[30]) + Le16(&header[32]);
            consumed += kCentralSize + variable;
            if (consumed > End.centralSize()) throw Failure{25108, archiveName_};
            CopyBuffer(archive_, archiveName_, variable);
        }
        if (consumed != End.centralSize()) throw Failure{25108, archiveName_};
        std::array<uint8_t, kEndSize> record = End.bytes;
        PutLe32(&record[16], End.centralOffset() + Shift);
        Write(record.data(), kEndSize);
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
