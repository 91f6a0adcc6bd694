// The lister: walks an archive's headers without decompressing anything
// (but for the compress format, which keeps no size: it is decoded to count
// what it holds) and reports every entry that passes the file specs through OnRead, with the
// entry in EntryInfo.
//
// The walk of each kind lives in its own file beside this one (zip.cpp,
// tar.cpp ...): a Setup function that finds the first header and sets the
// header step, and a Parse function that reads one header, reports its
// entry and sets where the next one starts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/zipcommon.h"
#include "engine/formats/arc.h"
#include "engine/formats/tar.h"

namespace bramble {

namespace cabfmt {
struct Header;
struct Folder;
}  // namespace cabfmt

class TDovex : public TZipCommon {
public:
    explicit TDovex(TComponent* AOwner = nullptr);

    bool ShowBlankDirs() const { return showBlankDirs_; }
    void SetShowBlankDirs(bool v) { showBlankDirs_ = v; }

    TOnReadFile OnReadFile;
    TNotifyEvent OnReadBegin;
    TNotifyEvent OnReadEnd;
    TOnTotals OnTotals;

    // Lists ArchiveFile; False only when it is empty.
    bool ReadArchive();
    // Silent look-up of one entry by its stored name; EntryInfo holds it.
    bool FindEntryInfo(const std::string& Name);
    // Silent scan that collects the names of the entries passing FileSpec.
    std::vector<std::string> CollectNames();

    enum TScanMode { smList = 0, smCollect = 1, smLookup = 2 };
    int ScanMode() const { return scanMode_; }
    uint8_t TotalRatio() const { return totalRatio_; }

protected:
    // ---- the walk's state ----
    int headerSize_ = 0;     // bytes read per header step; 0 ends the scan
    int64_t scanPos_ = 1;    // position of the current header, from 1
    int64_t next_ = 0;       // file offset of the next header, from 0
    int64_t scanEnd_ = 0;    // the file size
    std::vector<uint8_t> hdr_;  // the current header's bytes
    int64_t hdrRead_ = 0;    // how many of them were read
    int scanMode_ = smList;
    uint8_t totalRatio_ = 0;
    bool found_ = false;     // the look-up found its entry
    std::vector<std::string> collected_;
    bool volumeContinues_ = false;  // ARJ: the main header's volume flag
    // Set by a walk that moved on to another volume file during this header
    // (next_ then counts in the new file, scanEnd_ is its size), so the loop
    // does not take the smaller offset for a step backwards.
    bool volumeChanged_ = false;
    // ZIP: headers taken in this scan (a bad first header is reported).
    int64_t zipHeaders_ = 0;
    // Cabinet: what the walk keeps of the cabinet now open.
    struct CabWalk {
        std::string path;                     // the cabinet file now open
        std::string nextName;                 // its next cabinet's stored name
        std::vector<uint16_t> folderMethods;  // compression word per folder
        // Per folder, the compressed bytes of its data blocks in this
        // cabinet and what they give: a file's packed size is its share.
        std::vector<int64_t> folderPacked, folderUnpacked;
        uint32_t filesLeft = 0;
        uint16_t flags = 0, setId = 0, index = 0;
    };
    CabWalk cab_;
    // Kept from one header to the next by the walks that need it: the
    // ARC/PAK directory path, the ACE archive's creator version.
    std::string walkPath_;
    uint16_t walkVersion_ = 0;
    arc::TDirectoryPath arcDirs_;  // the PAK directories open
    // TAR: the pax records of the extended header before the next header,
    // and the global headers' defaults.
    tar::TPaxRecords tarOwn_, tarGlobals_;
    // MsGZ directory records (number, name) kept during a scan.
    struct MsGZDir {
        uint32_t number;
        std::string name;
    };
    std::vector<MsGZDir> msgzDirs_;

    // ---- shared by the walks ----
    // Exactly count bytes at a file offset; false on a short read.
    bool ReadAt(int64_t offset, void* buffer, int64_t count);
    // Up to count bytes at a file offset; the bytes read (0 on error).
    int64_t ReadUpTo(int64_t offset, void* buffer, int64_t count);
    // A stored name of length bytes at offset, read to at most 2500 bytes
    // or the end of the file, converted to ANSI with '\' separators.
    std::string ReadStoredName(int64_t offset, int64_t length);
    // The same for a ZIP name, which may be UTF-8 (zip::NameIsUtf8).
    std::string ReadZipName(int64_t offset, int64_t length, uint16_t flags, uint16_t madeBy);
    // OEM to ANSI and '/' to '\' (also 0xFF with lhaSeparators), leaving the
    // second byte of a Shift-JIS pair alone.
    static std::string ConvertStoredName(const std::string& raw, bool lhaSeparators = false);
    // Reports the entry in EntryInfo (Ratio is filled here): OnReadFile,
    // the FileSpec test (unless testSpec is false), counting (unless count
    // is false), OnReadBegin, OnRead, OnReadEnd. Offset is the file offset
    // of the entry's header. False when the entry was not reported.
    bool ListEntry(int64_t offset, bool testSpec = true, bool count = true);
    // Ends the walk after this header.
    void EndScan() { next_ = scanEnd_; }
    // Opens the volume after VolumeName (the name is updated) and makes the
    // walk go on in it; false, with the walk cancelled quietly, when the
    // user refused it.
    bool MoveToNextVolume(std::string& VolumeName);

    // ---- the walks, one pair per kind ----
    void SetupFirstHeader();
    void ParseHeader();

    void SetupZip();
    void ParseZip();
    void SetupTar();
    void ParseTar();
    void SetupGZip();
    void ParseGZip();
    void SetupUue();
    void SetupCab();
    void ParseCab();
    void SetupMsGZ();
    void ParseMsGZ();
    void SetupLha();
    void ParseLha();
    void SetupBh();
    void ParseBh();
    void SetupArj();
    void ParseArj();
    void SetupArc();
    void ParseArc();
    void SetupZoo();
    void ParseZoo();
    void SetupHa();
    void ParseHa();
    void SetupRar();
    void ParseRar();
    void SetupAce();
    void ParseAce();
    // Helpers of the ZIP and cabinet walks.
    void ListZipCentral(const uint8_t* record, int64_t at, const std::string& name);
    void WalkSpannedZip();
    bool ReadCabHeader(int64_t base);
    int64_t CountCompressOutput(int64_t Start, uint8_t Flags);
    void SumCabFolder(int64_t base, const cabfmt::Header& h, const cabfmt::Folder& folder);
    bool OpenNextCabinet();

    bool showBlankDirs_ = false;

    // Forgets what was read ahead; walks that reopen a file under the same
    // name (the disks of a spanned set) call it.
    void DropReadAhead() { windowAt_ = -1; }

private:
    void Scan();
    // Reads through a window of the file kept from the last read: the walks
    // read many small headers close to each other. Bytes read, 0 on error.
    int64_t ReadCached(int64_t offset, void* buffer, int64_t count);
    std::vector<uint8_t> window_;
    int64_t windowAt_ = -1;  // file offset of window_[0]; -1 when empty
    int64_t windowLen_ = 0;
    std::string windowFile_;  // the file the window holds
};

}  // namespace bramble
