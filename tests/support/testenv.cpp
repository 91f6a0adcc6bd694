#include "support/testenv.h"

#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "engine/core/os.h"

namespace bramble::test {

namespace {

// Linux paths reach a Windows program under Wine through drive Z:.
std::string FromEnvironmentPath(const char* value) {
    std::string path = value ? value : "";
#ifdef _WIN32
    if (!path.empty() && path[0] == '/') {
        for (char& c : path)
            if (c == '/') c = '\\';
        path = "Z:" + path;
    }
#endif
    return path;
}

void RemoveTree(const std::string& dir) {
    os::Finder finder;
    os::FindData fd;
    for (int rc = finder.First(Join(dir, "*"), fd); rc == 0; rc = finder.Next(fd)) {
        if (fd.name == "." || fd.name == "..") continue;
        std::string child = Join(dir, fd.name);
        if (fd.attributes & os::faDirectory) {
            RemoveTree(child);
        } else {
            os::SetAttributes(child, 0);
            os::FileDelete(child);
        }
    }
    finder.Close();
    os::DirRemove(dir);
}

std::string RemoveTrailingSeparator(std::string dir) {
    while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
    return dir;
}

}  // namespace

std::string Join(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    char last = dir.back();
    if (last == '/' || last == '\\') return dir + name;
    return dir + os::PathSeparator() + name;
}

// The build writes its own folders in as defaults, so a test binary run by
// hand finds them too; the environment overrides them.
std::string FixturesDir() {
    const char* v = std::getenv("BRAMBLE_FIXTURES");
    return FromEnvironmentPath(v ? v : BRAMBLE_FIXTURES_DEFAULT);
}
std::string CorpusDir() {
    const char* v = std::getenv("BRAMBLE_CORPUS");
    return FromEnvironmentPath(v ? v : BRAMBLE_CORPUS_DEFAULT);
}
bool CorpusPresent() {
    static const bool present = os::DirectoryExists(Join(CorpusDir(), "misc"));
    return present;
}
std::string CorpusAbsent() {
    return "the shared corpus is absent (" + CorpusDir() + ")";
}

std::string FixtureAbsent(const std::string& name) {
    const std::string path = Join(FixturesDir(), name);
    if (os::FileExists(path)) return {};
    return "the fixture " + path + " was never made (tests/make-fixtures)";
}

std::string ScratchDir(const std::string& name) {
    // Beside the fixtures, not inside: that folder belongs to make-fixtures.
    std::string fixtures = RemoveTrailingSeparator(FixturesDir());
    std::string root = fixtures.empty() ? Join(os::GetTempDirectory(), "bramble-scratch") : fixtures + "-scratch";
    os::DirCreate(root);
    // Tests run side by side: each gets folders of its own.
    // The test is named by a short hash: Windows paths stop at 260
    // characters, and some tests extract deep trees.
    std::string owner;
    if (const ::testing::TestInfo* t = ::testing::UnitTest::GetInstance()->current_test_info()) {
        uint32_t h = 2166136261u;
        for (char c : std::string(t->test_suite_name()) + "." + t->name()) h = (h ^ static_cast<uint8_t>(c)) * 16777619u;
        char hex[16];
        std::snprintf(hex, sizeof hex, "%08x-", h);
        owner = hex;
    }
#ifdef _WIN32
    std::string dir = Join(root, "w32-" + owner + name);
#else
    std::string dir = Join(root, "nat-" + owner + name);
#endif
    // Two runs of one binary side by side (the cabinet library bound and
    // switched off) would otherwise share, and delete, each other's folders.
    if (const char* tag = std::getenv("BRAMBLE_SCRATCH_TAG"); tag && *tag) dir += std::string("-") + tag;
    if (os::DirectoryExists(dir)) RemoveTree(dir);
    os::DirCreate(dir);
    return dir;
}

std::string ReadAll(const std::string& path) {
    os::File f;
    if (!f.Open(path, os::OpenMode::Read)) return {};
    std::string bytes(static_cast<size_t>(f.Size()), '\0');
    int64_t got = f.Read(bytes.data(), static_cast<int64_t>(bytes.size()));
    bytes.resize(got < 0 ? 0 : static_cast<size_t>(got));
    return bytes;
}

void WriteAll(const std::string& path, const std::string& bytes) {
    os::File f;
    if (f.Open(path, os::OpenMode::Create)) f.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
}

#ifndef _WIN32
std::pair<int, std::string> Peer(const std::string& command) {
    std::string out;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return {-1, out};
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    const int status = pclose(p);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}
#endif

}  // namespace bramble::test
