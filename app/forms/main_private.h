// What the main window's own files share and nobody else needs: the run
// guard every command goes through, the busy scope, and small name helpers.
#pragma once

#include <windows.h>

#include <string>

#include "app/forms/main.h"
#include "engine/core/helpers.h"

namespace bramble {

// Posted by the first paint: the command-line switch runs from the message
// loop, not inside WM_PAINT.
constexpr UINT WM_RUNSWITCH = WM_APP + 0x42;
// The least width of the status bar's totals panel and height of the
// list (a header and a few rows) the window keeps.
constexpr int kLeastTotalsWidth = 150;
constexpr int kLeastListHeight = 100;

// Posted by a selection change of the list: the totals follow once the
// control has finished changing rows (a range changes many at once).
constexpr UINT WM_SELECTIONTOTALS = WM_APP + 0x43;

inline std::string LowerStr(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

inline bool StartsWithNoCase(const std::string& s, const std::string& prefix) {
    return s.size() >= prefix.size() && LowerStr(s.substr(0, prefix.size())) == prefix;
}

// The folder part without its trailing separator, except for a root.
inline std::string ExtractFileDir(const std::string& Path) {
    std::string p = ExtractFilePath(Path);
    if (p.size() > 1 && (p.back() == '\\' || p.back() == '/') && p[p.size() - 2] != ':') {
        // "\\server\share\" keeps its last separator off as well; only
        // "X:\" and "\" stay as they are.
        p.pop_back();
    }
    return p;
}

// Paints a toolbar glyph: the plain form, or the brighter one under the
// mouse (Hot).
void PaintGlyph(TBitmap& B, const std::string& Base, bool Hot);
// The same picture with its disabled form beside it, for a button that
// draws the second one while it is disabled.
// LowColour: only the 16 colours every display has (the "LO" pictures).
void PaintGlyphStrip(TBitmap& B, const std::string& Base, bool Hot, bool LowColour = false);

// Marks a run of the window for the length of a scope; a close asked for
// meanwhile happens when the outermost run is over.
struct TfrmMain::RunMark {
    TfrmMain& f;
    explicit RunMark(TfrmMain& ff) : f(ff) {
        if (f.running_++ == 0) f.BeginRunReport();
    }
    ~RunMark() {
        if (--f.running_ != 0) return;
        f.EndRunReport();
        if (f.closePending_ && f.HandleAllocated()) PostMessageA(f.Handle(), WM_CLOSE, 0, 0);
    }
    RunMark(const RunMark&) = delete;
    RunMark& operator=(const RunMark&) = delete;
};

template <typename F>
void TfrmMain::Command(F&& Body) {
    if (Busy()) {
        // Only the indicator's cancel and repaints are taken during a run.
        MessageBeep(0);
        return;
    }
    RunMark mark(*this);
    const int reported = reportedErrors_;
    try {
        Body();
    } catch (const E_RAISE& e) {
        // A cancelled run has said so on the Messages window already.
        if (e.Code() == 25400 || e.Code() == 25449) return;
        // The engine reported this very error through OnError before it
        // raised it, and the user has its line and box: once is enough.
        if (reportedErrors_ != reported && e.Code() == lastReportedCode_) return;
        throw;
    }
}

// The window's busy state for the length of a scope, also when the engine
// raises.
struct BusyScope {
    TfrmMain& f;
    explicit BusyScope(TfrmMain& ff) : f(ff) { f.ApplicationBusy(); }
    ~BusyScope() { f.ApplicationWaiting(); }
};

}  // namespace bramble
