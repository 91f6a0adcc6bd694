// Where the tests find their archives, in the running platform's path form.
#pragma once

#include <string>
#include <utility>

namespace bramble::test {

// Folder of archives the peer tools made for this run (tests/make-fixtures).
std::string FixturesDir();
// The shared corpus of archives made by other people's tools. It lives
// beside the project and may be absent; tests that need it skip then.
std::string CorpusDir();
bool CorpusPresent();
// Why a test that needs the corpus was skipped.
std::string CorpusAbsent();
// Why a test that needs the fixture Name (relative to FixturesDir) was
// skipped; empty when the file is there.
std::string FixtureAbsent(const std::string& name);
// A fresh empty folder for one test; removed by nobody (it lives in the
// build tree, so a failed test leaves its evidence).
std::string ScratchDir(const std::string& name);
// Joins a folder and a name with the platform's separator.
std::string Join(const std::string& dir, const std::string& name);
// Whole file as bytes; empty when unreadable.
std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& bytes);

#ifndef _WIN32
// Runs a peer tool through the shell: its exit status (-1 when it did not
// exit) and what it printed, its errors included.
std::pair<int, std::string> Peer(const std::string& command);
#endif

}  // namespace bramble::test

// Skips the current test, with the reason, when the shared corpus is absent.
#define BRAMBLE_NEED_CORPUS()                                                \
    if (!::bramble::test::CorpusPresent()) GTEST_SKIP() << ::bramble::test::CorpusAbsent()

// Skips the current test, with the reason, when a fixture file was never made.
#define BRAMBLE_NEED_FIXTURE(name)                                                         \
    if (const std::string bramble_fixture_absent = ::bramble::test::FixtureAbsent(name); \
        !bramble_fixture_absent.empty())                                                   \
    GTEST_SKIP() << bramble_fixture_absent
