// The two-sided wildcard matcher behind FileSpec and ExcludeSpec.
//
// The matching rule is naturally recursive (a '*' tries every tail of the
// other side), which is exponential on masks like "*a*a*a*a*b" against long
// names. Here the same rule is evaluated bottom-up over the suffix pairs
// (i, j) of the two sides, one row per mask position, so the cost is the
// product of the lengths.
#include <string>
#include <vector>

#include "engine/core/helpers.h"

namespace bramble {

namespace {

char Up(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Drops a trailing dot; gives a side without extension the ".*" of the other.
void PrepareSide(std::string& side, const std::string& other) {
    if (!side.empty() && side.back() == '.') side.pop_back();
    if (side.find('.') == std::string::npos && other.find(".*") != std::string::npos) side += ".*";
}

// Suffix flags: AllStars(s)[k] tells whether s[k..] holds only '*'.
std::vector<char> AllStars(const std::string& s) {
    std::vector<char> out(s.size() + 1, 1);
    for (size_t k = s.size(); k-- > 0;) out[k] = out[k + 1] && s[k] == '*';
    return out;
}

// Match(i, j) is the rule applied afresh to A[i..] and B[j..] (an empty side
// matches only a side beginning with '*'); Walk(i, j) is the same pair
// reached by stepping over two matching characters, where a used-up side
// needs the other's rest to be all '*'. The two differ only on the border.
bool Match(const std::string& A, const std::string& B) {
    const size_t n = A.size();
    const size_t m = B.size();
    const std::vector<char> starsA = AllStars(A);
    const std::vector<char> starsB = AllStars(B);

    std::vector<char> next(m + 1, 0);       // Match(i + 1, j)
    std::vector<char> nextTail(m + 2, 0);   // Match(i + 1, k) for some k >= j
    std::vector<char> cur(m + 1, 0);
    std::vector<char> columnTail(m + 1, 0); // Match(k, j) for some k >= i

    for (size_t i = n + 1; i-- > 0;) {
        for (size_t j = m + 1; j-- > 0;) {
            bool r;
            if (i == n && j == m) {
                r = true;
            } else if (i == n) {
                r = B[j] == '*';
            } else if (j == m) {
                r = A[i] == '*';
            } else if (A[i] == '*') {
                r = i + 1 == n || nextTail[j];
            } else if (B[j] == '*') {
                r = j + 1 == m || columnTail[j + 1];
            } else if (A[i] == '?' || B[j] == '?' || Up(A[i]) == Up(B[j])) {
                if (i + 1 == n)
                    r = starsB[j + 1];
                else if (j + 1 == m)
                    r = starsA[i + 1];
                else
                    r = next[j + 1];
            } else {
                r = false;
            }
            cur[j] = r;
            columnTail[j] = columnTail[j] || r;
        }
        nextTail[m + 1] = 0;
        for (size_t j = m + 1; j-- > 0;) nextTail[j] = cur[j] || nextTail[j + 1];
        next.swap(cur);
    }
    return next[0];
}

}  // namespace

bool WildcardMatch(std::string_view Mask, std::string_view Name, bool NameOnly) {
    std::string a(Mask);
    std::string b(Name);
    if (NameOnly) {
        a = ExtractFileName(a);
        b = ExtractFileName(b);
    }
    PrepareSide(a, b);
    PrepareSide(b, a);
    return Match(a, b);
}

}  // namespace bramble
