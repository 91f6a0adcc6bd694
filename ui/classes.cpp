#include "ui/classes.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace bramble {

std::string Format(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    va_list ap2;
    va_copy(ap2, ap);
    int n = std::vsnprintf(nullptr, 0, fmt, ap);
    va_end(ap);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), fmt, ap2);
        out.resize(static_cast<size_t>(n));
    }
    va_end(ap2);
    return out;
}

static char Up(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

int CompareText(const std::string& a, const std::string& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(Up(a[i])), y = static_cast<unsigned char>(Up(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool SameText(const std::string& a, const std::string& b) { return CompareText(a, b) == 0; }

// UpperCase is the engine's (engine/core/names.cpp, the same ASCII rule):
// a second definition here breaks every program that links both.

std::string LowerCase(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}

std::string IntToStr(int64_t v) { return std::to_string(v); }

int StrToInt(const std::string& s) {
    std::string t = Trim(s);
    if (t.empty()) throw EConvertError(Format(SInvalidInteger, s.c_str()));
    char* end = nullptr;
    long long v = std::strtoll(t.c_str(), &end, 10);
    if (*end != 0 || v > 0x7FFFFFFFLL || v < -0x80000000LL) throw EConvertError(Format(SInvalidInteger, s.c_str()));
    return static_cast<int>(v);
}

int StrToIntDef(const std::string& s, int Default) {
    try {
        return StrToInt(s);
    } catch (const EConvertError&) {
        return Default;
    }
}

// ---- TStrings ---------------------------------------------------------------

void TStrings::Error(const char* Msg, int Data) const { throw EStringListError(Format(Msg, Data)); }

void TStrings::Put(int Index, const std::string& S) {
    TObject* o = GetObject(Index);
    Delete(Index);
    InsertObject(Index, S, o);
}

int TStrings::Add(const std::string& S) {
    int i = Count();
    Insert(i, S);
    return i;
}

int TStrings::AddObject(const std::string& S, TObject* AObject) {
    int i = Add(S);
    PutObject(i, AObject);
    return i;
}

void TStrings::InsertObject(int Index, const std::string& S, TObject* AObject) {
    Insert(Index, S);
    PutObject(Index, AObject);
}

void TStrings::AddStrings(const TStrings& Strings) {
    BeginUpdate();
    try {
        for (int i = 0; i < Strings.Count(); ++i) AddObject(Strings.Get(i), Strings.GetObject(i));
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStrings::Assign(const TStrings& Source) {
    if (&Source == this) return;
    BeginUpdate();
    try {
        Clear();
        AddStrings(Source);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

int TStrings::IndexOf(const std::string& S) const {
    for (int i = 0; i < Count(); ++i)
        if (SameText(Get(i), S)) return i;
    return -1;
}

int TStrings::IndexOfObject(const TObject* AObject) const {
    for (int i = 0; i < Count(); ++i)
        if (GetObject(i) == AObject) return i;
    return -1;
}

std::string TStrings::Names(int Index) const {
    std::string s = Get(Index);
    size_t p = s.find('=');
    return p == std::string::npos ? std::string() : s.substr(0, p);
}

int TStrings::IndexOfName(const std::string& Name) const {
    for (int i = 0; i < Count(); ++i) {
        std::string s = Get(i);
        size_t p = s.find('=');
        if (p != std::string::npos && SameText(s.substr(0, p), Name)) return i;
    }
    return -1;
}

std::string TStrings::Values(const std::string& Name) const {
    int i = IndexOfName(Name);
    if (i < 0) return {};
    std::string s = Get(i);
    return s.substr(s.find('=') + 1);
}

void TStrings::SetValues(const std::string& Name, const std::string& Value) {
    int i = IndexOfName(Name);
    if (Value.empty()) {
        if (i >= 0) Delete(i);
        return;
    }
    if (i < 0)
        Add(Name + "=" + Value);
    else
        Put(i, Name + "=" + Value);
}

void TStrings::Exchange(int Index1, int Index2) {
    std::string s1 = Get(Index1), s2 = Get(Index2);
    TObject *o1 = GetObject(Index1), *o2 = GetObject(Index2);
    Put(Index1, s2);
    PutObject(Index1, o2);
    Put(Index2, s1);
    PutObject(Index2, o1);
}

void TStrings::Move(int CurIndex, int NewIndex) {
    if (CurIndex == NewIndex) return;
    std::string s = Get(CurIndex);
    TObject* o = GetObject(CurIndex);
    Delete(CurIndex);
    InsertObject(NewIndex, s, o);
}

std::string TStrings::Text() const {
    std::string out;
    for (int i = 0; i < Count(); ++i) {
        out += Get(i);
        out += "\r\n";
    }
    return out;
}

void TStrings::SetText(const std::string& Value) {
    BeginUpdate();
    try {
        Clear();
        size_t i = 0;
        while (i < Value.size()) {
            size_t j = i;
            while (j < Value.size() && Value[j] != '\r' && Value[j] != '\n') ++j;
            Add(Value.substr(i, j - i));
            if (j < Value.size() && Value[j] == '\r') ++j;
            if (j < Value.size() && Value[j] == '\n') ++j;
            i = j;
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

std::string TStrings::CommaText() const {
    std::string out;
    for (int i = 0; i < Count(); ++i) {
        if (i) out += ',';
        std::string s = Get(i);
        bool quote = s.empty() || s.find_first_of(" \",") != std::string::npos;
        if (!quote) {
            out += s;
            continue;
        }
        out += '"';
        for (char c : s) {
            if (c == '"') out += '"';
            out += c;
        }
        out += '"';
    }
    return out;
}

void TStrings::BeginUpdate() {
    if (update_count_++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
    if (update_count_ > 0 && --update_count_ == 0) SetUpdateState(false);
}

// ---- TStringList ------------------------------------------------------------

TStringList::TStringList(const TStringList& o)
    : TStrings(), items_(o.items_), sorted_(o.sorted_), case_sensitive_(o.case_sensitive_),
      duplicates_(o.duplicates_) {}

TStringList& TStringList::operator=(const TStringList& o) {
    if (this != &o) {
        Changing();
        items_ = o.items_;
        sorted_ = o.sorted_;
        case_sensitive_ = o.case_sensitive_;
        duplicates_ = o.duplicates_;
        Changed();
    }
    return *this;
}

int TStringList::CompareStrings(const std::string& a, const std::string& b) const {
    if (case_sensitive_) return a < b ? -1 : (a == b ? 0 : 1);
    return CompareText(a, b);
}

std::string TStringList::Get(int Index) const {
    if (Index < 0 || Index >= Count()) Error(SListIndexError, Index);
    return items_[static_cast<size_t>(Index)].s;
}

void TStringList::Put(int Index, const std::string& S) {
    if (sorted_) Error(SSortedListError, 0);
    if (Index < 0 || Index >= Count()) Error(SListIndexError, Index);
    Changing();
    items_[static_cast<size_t>(Index)].s = S;
    Changed();
}

TObject* TStringList::GetObject(int Index) const {
    if (Index < 0 || Index >= Count()) Error(SListIndexError, Index);
    return items_[static_cast<size_t>(Index)].obj;
}

void TStringList::PutObject(int Index, TObject* AObject) {
    if (Index < 0 || Index >= Count()) Error(SListIndexError, Index);
    Changing();
    items_[static_cast<size_t>(Index)].obj = AObject;
    Changed();
}

int TStringList::Add(const std::string& S) {
    int i;
    if (!sorted_) {
        i = Count();
    } else if (Find(S, i)) {
        switch (duplicates_) {
            case dupIgnore: return i;
            case dupError: throw EStringListError(SDuplicateString);
            case dupAccept: break;
        }
    }
    InsertItem(i, S, nullptr);
    return i;
}

void TStringList::Insert(int Index, const std::string& S) {
    if (sorted_) Error(SSortedListError, 0);
    if (Index < 0 || Index > Count()) Error(SListIndexError, Index);
    InsertItem(Index, S, nullptr);
}

void TStringList::InsertItem(int Index, const std::string& S, TObject* Obj) {
    Changing();
    items_.insert(items_.begin() + Index, Item{S, Obj});
    Changed();
}

void TStringList::Delete(int Index) {
    if (Index < 0 || Index >= Count()) Error(SListIndexError, Index);
    Changing();
    items_.erase(items_.begin() + Index);
    Changed();
}

void TStringList::Clear() {
    if (items_.empty()) return;
    Changing();
    items_.clear();
    Changed();
}

void TStringList::Exchange(int Index1, int Index2) {
    if (Index1 < 0 || Index1 >= Count()) Error(SListIndexError, Index1);
    if (Index2 < 0 || Index2 >= Count()) Error(SListIndexError, Index2);
    Changing();
    std::swap(items_[static_cast<size_t>(Index1)], items_[static_cast<size_t>(Index2)]);
    Changed();
}

int TStringList::IndexOf(const std::string& S) const {
    if (!sorted_) {
        for (int i = 0; i < Count(); ++i)
            if (CompareStrings(items_[static_cast<size_t>(i)].s, S) == 0) return i;
        return -1;
    }
    int i;
    return Find(S, i) ? i : -1;
}

bool TStringList::Find(const std::string& S, int& Index) const {
    int lo = 0, hi = Count() - 1;
    bool found = false;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        int c = CompareStrings(items_[static_cast<size_t>(mid)].s, S);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) {
                found = true;
                if (duplicates_ != dupAccept) lo = mid;
            }
        }
    }
    Index = lo;
    return found;
}

void TStringList::Sort() {
    Changing();
    std::stable_sort(items_.begin(), items_.end(),
                     [this](const Item& a, const Item& b) { return CompareStrings(a.s, b.s) < 0; });
    Changed();
}

void TStringList::CustomSort(const TStringListSortCompare& Compare) {
    if (Count() < 2) return;
    Changing();
    // Sort a permutation so the comparator can keep addressing by index.
    std::vector<int> order(items_.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return Compare(this, a, b) < 0; });
    std::vector<Item> sorted;
    sorted.reserve(items_.size());
    for (int i : order) sorted.push_back(items_[static_cast<size_t>(i)]);
    items_.swap(sorted);
    Changed();
}

void TStringList::SetSorted(bool v) {
    if (v == sorted_) return;
    if (v) Sort();
    sorted_ = v;
}

void TStringList::SetCaseSensitive(bool v) {
    if (v == case_sensitive_) return;
    case_sensitive_ = v;
    if (sorted_) Sort();
}

void TStringList::SetUpdateState(bool Updating) {
    if (Updating)
        Changing();
    else
        Changed();
}

void TStringList::Changing() {
    if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

void TStringList::Changed() {
    if (UpdateCount() == 0 && OnChange) OnChange(this);
}

}  // namespace bramble
