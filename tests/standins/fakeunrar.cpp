// A stand-in for the RAR maker's library, exporting the same stdcall entry
// points under the same names, over the stored archives our tests write.
#include <algorithm>
#include <memory>
#include <vector>

#include "engine/bindings/unrar.h"
#include "engine/formats/rar.h"
#include "tests/standins/standin.h"

using namespace bramble;

namespace {

enum : int { kEnd = 10, kBadData = 12, kBadArchive = 13, kOpen = 15, kCreate = 16, kWrite = 19, kChain = 21,
             kPassword = 22, kStopped = 255 };

struct Archive {
    std::string path;
    standin::File file;
    int64_t next = 0;     // where the next block is looked for
    rar::TBlock current;  // the entry whose header was read last
    bool haveHeader = false;
    rar::PROCESSDATAPROC data = nullptr;
    rar::CHANGEVOLPROC volume = nullptr;
    std::string password;

    rar::TReadAt Reader() {
        return [this](int64_t o, void* b, int64_t n) { return file.ReadAt(o, b, n); };
    }
    // Opens a volume and finds its first block; false when it is no archive.
    bool OpenVolume(const std::string& name) {
        if (!file.Open(name)) return false;
        path = name;
        const rar::TReadAt read = Reader();
        // A self-extractor's program comes before the marker.
        int64_t start = 0;
        rar::TSignature sig = rar::TSignature::None;
        for (; start < (1 << 20); ++start) {
            sig = rar::SignatureAt(read, start);
            if (sig != rar::TSignature::None) break;
            uint8_t probe;
            if (file.ReadAt(start, &probe, 1) != 1) return false;
        }
        if (sig == rar::TSignature::None) return false;
        // Format 5 is only told apart by our walks: behind its marker the
        // stand-in reads the same blocks, one byte later.
        const int64_t marker = start + (sig == rar::TSignature::Rar5 ? 1 : 0);
        rar::TMainHeader main;
        if (rar::ParseMain(read, marker, main) != rar::TParse::Ok) return false;
        next = main.Next;
        return true;
    }
};

// Moves on to the next volume for an entry that goes on there; the block
// that continues it, or a result code.
int NextPart(Archive& a) {
    std::vector<char> name(260, '\0');
    standin::CopyName(name.data(), name.size(), standin::NextVolume(a.path, 'r'));
    if (!standin::Exists(name.data())) {
        if (!a.volume || a.volume(name.data(), 0) == 0) return kOpen;
        if (!standin::Exists(name.data())) return kOpen;
    }
    if (a.volume && a.volume(name.data(), 1) == 0) return kOpen;
    if (!a.OpenVolume(name.data())) return kChain;
    rar::TBlock part;
    if (rar::ParseBlock(a.Reader(), a.next, part) != rar::TParse::Ok || !part.IsFile() || !part.FromPrevious())
        return kChain;
    a.current = part;
    return 0;
}

int Process(Archive& a, int operation, const char* destName) {
    if (!a.haveHeader) return kBadData;
    a.haveHeader = false;
    const bool decode = operation == 1 || operation == 2;
    const int fault = standin::ScriptedFault(a.current.Name);
    if (decode && fault != 0) {
        a.next = a.current.Next;
        return fault;
    }
    int64_t dataAt = a.current.Offset + a.current.HeadSize;
    int64_t left = a.current.PackSize;
    const bool encrypted = a.current.Encrypted();
    if (decode && encrypted) {
        uint8_t check[8] = {};
        if (left < 8 || a.file.ReadAt(dataAt, check, 8) != 8 || !standin::PasswordMatches(check, a.password)) {
            a.next = a.current.Next;
            return kPassword;
        }
        dataAt += 8;
        left -= 8;
    }
    FILE* out = nullptr;
    if (operation == 2) {
        out = standin::OpenFile(destName ? destName : "", "wb");
        if (!out) {
            a.next = a.current.Next;
            return kCreate;
        }
    }
    standin::Output closer(out);
    size_t keyAt = 0;
    std::vector<uint8_t> buffer(1000);
    for (;;) {
        while (left > 0) {
            const int64_t n = std::min<int64_t>(left, static_cast<int64_t>(buffer.size()));
            if (a.file.ReadAt(dataAt, buffer.data(), n) != n) return kBadData;
            dataAt += n;
            left -= n;
            if (!decode) continue;
            if (encrypted) standin::Decipher(buffer.data(), static_cast<size_t>(n), a.password, keyAt);
            if (a.data && a.data(buffer.data(), static_cast<int>(n)) == 0) {
                a.next = a.current.Next;
                return kStopped;
            }
            if (out && std::fwrite(buffer.data(), 1, static_cast<size_t>(n), out) != static_cast<size_t>(n))
                return kWrite;
        }
        if (!a.current.ToNext()) break;
        const int moved = NextPart(a);
        if (moved != 0) return moved;
        dataAt = a.current.Offset + a.current.HeadSize;
        left = a.current.PackSize;
    }
    a.next = a.current.Next;
    if (out) {
        std::fclose(closer.f);
        closer.f = nullptr;
        // The library gives the file the header's attributes as they stand.
        standin::SetAttributes(destName, a.current.Attr);
    }
    return 0;
}

}  // namespace

STANDIN_EXPORT rar::HANDLE BRAMBLE_STDCALL RAROpenArchive(rar::RAROpenArchiveData* data) {
    if (!data) return nullptr;
    auto a = std::make_unique<Archive>();
    if (!data->ArcName || !standin::Exists(data->ArcName)) {
        data->OpenResult = kOpen;
        return nullptr;
    }
    if (!a->OpenVolume(data->ArcName)) {
        data->OpenResult = kBadArchive;
        return nullptr;
    }
    data->OpenResult = 0;
    return a.release();
}

STANDIN_EXPORT int BRAMBLE_STDCALL RARCloseArchive(rar::HANDLE h) {
    delete static_cast<Archive*>(h);
    return 0;
}

STANDIN_EXPORT int BRAMBLE_STDCALL RARReadHeader(rar::HANDLE h, rar::RARHeaderData* hd) {
    if (!h || !hd) return kBadData;
    Archive& a = *static_cast<Archive*>(h);
    if (a.haveHeader) {
        a.haveHeader = false;
        a.next = a.current.Next;
    }
    for (;;) {
        rar::TBlock b;
        const rar::TParse p = rar::ParseBlock(a.Reader(), a.next, b);
        if (p == rar::TParse::End) return kEnd;
        if (p == rar::TParse::Bad) return kBadData;
        if (b.Type == rar::kEndBlock) return kEnd;
        a.next = b.Next;
        // A part that continues an entry of an earlier volume was read with
        // that entry.
        if (!b.IsFile() || b.FromPrevious()) continue;
        if (standin::BadHeader(b.Name)) return kBadData;
        a.current = b;
        a.haveHeader = true;
        std::memset(hd, 0, sizeof *hd);
        standin::CopyName(hd->ArcName, sizeof hd->ArcName, a.path);
        standin::CopyName(hd->FileName, sizeof hd->FileName, b.Name);
        hd->Flags = b.Flags;
        hd->PackSize = static_cast<uint32_t>(b.PackSize);
        hd->UnpSize = static_cast<uint32_t>(b.UnpSize);
        hd->HostOS = b.HostOS;
        hd->FileCRC = b.FileCRC;
        hd->FileTime = b.FTime;
        hd->UnpVer = b.UnpVer;
        hd->Method = b.Method;
        hd->FileAttr = b.Attr;
        return 0;
    }
}

STANDIN_EXPORT int BRAMBLE_STDCALL RARProcessFile(rar::HANDLE h, int operation, char* destPath, char* destName) {
    (void)destPath;
    if (!h) return kBadData;
    return Process(*static_cast<Archive*>(h), operation, destName);
}

STANDIN_EXPORT void BRAMBLE_STDCALL RARSetChangeVolProc(rar::HANDLE h, rar::CHANGEVOLPROC proc) {
    if (h) static_cast<Archive*>(h)->volume = proc;
}

STANDIN_EXPORT void BRAMBLE_STDCALL RARSetProcessDataProc(rar::HANDLE h, rar::PROCESSDATAPROC proc) {
    if (h) static_cast<Archive*>(h)->data = proc;
}

STANDIN_EXPORT void BRAMBLE_STDCALL RARSetPassword(rar::HANDLE h, char* password) {
    if (h) static_cast<Archive*>(h)->password = password ? password : "";
}
