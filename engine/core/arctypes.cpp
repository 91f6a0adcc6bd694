#include "engine/core/arctypes.h"

#include <cctype>

#include "engine/core/types.h"

namespace bramble {

namespace {

const std::string kNames[kArcTypeCount] = {
    "Not avail.", "Unsupport.", "File Error", "Unknown   ", "ACE       ", "ACE SFX   ",
    "ARC       ", "ARC SFX   ", "ARJ       ", "ARJ SFX   ", "BH        ", "BH  SFX   ",
    "CAB       ", "GZip      ", "HA        ", "Java JAR  ", "JJar SFX  ", "LHA       ",
    "LHA SFX   ", "LZH       ", "LZH SFX   ", "MsGZ     \t", "PAK       ", "PAK SFX   ",
    "RAR       ", "RAR SFX   ", "TAR       ", "UUE       ", "ZIP       ", "ZIP SFX   ",
    "Zip MVol  ", "ZOO       "};

const char* const kExtensions[kArcExtCount] = {
    ".UUE", ".XXE", ".ENC", ".TAR", ".Z",   ".GZ",  ".ZIP", ".ZOO", ".LHA", ".LZH",
    ".ARC", ".ARJ", ".BH",  ".PAK", ".CAB", ".RAR", ".EXE", ".JAR", ".ACE", ".PK3"};

using Kinds = TSet<TArcType>;

const Kinds kInvalid = {atNA, atUnsupported, atFileOpenErr, atUnknown};
const Kinds kExtractable = {atACE, atAceExe, atArc, atArcExe, atArj, atArjExe, atBh, atBhExe,
                            atCab, atGZip, atJar, atJarExe, atLha, atLhaExe, atLzh, atLzhExe,
                            atRar, atRarExe, atTar, atUue, atZip, atZipExe, atZipMV, atZoo};
const Kinds kCompressible = {atBh, atCab, atGZip, atJar, atLha, atLzh, atTar, atZip};
const Kinds kEncodable = {atUue};
const Kinds kEncryptable = {atBh, atBhExe, atJar, atJarExe, atZip, atZipExe};

Kinds Testable() {
    Kinds k = kExtractable;
    k.erase(atCab);
    k.erase(atUue);
    return k;
}
const Kinds kTestable = Testable();

}  // namespace

const std::string& ArcTypeName(TArcType t) {
    static const std::string empty;
    return static_cast<unsigned>(t) < kArcTypeCount ? kNames[t] : empty;
}

bool IsValidArcType(TArcType t) { return !kInvalid.contains(t); }
bool CanExtractArcType(TArcType t) { return kExtractable.contains(t); }
bool CanCompressArcType(TArcType t) { return kCompressible.contains(t) || kEncodable.contains(t); }
bool CanEncryptArcType(TArcType t) { return kEncryptable.contains(t); }
bool CanTestArcType(TArcType t) { return kTestable.contains(t); }

int ArcExtIndex(const std::string& ext) {
    for (int i = 0; i < kArcExtCount; ++i) {
        const char* e = kExtensions[i];
        size_t n = 0;
        while (e[n] && n < ext.size() &&
               std::toupper(static_cast<unsigned char>(ext[n])) == static_cast<unsigned char>(e[n]))
            ++n;
        if (!e[n] && n == ext.size()) return i;
    }
    return -1;
}

const char* ArcExtension(int index) {
    return index >= 0 && index < kArcExtCount ? kExtensions[index] : "";
}

}  // namespace bramble
