// The cabinet records over arbitrary bytes: the header, its folder table
// and the file records from wherever the header says they start. Every
// parse must stay inside the bytes it is handed, and the survey that
// decides what the cabinet library may see must never let through a file
// whose folder is not there.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/formats/cab.h"

using namespace bramble;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const cabfmt::Survey s = cabfmt::SurveyCabinet(size, [&](uint64_t at, void* buffer, size_t count) {
        count = at < size ? std::min<size_t>(count, size - at) : 0;
        if (count) std::memcpy(buffer, data + at, count);
        return count;
    });
    if (s.usable) {
        if (s.files.size() > s.header.cFiles || s.pastItsFolder.size() != s.files.size() ||
            s.folders.size() != s.header.cFolders)
            __builtin_trap();
        for (const cabfmt::File& f : s.files)
            if (cabfmt::FolderOf(f.iFolder, s.header.cFolders) < 0) __builtin_trap();
    }

    cabfmt::Header h;
    if (!cabfmt::ParseHeader(data, size, h)) return 0;
    size_t pos = h.size;
    for (int i = 0; i < h.cFolders && pos <= size; ++i) {
        cabfmt::Folder f;
        if (!cabfmt::ParseFolder(data + pos, size - pos, f)) break;
        pos += cabfmt::kFolderFixed + h.cbCFFolder;
    }
    pos = h.coffFiles;
    for (int i = 0; i < h.cFiles && pos < size; ++i) {
        cabfmt::File f;
        if (!cabfmt::ParseFile(data + pos, size - pos, f)) break;
        (void)cabfmt::FolderOf(f.iFolder, h.cFolders);
        pos += f.size;
    }
    return 0;
}
