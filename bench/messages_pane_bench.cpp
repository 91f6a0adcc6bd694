// Appending to the Messages pane: 100,000 lines added one by one to a
// read-only rich edit without word wrap, as the main window logs a long
// run. Prints the time of each block of 10,000 lines: a cost that grows
// with the text already there shows as growing blocks. Windows only; run
// it under Wine with a display (tools/wine-run build/win64/bench/...).
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "ui/comctrls.h"
#include "ui/forms.h"

using namespace bramble;

namespace {

constexpr int kLines = 100000;
constexpr int kBlock = 10000;

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

void Pump() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
}

}  // namespace

int main() {
    auto* form = new TForm(nullptr);
    form->AfterConstruction();
    form->SetBounds(0, 0, 640, 300);
    auto* pane = new TRichEdit(form);
    pane->SetParent(form);
    pane->SetAlign(alClient);
    pane->SetReadOnly(true);
    pane->SetWordWrap(false);
    pane->SetScrollBars(ssBoth);
    form->Show();
    Pump();
    std::printf("%s: %d lines in blocks of %d\n", TRichEdit::Available() ? "rich edit" : "plain edit", kLines,
                kBlock);
    char line[128];
    const auto start = std::chrono::steady_clock::now();
    auto block = start;
    for (int i = 1; i <= kLines; ++i) {
        std::snprintf(line, sizeof line, "Z:\\archives\\big.zip: tested OK  folder\\sub\\file%06d.txt", i);
        pane->Lines().Add(line);
        if (i % kBlock == 0) {
            Pump();
            const auto now = std::chrono::steady_clock::now();
            std::printf("  lines %6d-%6d  %7.3f s\n", i - kBlock + 1, i, Seconds(now - block));
            std::fflush(stdout);
            block = now;
        }
    }
    const double total = Seconds(std::chrono::steady_clock::now() - start);
    const int count = pane->Lines().Count();
    std::printf("total %.3f s, %.1f us a line; the pane holds %d lines, %zu characters\n", total,
                total * 1e6 / kLines, count, pane->GetText().size());
    TCustomForm::Free(form);
    return count == kLines ? 0 : 1;
}
