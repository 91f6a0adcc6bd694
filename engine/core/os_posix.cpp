// The OS layer on Linux, close enough to Windows' behaviour that the engine's
// logic can be run and tested natively: Windows-style names are accepted,
// attributes and times are mapped to their DOS/FILETIME forms, and the
// finder follows the Windows wildcard rules.
#include "engine/core/os.h"
#include "engine/core/os_shared.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace bramble::os {

namespace {

// 100 ns intervals between 1601-01-01 and 1970-01-01.
constexpr int64_t kUnixEpochAsFileTime = 116444736000000000LL;
constexpr int64_t kTicksPerSecond = 10000000LL;

std::string Native(const std::string& path) {
    std::string p = path;
    if (p.size() >= 2 && p[1] == ':' &&
        ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z')))
        p.erase(0, 2);
    std::replace(p.begin(), p.end(), '\\', '/');
    return p;
}

uint64_t ToFileTime(const timespec& ts) {
    int64_t t = static_cast<int64_t>(ts.tv_sec) * kTicksPerSecond + ts.tv_nsec / 100 +
                kUnixEpochAsFileTime;
    return t < 0 ? 0 : static_cast<uint64_t>(t);
}

timespec FromFileTime(uint64_t fileTime) {
    // Far-future values cannot be represented; they are clamped rather than
    // wrapped into the past.
    int64_t ft = fileTime > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX
                                                              : static_cast<int64_t>(fileTime);
    int64_t t = ft - kUnixEpochAsFileTime;
    int64_t sec = t / kTicksPerSecond;
    int64_t rem = t % kTicksPerSecond;
    if (rem < 0) {
        rem += kTicksPerSecond;
        --sec;
    }
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(sec);
    ts.tv_nsec = static_cast<long>(rem * 100);
    return ts;
}

uint32_t AttributesOf(const struct stat& st) {
    if (S_ISDIR(st.st_mode)) return faDirectory;
    uint32_t a = faArchive;
    if (!(st.st_mode & S_IWUSR)) a |= faReadOnly;
    return a;
}

bool StatPath(const std::string& nativePath, struct stat& st) {
    return ::stat(nativePath.c_str(), &st) == 0;
}

// Windows refuses to write, replace or delete a file with the read-only
// attribute, whoever asks. The engine clears the attribute where it means
// to, so the same rule holds here (even for root, who could write anyway).
bool RefusedAsReadOnly(const std::string& nativePath) {
    struct stat st;
    if (StatPath(nativePath, st) && !S_ISDIR(st.st_mode) && !(st.st_mode & S_IWUSR)) {
        errno = EACCES;
        return true;
    }
    return false;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// '*' any run, '?' exactly one character; ASCII case is ignored as on
// Windows.
bool GlobMatch(const char* p, const char* n) {
    const char* starP = nullptr;
    const char* starN = nullptr;
    while (*n) {
        if (*p == '*') {
            starP = ++p;
            starN = n;
        } else if (*p == '?' || (*p && Lower(*p) == Lower(*n))) {
            ++p;
            ++n;
        } else if (starP) {
            p = starP;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (*p == '*') ++p;
    return *p == 0;
}

// Windows' extra rules: "*.*" is everything, "name.*" also finds "name",
// and a trailing '.' asks for names without an extension.
bool WildcardMatches(const std::string& pattern, const std::string& name) {
    if (pattern == "*" || pattern == "*.*") return true;
    if (GlobMatch(pattern.c_str(), name.c_str())) return true;
    if (pattern.size() > 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0 &&
        name.find('.') == std::string::npos)
        return GlobMatch(pattern.substr(0, pattern.size() - 2).c_str(), name.c_str());
    if (pattern.size() > 1 && pattern.back() == '.' && name != "." && name != ".." &&
        name.find('.') == std::string::npos)
        return GlobMatch(pattern.substr(0, pattern.size() - 1).c_str(), name.c_str());
    return false;
}

FindData MakeFindData(const std::string& name, const struct stat& st) {
    FindData fd;
    fd.name = name;
    fd.attributes = AttributesOf(st);
    fd.size = S_ISDIR(st.st_mode) ? 0 : static_cast<int64_t>(st.st_size);
    fd.lastWrite = ToFileTime(st.st_mtim);
    return fd;
}

bool CopyContents(int in, int out) {
    char buffer[65536];
    for (;;) {
        ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        for (ssize_t done = 0; done < got;) {
            ssize_t put = ::write(out, buffer + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) return false;
            done += put;
        }
    }
}

using detail::Hooks;
using detail::Provider;

}  // namespace

// ---- File --------------------------------------------------------------

bool File::Open(const std::string& path, OpenMode mode, Share) {
    Close();
    int flags = O_CLOEXEC;
    switch (mode) {
    case OpenMode::Read: flags |= O_RDONLY; break;
    case OpenMode::ReadWrite: flags |= O_RDWR; break;
    case OpenMode::Create: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    }
    std::string p = Native(path);
    if (mode != OpenMode::Read && RefusedAsReadOnly(p)) return false;
    int fd;
    do fd = ::open(p.c_str(), flags, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    // Windows refuses to open a directory as a file; so do we.
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return false;
    }
    handle_ = fd;
    return true;
}

bool File::IsOpen() const { return handle_ >= 0; }

bool File::Close() {
    if (handle_ < 0) return true;
    int rc = ::close(static_cast<int>(handle_));
    handle_ = -1;
    return rc == 0;
}

int64_t File::Read(void* buffer, int64_t count) {
    if (handle_ < 0) {
        errno = EBADF;
        return -1;
    }
    char* out = static_cast<char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        size_t want = static_cast<size_t>(std::min<int64_t>(count - done, 1 << 30));
        ssize_t got = ::read(static_cast<int>(handle_), out + done, want);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return done > 0 ? done : -1;
        if (got == 0) break;
        done += got;
    }
    return done;
}

int64_t File::Write(const void* buffer, int64_t count) {
    if (handle_ < 0) {
        errno = EBADF;
        return -1;
    }
    const char* in = static_cast<const char*>(buffer);
    int64_t done = 0;
    while (done < count) {
        size_t want = static_cast<size_t>(std::min<int64_t>(count - done, 1 << 30));
        ssize_t put = ::write(static_cast<int>(handle_), in + done, want);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return done > 0 ? done : -1;
        if (put == 0) break;
        done += put;
    }
    return done;
}

bool File::Seek(int64_t position) {
    if (handle_ < 0 || position < 0) return false;
    return ::lseek(static_cast<int>(handle_), static_cast<off_t>(position), SEEK_SET) >= 0;
}

int64_t File::Position() const {
    if (handle_ < 0) return -1;
    off_t pos = ::lseek(static_cast<int>(handle_), 0, SEEK_CUR);
    return pos < 0 ? -1 : static_cast<int64_t>(pos);
}

int64_t File::Size() const {
    if (handle_ < 0) return -1;
    struct stat st;
    if (::fstat(static_cast<int>(handle_), &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

bool File::Truncate() {
    int64_t pos = Position();
    if (pos < 0) return false;
    return ::ftruncate(static_cast<int>(handle_), static_cast<off_t>(pos)) == 0;
}

int64_t File::CopyRange(File& Source, int64_t From, int64_t Count) {
    if (handle_ < 0 || Source.handle_ < 0 || From < 0) {
        errno = EBADF;
        return 0;
    }
    const int in = static_cast<int>(Source.handle_), out = static_cast<int>(handle_);
    int64_t done = 0;
    off_t at = static_cast<off_t>(From);
    // In the kernel where it can (one copy instead of two through this
    // process); file systems and kernels that cannot take the loop below.
    while (done < Count) {
        const size_t want = static_cast<size_t>(std::min<int64_t>(Count - done, 1 << 30));
        const ssize_t n = ::copy_file_range(in, &at, out, nullptr, want, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && done == 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP))
            break;
        if (n <= 0) return done;
        done += n;
    }
    std::vector<char> buffer(static_cast<size_t>(std::min<int64_t>(std::max<int64_t>(Count - done, 1), 1 << 20)));
    while (done < Count) {
        const size_t want = static_cast<size_t>(std::min<int64_t>(Count - done, static_cast<int64_t>(buffer.size())));
        const ssize_t got = ::pread(in, buffer.data(), want, at);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return done;
        const int64_t put = Write(buffer.data(), got);
        if (put > 0) done += put, at += static_cast<off_t>(put);
        if (put != got) return done;
    }
    return done;
}

// ---- Finder ------------------------------------------------------------

// The matching entries are read and sorted up front: readdir's order is
// arbitrary, and a stable order keeps listings and tests reproducible.
struct Finder::State {
    std::vector<FindData> entries;
    size_t next = 0;
};

Finder::~Finder() { Close(); }

void Finder::Close() {
    delete state_;
    state_ = nullptr;
    handle_ = -1;
}

int Finder::First(const std::string& pattern, FindData& out) {
    Close();
    std::string p = Native(pattern);
    size_t slash = p.rfind('/');
    std::string dir = slash == std::string::npos ? "" : p.substr(0, slash + 1);
    std::string mask = p.substr(dir.size());
    if (mask.empty()) return ENOENT;

    auto state = std::make_unique<State>();
    if (mask.find_first_of("*?") == std::string::npos) {
        // A plain name finds that entry alone.
        struct stat st;
        if (!StatPath(p, st)) return ENOENT;
        state->entries.push_back(MakeFindData(mask, st));
    } else {
        DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
        if (!d) return errno ? errno : ENOENT;
        while (dirent* e = ::readdir(d)) {
            std::string name = e->d_name;
            if (!WildcardMatches(mask, name)) continue;
            struct stat st;
            std::string full = dir + name;
            if (::stat(full.c_str(), &st) != 0 && ::lstat(full.c_str(), &st) != 0) continue;
            state->entries.push_back(MakeFindData(name, st));
        }
        ::closedir(d);
        std::sort(state->entries.begin(), state->entries.end(),
                  [](const FindData& a, const FindData& b) { return a.name < b.name; });
    }
    if (state->entries.empty()) return ENOENT;
    state_ = state.release();
    handle_ = 0;
    return Next(out);
}

int Finder::Next(FindData& out) {
    if (!state_ || state_->next >= state_->entries.size()) return ENOENT;
    out = state_->entries[state_->next++];
    return 0;
}

// ---- names, attributes, times --------------------------------------------

uint32_t GetAttributes(const std::string& path) {
    struct stat st;
    if (!StatPath(Native(path), st)) return kInvalidAttributes;
    return AttributesOf(st);
}

bool SetAttributes(const std::string& path, uint32_t attributes) {
    std::string p = Native(path);
    struct stat st;
    if (!StatPath(p, st)) return false;
    if (S_ISDIR(st.st_mode)) return true;  // read-only means nothing on a folder
    mode_t mode = st.st_mode & 07777;
    if (attributes & faReadOnly)
        mode &= static_cast<mode_t>(~(S_IWUSR | S_IWGRP | S_IWOTH));
    else
        mode |= S_IWUSR;
    return ::chmod(p.c_str(), mode) == 0;
}

bool GetTimes(const std::string& path, FileTimes& out) {
    std::string p = Native(path);
    struct stat st;
    if (!StatPath(p, st)) return false;
    out.lastWrite = ToFileTime(st.st_mtim);
    out.lastAccess = ToFileTime(st.st_atim);
    out.creation = out.lastWrite;
#if defined(STATX_BTIME)
    struct statx sx;
    if (::statx(AT_FDCWD, p.c_str(), 0, STATX_BTIME, &sx) == 0 && (sx.stx_mask & STATX_BTIME)) {
        timespec ts{};
        ts.tv_sec = static_cast<time_t>(sx.stx_btime.tv_sec);
        ts.tv_nsec = static_cast<long>(sx.stx_btime.tv_nsec);
        out.creation = ToFileTime(ts);
    }
#endif
    return true;
}

bool SetTimes(const std::string& path, const FileTimes& times) {
    // The creation time cannot be set here; it is left as it is.
    std::string p = Native(path);
    timespec ts[2];
    ts[0] = times.lastAccess ? FromFileTime(times.lastAccess) : timespec{0, UTIME_OMIT};
    ts[1] = times.lastWrite ? FromFileTime(times.lastWrite) : timespec{0, UTIME_OMIT};
    return ::utimensat(AT_FDCWD, p.c_str(), ts, 0) == 0;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return StatPath(Native(path), st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st;
    return StatPath(Native(path), st) && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return ::lstat(Native(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return ::stat(Native(a).c_str(), &sa) == 0 && ::stat(Native(b).c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool FileDelete(const std::string& path) {
    std::string p = Native(path);
    if (RefusedAsReadOnly(p)) return false;
    return ::unlink(p.c_str()) == 0;
}

bool FileRecycle(const std::string& path) { return FileDelete(path); }

bool FileCopy(const std::string& from, const std::string& to, bool failIfExists) {
    std::string src = Native(from), dst = Native(to);
    if (!failIfExists && RefusedAsReadOnly(dst)) return false;
    int in = ::open(src.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    struct stat st;
    if (::fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(in);
        errno = EISDIR;
        return false;
    }
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (failIfExists ? O_EXCL : O_TRUNC);
    int out = ::open(dst.c_str(), flags, st.st_mode & 0777);
    if (out < 0) {
        int err = errno;
        ::close(in);
        errno = err;
        return false;
    }
    bool ok = CopyContents(in, out);
    int err = errno;
    // Like CopyFile: the copy keeps the source's attributes and write time.
    ::fchmod(out, st.st_mode & 07777);
    timespec ts[2] = {st.st_atim, st.st_mtim};
    ::futimens(out, ts);
    ok = (::close(out) == 0) && ok;
    ::close(in);
    errno = err;
    return ok;
}

bool FileMove(const std::string& from, const std::string& to, bool replace) {
    std::string src = Native(from), dst = Native(to);
    struct stat st;
    if (!replace && ::lstat(dst.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    if (replace && RefusedAsReadOnly(dst)) return false;
    if (::rename(src.c_str(), dst.c_str()) == 0) return true;
    if (errno != EXDEV) return false;
    // Another volume: copy, then remove the source.
    if (!FileCopy(from, to, !replace)) return false;
    return ::unlink(src.c_str()) == 0;
}

bool FileRename(const std::string& from, const std::string& to) {
    std::string src = Native(from), dst = Native(to);
    if (RefusedAsReadOnly(dst)) return false;
    return ::rename(src.c_str(), dst.c_str()) == 0;
}

bool DirCreate(const std::string& path) { return ::mkdir(Native(path).c_str(), 0777) == 0; }

bool DirRemove(const std::string& path) { return ::rmdir(Native(path).c_str()) == 0; }

std::string CurrentDir() {
    std::vector<char> buffer(4096);
    while (!::getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE) return {};
        buffer.resize(buffer.size() * 2);
    }
    std::string dir = buffer.data();
    if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

bool SetCurrentDir(const std::string& path) { return ::chdir(Native(path).c_str()) == 0; }

std::string FullPathName(const std::string& path) {
    std::string p = Native(path);
    if (p.empty()) return {};
    if (p[0] != '/') p = CurrentDir() + "/" + p;
    bool trailing = p.back() == '/';
    // Lexical clean-up as GetFullPathName does; links are not resolved.
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= p.size()) {
        size_t end = p.find('/', start);
        if (end == std::string::npos) end = p.size();
        std::string part = p.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string full;
    for (const auto& part : parts) full += "/" + part;
    if (full.empty() || trailing) full += "/";
    return full;
}

std::string GetTempDirectory() {
    const char* env = std::getenv("TMPDIR");
    std::string dir = env && *env ? env : "/tmp";
    if (dir.back() != '/') dir += '/';
    return dir;
}

std::string MakeTempFile(const std::string& dir, const std::string& prefix) {
    std::string base = dir.empty() ? GetTempDirectory() : dir;
    if (base.back() != '/' && base.back() != '\\') base += '/';
    std::string stem = base + prefix.substr(0, 3);
    // Start somewhere unpredictable and walk the 65535 numbers as
    // GetTempFileName does, skipping those already taken.
    uint16_t start;
    RandomBytes(&start, sizeof start);
    for (uint32_t i = 0; i < 0x10000; ++i) {
        unsigned n = (start + i) & 0xFFFFu;
        if (n == 0) continue;
        char hex[8];
        std::snprintf(hex, sizeof hex, "%04X", n);
        std::string name = stem + hex + ".tmp";
        int fd = ::open(Native(name).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST) return {};
    }
    errno = EEXIST;
    return {};
}

char PathSeparator() { return '/'; }

size_t MaxPathLength() { return PATH_MAX - 1; }

// ---- drives --------------------------------------------------------------

unsigned DriveType(const std::string& root) {
    auto& p = Provider();
    if (p && p->driveType) return p->driveType(root);
    return dtFixed;
}

bool GetVolumeInfo(const std::string& root, VolumeInfo& out) {
    auto& p = Provider();
    if (p && p->volumeInfo) return p->volumeInfo(root, out);
    out = VolumeInfo{};
    return true;
}

bool GetDiskSpace(const std::string& root, DiskSpace& out) {
    auto& p = Provider();
    if (p && p->diskSpace) {
        if (!p->diskSpace(root, out)) return false;
        if (out.totalBytes == 0) {
            uint64_t unit = uint64_t{out.bytesPerSector} * out.sectorsPerCluster;
            out.freeBytes = unit * out.freeClusters;
            out.totalBytes = unit * out.totalClusters;
        }
        return true;
    }
    struct statvfs vfs;
    if (::statvfs(".", &vfs) != 0) return false;
    uint64_t unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
    out.freeBytes = uint64_t{vfs.f_bavail} * unit;
    out.totalBytes = uint64_t{vfs.f_blocks} * unit;
    uint64_t bytesPerSector = 512;
    uint64_t sectorsPerCluster = unit >= 512 ? unit / 512 : 1;
    if (unit < 512 || unit % 512) {
        bytesPerSector = unit ? unit : 512;
        sectorsPerCluster = 1;
    }
    uint64_t total = vfs.f_blocks, avail = vfs.f_bavail;
    // Bigger clusters keep the counts within 32 bits and the byte totals
    // right; only absurd sizes are clamped.
    while (total > 0xFFFFFFFFull && sectorsPerCluster < 0x80000000ull) {
        sectorsPerCluster *= 2;
        total = (total + 1) / 2;
        avail /= 2;
    }
    out.bytesPerSector = static_cast<uint32_t>(bytesPerSector);
    out.sectorsPerCluster = static_cast<uint32_t>(sectorsPerCluster);
    out.totalClusters = static_cast<uint32_t>(std::min<uint64_t>(total, 0xFFFFFFFFull));
    out.freeClusters = static_cast<uint32_t>(std::min<uint64_t>(avail, 0xFFFFFFFFull));
    return true;
}

bool WriteVolumeLabel(const std::string& root, const std::string& label) {
    auto& p = Provider();
    if (p && p->setLabel) return p->setLabel(root, label);
    errno = ENOTSUP;  // there are no volume labels to write here
    return false;
}

unsigned GetFloppyKind(const std::string& drive) { return 0; }

// No system boxes to keep away.
QuietDriveErrors::QuietDriveErrors() { (void)previous_; }
QuietDriveErrors::~QuietDriveErrors() = default;

// ---- text --------------------------------------------------------------

namespace {

// The upper halves as OemToCharA and CharToOemA convert them between CP437
// (OEM) and CP1252 (ANSI). A character both code pages have maps exactly;
// otherwise Windows picks a best-fit look-alike (line drawing becomes '-',
// '+' or the broken bar 0xA6, accents are dropped, the section sign becomes
// CP437's 0x15) and '?' where it has none. Matching it byte for byte keeps names identical to
// those the Windows build produces.
constexpr unsigned char kOemToAnsi[128] = {
    /* 80 */ 0xC7, 0xFC, 0xE9, 0xE2, 0xE4, 0xE0, 0xE5, 0xE7,
    /* 88 */ 0xEA, 0xEB, 0xE8, 0xEF, 0xEE, 0xEC, 0xC4, 0xC5,
    /* 90 */ 0xC9, 0xE6, 0xC6, 0xF4, 0xF6, 0xF2, 0xFB, 0xF9,
    /* 98 */ 0xFF, 0xD6, 0xDC, 0xA2, 0xA3, 0xA5, 0x50, 0x83,
    /* A0 */ 0xE1, 0xED, 0xF3, 0xFA, 0xF1, 0xD1, 0xAA, 0xBA,
    /* A8 */ 0xBF, 0xAC, 0xAC, 0xBD, 0xBC, 0xA1, 0xAB, 0xBB,
    /* B0 */ 0xA6, 0xA6, 0xA6, 0xA6, 0xA6, 0xA6, 0xA6, 0x2B,
    /* B8 */ 0x2B, 0xA6, 0xA6, 0x2B, 0x2B, 0x2B, 0x2B, 0x2B,
    /* C0 */ 0x2B, 0x2D, 0x2D, 0x2B, 0x2D, 0x2B, 0xA6, 0xA6,
    /* C8 */ 0x2B, 0x2B, 0x2D, 0x2D, 0xA6, 0x2D, 0x2B, 0x2D,
    /* D0 */ 0x2D, 0x2D, 0x2D, 0x2B, 0x2B, 0x2B, 0x2B, 0x2B,
    /* D8 */ 0x2B, 0x2B, 0x2B, 0xA6, 0x5F, 0xA6, 0xA6, 0xAF,
    /* E0 */ 0x61, 0xDF, 0x47, 0x70, 0x53, 0x73, 0xB5, 0x74,
    /* E8 */ 0x46, 0x54, 0x4F, 0x64, 0x38, 0x66, 0x65, 0x6E,
    /* F0 */ 0x3D, 0xB1, 0x3D, 0x3D, 0x28, 0x29, 0xF7, 0x98,
    /* F8 */ 0xB0, 0xB7, 0xB7, 0x76, 0x6E, 0xB2, 0xA6, 0xA0,
};

constexpr unsigned char kAnsiToOem[128] = {
    /* 80 */ 0x3F, 0x3F, 0x2C, 0x9F, 0x2C, 0x2E, 0x2B, 0xD8,
    /* 88 */ 0x5E, 0x25, 0x53, 0x3C, 0x4F, 0x3F, 0x5A, 0x3F,
    /* 90 */ 0x3F, 0x60, 0x27, 0x22, 0x22, 0x07, 0x2D, 0x2D,
    /* 98 */ 0x7E, 0x54, 0x73, 0x3E, 0x6F, 0x3F, 0x7A, 0x59,
    /* A0 */ 0xFF, 0xAD, 0x9B, 0x9C, 0x0F, 0x9D, 0xDD, 0x15,
    /* A8 */ 0x22, 0x63, 0xA6, 0xAE, 0xAA, 0x2D, 0x72, 0x5F,
    /* B0 */ 0xF8, 0xF1, 0xFD, 0x33, 0x27, 0xE6, 0x14, 0xFA,
    /* B8 */ 0x2C, 0x31, 0xA7, 0xAF, 0xAC, 0xAB, 0x5F, 0xA8,
    /* C0 */ 0x41, 0x41, 0x41, 0x41, 0x8E, 0x8F, 0x92, 0x80,
    /* C8 */ 0x45, 0x90, 0x45, 0x45, 0x49, 0x49, 0x49, 0x49,
    /* D0 */ 0x44, 0xA5, 0x4F, 0x4F, 0x4F, 0x4F, 0x99, 0x78,
    /* D8 */ 0x4F, 0x55, 0x55, 0x55, 0x9A, 0x59, 0x5F, 0xE1,
    /* E0 */ 0x85, 0xA0, 0x83, 0x61, 0x84, 0x86, 0x91, 0x87,
    /* E8 */ 0x8A, 0x82, 0x88, 0x89, 0x8D, 0xA1, 0x8C, 0x8B,
    /* F0 */ 0x64, 0xA4, 0x95, 0xA2, 0x93, 0x6F, 0x94, 0xF6,
    /* F8 */ 0x6F, 0x97, 0xA3, 0x96, 0x81, 0x79, 0x5F, 0x98,
};

std::string Translate(const std::string& text, const unsigned char (&table)[128]) {
    std::string out = text;
    for (char& c : out) {
        auto b = static_cast<unsigned char>(c);
        if (b >= 0x80) c = static_cast<char>(table[b - 0x80]);
    }
    return out;
}

}  // namespace

std::string OemToAnsi(const std::string& text) { return Translate(text, kOemToAnsi); }

std::string AnsiToOem(const std::string& text) { return Translate(text, kAnsiToOem); }

std::string Utf8ToAnsi(const std::string& text) {
    // CP1252: Latin-1 above 0x9F; between 0x80 and 0x9F the typographic
    // characters, and the five bytes it leaves undefined stand for
    // themselves as Windows maps them.
    static const std::pair<uint32_t, unsigned char> kHigh[] = {
        {0x0081, 0x81}, {0x008D, 0x8D}, {0x008F, 0x8F}, {0x0090, 0x90}, {0x009D, 0x9D},
        {0x0152, 0x8C}, {0x0153, 0x9C}, {0x0160, 0x8A}, {0x0161, 0x9A}, {0x0178, 0x9F},
        {0x017D, 0x8E}, {0x017E, 0x9E}, {0x0192, 0x83}, {0x02C6, 0x88}, {0x02DC, 0x98},
        {0x2013, 0x96}, {0x2014, 0x97}, {0x2018, 0x91}, {0x2019, 0x92}, {0x201A, 0x82},
        {0x201C, 0x93}, {0x201D, 0x94}, {0x201E, 0x84}, {0x2020, 0x86}, {0x2021, 0x87},
        {0x2022, 0x95}, {0x2026, 0x85}, {0x2030, 0x89}, {0x2039, 0x8B}, {0x203A, 0x9B},
        {0x20AC, 0x80}, {0x2122, 0x99},
    };
    std::string out;
    for (uint32_t cp : detail::DecodeUtf8(text)) {
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            out.push_back(static_cast<char>(cp));
            continue;
        }
        char c = '_';
        for (const auto& [code, byte] : kHigh)
            if (code == cp) c = static_cast<char>(byte);
        out.push_back(c);
    }
    return out;
}

bool IsLeadByte(unsigned char) { return false; }

// ---- time --------------------------------------------------------------

namespace {

// Seconds east of UTC in force at the given moment.
long OffsetAt(time_t t) {
    tm local{};
    if (!::localtime_r(&t, &local)) return 0;
    return local.tm_gmtoff;
}

int64_t FileTimeToUnixSeconds(uint64_t fileTime) { return FromFileTime(fileTime).tv_sec; }

uint64_t AddSeconds(uint64_t fileTime, int64_t seconds) {
    int64_t delta = seconds * kTicksPerSecond;
    if (delta < 0 && static_cast<uint64_t>(-delta) > fileTime) return 0;
    return fileTime + static_cast<uint64_t>(delta);
}

}  // namespace

int TimeZoneBias() { return static_cast<int>(-OffsetAt(std::time(nullptr)) / 60); }

uint64_t FileTimeToLocal(uint64_t utcFileTime) {
    return AddSeconds(utcFileTime, OffsetAt(static_cast<time_t>(FileTimeToUnixSeconds(utcFileTime))));
}

uint64_t LocalToFileTime(uint64_t localFileTime) {
    // The offset belongs to the UTC moment we are looking for: guess it from
    // the local value, then correct once with the offset at the guess.
    time_t local = static_cast<time_t>(FileTimeToUnixSeconds(localFileTime));
    long guess = OffsetAt(local);
    long offset = OffsetAt(local - guess);
    return AddSeconds(localFileTime, -static_cast<int64_t>(offset));
}

uint32_t TickCount() {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<uint32_t>(ms.count());
}

uint64_t NowFileTime() {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return ToFileTime(ts);
}

// ---- randomness --------------------------------------------------------

void RandomBytes(void* buffer, size_t count) {
    auto* out = static_cast<unsigned char*>(buffer);
    size_t done = 0;
    while (done < count) {
        ssize_t got = ::getrandom(out + done, count - done, 0);
        if (got > 0) {
            done += static_cast<size_t>(got);
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        break;
    }
    if (done == count) return;
    // Kernels without getrandom still have the device.
    int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        while (done < count) {
            ssize_t got = ::read(fd, out + done, count - done);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            done += static_cast<size_t>(got);
        }
        ::close(fd);
    }
    if (done < count) std::abort();  // never hand out predictable bytes as random
}

// ---- libraries ---------------------------------------------------------

void* LibraryLoad(const std::string& name) { return ::dlopen(name.c_str(), RTLD_NOW); }

void* LibrarySymbol(void* library, const char* name) {
    return library ? ::dlsym(library, name) : nullptr;
}

void LibraryFree(void* library) {
    if (library) ::dlclose(library);
}

std::string SystemFolder() { return {}; }

std::string ProgramFolder() {
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof buffer) return {};
    std::string path(buffer, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/') + 1);
}

// ---- the program's resources and the shell -------------------------------

bool StringTableText(unsigned, std::string&) { return false; }

int ShellIconIndex(const std::string&) { return -1; }

std::string ShellTypeName(const std::string&) { return {}; }

// ---- the application's hooks -------------------------------------------



// ---- timers --------------------------------------------------------------

namespace {

// Without a message loop, timers are a table that ProcessMessages and
// FireTimers walk.
struct PendingTimer {
    std::chrono::milliseconds interval;
    std::chrono::steady_clock::time_point due;
    std::shared_ptr<std::function<void()>> callback;
};

std::map<TimerId, PendingTimer>& Timers() {
    static std::map<TimerId, PendingTimer> timers;
    return timers;
}

void RunTimer(TimerId id) {
    auto it = Timers().find(id);
    if (it == Timers().end()) return;  // stopped by an earlier callback
    it->second.due = std::chrono::steady_clock::now() + it->second.interval;
    auto callback = it->second.callback;  // survives a StopTimer inside
    try {
        (*callback)();
    } catch (...) {
        if (Hooks().handleException) Hooks().handleException(std::current_exception());
    }
}

void FireDueTimers(bool all) {
    auto now = std::chrono::steady_clock::now();
    std::vector<TimerId> ids;
    for (const auto& [id, timer] : Timers())
        if (all || timer.due <= now) ids.push_back(id);
    for (TimerId id : ids) RunTimer(id);
}

}  // namespace

TimerId StartTimer(unsigned ms, std::function<void()> callback) {
    static TimerId last = 0;
    if (!callback) return 0;
    TimerId id = ++last;
    auto interval = std::chrono::milliseconds(ms);
    Timers()[id] = {interval, std::chrono::steady_clock::now() + interval,
                    std::make_shared<std::function<void()>>(std::move(callback))};
    return id;
}

void StopTimer(TimerId id) { Timers().erase(id); }

void FireTimers() { FireDueTimers(true); }

void ProcessMessages() {
    Hooks().processMessages();
    FireDueTimers(false);
}

uint32_t LastError() { return static_cast<uint32_t>(errno); }

std::string SysErrorMessage(uint32_t code) { return std::strerror(static_cast<int>(code)); }

}  // namespace bramble::os
