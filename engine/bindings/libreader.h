// What the RAR and ACE readers share: both hand the archive to an outside
// library that parses and decodes, and both decide per entry, check the
// CRC from the data the library hands back, ask for passwords and volumes,
// and report through the engine's events. A reader supplies the library's
// calls and its own counting walk.
#pragma once

#include <exception>
#include <string>
#include <vector>

#include "engine/bindings/binding.h"
#include "engine/core/unbase.h"

namespace bramble {

class TLibraryReader : public TUnBase {
public:
    explicit TLibraryReader(TComponent* AOwner = nullptr) : TUnBase(AOwner) {}

    // The entry as the library's header describes it.
    struct TLibEntry {
        std::string StoredName;  // as the archive stores it (OEM)
        bool Folder = false;
        bool UnixHost = false;
        bool Encrypted = false;
        bool ToNext = false;  // goes on in the next volume
        int64_t Size = 0;
        uint32_t Crc = 0;
        uint32_t DosTime = 0;
    };

    // The library's callbacks, reached through the run's one reference.
    int ProcessData(const unsigned char* Addr, int Size);
    int ChangeVolume(char* ArcName, int Mode);

    // Entries counted for the run and handled so far.
    int Counted() const { return counted_; }
    int Done() const { return done_; }

protected:
    enum TOperation { opSkip = 0, opTest = 1, opExtract = 2 };
    enum class TOutcome : uint8_t { Processed, Failed, Stop };

    // The library's processing of the current entry (Dest only for
    // opExtract, the full output path); its result code.
    virtual int CallProcess(int Operation, const char* Dest) = 0;
    virtual void CallSetPassword(const std::string& Password) = 0;
    // The engine message of a library result; 0 for none.
    virtual int MessageOf(int Result) const = 0;
    // The counting walk over one archive or volume file.
    virtual void CountEntries(const std::string& Path, int64_t StartOffset) = 0;
    // Before another password round, after Result: false ends the rounds.
    // The library has gone past the entry by then, so by default the
    // archive is opened again and read up to the same entry, the entries
    // before it passed over.
    virtual bool PrepareRetry(int Result);
    // The library's handle: Open raises the engine's message on failure.
    virtual void Open() = 0;
    virtual void Close() = 0;
    // Reads the next header into E; the library's result.
    virtual int ReadEntry(TLibEntry& E) = 0;
    // The result by which the library says the archive has ended.
    virtual int EndOfArchive() const = 0;

    // The whole run: counts, then hands each entry the library reads to
    // HandleEntry, and reports a header the library could not read.
    void RunEntries();
    // Run state for a new run.
    void BeginRun();
    // Adds an entry found by a counting walk to the totals.
    void CountEntry(int64_t Unpacked, int64_t Packed, uint32_t DosTime);
    // One entry: steps of a plain entry, or the password rounds of an
    // encrypted one. Stop ends the run.
    TOutcome HandleEntry(const TLibEntry& E);
    // Throws what a callback kept back.
    void CheckPending();
    std::string ShownName(const TLibEntry& E) const;

    std::string volumeName_;
    int counted_ = 0;
    int done_ = 0;
    int volumeIndex_ = 0;
    bool volumeDeclined_ = false;
    std::string lastAskedVolume_;
    // The CRC of the whole entry, from the last part of one spread over
    // volumes (the other parts carry their own part's CRC).
    uint32_t continuedCrc_ = 0;
    bool continuedSeen_ = false;
    // Headers read since the archive was opened.
    int headersRead_ = 0;

private:
    int ReadNext(TLibEntry& E);
    int ProcessEntry(const TLibEntry& E, bool LastRound, bool& Stop);
    TOutcome PasswordRounds(const TLibEntry& E);
    void ReportResult(const std::string& FN, int Result);

    int64_t entrySize_ = 0;
    int64_t entryDone_ = 0;
    bool active_ = false;
    std::exception_ptr pending_;
};

// Holds the run's reference for the library's callbacks; one run at a time
// in the process.
class TLibraryRun {
public:
    explicit TLibraryRun(TLibraryReader* Reader);
    ~TLibraryRun();
    TLibraryRun(const TLibraryRun&) = delete;
    TLibraryRun& operator=(const TLibraryRun&) = delete;
    static TLibraryReader* Current();

    // The data and volume callbacks both libraries take: they reach the
    // running reader, and nothing once no run is under way.
    static int BRAMBLE_STDCALL DataCallback(unsigned char* Addr, int Size) noexcept;
    static int BRAMBLE_STDCALL VolumeCallback(char* ArcName, int Mode) noexcept;
};

// S with a NUL after it, as the libraries take names and passwords.
std::vector<char> NulTerminated(const std::string& S);

}  // namespace bramble
