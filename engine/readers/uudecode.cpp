#include "engine/readers/uudecode.h"

#include <algorithm>

#include "engine/core/helpers.h"
#include "engine/core/os.h"

namespace bramble {

namespace {

constexpr size_t kBufferSize = 32768;
// Lines are kept up to this length; the rest of a longer line is read and
// dropped. Data lines are at most 1 + 4 * 21 characters, and a "begin" line
// keeps names of any length the file system takes.
constexpr size_t kMaxLine = 1024;

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The value of c in Alphabet (the blank counts as 0), or -1.
int ValueIn(const char* Alphabet, char c) {
    if (c == ' ') return 0;
    const char* p = std::find(Alphabet, Alphabet + 64, c);
    return p == Alphabet + 64 ? -1 : static_cast<int>(p - Alphabet);
}

// Whether Line reads as a data line of Alphabet: its count within a line's
// 45 bytes, every character of its groups in the alphabet, and its length
// that of the groups (one check character after them is allowed, as some
// encoders write one). Short is the number of trailing characters that may
// be missing: old UU encoders wrote 0 as a blank, which mailers strip.
// (For every character both alphabets hold, the UU count asks for at least
// 12 characters more than the XX one, so the two never both fit.)
bool FitsAlphabet(const char* Alphabet, const std::string& Line, size_t Short) {
    if (Line.empty()) return false;
    const int n = ValueIn(Alphabet, Line[0]);
    if (n < 0 || n > 45) return false;
    const size_t needed = 1 + 4 * static_cast<size_t>((n + 2) / 3);
    if (Line.size() + Short < needed || Line.size() > needed + 1) return false;
    for (size_t i = 1; i < needed && i < Line.size(); ++i)
        if (ValueIn(Alphabet, Line[i]) < 0) return false;
    return true;
}

}  // namespace

// ---- input ---------------------------------------------------------------------------

void TUUDecode::ResetInput() {
    in_.resize(kBufferSize);
    inPos_ = inLen_ = 0;
    inEof_ = false;
    inDone_ = 0;
    pending_.clear();
    illegalReported_ = false;
}

bool TUUDecode::Fill() {
    if (inEof_) return false;
    const int64_t got = inFile_.Read(in_.data(), static_cast<int64_t>(in_.size()));
    if (got <= 0) {
        inEof_ = true;
        return false;
    }
    inPos_ = 0;
    inLen_ = static_cast<size_t>(got);
    inDone_ += got;
    bytesToDo_ -= got;
    ReportProgress(inDone_, partSize_);
    return true;
}

bool TUUDecode::ReadLine(std::string& Line, bool& EndedByLF) {
    Line.clear();
    EndedByLF = false;
    bool any = false;
    for (;;) {
        if (inPos_ >= inLen_ && !Fill()) return any;
        const char c = static_cast<char>(in_[inPos_++]);
        any = true;
        if (c == '\n') {
            EndedByLF = true;
            return true;
        }
        if (c != '\r' && Line.size() < kMaxLine) Line.push_back(c);
    }
}

bool TUUDecode::NextLine(std::string& Line, bool& EndedByLF) {
    if (!pending_.empty()) {
        Line = std::move(pending_.front().first);
        EndedByLF = pending_.front().second;
        pending_.pop_front();
        return true;
    }
    return ReadLine(Line, EndedByLF);
}

// ---- alphabet --------------------------------------------------------------------------

void TUUDecode::UseAlphabet(const std::string& Alphabet) {
    alphabet_ = Alphabet;
    inverse_.fill(-2);
    inverse_[static_cast<uint8_t>(' ')] = 0;
    for (int i = 0; i < 64 && i < static_cast<int>(Alphabet.size()); ++i) {
        int& v = inverse_[static_cast<uint8_t>(Alphabet[static_cast<size_t>(i)])];
        if (v == -2) v = i;
    }
    kindName_ = Alphabet == kUuAlphabet ? "UUdecode" : "XXdecode";
}

bool TUUDecode::SettleAlphabet(const std::string& FirstLine) {
    if (suppliedAlphabet_.size() == 64) {
        UseAlphabet(suppliedAlphabet_);
        fullLineChar_ = suppliedAlphabet_[45];
        return true;
    }
    const char c = FirstLine.empty() ? '\0' : FirstLine[0];
    // A full first line names its alphabet by its count character. Any
    // other count starts no file but one of fewer than 45 bytes, whose one
    // data line is its last: only then, closed by the line of length 0 or
    // "end", may its characters and length place it (uuencode writes such
    // files; refusing them would refuse every small file).
    bool uu = c == 'M';
    bool xx = c == 'h';
    if (!uu && !xx) {
        std::string next;
        bool lf = false;
        const bool more = ReadLine(next, lf);
        if (more) pending_.emplace_back(next, lf);
        auto closed = [&](const char* Alphabet) {
            return !more || next.empty() || IsEndLine(next) || ValueIn(Alphabet, next[0]) == 0;
        };
        uu = FitsAlphabet(kUuAlphabet, FirstLine, 3) && closed(kUuAlphabet);
        xx = !uu && FitsAlphabet(kXxAlphabet, FirstLine, 0) && closed(kXxAlphabet);
    }
    if (uu) {
        UseAlphabet(kUuAlphabet);
        fullLineChar_ = 'M';
    } else if (xx) {
        UseAlphabet(kXxAlphabet);
        fullLineChar_ = 'h';
    }
    return uu || xx;
}

// ---- steps ---------------------------------------------------------------------------------

bool TUUDecode::UuScanHeader(std::string& Name) {
    std::string line;
    bool lf = false;
    for (int i = 0; i < maxHeaderLines_; ++i) {
        if (!ReadLine(line, lf)) return false;
        if (StartsWith(line, "begin ")) {
            // "begin MODE NAME": the name runs to the first blank.
            size_t p = 6;
            while (p < line.size() && IsBlank(line[p])) ++p;
            while (p < line.size() && !IsBlank(line[p])) ++p;
            while (p < line.size() && IsBlank(line[p])) ++p;
            size_t e = p;
            while (e < line.size() && !IsBlank(line[e])) ++e;
            Name = line.substr(p, e - p);
            return true;
        }
        if (StartsWith(line, "size")) continue;
        if (StartsWith(line, "table")) {
            std::string first, second;
            bool more = ReadLine(first, lf) && ReadLine(second, lf);
            i += 2;
            if (more && first.size() >= 32 && second.size() >= 32)
                suppliedAlphabet_ = first.substr(0, 32) + second.substr(0, 32);
            if (!more) return false;
            continue;
        }
        if (StartsWith(line, "charmap")) {
            // "charmap" and the 64 characters of the alphabet, after blanks.
            size_t p = 7;
            while (p < line.size() && IsBlank(line[p])) ++p;
            if (line.size() - p >= 64) suppliedAlphabet_ = line.substr(p, 64);
        }
    }
    return false;
}

bool TUUDecode::IsEndLine(const std::string& Line) const {
    if (!StartsWith(Line, "end")) return false;
    // Only "end" itself (trailing blanks allowed): an XX data line may
    // begin with the same three letters.
    return std::all_of(Line.begin() + 3, Line.end(), [](char c) { return IsBlank(c); });
}

void TUUDecode::Flush() {
    if (out_.empty()) return;
    ExtractWriteHook(OutputStreamArg(), true, static_cast<int64_t>(out_.size()), 0, false, out_.data());
    out_.clear();
}

void TUUDecode::UuDecodeGroups(const std::string& Line, bool EndedByLF) {
    if (Line.empty()) return;
    const int n = inverse_[static_cast<uint8_t>(Line[0])];
    if (n < 0) return;  // not a data line
    const size_t groups = static_cast<size_t>((n + 2) / 3);
    const size_t needed = 1 + 4 * groups;
    // Mailers strip trailing blanks, which stand for 0; a line cut by the
    // end of the input is another matter.
    if (Line.size() < needed && !EndedByLF) ReportError(FN_, "", "0", 25167);
    uint8_t bytes[3 * 21];
    for (size_t g = 0; g < groups; ++g) {
        int v[4];
        for (size_t k = 0; k < 4; ++k) {
            const size_t at = 1 + 4 * g + k;
            const char c = at < Line.size() ? Line[at] : ' ';
            v[k] = inverse_[static_cast<uint8_t>(c)];
            if (v[k] < 0) {
                if (!illegalReported_) {
                    illegalReported_ = true;  // once per part: a damaged file would flood the messages
                    ReportError(FN_, std::string("line starting with ") + Line[0], "0", 25241);
                }
                v[k] = 0;
            }
        }
        bytes[3 * g] = static_cast<uint8_t>(v[0] << 2 | v[1] >> 4);
        bytes[3 * g + 1] = static_cast<uint8_t>((v[1] << 4 | v[2] >> 2) & 0xFF);
        bytes[3 * g + 2] = static_cast<uint8_t>((v[2] << 6 | v[3]) & 0xFF);
    }
    out_.insert(out_.end(), bytes, bytes + n);
    if (out_.size() >= kBufferSize) Flush();
}

bool TUUDecode::UuDecodeBody() {
    std::string line;
    bool lf = false;
    while (!cancel_ && NextLine(line, lf)) {
        if (IsEndLine(line)) return true;
        UuDecodeGroups(line, lf);
    }
    return false;
}

void TUUDecode::UuSkipToData() {
    ResetInput();
    std::string line;
    bool lf = false;
    bool first = true;
    while (ReadLine(line, lf)) {
        if (first && !line.empty() && line[0] == fullLineChar_) break;
        first = false;
        if (StartsWith(line, "begin")) return;  // data follows
        if (IsEndLine(line)) break;
        if (!line.empty() && line[0] == fullLineChar_) {
            ReportError(FN_, std::string("line starting with ") + line[0] + " found before \"begin\"", "0", 25240);
            break;
        }
    }
    if (line.empty() && !lf) return;  // the part ended
    pending_.emplace_back(line, lf);
}

void TUUDecode::ExtractArchive() {
    decodedFileName_.clear();
    suppliedAlphabet_.clear();
    out_.clear();
    UseAlphabet(kXxAlphabet);
    fullLineChar_ = 'h';
    ResetInput();
    partSize_ = arcFileSize_;
    SetBytesToDo(partSize_);
    if (!inFile_.Seek(0)) RaiseError(archiveFile_, "", "0", 25292);

    std::string name;
    if (!UuScanHeader(name)) RaiseError(archiveFile_, "", "0", 25123);
    FN_ = name;
    // The first data line settles the alphabet; blank lines before it say
    // nothing.
    std::string line;
    bool lf = false;
    bool any = false;
    while ((any = ReadLine(line, lf)) && line.empty()) {
    }
    if (!any) RaiseError(archiveFile_, "", "0", 25266);
    pending_.emplace_back(line, lf);
    if (!IsEndLine(line) && !SettleAlphabet(line)) RaiseError(archiveFile_, std::string(1, line[0]), "0", 25326);

    const std::string outPath = ConvertFileName(name);
    if (outPath.empty()) {
        NameRefused(name, 0);
        return;
    }
    const bool toFile = OutputTarget == otFile || OutputTarget == otTempStream;
    FN_ = toFile ? outPath : name;
    bool exists = false;
    const uint32_t now = FileTimeToDosDate(os::NowFileTime());
    if (PrepareExtractFile(FN_, exists, DosDateToDateTime(now)) != prExtract) return;
    const std::string target = toFile ? OutputName() : FN_;
    if (!OpenEntryOutput(FN_, target, bytesToDo_)) return;
    if (OutputTarget == otFile) decodedFileName_ = target;

    bool done = false;
    try {
        int parts = 1;
        for (;;) {
            done = UuDecodeBody();
            if (done || cancel_) break;
            Flush();
            const int number = volumeStartNum_ + parts;
            std::string next = UuNextVolumeName(archiveFile_, number, nextVolumeName_, volumeLongFilenames_);
            if (!AskNextVolume(next, number)) break;
            if (!inFile_.Close()) RaiseError(next, std::to_string(number), "0", 25137);
            if (!inFile_.Open(next, os::OpenMode::Read)) RaiseError(next, "", "0", 25235);
            partSize_ = inFile_.Size();
            SetBytesToDo(partSize_);
            ++parts;
            UuSkipToData();
        }
        Flush();
    } catch (...) {
        CloseOutput();
        throw;
    }
    if (cancel_) {
        CloseOutput();
        RaiseError(FN_, "", "0", 25400);
    }
    if (!done) ReportError(FN_, "", "0", 25168);
    if (OutputTarget == otFile)
        RestoreFileStamp(0x20, now, target);
    else
        CloseOutput();
    if (!done) decodedFileName_.clear();
    EndEntry(FN_, done);
}

}  // namespace bramble
