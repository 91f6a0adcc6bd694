// arcdrv: a command-line driver of the archive engine, for tests and
// benchmarks. It sets up components the way the program does and prints
// what they report, in a stable, tab-separated form.
//
//   arcdrv detect ARCHIVE     kind name (trimmed), a tab, ArcOffset
//   arcdrv list ARCHIVE       one line per entry: name, unpacked size,
//                             packed size, CRC (8 hex digits), method,
//                             date-time "yyyy-mm-dd hh:mm:ss", tab-separated;
//                             then "TOTAL", entries, unpacked, packed
//   arcdrv test ARCHIVE [-p PASSWORD]
//                             "OK name" or "FAIL name" per entry (also for
//                             an entry whose local header is not where the
//                             directory says); exit 0 only when every entry
//                             passed and nothing else went wrong
//   arcdrv extract ARCHIVE DIR [-p PASSWORD] [--skip]
//                             extracts through the reader of the archive's
//                             kind into DIR (relative to the current
//                             folder); existing files are replaced, or kept
//                             with --skip; "FAIL name" per entry that
//                             failed (refused ones too), then "extracted N",
//                             the files written whole; exit 0 only when none
//                             failed and no bad header, header of a version
//                             not read here, or end of file cut the walk
//                             short
//   arcdrv add ARCHIVE [-k KIND] [-m METHOD] [-l S|F|N|X] [-p PASSWORD] [-r]
//              [--move] [--dirs MODE] FILES...
//                             adds (or with --move moves) FILES, relative to
//                             the current folder, through the writer of KIND
//                             (zip, jar, gzip, tar, lha, lzh, cab, bh; by default
//                             from the archive's extension, else from its
//                             content). METHOD: store, deflate, tarred,
//                             gziptar, frozen1 (-lh1-), frozen5 (-lh5-),
//                             fuse, mszip, lzx, quantum; -l the deflate
//                             level; -r into sub-folders; MODE: none,
//                             absolute, nodrive, relative, start. Entries
//                             already in the archive are replaced. Prints
//                             "FAIL name" per file not added, then
//                             "added N"
//   arcdrv delete ARCHIVE SPEC...
//                             deletes the entries SPEC names; "deleted N"
//
// Exit status: 0 success, 1 the operation failed, 2 usage.
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "engine/lister/dovex.h"
#include "engine/core/helpers.h"
#include "engine/readers/zipcheck.h"
#include "engine/readers/readers.h"
#include "engine/writers/writers.h"

using namespace bramble;

namespace {

int Usage() {
    std::fputs("usage: arcdrv detect ARCHIVE\n"
               "       arcdrv list ARCHIVE\n"
               "       arcdrv test ARCHIVE [-p PASSWORD]\n"
               "       arcdrv extract ARCHIVE DIR [-p PASSWORD] [--skip]\n"
               "       arcdrv add ARCHIVE [-k KIND] [-m METHOD] [-l S|F|N|X] [-p PASSWORD] [-r] [--move]\n"
               "                  [--dirs MODE] FILES...\n"
               "       arcdrv delete ARCHIVE SPEC...\n",
               stderr);
    return 2;
}

std::string Trim(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
    return s;
}

int Detect(const std::string& archive) {
    TDovex dovex;
    dovex.SetArchiveFile(archive);
    std::printf("%s\t%lld\n", Trim(dovex.GetArcTypeName()).c_str(), static_cast<long long>(dovex.ArcOffset()));
    return IsValidArcType(dovex.ArcType()) ? 0 : 1;
}

// Engine errors go to standard error as "error ID text [extra]".
void PrintErrors(TZipCommon& c) {
    c.OnError = [](TObject*, const std::string& FN, const std::string& MsgEx, const std::string&, int ECode) {
        std::fprintf(stderr, "error %d %s%s%s\n", ECode, MessageText(ECode).c_str(), MsgEx.empty() ? "" : " ",
                     MsgEx.c_str());
    };
}

int List(const std::string& archive) {
    TDovex dovex;
    PrintErrors(dovex);
    dovex.SetArchiveFile(archive);
    dovex.FileSpec() = {"*.*"};
    dovex.OnRead = [&dovex](TObject*, int, int) {
        const TEntryInfo& e = dovex.EntryInfo;
        int y, mo, d, h, mi, s;
        DecodeDateTime(e.DateTime, y, mo, d, h, mi, s);
        std::printf("%s\t%lld\t%lld\t%08X\t%s\t%04d-%02d-%02d %02d:%02d:%02d\n", e.FileName.c_str(),
                    static_cast<long long>(e.UnpackedSize), static_cast<long long>(e.PackedSize), e.CRC,
                    e.MethodName.c_str(), y, mo, d, h, mi, s);
    };
    dovex.ReadArchive();
    std::printf("TOTAL\t%d\t%lld\t%lld\n", dovex.FileCount(), static_cast<long long>(dovex.TotalUnpacked()),
                static_cast<long long>(dovex.TotalPacked()));
    return 0;
}

struct Options {
    std::vector<std::string> passwords;
    bool skip = false;
    std::vector<std::string> rest;
};

Options ParseOptions(const std::vector<std::string>& args, size_t from) {
    Options o;
    for (size_t i = from; i < args.size(); ++i) {
        if (args[i] == "-p" && i + 1 < args.size())
            o.passwords.push_back(args[++i]);
        else if (args[i] == "--skip")
            o.skip = true;
        else
            o.rest.push_back(args[i]);
    }
    return o;
}

int Test(const std::string& archive, const Options& o) {
    TZipCheck check;
    PrintErrors(check);
    check.SetArchiveFile(archive);
    check.FileSpec() = {"*.*"};
    check.SetPasswords(o.passwords);
    bool allPassed = true;
    std::set<std::string> failed;
    check.OnStatus = [&](TObject*, const std::string& FN, bool pass) {
        allPassed = allPassed && pass;
        if (pass || failed.insert(FN).second) std::printf("%s %s\n", pass ? "OK" : "FAIL", FN.c_str());
    };
    // Entries the reader gives up on without ending them (a local header
    // that is not where the directory says) fail here too, once; any other
    // error fails the run.
    int errors = 0;
    check.OnError = [&](TObject*, const std::string& FN, const std::string& MsgEx, const std::string&, int ECode) {
        std::fprintf(stderr, "error %d %s%s%s\n", ECode, MessageText(ECode).c_str(), MsgEx.empty() ? "" : " ",
                     MsgEx.c_str());
        if ((ECode == 25151 || ECode == 25248) && failed.insert(FN).second) std::printf("FAIL %s\n", FN.c_str());
        ++errors;
    };
    check.TestArchive();
    return allPassed && errors == 0 ? 0 : 1;
}

int Extract(const std::string& archive, const std::string& dir, const Options& o) {
    TDovex dovex;  // the program picks the reader by what the lister found
    dovex.SetArchiveFile(archive);
    std::unique_ptr<TUnBase> reader = CreateReaderForKind(dovex.ArcType());
    if (!reader) {
        std::fprintf(stderr, "error 25242 %s\n", MessageText(25242).c_str());
        return 1;
    }
    // A walk cut short, by the end of the file or by a header that cannot
    // be read, fails the run even where no entry could be named.
    bool cut = false;
    reader->OnError = [&cut](TObject*, const std::string&, const std::string& MsgEx, const std::string&, int ECode) {
        std::fprintf(stderr, "error %d %s%s%s\n", ECode, MessageText(ECode).c_str(), MsgEx.empty() ? "" : " ",
                     MsgEx.c_str());
        cut = cut || ECode == 25236 || ECode == 25108 || ECode == 25237 || ECode == 25238 || ECode == 25328;
    };
    bool allPassed = true;
    int written = 0;
    reader->OnEnd = [&](TObject*, const std::string& FN, bool pass) {
        if (!pass) std::printf("FAIL %s\n", FN.c_str());
        allPassed = allPassed && pass;
        written += pass ? 1 : 0;
    };
    reader->SetArchiveFile(archive);
    // The program always names a full folder; a relative one would be
    // taken from the root of the drive.
    const bool absolute = (!dir.empty() && (dir[0] == '/' || dir[0] == '\\')) || (dir.size() >= 2 && dir[1] == ':');
    reader->SetExtractDir(absolute ? dir : AppendBackslash(os::CurrentDir()) + dir);
    reader->FileSpec() = {"*.*"};
    reader->SetPasswords(o.passwords);
    reader->SetConfirmOverwrites(o.skip);
    reader->SetOverwriteMode(o.skip ? omSkip : omOverwrite);
    // A chain of cabinets, or an ARJ volume set, goes on while the next one
    // is there.
    if (dovex.ArcType() == atCab || dovex.ArcType() == atArj || dovex.ArcType() == atArjExe)
        reader->OnNextVolume = [](TObject*, std::string&, const std::string&, bool exists, bool& cancel) {
            cancel = !exists;
        };
    // ARJ asks for the password of a garbled entry: the first -p answers.
    if (!o.passwords.empty() && (dovex.ArcType() == atArj || dovex.ArcType() == atArjExe))
        reader->OnGetPassword = [&o](TObject*, const std::string&, std::string& pw, bool&) { pw = o.passwords[0]; };
    reader->Extract();
    std::printf("extracted %d\n", written);
    return allPassed && !cut ? 0 : 1;
}

// The writer the program would choose: for a kind name, else for the
// archive's extension, else for its content.
std::unique_ptr<TCompBase> CreateWriter(const std::string& kind, const std::string& archive) {
    static const std::pair<const char*, TArcType> names[] = {
        {"ZIP", atZip}, {"JAR", atJar}, {"GZIP", atGZip}, {"TAR", atTar},
        {"LHA", atLha}, {"LZH", atLzh}, {"CAB", atCab}, {"BH", atBh}};
    static const std::pair<const char*, TArcType> extensions[] = {
        {".ZIP", atZip}, {".JAR", atJar}, {".GZ", atGZip}, {".TGZ", atGZip},
        {".TAR", atTar}, {".LHA", atLha}, {".LZH", atLzh}, {".CAB", atCab}, {".BH", atBh}};
    TArcType k = atNA;
    if (!kind.empty()) {
        for (const auto& [name, t] : names)
            if (UpperCase(kind) == name) k = t;
        if (k == atNA) return nullptr;
    } else {
        const std::string ext = UpperCase(ExtractFileExt(archive));
        for (const auto& [e, t] : extensions)
            if (ext == e) k = t;
        if (k == atNA && os::FileExists(archive)) {
            TDovex dovex;
            dovex.SetArchiveFile(archive);
            k = dovex.ArcType();
        }
    }
    return CreateWriterForKind(k);
}

struct WriteOptions {
    std::string kind, method, level, password, dirs;
    bool recurse = false, move = false;
    std::vector<std::string> files;
    bool ok = true;
};

WriteOptions ParseWriteOptions(const std::vector<std::string>& args, size_t from) {
    WriteOptions o;
    for (size_t i = from; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "-k" && hasValue)
            o.kind = args[++i];
        else if (a == "-m" && hasValue)
            o.method = args[++i];
        else if (a == "-l" && hasValue)
            o.level = UpperCase(args[++i]);
        else if (a == "-p" && hasValue)
            o.password = args[++i];
        else if (a == "--dirs" && hasValue)
            o.dirs = args[++i];
        else if (a == "-r")
            o.recurse = true;
        else if (a == "--move")
            o.move = true;
        else if (!a.empty() && a[0] == '-')
            o.ok = false;
        else
            o.files.push_back(a);
    }
    return o;
}

bool ApplyWriteOptions(TCompBase& w, const WriteOptions& o) {
    if (!o.method.empty()) {
        static const std::pair<const char*, TCompressMethod> methods[] = {
            {"STORE", cmStore},     {"DEFLATE", cmDeflate}, {"TARRED", cmTarred},
            {"GZIPTAR", cmGzipTar}, {"FROZEN1", cmFrozen1}, {"FROZEN5", cmFrozen5}, {"FUSE", cmFuse},
            {"MSZIP", cmMsZip},     {"LZX", cmLzx},         {"QUANTUM", cmQuantum}};
        bool known = false;
        for (const auto& [name, m] : methods) {
            if (UpperCase(o.method) != name) continue;
            if (!w.AllowedMethods().contains(m)) return false;
            w.SetCompressMethod(m);
            known = true;
        }
        if (!known) return false;
    }
    if (!o.level.empty()) {
        const std::string levels = "SFNX";
        if (o.level.size() != 1 || levels.find(o.level) == std::string::npos) return false;
        w.SetDeflateType(static_cast<TDeflateType>(levels.find(o.level)));
    }
    if (!o.dirs.empty()) {
        static const std::pair<const char*, TStoredDirNames> modes[] = {{"none", sdNone},
                                                                        {"absolute", sdAbsolute},
                                                                        {"nodrive", sdAbsoluteNoDrv},
                                                                        {"relative", sdRelative},
                                                                        {"start", sdRelativeStoreStart}};
        bool known = false;
        for (const auto& [name, mode] : modes)
            if (o.dirs == name) {
                w.SetStoredDirNames(mode);
                known = true;
            }
        if (!known) return false;
    }
    w.SetPassword(o.password);
    w.SetRecurseDirs(o.recurse);
    return true;
}

// Runs a writer over the archive; prints "FAIL name" for each file that
// did not go in and the count under Label.
int RunWriter(const std::string& archive, const WriteOptions& o, TSwitch sw, const char* label) {
    std::unique_ptr<TCompBase> w = CreateWriter(o.kind, archive);
    if (!w) {
        std::fprintf(stderr, "error 25242 %s\n", MessageText(25242).c_str());
        return 1;
    }
    if (!ApplyWriteOptions(*w, o)) return Usage();
    PrintErrors(*w);
    bool allPassed = true;
    w->OnEnd = [&](TObject*, const std::string& FN, bool pass) {
        if (!pass) std::printf("FAIL %s\n", FN.c_str());
        allPassed = allPassed && pass;
    };
    // A newer file replaces the entry of the same name.
    w->OnReplaceFile = [](TObject*, const std::string&, const std::string&, TDateTime, TDateTime, int, int, int, int,
                          bool& replace) { replace = true; };
    w->SetDefaultDir(os::CurrentDir());
    w->SetArchiveFile(archive);
    w->FileSpec() = o.files;
    w->SetSwitch(sw);
    const int n = w->Compress();
    std::printf("%s %d\n", label, n);
    return allPassed && (n > 0 || o.files.empty()) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return Usage();
    try {
        if (args[0] == "detect" && args.size() == 2) return Detect(args[1]);
        if (args[0] == "list" && args.size() == 2) return List(args[1]);
        if (args[0] == "test" && args.size() >= 2) {
            Options o = ParseOptions(args, 2);
            if (o.rest.empty()) return Test(args[1], o);
        }
        if (args[0] == "add" && args.size() >= 3) {
            WriteOptions o = ParseWriteOptions(args, 2);
            if (o.ok && !o.files.empty()) return RunWriter(args[1], o, o.move ? swMove : swAdd, "added");
        }
        if (args[0] == "delete" && args.size() >= 3) {
            WriteOptions o;
            o.files.assign(args.begin() + 2, args.end());
            return RunWriter(args[1], o, swDelete, "deleted");
        }
        if (args[0] == "extract" && args.size() >= 3) {
            Options o = ParseOptions(args, 2);
            if (o.rest.size() == 1) return Extract(args[1], o.rest[0], o);
        }
    } catch (const E_RAISE& e) {
        // Already reported through OnError.
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "arcdrv: %s\n", e.what());
        return 1;
    }
    return Usage();
}
