// The RAR reader: extracts or tests a RAR archive, also one spread over
// volumes, through the RAR maker's library. The library parses and
// decodes; the reader decides per entry, checks the CRC from the data the
// library hands back, asks for passwords and volumes. Its own walk of the
// block headers counts the entries and bytes for the progress; the
// archive file is only ever read (a Unix mode gets its plain attribute on
// the file written, see libreader.cpp), so every header the library reads
// still matches its CRC and no header error needs tolerating.
#pragma once

#include <string>
#include <vector>

#include "engine/bindings/libreader.h"
#include "engine/bindings/unrar.h"

namespace bramble {

class TUnRAR : public TLibraryReader {
public:
    explicit TUnRAR(TComponent* AOwner = nullptr);
    ~TUnRAR() override;

    void ExtractArchive() override;

    // The engine message of a library result; 0 for codes it has none for.
    static int RarErrorToMessageId(int Code);

protected:
    int CallProcess(int Operation, const char* Dest) override;
    void CallSetPassword(const std::string& Password) override;
    int MessageOf(int Result) const override { return RarErrorToMessageId(Result); }
    // The counting walk (format 1.5 to 4 only: a format-5 archive is
    // counted entry by entry as the library reads it).
    void CountEntries(const std::string& Path, int64_t StartOffset) override;
    void Open() override;
    void Close() override;
    int ReadEntry(TLibEntry& E) override;
    int EndOfArchive() const override { return 10; }

private:

    rar::HANDLE handle_ = nullptr;
    rar::RARHeaderData header_{};
    std::vector<char> arcName_;
    std::vector<char> dest_;
    bool countAsItGoes_ = false;
};

}  // namespace bramble
