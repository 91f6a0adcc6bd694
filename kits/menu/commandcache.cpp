#include "kits/menu/commandcache.h"

#include <algorithm>

namespace bramble::menukit {

namespace {

struct Row {
    const char* Name;
    const char* ShortCut;
    bool Indexed, HasGlyph;
    const char* Hint;
};

constexpr bool Y = true, N = false;

// In key order, which is also the order of the glyph strip's cells.
const Row kRows[] = {
    {"ADDRESSBOOK", "", Y, Y, "Opens the address book"},
    {"ALIGNCENTER", "Ctrl+E", Y, Y, "Centers the selection"},
    {"ALIGNJUSTIFY", "Ctrl+J", Y, Y, "Justifies the selection"},
    {"ALIGNLEFT", "Ctrl+L", Y, Y, "Aligns the selection to the left"},
    {"ALIGNRIGHT", "Ctrl+R", Y, Y, "Aligns the selection to the right"},
    {"ARRANGEICONS", "", N, N, "Arranges the icons"},
    {"AUTOPREVIEW", "", Y, Y, "Shows a preview of each item"},
    {"BACK", "", N, Y, "Goes back"},
    {"BACKWARD", "", Y, Y, "Goes back"},
    {"BOLD", "Ctrl+B", Y, Y, "Makes the selection bold"},
    {"BOOKMARKS", "", Y, Y, "Shows the bookmarks"},
    {"BULLETS", "", Y, Y, "Adds bullets to the selection"},
    {"CASCADE", "", Y, Y, "Arranges the windows overlapped"},
    {"CHECKSPELLING", "F7", N, Y, "Checks the spelling"},
    {"CLEAR", "Del;Shift+Del", N, N, "Erases the selection"},
    {"CONTENTS", "", N, Y, "Displays help topics"},
    {"CONTENTSANDINDEX", "F1", Y, Y, "Displays help topics"},
    {"COPY", "Ctrl+C;Ctrl+Ins", Y, Y, "Copies the selection to the clipboard"},
    {"CREATE", "", Y, Y, "Create a new document"},
    {"CREATE_B", "", Y, Y, "Create a new document"},
    {"CUT", "Ctrl+X;Shift+Del", Y, Y, "Cuts the selection and moves it to the clipboard"},
    {"DATE", "", N, Y, "Inserts the date"},
    {"DATEANDTIME", "", Y, Y, "Inserts the date and time"},
    {"DATETIME", "", N, Y, "Inserts the date and time"},
    {"DECREASEINDENT", "", Y, Y, "Decrease indent"},
    {"DELETE", "Del;Ctrl+Del", Y, Y, "Erases the selection"},
    {"DELETE_B", "", Y, Y, "Erases the selection"},
    {"EDIT", "", N, N, "Contains commands for editing the document"},
    {"FILE", "", N, N, "Contains commands for saving documents and opening saved documents"},
    {"FIND", "Ctrl+F;F3", Y, Y, "Finds the specified text"},
    {"FINDNEXT", "Shift+F3", Y, Y, "Finds the next occurrence"},
    {"FONT", "", N, Y, "Changes the font of the selection"},
    {"FONTSIZE", "", Y, Y, "Changes the font size of the selection"},
    {"FONTSTYLE", "", Y, Y, "Changes the font style of the selection"},
    {"FORWARD", "", Y, Y, "Goes forward"},
    {"FULLSCREEN", "F11", Y, Y, "Shows the document on the full screen"},
    {"GOTO", "Ctrl+G", N, N, "Goes to the specified place"},
    {"GOTOBOOKMARK", "", N, Y, "Goes to a bookmark"},
    {"HELP", "", N, N, "Contains commands for solving problem situations"},
    {"HELPONHELP", "F1", Y, Y, "Explains how to use help"},
    {"HOME", "", Y, Y, "Goes to the start page"},
    {"HYPERLINK", "", Y, Y, "Inserts a hyperlink"},
    {"INCREASEINDENT", "", Y, Y, "Increase indent"},
    {"INDENT", "", N, Y, "Increase Indent"},
    {"ITALIC", "Ctrl+I", Y, Y, "Makes the selection italic"},
    {"JUSTIFY", "Ctrl+J", N, Y, "Justifies the selection"},
    {"MARKASREAD", "", Y, Y, "Marks the item as read"},
    {"MARKASUNREAD", "", Y, Y, "Marks the item as unread"},
    {"MOVEDOWN", "", Y, Y, "Moves the selection down"},
    {"MOVELEFT", "", Y, Y, "Moves the selection left"},
    {"MOVERIGHT", "", Y, Y, "Moves the selection right"},
    {"MOVETOFOLDER", "", Y, Y, "Moves the item to a folder"},
    {"MOVEUP", "", Y, Y, "Moves the selection up"},
    {"NEW", "Ctrl+N", Y, Y, "Create a new document"},
    {"NEWFOLDER", "", Y, Y, "Create a new folder"},
    {"NEWFOLDER_B", "", Y, Y, "Create a new folder"},
    {"NEWMAIL", "", Y, Y, "Creates a new mail message"},
    {"NEWMAILMESSAGE", "", N, Y, "Creates a new mail message"},
    {"NEWNOTE", "", Y, Y, "Creates a new note"},
    {"NEWTASK", "", Y, Y, "Creates a new task"},
    {"NEWWINDOW", "", N, N, "Opens another window for the document"},
    {"NOTE", "", N, Y, "Creates a new note"},
    {"NUMBERING", "", Y, Y, "Numbers the paragraphs of the selection"},
    {"OPEN", "Ctrl+O", Y, Y, "Opens an existing document from a file"},
    {"PAGESETUP", "", N, N, "Changes the page layout"},
    {"PARAGRAPH", "", Y, Y, "Changes the paragraph format"},
    {"PASTE", "Ctrl+V;Shift+Ins", Y, Y, "Inserts the clipboard contents"},
    {"PASTELINK", "", N, N, "Inserts a link to the clipboard contents"},
    {"PASTESPECIAL", "", N, N, "Inserts the clipboard contents in a chosen format"},
    {"PRINT", "Ctrl+P", Y, Y, "Prints the active document"},
    {"PRINTERSETUP", "", N, N, "Changes the printer and its options"},
    {"PRINTPREVIEW", "", Y, Y, "Shows the pages as they will be printed"},
    {"PROPERTIES", "", Y, Y, "Display properties for the active document"},
    {"REDO", "Ctrl+Shift+Z", Y, Y, "Redoes the last action undone"},
    {"REFRESH", "", Y, Y, "Shows the current contents again"},
    {"RELOAD", "", N, Y, "Shows the current contents again"},
    {"REPEAT", "", Y, Y, "Repeats the last action"},
    {"REPLACE", "Ctrl+H", Y, Y, "Replaces the specified text with other text"},
    {"RULER", "", Y, Y, "Shows or hides the ruler"},
    {"SAVE", "Ctrl+S;Shift+F12;Alt+Shift+F2", Y, Y, "Saves the active document"},
    {"SAVEALL", "", Y, Y, "Saves all open documents"},
    {"SAVEAS", "F12;Ctrl+Shift+S", N, N, "Saves the active document under a new name"},
    {"SEARCH", "", N, N, "Searches for files"},
    {"SEARCHTHEWEB", "", Y, Y, "Searches the Word Wide Web for the specified resource"},
    {"SELECTALL", "Ctrl+A", N, N, "Select the entire document"},
    {"SENDMAIL", "", Y, Y, "Sends the document by mail"},
    {"SETBOOKMARK", "", Y, Y, "Sets a bookmark"},
    {"SETDATE", "", Y, Y, "Sets the date"},
    {"SETFONT", "", Y, Y, "Changes the font of the selection"},
    {"SETTIME", "", Y, Y, "Sets the time"},
    {"SORT", "", Y, Y, "Sorts the selection"},
    {"SPELLCHECK", "F7", Y, Y, "Checks the spelling"},
    {"SPLITWINDOW", "", Y, Y, "Splits the window into panes"},
    {"SYSTEMCLOSE", "", N, Y, "Close the active window and prompts to save the pages"},
    {"SYSTEMMAXIMIZE", "", N, Y, "Enlarges the window to full size"},
    {"SYSTEMMINIMIZE", "", N, Y, "Reduces the window to an icon"},
    {"SYSTEMMOVE", "", N, Y, "Changes the window position"},
    {"SYSTEMRESTORE", "", N, Y, "Restores the window to normal size"},
    {"SYSTEMSIZE", "", N, Y, "Changes the window size"},
    {"TASK", "", N, Y, "Creates a new task"},
    {"TILE", "", Y, Y, "Arranges the windows side by side"},
    {"TIME", "", N, Y, "Inserts the time"},
    {"TOOLS", "", N, N, "Contains tools and options"},
    {"UNDERLINE", "Ctrl+U", Y, Y, "Underlines the selection"},
    {"UNDO", "Ctrl+Z", Y, Y, "Undoes the last action"},
    {"UNINDENT", "", N, Y, "Decrease indent"},
    {"UPONELEVEL", "", Y, Y, "Up one level"},
    {"VIEW", "", N, N, "Contains commands for controlling the display of your document"},
    {"WHATSTHIS", "Shift+F1", Y, Y, "Shows help for the item clicked next"},
    {"WINDOW", "", N, N, "Contains commands for arranging windows"},
};

bool DefaultAlpha(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    // Letters of the Western ANSI code page.
    return (c >= 0xC0 && c != 0xD7 && c != 0xF7) || c == 0x8A || c == 0x8C || c == 0x8E || c == 0x9A ||
           c == 0x9C || c == 0x9E || c == 0x9F || c == 0x83 || c == 0xAA || c == 0xB5 || c == 0xBA;
}

char Upper(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 32);
    if (c >= 0xE0 && c != 0xF7 && c != 0xFF) return static_cast<char>(c - 32);
    return static_cast<char>(c);
}

}  // namespace

CommandCache::CommandCache() {
    for (const Row& r : kRows) AddEntry(r.Name, r.ShortCut, r.Indexed, r.HasGlyph, r.Hint);
}

CommandCache& CommandCache::Instance() {
    static CommandCache cache;
    return cache;
}

std::string CommandCache::MakeKey(const std::string& Caption) const {
    std::string key;
    for (unsigned char c : Caption)
        if (alpha_ ? alpha_(c) : DefaultAlpha(c)) key += Upper(c);
    return key;
}

int CommandCache::Find(const std::string& Key) const {
    auto it = std::lower_bound(entries_.begin(), entries_.end(), Key,
                               [](const CommandCacheEntry& e, const std::string& k) { return e.Key < k; });
    if (it == entries_.end() || it->Key != Key) return -1;
    return static_cast<int>(it - entries_.begin());
}

void CommandCache::AddEntry(const std::string& Name, const std::string& ShortCut, bool Indexed, bool HasGlyph,
                            const std::string& Hint) {
    std::string key = MakeKey(Name);
    if (key.empty()) return;
    int at = Find(key);
    CommandCacheEntry* e;
    if (at >= 0) {
        e = &entries_[static_cast<size_t>(at)];
        if (e->Indexed && e->HasGlyph) --glyph_count_;
    } else {
        auto it = std::lower_bound(entries_.begin(), entries_.end(), key,
                                   [](const CommandCacheEntry& x, const std::string& k) { return x.Key < k; });
        e = &*entries_.insert(it, CommandCacheEntry{key, {}, false, false, {}});
    }
    e->ShortCut = ShortCut;
    e->Indexed = Indexed;
    e->HasGlyph = HasGlyph;
    e->Hint = Hint;
    if (Indexed && HasGlyph) ++glyph_count_;
}

const CommandCacheEntry* CommandCache::FindByCaption(const std::string& Caption) const {
    int at = CellOfCaption(Caption);
    return at < 0 ? nullptr : &entries_[static_cast<size_t>(at)];
}

int CommandCache::CellOfCaption(const std::string& Caption) const {
    std::string key = MakeKey(Caption);
    return key.empty() ? -1 : Find(key);
}

int CommandCache::CellOfIndex(int Index, bool Raw) const {
    if (Index < 0) return -1;
    if (Raw) return Index < Count() ? Index : -1;
    if (Index >= glyph_count_) return -1;
    int seen = 0;
    for (int i = 0; i < Count(); ++i) {
        const CommandCacheEntry& e = entries_[static_cast<size_t>(i)];
        if (e.Indexed && e.HasGlyph && seen++ == Index) return i;
    }
    return -1;
}

}  // namespace bramble::menukit
