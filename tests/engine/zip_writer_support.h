// What the ZIP writer's tests share: inputs planted on disk, the records of
// an archive read independently of the engine, and runs of the writer and
// the reader.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/core/exception.h"
#include "engine/core/helpers.h"
#include "engine/core/os.h"
#include "engine/readers/unzip.h"
#include "engine/formats/zip.h"
#include "engine/writers/writers.h"
#include "engine/writers/zip.h"
#include "support/testenv.h"
#include "support/winefloppy.h"

namespace bramble::zipwtest {

using test::Join;
using test::ReadAll;
using test::ScratchDir;
using test::WriteAll;

inline std::string Fixture(const std::string& name) { return Join(test::FixturesDir(), name); }

// ---- making inputs ---------------------------------------------------------------------

inline std::string Text(size_t size) {
    std::string s;
    for (int i = 0; s.size() < size; ++i) s += "line " + std::to_string(i * 7 % 1000) + " of some text\n";
    s.resize(size);
    return s;
}

inline std::string Noise(size_t size, uint32_t seed) {
    std::string s(size, '\0');
    for (char& c : s) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    return s;
}

// Files under a folder, by name relative to it ('/' separators).
using Tree = std::map<std::string, std::string>;

inline void Plant(const std::string& dir, const Tree& files) {
    for (const auto& [name, data] : files) {
        std::string path = dir;
        std::string rest = name;
        for (size_t slash; (slash = rest.find('/')) != std::string::npos; rest.erase(0, slash + 1)) {
            path = Join(path, rest.substr(0, slash));
            os::DirCreate(path);
        }
        WriteAll(Join(path, rest), data);
    }
}

inline Tree ReadTree(const std::string& dir) {
    Tree t;
    namespace fs = std::filesystem;
    if (!fs::exists(dir)) return t;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        if (!e.is_regular_file()) continue;
        std::string rel = fs::relative(e.path(), dir).generic_string();
        t[rel] = ReadAll(e.path().string());
    }
    return t;
}

// ---- the records of an archive, read independently of the engine ---------------------

struct CEntry {
    TZipCentralRecord rec;
    std::string name, extra, comment;
};
struct Parsed {
    bool ok = false;
    TZipEndRecord end;
    std::string comment;
    std::vector<CEntry> entries;
    TZipLocalHeader Local(const std::string& bytes, const CEntry& e) const {
        return TZipLocalHeader::Parse(reinterpret_cast<const uint8_t*>(bytes.data()) + e.rec.LocalOffset);
    }
};

inline Parsed Parse(const std::string& bytes) {
    Parsed p;
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
    if (bytes.size() < 22) return p;
    size_t at = bytes.size() - 22;
    while (zip::GetLe32(b + at) != zip::kEndSig)
        if (at-- == 0) return p;
    p.end = TZipEndRecord::Parse(b + at);
    p.comment = bytes.substr(at + 22, p.end.CommentLength);
    size_t pos = p.end.CentralOffset;
    for (int i = 0; i < p.end.TotalEntries; ++i) {
        if (pos + 46 > bytes.size()) return p;
        CEntry e;
        e.rec = TZipCentralRecord::Parse(b + pos);
        if (!e.rec.Valid()) return p;
        e.name = bytes.substr(pos + 46, e.rec.NameLength);
        e.extra = bytes.substr(pos + 46 + e.rec.NameLength, e.rec.ExtraLength);
        e.comment = bytes.substr(pos + 46 + e.rec.NameLength + e.rec.ExtraLength, e.rec.CommentLength);
        pos += static_cast<size_t>(e.rec.TotalSize());
        p.entries.push_back(e);
    }
    p.ok = true;
    return p;
}

inline std::vector<std::string> Names(const Parsed& p) {
    std::vector<std::string> n;
    for (const CEntry& e : p.entries) n.push_back(e.name);
    return n;
}

inline const CEntry* Find(const Parsed& p, const std::string& name) {
    for (const CEntry& e : p.entries)
        if (e.name == name) return &e;
    return nullptr;
}

// ---- running the writer and the reader ---------------------------------------------------

struct WriteRun {
    int count = 0;
    int raised = 0;
    bool success = false;
    bool removed = false;
    std::vector<int> errors;
    std::vector<std::string> errorEx;
    std::map<std::string, bool> ends;   // OnEnd by name
    std::vector<std::string> reads;     // OnRead: the entry's name
    int Errors(int code) const { return static_cast<int>(std::count(errors.begin(), errors.end(), code)); }
};

// One compress run of a fresh writer over Archive, with the files of Specs
// taken relative to Dir.
inline WriteRun Write(const std::string& archive, const std::string& dir, const std::vector<std::string>& specs,
          TSwitch sw = swAdd, const std::function<void(TZip&)>& setup = {}) {
    WriteRun run;
    TZip w;
    w.SetDefaultDir(dir);
    w.SetArchiveFile(archive);
    w.FileSpec() = specs;
    w.SetSwitch(sw);
    w.OnError = [&](TObject*, const std::string&, const std::string& ex, const std::string&, int code) {
        run.errors.push_back(code);
        run.errorEx.push_back(ex);
    };
    w.OnEnd = [&](TObject*, const std::string& fn, bool pass) { run.ends[fn] = pass; };
    w.OnRead = [&](TObject*, int, int) { run.reads.push_back(w.EntryInfo.FileName); };
    if (setup) setup(w);
    try {
        run.count = w.Compress();
    } catch (const E_RAISE& e) {
        run.raised = e.Code();
    }
    run.success = w.Success();
    run.removed = w.ArchiveRemoved();
    EXPECT_EQ(RunningComponent(), nullptr);
    return run;
}

struct Back {
    int count = 0;
    int raised = 0;
    std::vector<int> errors;
    std::map<std::string, bool> ends;
    bool AllPassed() const {
        return std::all_of(ends.begin(), ends.end(), [](const auto& e) { return e.second; });
    }
};

inline Back Extract(const std::string& archive, const std::string& dir, const std::string& password = "",
             const std::function<void(TUnZIP&)>& setup = {}) {
    Back back;
    TUnZIP r;
    r.SetArchiveFile(archive);
    r.SetExtractDir(dir);
    r.FileSpec() = {"*.*"};
    if (!password.empty()) r.SetPasswords({password});
    r.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int code) {
        back.errors.push_back(code);
    };
    r.OnEnd = [&](TObject*, const std::string& fn, bool pass) { back.ends[ExtractFileName(fn)] = pass; };
    if (setup) setup(r);
    try {
        back.count = r.Extract();
    } catch (const E_RAISE& e) {
        back.raised = e.Code();
    }
    return back;
}

#ifndef _WIN32
inline std::string Quote(const std::string& s) { return "'" + s + "'"; }
inline int Shell(const std::string& cmd) { return std::system((cmd + " >/dev/null 2>&1").c_str()); }

// Python's zipfile extracts every member and compares it with the file of
// the same name under Dir.
inline const char* kPyCompare = R"(
import sys, zipfile, os
z = zipfile.ZipFile(sys.argv[1])
if len(sys.argv) > 3: z.setpassword(sys.argv[3].encode())
n = 0
for i in z.infolist():
    if i.is_dir(): continue
    want = open(os.path.join(sys.argv[2], i.filename), 'rb').read()
    if z.read(i) != want: sys.exit('differs: ' + i.filename)
    n += 1
sys.exit(0 if n > 0 else 'no files')
)";
#endif


}  // namespace bramble::zipwtest
