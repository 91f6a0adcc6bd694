// The UU/XX decoder: turns a UU- or XX-encoded text file (also split over
// several part files) back into the file it holds. The text may carry mail
// headers or other lines before its "begin" line; the alphabet is taken
// from a "table" or "charmap" header when there is one, else from the first
// data line.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/unbase.h"
#include "engine/formats/uu.h"

namespace bramble {

class TUUDecode : public TUnBase {
public:
    explicit TUUDecode(TComponent* AOwner = nullptr) : TUnBase(AOwner) {}

    // ---- published properties ----
    int MaxHeaderLines() const { return maxHeaderLines_; }
    void SetMaxHeaderLines(int v) { maxHeaderLines_ = v; }
    TNextVolumeName NextVolumeName() const { return nextVolumeName_; }
    void SetNextVolumeName(TNextVolumeName v) { nextVolumeName_ = v; }
    bool VolumeLongFilenames() const { return volumeLongFilenames_; }
    void SetVolumeLongFilenames(bool v) { volumeLongFilenames_ = v; }
    uint8_t VolumeStartNum() const { return volumeStartNum_; }
    void SetVolumeStartNum(uint8_t v) { volumeStartNum_ = v > 10 ? 10 : v; }

    // ---- what the last run found ----
    // The full path of the file written (empty when nothing was).
    const std::string& DecodedFileName() const { return decodedFileName_; }
    // "UUdecode" or "XXdecode".
    const std::string& KindName() const { return kindName_; }

    void ExtractArchive() override;

    // ---- the steps of a run ----
    // Reads the header lines up to "begin"; false when there is none.
    bool UuScanHeader(std::string& Name);
    // Decodes data lines until "end" (true) or the end of the part (false).
    bool UuDecodeBody();
    // Positions a further part at its first data line.
    void UuSkipToData();
    // Decodes one data line into the output; EndedByLF tells whether the
    // line was ended by a line feed or by the end of the input.
    void UuDecodeGroups(const std::string& Line, bool EndedByLF);

private:
    // The next line of the input (CR dropped, at most kMaxLine characters
    // kept); false at the end of the input.
    bool ReadLine(std::string& Line, bool& EndedByLF);
    // Chooses the alphabet from the first data line (reading the line
    // after it ahead when it is no full line); false when none is settled.
    bool SettleAlphabet(const std::string& FirstLine);
    void UseAlphabet(const std::string& Alphabet);
    void Flush();
    bool Fill();
    // The lines read ahead first, else the next of the input.
    bool NextLine(std::string& Line, bool& EndedByLF);
    void ResetInput();
    bool IsEndLine(const std::string& Line) const;

    int maxHeaderLines_ = 100;
    TNextVolumeName nextVolumeName_ = nvChangeExt;
    bool volumeLongFilenames_ = false;
    uint8_t volumeStartNum_ = 0;

    std::string decodedFileName_;
    std::string kindName_ = "XXdecode";
    std::string alphabet_;
    std::array<int, 256> inverse_{};
    char fullLineChar_ = 'h';
    std::string suppliedAlphabet_;  // from "table" or "charmap"

    std::vector<uint8_t> in_;
    size_t inPos_ = 0, inLen_ = 0;
    bool inEof_ = false;
    int64_t inDone_ = 0;  // bytes of the current part consumed
    int64_t partSize_ = 0;
    std::vector<uint8_t> out_;
    // Lines read ahead, decoded first: each with whether a line feed ended it.
    std::deque<std::pair<std::string, bool>> pending_;
    bool illegalReported_ = false;
    std::string FN_;
};

}  // namespace bramble
