// The standard commands that menu items are recognised by: an item whose
// caption names one takes its shortcut, hint and glyph unless it sets its
// own. The table and its lookups need no window layer.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace bramble::menukit {

struct CommandCacheEntry {
    std::string Key;       // upper-case letters only
    std::string ShortCut;  // a ";"-list, may be empty
    bool Indexed = false;  // counted for DefaultIndex
    bool HasGlyph = false; // its cell of the glyph strip shows for the caption
    std::string Hint;
};

class CommandCache {
public:
    // Whether a character counts as a letter for the keys; the window side
    // hands in the system's test, the default takes ASCII and the accented
    // letters of the ANSI code page.
    using AlphaTest = std::function<bool(unsigned char)>;

    CommandCache();
    static CommandCache& Instance();

    std::string MakeKey(const std::string& Caption) const;
    void SetAlphaTest(AlphaTest Test) { alpha_ = std::move(Test); }

    // Adds, or updates the entry of the same key.
    void AddEntry(const std::string& Name, const std::string& ShortCut, bool Indexed, bool HasGlyph,
                  const std::string& Hint);

    const CommandCacheEntry* FindByCaption(const std::string& Caption) const;
    bool HasCaption(const std::string& Caption) const { return FindByCaption(Caption) != nullptr; }
    // Position of the caption's entry in key order (its glyph cell); -1 none.
    int CellOfCaption(const std::string& Caption) const;
    // The cell of a DefaultIndex: Raw takes the index as the cell; otherwise
    // it counts only entries with both flags. -1 when out of range.
    int CellOfIndex(int Index, bool Raw) const;

    int Count() const { return static_cast<int>(entries_.size()); }
    int GlyphCount() const { return glyph_count_; }
    const CommandCacheEntry& Entry(int Cell) const { return entries_[static_cast<size_t>(Cell)]; }

private:
    int Find(const std::string& Key) const;
    std::vector<CommandCacheEntry> entries_;  // sorted by key
    int glyph_count_ = 0;
    AlphaTest alpha_;
};

}  // namespace bramble::menukit
