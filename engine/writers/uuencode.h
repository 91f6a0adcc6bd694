// The UU/XX encoder: turns one file (ArchiveFile) into 7-bit text in the UU
// or the XX alphabet, written to OutFilename and, with KBytesPerVolume set,
// split over further part files (x.uue, x.uu1, x.uu2 ...). There is no
// archive to update, so it runs its own compress run.
#pragma once

#include <cstdint>
#include <string>

#include "engine/core/compbase.h"

namespace bramble {

// The name of part Number of an encoded set whose first file is Name.
std::string UuEncNextVolumeName(const std::string& Name, int Number);

class TUUEncode : public TCompBase {
public:
    explicit TUUEncode(TComponent* AOwner = nullptr);

    // atUue while a source is set, else atNA.
    void SetArcType(TArcType Value) override;
    // cmUUEncode or cmXXEncode; DefaultExt follows (".UUE", ".XXE").
    void SetCompressMethod(TCompressMethod v);

    // Size of each part in KB (about 16 lines per KB); 0 writes one file.
    int KBytesPerVolume() const { return kBytesPerVolume_; }
    void SetKBytesPerVolume(int v) { kBytesPerVolume_ = v < 0 ? 0 : v; }
    // The text file to write. A name without an extension gets DefaultExt;
    // "." empties it.
    const std::string& OutFilename() const { return outFilename_; }
    void SetOutFilename(const std::string& v);
    bool WriteTableToFile() const { return writeTableToFile_; }
    void SetWriteTableToFile(bool v) { writeTableToFile_ = v; }

    // Files written by the last run (1 when it was not split).
    int PartsWritten() const { return parts_; }

    void CompressArchive() override;

    // ---- the steps of a run ----
    // Encodes ArchiveFile into OutFilename and its parts; false when a file
    // could not be opened (reported).
    bool UuEncodeFile();

private:
    // Encodes lines until the source ends (true) or the part is full.
    bool UuEncodeLines(TStream& Out);
    void WriteText(TStream& Out, const std::string& Text);
    void FlushOut(TStream& Out);
    // Opens a temporary file beside Name for the part to be written to;
    // false (nothing made) where the part could not be written, an
    // existing Name that may not be replaced included.
    bool OpenPart(TFileStream& Out, const std::string& Name);
    // Closes the finished part, moves it over Name and gives it the
    // source's date; false when it could not be put there (the temporary
    // file is gone either way).
    bool ClosePart(TFileStream& Out, const std::string& Name);
    // After a failure: closes the part and deletes its temporary file.
    void DropPart(TFileStream& Out);
    void SyncDefaultExt();

    int kBytesPerVolume_ = 0;
    std::string outFilename_;
    bool writeTableToFile_ = false;

    int parts_ = 0;
    int64_t lineCounter_ = 0;
    int64_t done_ = 0;
    int64_t sourceSize_ = 0;
    const char* alphabet_ = nullptr;
    std::string writeBuffer_;
    std::string readBuffer_;
    std::string partTemp_;  // the temporary file the open part goes to
    size_t readPos_ = 0;
    bool sourceEnded_ = false;
};

}  // namespace bramble
