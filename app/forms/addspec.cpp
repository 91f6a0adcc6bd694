#include "app/forms/addspec.h"

#include "engine/core/helpers.h"

namespace bramble {

namespace {

std::string Trim(const std::string& S) {
    const size_t b = S.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    return S.substr(b, S.find_last_not_of(' ') - b + 1);
}

std::string WithoutQuotes(std::string S) {
    std::string out;
    for (char c : S)
        if (c != '"') out += c;
    return out;
}

}  // namespace

int WriterKindOf(int Kind) {
    switch (Kind) {
        case wkBh: case wkCab: case wkGZip: case wkLha: case wkTar: case wkZip: return Kind;
        default: return wkZip;
    }
}

int WriterKindForName(const std::string& ArchiveName, int LastKind) {
    // A plain search in the list, so the start of a listed extension finds
    // it: ".C" is a cabinet, ".T" a tar.
    static const std::string kList = ".BH .CAB.LHA.LZH.ZIP.ZOO.GZ .TAR.JAR";
    static const int kKinds[] = {wkBh, wkCab, wkLha, wkLha, wkZip, wkZoo, wkGZip, wkTar, wkJar};
    const std::string ext = UpperCase(ExtractFileExt(ArchiveName));
    // The empty text is found anywhere; a name without an extension says
    // nothing. A lone "." is the start of the first entry.
    if (ext.empty()) return LastKind;
    const size_t at = kList.find(ext);
    if (at == std::string::npos || at % 4 != 0) return LastKind;
    return kKinds[at / 4];
}

int WriterKindForArcType(TArcType Kind) {
    switch (Kind) {
        case atBh: return wkBh;
        case atCab: return wkCab;
        case atLha: case atLzh: return wkLha;
        case atTar: return wkTar;
        case atZip: case atZipExe: return wkZip;
        default: return 0;
    }
}

TArcType ArcTypeOfWriterKind(int Kind) {
    switch (WriterKindOf(Kind)) {
        case wkBh: return atBh;
        case wkCab: return atCab;
        case wkGZip: return atGZip;
        case wkLha: return atLha;
        case wkTar: return atTar;
        default: return atZip;
    }
}

const std::string& MethodName(TCompressMethod Method) {
    static const std::string names[] = {"Store",    "Deflate",  "Fuse",     "Frozen1", "Frozen5", "MsZip",
                                        "Lzx",      "Quantum",  "UUEncode", "XXEncode", "Tarred", "GzipTar"};
    static const std::string none;
    return Method <= cmGzipTar ? names[Method] : none;
}

TCompressMethod MethodOfName(const std::string& Name) {
    for (int m = cmStore; m <= cmGzipTar; ++m)
        if (MethodName(static_cast<TCompressMethod>(m)) == Name) return static_cast<TCompressMethod>(m);
    return cmStore;
}

std::vector<TCompressMethod> MethodRows(const TSet<TCompressMethod>& Allowed) {
    static const TCompressMethod order[] = {cmStore, cmDeflate, cmFuse,    cmFrozen1, cmFrozen5,
                                            cmMsZip, cmQuantum, cmLzx,     cmTarred,  cmGzipTar};
    std::vector<TCompressMethod> out;
    for (TCompressMethod m : order)
        if (Allowed.contains(m)) out.push_back(m);
    return out;
}

std::vector<std::string> SplitFileNames(const std::string& Text) {
    std::vector<std::string> out;
    auto add = [&](const std::string& piece) {
        std::string n = Trim(WithoutQuotes(piece));
        if (!n.empty()) out.push_back(n);
    };
    if (Text.find('"') == std::string::npos) {
        add(Text);
        return out;
    }
    size_t from = 0;
    for (size_t at = Text.find("\" ", from); at != std::string::npos; at = Text.find("\" ", from)) {
        add(Text.substr(from, at + 1 - from));
        from = at + 2;
    }
    // A last quoted name without its blank, or typed text after the
    // pairs, is one more name.
    add(Text.substr(from));
    return out;
}

std::string QuotedNames(const std::vector<std::string>& Names) {
    std::string out;
    for (const std::string& n : Names) out += "\"" + n + "\" ";
    return out;
}

bool IsAbsoluteName(const std::string& Name) {
    return (Name.size() >= 3 && Name[1] == ':' && (Name[2] == '\\' || Name[2] == '/')) ||
           (Name.size() >= 2 && (Name[0] == '\\' || Name[0] == '/') && (Name[1] == '\\' || Name[1] == '/'));
}

std::string FileSpecLine(const std::string& Folder, const std::string& Name) {
    if (IsAbsoluteName(Name)) return Name;
    if (Folder.empty()) return {};
    if (!Name.empty() && (Name[0] == '\\' || Name[0] == '/')) {
        if (Folder.size() >= 2 && Folder[1] == ':') return Folder.substr(0, 2) + Name;
        return {};
    }
    return AppendBackslash(Folder) + Name;
}

}  // namespace bramble
