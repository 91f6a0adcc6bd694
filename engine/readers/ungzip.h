// The gzip and compress reader: extracts or tests a gzip file (also several
// members one after another) or a .Z file, and hands a decompressed TAR to
// its TAR reader so a .tar.gz unpacks in one run.
#pragma once

#include <string>

#include "engine/core/unbase.h"
#include "engine/readers/untar.h"

namespace bramble {

class TUnGZIP : public TUnBase {
public:
    explicit TUnGZIP(TComponent* AOwner = nullptr) : TUnBase(AOwner) {}

    bool AsciiTranslation() const { return asciiTranslation_; }
    void SetAsciiTranslation(bool v) { asciiTranslation_ = v; }
    // The reader a decompressed TAR goes to; not owned.
    TUnTAR* UnTar() const { return unTar_; }
    void SetUnTar(TUnTAR* v) { unTar_ = v; }

    void ExtractArchive() override;

private:
    struct Member {
        int64_t dataStart = 0;  // first byte of compressed data
        uint8_t method = 0;
        uint8_t flags = 0;
        uint32_t mtime = 0;
        std::string name;  // as stored (OEM, folders and all), at most gzip::kNameKeep bytes
    };
    // Parses a member header at pos; false when it is not one.
    bool ReadMember(int64_t pos, Member& m);
    // Decodes the members from the first on; true when every member's
    // check value and size matched.
    bool DecodeGzip(const Member& first, const std::string& FN);
    void HandToTar(const std::string& output);

    bool asciiTranslation_ = false;
    TUnTAR* unTar_ = nullptr;
};

}  // namespace bramble
