// Extraction of every kind over arbitrary bytes, as the program does it:
// the input is written to a file, its kind detected, and the reader the
// table gives for that kind writes every entry into a folder made afresh
// for this input. Inputs reach 1 MB, enough for names of thousands of
// parts and directories whose entries share data. Whatever the input, the
// run must end without a crash or a hang, and every file it makes must lie
// inside the folder; anything that appears beside it (a sentinel folder,
// the input's folder, the temporary folder) is a fault.
//
// A small input may claim gigabytes: the harness cancels the run, as the
// user would, once the output of one input passes a budget, and writes
// nothing more to disk from then on.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/exception.h"
#include "engine/core/os.h"
#include "engine/lister/dovex.h"
#include "engine/readers/readers.h"
#include "engine/readers/ungzip.h"

using namespace bramble;
namespace fs = std::filesystem;

namespace {

constexpr int64_t kOutputBudget = int64_t{64} << 20;
constexpr const char* kPrefix = "bramble-fuzz-extract-";
// Where the folders of every process of this target go: the temporary
// folder the first of them found, before each points TMPDIR at its own
// (the workers libFuzzer forks inherit it).
constexpr const char* kRootVariable = "BRAMBLE_FUZZ_EXTRACT_ROOT";

fs::path Root() {
    static const fs::path root = [] {
        const char* given = std::getenv(kRootVariable);
        if (given && *given) return fs::path(given);
        const fs::path found = fs::temp_directory_path();
        setenv(kRootVariable, found.c_str(), 1);
        return found;
    }();
    return root;
}

// The folders of this process:
//   base/input      the input under an archive's name, and nothing else
//   base/sentinel   stays empty
//   base/tmp        the engine's temporary folder (TMPDIR): empty between runs
//   base/run/out    the extraction folder, made for each input; run holds
//                   only out, so a name climbing one level is seen there
struct Places {
    fs::path base, input, sentinel, tmp, run, out;
};

const Places& Folders() {
    static const Places p = [] {
        Places q;
        q.base = Root() / (kPrefix + std::to_string(getpid()));
        q.input = q.base / "input";
        q.sentinel = q.base / "sentinel";
        q.tmp = q.base / "tmp";
        q.run = q.base / "run";
        q.out = q.run / "out";
        return q;
    }();
    return p;
}

[[noreturn]] void Fault(const std::string& what, const fs::path& where) {
    std::fprintf(stderr, "fuzz_extract: %s: %s\n", what.c_str(), where.c_str());
    __builtin_trap();
}

// Read-only files and folders (restored attributes) must not stop the
// cleanup, or the next input would not start in an empty folder.
void RemoveTree(const fs::path& p) {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(p, ec))) return;
    for (auto it = fs::recursive_directory_iterator(p, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_symlink(ec)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::permissions(p, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(p, ec);
    if (ec || fs::exists(fs::symlink_status(p, ec))) Fault("cannot remove", p);
}

// Folders left by processes of this target that died (a crash, a timeout).
void RemoveStale() {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(Root(), ec)) {
        const std::string name = e.path().filename().string();
        if (name.rfind(kPrefix, 0) != 0) continue;
        const long pid = std::strtol(name.c_str() + std::strlen(kPrefix), nullptr, 10);
        if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) RemoveTree(e.path());
    }
}

bool Inside(const fs::path& p, const fs::path& folder) {
    const fs::path n = p.lexically_normal();
    auto a = n.begin();
    for (auto b = folder.begin(); b != folder.end(); ++b, ++a)
        if (a == n.end() || *a != *b) return false;
    return a != n.end();
}

// Engine paths carry '\' as the separator; the OS layer turns it to '/'.
fs::path Native(std::string s) {
    for (char& c : s)
        if (c == '\\') c = '/';
    return fs::path(s);
}

void CheckOnly(const fs::path& folder, const std::vector<std::string>& allowed) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        bool ok = false;
        for (const auto& a : allowed) ok = ok || e.path().filename() == a;
        if (!ok) Fault("written outside the extraction folder", e.path());
    }
    if (ec) Fault("cannot list", folder);
}

// After a run: what was made lies in the output folder as plain files and
// folders, and nothing else changed around it.
void CheckFolders(const std::string& archiveName) {
    const Places& f = Folders();
    std::error_code ec;
    const fs::path out = fs::weakly_canonical(f.out);
    for (auto it = fs::recursive_directory_iterator(f.out, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::file_status st = it->symlink_status(ec);
        if (fs::is_symlink(st)) Fault("a link was made", it->path());
        if (!fs::is_regular_file(st) && !fs::is_directory(st)) Fault("not a file or folder", it->path());
        const fs::path real = fs::weakly_canonical(it->path(), ec);
        if (ec || !Inside(real, out)) Fault("outside the extraction folder", it->path());
    }
    CheckOnly(f.base, {"input", "sentinel", "tmp", "run"});
    CheckOnly(f.input, {archiveName});
    CheckOnly(f.sentinel, {});
    CheckOnly(f.tmp, {});
    CheckOnly(f.run, {"out"});
}

struct Budget {
    int64_t written = 0;
    bool spent() const { return written > kOutputBudget; }
};

// Counts what a reader writes and checks where it goes; past the budget it
// cancels the run (and the outer run handing over to it) and drops the rest.
void Watch(TUnBase& r, TUnBase& outer, Budget& budget) {
    TWriteHook write = r.ExtractWriteHook;
    r.ExtractWriteHook = [&r, &outer, &budget, write](TStream* s, bool isData, int64_t n, int k, bool d,
                                                      const uint8_t* b) -> int64_t {
        if (r.OutputTarget == otFile && r.OutFile().IsOpen()) {
            const fs::path file = Native(r.OutFile().FileName());
            if (!Inside(file, Folders().out)) Fault("output opened outside the extraction folder", file);
        }
        if (budget.spent()) return n;
        budget.written += n > 0 ? n : 0;
        if (budget.spent()) {
            if (!r.Cancel()) r.SetCancel(true);
            if (!outer.Cancel()) outer.SetCancel(true);
            return n;
        }
        return write(s, isData, n, k, d, b);
    };
    r.OnBegin = [](TObject*, const std::string& FN, int, bool&) {
        if (!Inside(Native(FN), Folders().out)) Fault("entry named outside the extraction folder", Native(FN));
    };
}

}  // namespace

// libFuzzer's own limit on the input is the largest seed: here inputs may
// grow to 1 MB, as deep names and shared-data directories need, unless the
// run sets -max_len itself.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static std::vector<char*> args;
    static char maxLen[] = "-max_len=1048576";
    bool given = false;
    for (int i = 0; i < *argc; ++i) given = given || std::strncmp((*argv)[i], "-max_len=", 9) == 0;
    if (!given) {
        args.assign(*argv, *argv + *argc);
        args.insert(args.begin() + 1, maxLen);
        args.push_back(nullptr);
        *argc += 1;
        *argv = args.data();
    }
    RemoveStale();
    const Places& f = Folders();
    RemoveTree(f.base);
    std::error_code ec;
    for (const fs::path& p : {f.input, f.sentinel, f.tmp, f.run})
        if (!fs::create_directories(p, ec)) Fault("cannot make", p);
    setenv("TMPDIR", f.tmp.c_str(), 1);
    std::atexit([] { RemoveTree(Folders().base); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Places& f = Folders();
    // Only a JAR is told from a ZIP by its name; odd sizes take it.
    const std::string archiveName = size % 2 ? "archive.jar" : "archive.dat";
    const fs::path archive = f.input / archiveName;
    {
        os::File out;
        if (!out.Open(archive.string(), os::OpenMode::Create)) Fault("cannot write", archive);
        if (out.Write(data, static_cast<int64_t>(size)) != static_cast<int64_t>(size)) Fault("cannot write", archive);
    }
    std::error_code ec;
    if (!fs::create_directory(f.out, ec)) Fault("cannot make", f.out);
    // However the run ends, the next input starts with empty folders.
    struct Cleanup {
        fs::path archive;
        ~Cleanup() {
            RemoveTree(Folders().out);
            RemoveTree(archive);
        }
    } cleanup{archive};

    {
        // The program picks the reader by what the lister found.
        TDovex dovex;
        dovex.SetArchiveFile(archive.string());
        const TArcType kind = dovex.ArcType();
        std::unique_ptr<TUnBase> reader = CreateReaderForKind(kind);
        if (!reader) return 0;
        TUnBase& r = *reader;
        Budget budget;
        Watch(r, r, budget);
        if (auto* gz = dynamic_cast<TUnGZIP*>(&r); gz && gz->UnTar()) Watch(*gz->UnTar(), r, budget);
        r.OnError = [](TObject*, const std::string&, const std::string&, const std::string&, int) {};
        r.OnEnd = [](TObject*, const std::string&, bool) {};
        r.SetArchiveFile(archive.string());
        r.SetExtractDir(f.out.string());
        r.FileSpec() = {"*.*"};
        r.SetPasswords({"", "fuzz", "secret"});
        r.SetConfirmOverwrites(false);
        r.SetOverwriteMode(omOverwrite);
        // Next volumes and cabinets are taken when they are there; the
        // seeds' passwords are tried, and given when asked.
        r.OnNextVolume = [](TObject*, std::string&, const std::string&, bool exists, bool& cancel) {
            cancel = !exists;
        };
        r.OnGetPassword = [](TObject*, const std::string&, std::string& pw, bool& again) {
            pw = "fuzz";
            again = false;
        };
        try {
            r.Extract();
        } catch (const E_RAISE&) {
        }
    }
    CheckFolders(archiveName);
    return 0;
}
