// The ACE reader: extracts or tests an ACE archive, also one spread over
// volumes, through the ACE maker's library, the way the RAR reader does.
// Its own walk of the block headers counts the entries and bytes for the
// progress.
#pragma once

#include <string>
#include <vector>

#include "engine/bindings/libreader.h"
#include "engine/bindings/unace.h"

namespace bramble {

class TUnACE : public TLibraryReader {
public:
    explicit TUnACE(TComponent* AOwner = nullptr);
    ~TUnACE() override;

    void ExtractArchive() override;

    // The engine message of a library result; 0 for codes it has none for.
    static int AceErrorToMessageId(int Code);

protected:
    int CallProcess(int Operation, const char* Dest) override;
    void CallSetPassword(const std::string& Password) override;
    int MessageOf(int Result) const override { return AceErrorToMessageId(Result); }
    void CountEntries(const std::string& Path, int64_t StartOffset) override;
    // A user abort ends the rounds; otherwise the archive is opened again
    // and read up to the same entry.
    bool PrepareRetry(int Result) override;

    void Open() override;
    void Close() override;
    int ReadEntry(TLibEntry& E) override;
    int EndOfArchive() const override;

private:

    ace::HANDLE handle_ = nullptr;
    ace::ACEHeaderData header_{};
    std::vector<char> arcName_;
    std::vector<char> dest_;
};

}  // namespace bramble
