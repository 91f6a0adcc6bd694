#include "engine/core/messages.h"

#include <algorithm>
#include <iterator>

#include "engine/core/os.h"

namespace bramble {

namespace {

struct Message {
    int id;
    const char* text;
};

// Sorted by id: MessageText searches it. On Windows the build makes the
// programs' string table of it (cmake/stringtable.cmake, one entry per
// line), and the texts are read from there.
const Message kMessages[] = {
    {25102, "File is read-only"},
    {25103, "File is hidden"},
    {25104, "File is a SysFile"},
    {25105, "File is a directory"},
    {25106, "File is a VolumeID"},
    {25107, "Invalid file attribute"},
    {25108, "Bad file header"},
    {25109, "Bad block"},
    {25120, "Bad Huffman code"},
    {25121, "Invalid code encountered"},
    {25122, "Invalid comment header"},
    {25123, "No BEGIN line"},
    {25134, "Incorrect number of bits"},
    {25135, "Broken multi-volume chain"},
    {25136, "Error writing to file"},
    {25137, "Error closing file"},
    {25138, "Incomplete code set"},
    {25139, "Corrupt input"},
    {25150, "Error creating dir"},
    {25151, "File fails CRC check"},
    {25152, "File contains invalid decode tree"},
    {25153, "Error writing spanned-disk label"},
    {25154, "Disks contains neither label nor serial numbers to compare"},
    {25155, "Not enough disk space"},
    {25156, "Unable to create directory"},
    {25157, "Invalid directory"},
    {25158, "Invalid directory... defaulting to current"},
    {25159, "Disk full"},
    {25160, "is not accessible."},
    {25161, "EOF not found"},
    {25166, "Unexpected end of file"},
    {25167, "Unexpected end of line"},
    {25168, "EOL not found"},
    {25169, "Error deleting file(s)"},
    {25170, "Command exec failed"},
    {25171, "Same input and output file-names"},
    {25172, "File not found"},
    {25173, "File size different"},
    {25230, "Warning, unknown flags"},
    {25235, "Error opening file"},
    {25236, "Error reading file or unexpected end of file"},
    {25237, "Header CRC error"},
    {25238, "Header ID error"},
    {25239, "Unexpected line break"},
    {25240, "Line found before 'BEGIN'"},
    {25241, "Skipped illegal char"},
    {25242, "Invalid or unsupported archive type for this operation"},
    {25243, "Invalid file name"},
    {25245, "Invalid length in send_bits"},
    {25246, "Inconsistent bit counts - gencodes"},
    {25247, "Bad lengths"},
    {25248, "Inconsistant local header"},
    {25249, "Insufficient lookahead"},
    {25250, "Maximum volumes 999"},
    {25253, "Out of memory"},
    {25255, "Uninitialized TMemoryStream object"},
    {25256, "Max file size exceeded"},
    {25257, "Too many entries: a ZIP archive holds at most 65535"},
    {25258, "Uninitialized TFileStream object"},
    {25259, "Header not found. File may be corrupt"},
    {25260, "Unrar.dll not found"},
    {25261, "Cabinet.dll not found"},
    {25262, "Ace.dll not found"},
    {25264, "Multi-Part GZIP files not supported"},
    {25265, "Too many nested dirs"},
    {25266, "Nothing to decode"},
    {25270, "Required event not assigned"},
    {25280, "Open quote, but no close quote"},
    {25281, "Open paran, but no close paran"},
    {25290, "Password protected"},
    {25292, "Seek error"},
    {25293, "Ambiguous Shannon-Fano decode tree encountered"},
    {25298, "Stack overflow"},
    {25299, "Stream read/write error"},
    {25324, "Streaming not supported with this archive type"},
    {25326, "Unsupported compression method"},
    {25327, "Unknown file type"},
    {25328, "Unsupported version"},
    {25350, "Error updating archive"},
    {25400, "User Aborted"},
    {25402, "Version error"},
    {25449, "User canceled"},
    {25901, "Extraction of this cabinet requires first disk of set"},
    {25902, "Previous volume in set"},
    {25903, "Next volume in set"},
    {25904, "Cabinet does not belong with this set"},
    {25905, "Insert FIRST diskette of this archive set"},
    {25906, "Insert LAST disk of this archive set"},
    {26517, "Invalid password"},
    {26522, "Password failed"},
    {26800, "Skipped File"},
    {26859, "Nothing to do"},
    {26899, "Directory does not exist... Create?"},
};

int kIds[std::size(kMessages)];

}  // namespace

const std::string& MessageText(int id) {
    static const std::string empty;
    static std::string texts[std::size(kMessages)];
    auto it = std::lower_bound(std::begin(kMessages), std::end(kMessages), id,
                               [](const Message& m, int v) { return m.id < v; });
    if (it == std::end(kMessages) || it->id != id) return empty;
    std::string& text = texts[it - std::begin(kMessages)];
    // The texts are read from the string table where the platform keeps
    // one; the compiled ones stand in only where it keeps none.
    if (text.empty() && !os::StringTableText(static_cast<unsigned>(id), text)) text = it->text;
    return text;
}

const int* MessageIds(int& count) {
    count = static_cast<int>(std::size(kMessages));
    for (int i = 0; i < count; ++i) kIds[i] = kMessages[i].id;
    return kIds;
}

}  // namespace bramble
