// A stand-in for the ACE maker's library, exporting the same stdcall entry
// points under the same names, over the stored archives our tests write.
#include <algorithm>
#include <memory>
#include <vector>

#include "engine/bindings/unace.h"
#include "engine/formats/ace.h"
#include "tests/standins/standin.h"

using namespace bramble;

namespace {

enum : int { kReadError = 6, kOpen = 5, kWrite = 7, kCreate = 7, kBadArchive = 128, kPassword = 131,
             kStopped = 255 };

struct Archive {
    std::string path;
    standin::File file;
    int64_t next = 0;
    ace::TBlock current;
    bool haveHeader = false;
    ace::ACEPROCESSDATAPROC data = nullptr;
    ace::ACECHANGEVOLPROC volume = nullptr;
    std::string password;

    ace::TReadAt Reader() {
        return [this](int64_t o, void* b, int64_t n) { return file.ReadAt(o, b, n); };
    }
    bool OpenVolume(const std::string& name) {
        if (!file.Open(name)) return false;
        path = name;
        ace::TMainHeader main;
        if (ace::ParseMain(Reader(), 0, main) != ace::TParse::Ok) return false;
        next = main.Next;
        return true;
    }
};

int NextPart(Archive& a) {
    std::vector<char> name(ace::kVolumeBuffer, '\0');
    standin::CopyName(name.data(), name.size(), standin::NextVolume(a.path, 'C'));
    if (!standin::Exists(name.data())) {
        if (!a.volume || a.volume(name.data(), 0) == 0) return kOpen;
        if (!standin::Exists(name.data())) return kOpen;
    }
    if (a.volume && a.volume(name.data(), 1) == 0) return kOpen;
    if (!a.OpenVolume(name.data())) return kOpen;
    ace::TBlock part;
    if (ace::ParseBlock(a.Reader(), a.next, part) != ace::TParse::Ok || !part.IsFile() || !part.FromPrevious())
        return kReadError;
    a.current = part;
    return 0;
}

int Process(Archive& a, int operation, const char* dest) {
    if (!a.haveHeader) return kReadError;
    a.haveHeader = false;
    const bool decode = operation == 1 || operation == 2;
    const int fault = standin::ScriptedFault(a.current.Name);
    if (decode && fault != 0) {
        a.next = a.current.Next;
        return fault;
    }
    const int64_t header = static_cast<int64_t>(a.current.HeadSize) + 4;
    int64_t dataAt = a.current.Offset + header;
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
        out = standin::OpenFile(dest ? dest : "", "wb");
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
            if (a.file.ReadAt(dataAt, buffer.data(), n) != n) return kReadError;
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
        dataAt = a.current.Offset + static_cast<int64_t>(a.current.HeadSize) + 4;
        left = a.current.PackSize;
    }
    a.next = a.current.Next;
    return 0;
}

}  // namespace

STANDIN_EXPORT ace::HANDLE BRAMBLE_STDCALL ACEOpenArchive(ace::ACEOpenArchiveData* data) {
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
    a->data = data->ProcessDataProc;
    a->volume = data->ChangeVolProc;
    data->OpenResult = 0;
    return a.release();
}

STANDIN_EXPORT int BRAMBLE_STDCALL ACECloseArchive(ace::HANDLE h) {
    delete static_cast<Archive*>(h);
    return 0;
}

STANDIN_EXPORT int BRAMBLE_STDCALL ACEReadHeader(ace::HANDLE h, ace::ACEHeaderData* hd) {
    if (!h || !hd) return kReadError;
    Archive& a = *static_cast<Archive*>(h);
    if (a.haveHeader) {
        a.haveHeader = false;
        a.next = a.current.Next;
    }
    for (;;) {
        ace::TBlock b;
        const ace::TParse p = ace::ParseBlock(a.Reader(), a.next, b);
        if (p == ace::TParse::End) return ace::kAceEndOfArchive;
        if (p == ace::TParse::Bad) return kReadError;
        a.next = b.Next;
        if (!b.IsFile() || b.FromPrevious()) continue;
        if (standin::BadHeader(b.Name)) return kReadError;
        a.current = b;
        a.haveHeader = true;
        std::memset(hd, 0, sizeof *hd);
        standin::CopyName(hd->ArcName, sizeof hd->ArcName, a.path);
        standin::CopyName(hd->FileName, sizeof hd->FileName, b.Name);
        hd->Flags = b.Flags;
        hd->PackSize = b.PackSize;
        hd->UnpSize = b.OrigSize;
        hd->FileTime = b.FTime;
        hd->FileAttr = b.Attr;
        hd->FileCRC = b.Crc32;
        hd->Method = b.Method;
        return 0;
    }
}

STANDIN_EXPORT int BRAMBLE_STDCALL ACEProcessFile(ace::HANDLE h, int operation, char* dest) {
    if (!h) return kReadError;
    return Process(*static_cast<Archive*>(h), operation, dest);
}

STANDIN_EXPORT void BRAMBLE_STDCALL ACESetPassword(ace::HANDLE h, char* password) {
    if (h) static_cast<Archive*>(h)->password = password ? password : "";
}
