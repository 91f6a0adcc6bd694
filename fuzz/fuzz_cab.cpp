// The cabinet records over arbitrary bytes: the header, its folder table
// and the file records from wherever the header says they start. Every
// parse must stay inside the bytes it is handed.
#include <cstddef>
#include <cstdint>

#include "engine/formats/cab.h"

using namespace bramble;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
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
