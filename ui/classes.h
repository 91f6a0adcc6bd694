// Geometry, string lists and the exception classes the window layer raises.
// Portable: nothing here needs windows.h.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/core/exception.h"
#include "engine/core/types.h"

namespace bramble {

// ---- exceptions ------------------------------------------------------------

class EInvalidOperation : public Exception { public: using Exception::Exception; };
class EListError : public Exception { public: using Exception::Exception; };
class EStringListError : public Exception { public: using Exception::Exception; };
class EOutOfResources : public Exception { public: using Exception::Exception; };
class EInvalidGraphic : public Exception { public: using Exception::Exception; };
class EMenuError : public Exception { public: using Exception::Exception; };
class ERegistryException : public Exception { public: using Exception::Exception; };
class EConvertError : public Exception { public: using Exception::Exception; };

// printf-style formatting into a std::string, for the "%s"/"%d" message texts.
std::string Format(const char* fmt, ...);

// Message texts of the class library that callers and tests compare against.
inline constexpr const char* SListIndexError = "List index out of bounds (%d)";
inline constexpr const char* SDuplicateString = "String list does not allow duplicates";
inline constexpr const char* SSortedListError = "Operation not allowed on sorted string list";
inline constexpr const char* SParentRequired = "Control '%s' has no parent window";
inline constexpr const char* SCannotFocus = "Cannot focus a disabled or invisible window";
inline constexpr const char* SVisibleChanged = "Cannot change Visible in OnShow or OnHide";
inline constexpr const char* SShowModalVisible = "Cannot make a visible window modal";
inline constexpr const char* SWindowClass = "Error creating window class";
inline constexpr const char* SWindowCreate = "Error creating window";
inline constexpr const char* SMenuIndexError = "Menu index out of range";
inline constexpr const char* SMenuNotFound = "Sub-menu is not in menu";
inline constexpr const char* SMenuReinserted = "Menu inserted twice";
inline constexpr const char* SInvalidImageSize = "Invalid image size";
inline constexpr const char* SInvalidImageList = "Invalid ImageList";
inline constexpr const char* SImageIndexError = "Invalid ImageList Index";
inline constexpr const char* SReplaceImage = "Unable to Replace Image";
inline constexpr const char* SInvalidBitmap = "Bitmap image is not valid";
inline constexpr const char* SInvalidIcon = "Icon image is not valid";
inline constexpr const char* SRegCreateFailed = "Failed to create key %s";
inline constexpr const char* SRegSetDataFailed = "Failed to set data for '%s'";
inline constexpr const char* SRegGetDataFailed = "Failed to get data for '%s'";
inline constexpr const char* SInvalidRegType = "Invalid data type for '%s'";
inline constexpr const char* SInvalidInteger = "'%s' is not a valid integer value";

// ---- geometry --------------------------------------------------------------

struct TPoint {
    int X = 0, Y = 0;
    bool operator==(const TPoint&) const = default;
};

struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool Contains(TPoint p) const { return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    bool operator==(const TRect&) const = default;
};

inline TPoint Point(int X, int Y) { return {X, Y}; }
inline TRect Rect(int L, int T, int R, int B) { return {L, T, R, B}; }
inline TRect Bounds(int L, int T, int W, int H) { return {L, T, L + W, T + H}; }

// ---- string lists ------------------------------------------------------------

// The abstract list of strings with an object per line. Controls back it with
// their window's items; TStringList keeps them in memory.
class TStrings : public TObject {
public:
    ~TStrings() override = default;

    virtual int Count() const = 0;
    virtual std::string Get(int Index) const = 0;
    virtual void Put(int Index, const std::string& S);
    virtual TObject* GetObject(int Index) const { return nullptr; }
    virtual void PutObject(int Index, TObject* AObject) {}
    virtual void Insert(int Index, const std::string& S) = 0;
    virtual void Delete(int Index) = 0;
    virtual void Clear() = 0;
    virtual int Add(const std::string& S);
    int AddObject(const std::string& S, TObject* AObject);
    void InsertObject(int Index, const std::string& S, TObject* AObject);
    void AddStrings(const TStrings& Strings);
    virtual void Assign(const TStrings& Source);
    // Case-insensitive, as the class library compares list entries.
    virtual int IndexOf(const std::string& S) const;
    int IndexOfObject(const TObject* AObject) const;
    int IndexOfName(const std::string& Name) const;
    std::string Names(int Index) const;
    std::string Values(const std::string& Name) const;
    void SetValues(const std::string& Name, const std::string& Value);
    std::string operator[](int Index) const { return Get(Index); }
    std::string Strings(int Index) const { return Get(Index); }
    TObject* Objects(int Index) const { return GetObject(Index); }
    virtual void Exchange(int Index1, int Index2);
    void Move(int CurIndex, int NewIndex);

    // Lines joined by CR LF, each line ended by one; setting splits on CR LF,
    // LF or CR.
    std::string Text() const;
    void SetText(const std::string& Value);
    std::string CommaText() const;

    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return update_count_; }

protected:
    // Told when BeginUpdate raises the count from 0 (Updating true) and when
    // EndUpdate brings it back to 0 (false).
    virtual void SetUpdateState(bool Updating) {}
    void Error(const char* Msg, int Data) const;

private:
    int update_count_ = 0;
};

enum TDuplicates : uint8_t { dupIgnore, dupAccept, dupError };

class TStringList : public TStrings {
public:
    using TStringListSortCompare = std::function<int(TStringList* List, int Index1, int Index2)>;

    TStringList() = default;
    TStringList(const TStringList& o);
    TStringList& operator=(const TStringList& o);

    int Count() const override { return static_cast<int>(items_.size()); }
    std::string Get(int Index) const override;
    void Put(int Index, const std::string& S) override;
    TObject* GetObject(int Index) const override;
    void PutObject(int Index, TObject* AObject) override;
    int Add(const std::string& S) override;
    void Insert(int Index, const std::string& S) override;
    void Delete(int Index) override;
    void Clear() override;
    void Exchange(int Index1, int Index2) override;
    int IndexOf(const std::string& S) const override;

    // Binary search of a sorted list; Index is where S is or would go.
    bool Find(const std::string& S, int& Index) const;
    virtual void Sort();
    void CustomSort(const TStringListSortCompare& Compare);

    bool Sorted() const { return sorted_; }
    void SetSorted(bool v);
    TDuplicates Duplicates() const { return duplicates_; }
    void SetDuplicates(TDuplicates v) { duplicates_ = v; }
    bool CaseSensitive() const { return case_sensitive_; }
    void SetCaseSensitive(bool v);

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    void SetUpdateState(bool Updating) override;
    virtual void Changing();
    virtual void Changed();
    int CompareStrings(const std::string& a, const std::string& b) const;

private:
    struct Item {
        std::string s;
        TObject* obj = nullptr;
    };
    void InsertItem(int Index, const std::string& S, TObject* Obj);
    std::vector<Item> items_;
    bool sorted_ = false;
    bool case_sensitive_ = false;
    TDuplicates duplicates_ = dupIgnore;
};

// Case-insensitive comparison of ANSI text, as the class library's
// CompareText and AnsiCompareText order file names.
int CompareText(const std::string& a, const std::string& b);
bool SameText(const std::string& a, const std::string& b);
std::string UpperCase(std::string s);
std::string LowerCase(std::string s);
std::string Trim(const std::string& s);
std::string IntToStr(int64_t v);
int StrToInt(const std::string& s);             // raises EConvertError
int StrToIntDef(const std::string& s, int Default);

}  // namespace bramble
