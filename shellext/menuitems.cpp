#include "shellext/menuitems.h"

#include <array>

namespace bramble::shellext {

namespace {

// Compared exactly, in this order, against the lower-cased extension.
constexpr std::array<const char*, 16> ArchiveExtensions = {
    ".zip", ".cab", ".zoo", ".arj", ".lha", ".lzh", ".rar", ".arc",
    ".tar", ".gz",  ".enc", ".uue", ".xxe", ".z",   ".ace", ".jar",
};

bool IsZipName(const std::string& FileName) { return LowerExtension(FileName) == ".zip"; }

}  // namespace

std::string LowerExtension(const std::string& FileName) {
    // A dot inside a folder name is no extension of the file.
    const std::string name = NameOfPath(FileName);
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return {};
    std::string ext = name.substr(dot);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext;
}

bool IsArchiveName(const std::string& FileName) {
    const std::string ext = LowerExtension(FileName);
    if (ext.empty()) return false;
    for (const char* known : ArchiveExtensions)
        if (ext == known) return true;
    return false;
}

std::string NameOfPath(const std::string& FileName) {
    const size_t slash = FileName.find_last_of("\\/:");
    return slash == std::string::npos ? FileName : FileName.substr(slash + 1);
}

std::string AddArchiveName(const std::string& FileName) {
    const std::string name = NameOfPath(FileName);
    return name.substr(0, name.find('.')) + ".zip";
}

unsigned ItemCount(const std::string& FileName) {
    if (FileName.empty()) return 0;
    if (!IsArchiveName(FileName)) return 1;
    return IsZipName(FileName) ? 3 : 2;
}

std::string ItemText(const std::string& FileName, unsigned Offset) {
    if (!IsArchiveName(FileName)) return "Add to " + AddArchiveName(FileName);
    switch (Offset) {
        case 0: return "Fast Extract " + NameOfPath(FileName);
        case 1: return "Extract to...";
        default: return "Create Self-Extracting (EXE)";
    }
}

const char* HelpText(const std::string& FileName, unsigned Offset) {
    switch (Offset) {
        case 0:
            return IsArchiveName(FileName) ? "Fast Extract the selected archive"
                                           : "Fast add the selected file to archive";
        case 1: return "Extract all files in the archive";
        default: return "Make Self-Extracting archive (.EXE)";
    }
}

const char* ItemSwitch(const std::string& FileName, unsigned Offset) {
    switch (Offset) {
        case 0: return IsArchiveName(FileName) ? "/x" : "/a";
        case 1: return "/e";
        default: return "/s";
    }
}

std::string CommandLine(const std::string& RootDir, const std::string& Switch, const std::string& FileName) {
    // Kept on purpose: the program's path is quoted, and an empty RootDir
    // starts nothing. Unquoted, a blank in the folder ("C:\Program Files")
    // makes the system try "C:\Program" first and so start the wrong
    // program; without a folder the command would name "\bramble.exe" in
    // the root of whatever drive is current. A quote in either text would
    // end the quoting early and let the rest pass as arguments.
    if (RootDir.empty() || FileName.empty()) return {};
    if (RootDir.find('"') != std::string::npos || FileName.find('"') != std::string::npos) return {};
    std::string line;
    line.reserve(RootDir.size() + FileName.size() + 32);
    line += '"';
    line += RootDir;
    line += "\\bramble.exe\" ";
    line += Switch;
    line += " \"";
    line += FileName;
    line += '"';
    return line;
}

}  // namespace bramble::shellext
