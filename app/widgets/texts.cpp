#include "app/widgets/texts.h"

#include <windows.h>

#include <algorithm>
#include <iterator>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace bramble {

namespace {

struct Message {
    unsigned id;
    const char* text;
};

// Sorted by id. The build makes a string table of it
// (cmake/stringtable.cmake, one entry per line).
const Message kMessages[] = {
    {10000, "Could not get the root folder."},
    {10005, "Could not enumerate system objects."},
    {10010, "Could not get folder data."},
    {10015, "Could not find folder."},
    {10020, "Could not get Desktop folder."},
    {10025, "InvokeCommand failed. Result = $%x"},
    {10030, "Could not get UI object. Result = $%x"},
    {10040, "Error parsing mask string."},
    {10100, "Reopen"},
    {10101, "&Clear MRU List"},
    {10102, "&Remove Obsolete"},
};

}  // namespace

std::string WidgetText(TWidgetText Id) {
    char buffer[512];
    const int n = LoadStringA(reinterpret_cast<HINSTANCE>(&__ImageBase), Id, buffer, sizeof buffer);
    if (n > 0) return std::string(buffer, static_cast<size_t>(n));
    const auto it = std::lower_bound(std::begin(kMessages), std::end(kMessages), static_cast<unsigned>(Id),
                                     [](const Message& m, unsigned id) { return m.id < id; });
    return it != std::end(kMessages) && it->id == Id ? it->text : std::string();
}

}  // namespace bramble
