#include "app/widgets/fileinfo.h"

#include <cstdio>

namespace bramble {

namespace {

std::string Upper(std::string S) {
    if (!S.empty()) CharUpperBuffA(S.data(), static_cast<DWORD>(S.size()));
    return S;
}

std::string Lower(std::string S) {
    if (!S.empty()) CharLowerBuffA(S.data(), static_cast<DWORD>(S.size()));
    return S;
}

int Sign(int64_t V) { return V < 0 ? -1 : V > 0 ? 1 : 0; }

}  // namespace

bool TFileItemInfo::IsFolder() const {
    return Drive != 0 || (FindData.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || IsParent();
}

int64_t TFileItemInfo::Size() const {
    if (IsFolder()) return 0;
    return static_cast<int64_t>((static_cast<uint64_t>(FindData.nFileSizeHigh) << 32) | FindData.nFileSizeLow);
}

std::string TFileItemInfo::FullPath() const { return Folder + Name; }

bool MatchesFileTypes(DWORD Attributes, TFileTypes Types) {
    if (Types.contains(ftAll)) return true;
    struct Rule {
        DWORD attr;
        TFileType type;
    };
    static constexpr Rule rules[] = {{FILE_ATTRIBUTE_ARCHIVE, ftArchive},
                                     {FILE_ATTRIBUTE_READONLY, ftReadonly},
                                     {FILE_ATTRIBUTE_HIDDEN, ftHidden},
                                     {FILE_ATTRIBUTE_SYSTEM, ftSystem},
                                     {FILE_ATTRIBUTE_TEMPORARY, ftTemporary}};
    for (const Rule& r : rules)
        if ((Attributes & r.attr) && !Types.contains(r.type)) return false;
    return true;
}

std::string AttributeText(DWORD Attributes) {
    static constexpr struct {
        DWORD attr;
        char letter;
    } letters[] = {{FILE_ATTRIBUTE_DIRECTORY, 'D'}, {FILE_ATTRIBUTE_ARCHIVE, 'A'}, {FILE_ATTRIBUTE_READONLY, 'R'},
                   {FILE_ATTRIBUTE_SYSTEM, 'S'},    {FILE_ATTRIBUTE_HIDDEN, 'H'},  {FILE_ATTRIBUTE_TEMPORARY, 'T'}};
    std::string s;
    for (const auto& l : letters)
        if (Attributes & l.attr) s += l.letter;
    return s;
}

std::string FileSizeText(const TFileItemInfo& Info) {
    if (Info.IsFolder()) return {};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%10lld", static_cast<long long>(Info.Size()));
    return buf;
}

std::string FileTimeText(const FILETIME& Utc) {
    if (Utc.dwLowDateTime == 0 && Utc.dwHighDateTime == 0) return {};
    FILETIME local;
    SYSTEMTIME st;
    if (!FileTimeToLocalFileTime(&Utc, &local) || !FileTimeToSystemTime(&local, &st)) return {};
    char d[80] = {}, t[80] = {};
    GetDateFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, d, sizeof d);
    GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &st, nullptr, t, sizeof t);
    return std::string(d) + "  " + t;
}

std::string DosName(const WIN32_FIND_DATAA& Find) {
    return Find.cAlternateFileName[0] ? std::string(Find.cAlternateFileName) : std::string(Find.cFileName);
}

std::string DosExt(const WIN32_FIND_DATAA& Find) {
    const std::string name = DosName(Find);
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

void ParseMaskList(const std::string& Masks, TStringList& List, bool Complete, bool CaseSensitive) {
    List.Clear();
    List.SetSorted(false);
    size_t start = 0;
    while (start <= Masks.size()) {
        size_t end = Masks.find_first_of(",;", start);
        if (end == std::string::npos) end = Masks.size();
        std::string piece = Trim(Masks.substr(start, end - start));
        start = end + 1;
        // An empty piece would complete to "**" and match everything the
        // user did not ask for.
        if (piece.empty()) continue;
        if (!CaseSensitive) piece = Lower(piece);
        if (Complete) {
            if (piece.find_first_of("*?.") == std::string::npos)
                piece = "*" + piece + "*";
            else if (piece.find('.') == std::string::npos && piece.back() != '*')
                piece += "*";
        }
        // Sorting later keeps duplicates already in: drop them here.
        bool seen = false;
        for (int i = 0; i < List.Count() && !seen; ++i) seen = List.Get(i) == piece;
        if (!seen) List.Add(piece);
    }
    if (List.Count() == 0) List.Add("*");
    List.SetDuplicates(dupIgnore);
    List.SetSorted(true);
}

std::vector<std::string> ParseFolderList(const std::string& Value, bool& DriveList) {
    DriveList = Value.empty();
    if (DriveList) return {std::string()};
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= Value.size()) {
        size_t end = Value.find(';', start);
        if (end == std::string::npos) end = Value.size();
        std::string piece = Value.substr(start, end - start);
        start = end + 1;
        // An empty piece is no folder: as "\" it would be the root of
        // whatever drive is current.
        if (piece.empty()) continue;
        if (piece.back() != '\\') piece += '\\';
        out.push_back(piece);
    }
    return out;
}

int CompareFileKeys(const TFileSortKey& A, const TFileSortKey& B, TFileInfo Kind, bool Descending) {
    if (A.SizeText.empty() != B.SizeText.empty()) return A.SizeText.empty() ? -1 : 1;
    const std::string ca = Upper(A.Caption), cb = Upper(B.Caption);
    int r = Kind == fiName ? 0 : Sign(Upper(A.Detail).compare(Upper(B.Detail)));
    if (r == 0) r = Sign(ca.compare(cb));
    if (Descending) r = -r;
    if (Kind == fiModified || Kind == fiCreated || Kind == fiLastAccess) r = -r;
    return r;
}

}  // namespace bramble
