// The self-extractor builder: the extractor stub "zipsfx.bin" followed by a
// ZIP archive whose offsets are moved by the stub's length, written as a
// program next to the archive. The archive itself is never changed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace bramble {

// The stub's file name; it lies beside the program.
inline constexpr const char* SfxStubFileName = "zipsfx.bin";

// The program made from an archive: its path with the extension ".exe".
std::string SelfExtractorName(const std::string& Archive);

struct TSfxResult {
    int ErrorId = 0;       // an engine message id; 0 when the program was made
    std::string FileName;  // the file the failure concerns
    bool Ok() const { return ErrorId == 0; }
    // What the user is told: "Creation of " + Exe + " Finished", or the
    // failure's text and file.
    std::string Message(const std::string& Exe) const;
};

// Told after every block copied: bytes written so far and in all. The
// program lets pending messages run here.
using TSfxProgress = std::function<void(int64_t Done, int64_t Total)>;

// Writes Stub followed by Archive to Exe. Archive must be a single-volume
// ZIP whose central directory is followed directly by its end record (and
// the archive comment). Exe is written under a temporary name beside it and
// takes its name only when complete: on any failure an existing Exe stays
// as it was and nothing of the new one is left behind. Exe must be neither
// the stub nor the archive.
TSfxResult MakeSelfExtractor(const std::string& Stub, const std::string& Archive, const std::string& Exe,
                             const TSfxProgress& Progress = {});

}  // namespace bramble
