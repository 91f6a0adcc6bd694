#include "ui/msgdlg.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "ui/stdctrls.h"

namespace bramble {

namespace {
constexpr TMsgDlgBtn kOrder[] = {mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll,
                                 mbYesToAll, mbHelp};
}

std::string MsgDlgButtonCaption(TMsgDlgBtn Button) {
    switch (Button) {
        case mbYes: return "&Yes";
        case mbNo: return "&No";
        case mbOK: return "OK";
        case mbCancel: return "Cancel";
        case mbAbort: return "&Abort";
        case mbRetry: return "&Retry";
        case mbIgnore: return "&Ignore";
        case mbAll: return "&All";
        case mbNoToAll: return "N&o to All";
        case mbYesToAll: return "Yes to &All";
        case mbHelp: return "&Help";
    }
    return "";
}

int MsgDlgButtonResult(TMsgDlgBtn Button) {
    switch (Button) {
        case mbYes: return mrYes;
        case mbNo: return mrNo;
        case mbOK: return mrOk;
        case mbCancel: return mrCancel;
        case mbAbort: return mrAbort;
        case mbRetry: return mrRetry;
        case mbIgnore: return mrIgnore;
        case mbAll: return mrAll;
        case mbNoToAll: return mrNoToAll;
        case mbYesToAll: return mrYesToAll;
        case mbHelp: return mrNone;
    }
    return mrNone;
}

std::string BreakLongRuns(const std::string& Text, HFONT Font, int MaxWidth) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, Font);
    auto width = [dc](const char* p, size_t n) {
        SIZE sz{};
        GetTextExtentPoint32A(dc, p, static_cast<int>(n), &sz);
        return static_cast<int>(sz.cx);
    };
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    std::string out;
    out.reserve(Text.size() + Text.size() / 32);
    size_t i = 0;
    while (i < Text.size()) {
        if (blank(Text[i])) {
            out += Text[i++];
            continue;
        }
        size_t end = i;
        while (end < Text.size() && !blank(Text[end])) ++end;
        // Cut the run into pieces that fit, each as long as it can be.
        while (i < end && width(Text.data() + i, end - i) > MaxWidth) {
            size_t fit = i + 1;
            while (fit < end && width(Text.data() + i, fit + 1 - i) <= MaxWidth) ++fit;
            size_t cut = fit;
            for (size_t k = fit; k > i + 1; --k)
                if (Text[k - 1] == '\\' || Text[k - 1] == '/') {
                    cut = k;
                    break;
                }
            // A separator near the start would leave a short line: cut where
            // the width ends instead.
            if ((cut - i) * 2 < fit - i) cut = fit;
            out.append(Text, i, cut - i);
            out += '\n';
            i = cut;
        }
        out.append(Text, i, end - i);
        i = end;
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    return out;
}

std::string WrapForMessageBox(const std::string& Text) {
    NONCLIENTMETRICSA m{};
    m.cbSize = sizeof m;
    HFONT font = nullptr;
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0)) font = CreateFontIndirectA(&m.lfMessageFont);
    const std::string out = BreakLongRuns(Text, font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)),
                                          std::max(240, GetSystemMetrics(SM_CXSCREEN) / 2));
    if (font) DeleteObject(font);
    return out;
}

TForm* CreateMessageDialog(const std::string& Text, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                           const std::map<TMsgDlgBtn, std::string>& Captions) {
    auto* f = new TForm(nullptr);
    f->Font().SetName("MS Sans Serif");
    const std::string Msg = BreakLongRuns(Text, f->Font().Handle(), std::max(240, GetSystemMetrics(SM_CXSCREEN) / 3));
    f->SetCaption(MsgDlgCaption(DlgType));
    f->SetBorderStyle(bsDialog);
    f->SetBorderIcons({biSystemMenu});
    f->SetPosition(poScreenCenter);

    LPCSTR iconId = nullptr;
    switch (DlgType) {
        case mtWarning: iconId = reinterpret_cast<LPCSTR>(IDI_WARNING); break;
        case mtError: iconId = reinterpret_cast<LPCSTR>(IDI_ERROR); break;
        case mtInformation: iconId = reinterpret_cast<LPCSTR>(IDI_INFORMATION); break;
        case mtConfirmation: iconId = reinterpret_cast<LPCSTR>(IDI_QUESTION); break;
        case mtCustom: break;
    }
    int textLeft = 12;
    if (iconId) {
        auto* img = new TImage(f);
        img->SetName("Image");
        img->SetParent(f);
        img->SetBounds(12, 12, 32, 32);
        img->Icon().SetHandle(CopyIcon(LoadIconA(nullptr, iconId)));
        textLeft = 56;
    }

    // The text's size in the dialog's font, wrapped at a third of the screen.
    RECT r{0, 0, std::max(240, GetSystemMetrics(SM_CXSCREEN) / 3), 0};
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, f->Font().Handle());
    DrawTextA(dc, Msg.c_str(), static_cast<int>(Msg.size()), &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    int widest = 0;
    std::vector<std::pair<TMsgDlgBtn, std::string>> buttons;
    for (TMsgDlgBtn b : kOrder) {
        if (!Buttons.contains(b)) continue;
        auto it = Captions.find(b);
        std::string caption = it != Captions.end() ? it->second : MsgDlgButtonCaption(b);
        SIZE sz{};
        GetTextExtentPoint32A(dc, caption.c_str(), static_cast<int>(caption.size()), &sz);
        widest = std::max(widest, static_cast<int>(sz.cx));
        buttons.emplace_back(b, caption);
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    if (buttons.empty()) buttons.emplace_back(mbOK, MsgDlgButtonCaption(mbOK));

    auto* text = new TLabel(f);
    text->SetName("Message");
    text->SetParent(f);
    text->SetAutoSize(false);
    text->SetWordWrap(true);
    text->SetShowAccelChar(false);
    text->SetBounds(textLeft, 14, r.right - r.left + 4, std::max<int>(r.bottom - r.top, 16));
    text->SetCaption(Msg);

    const int bw = std::max(75, widest + 20), bh = 25, gap = 8;
    const int rowWidth = static_cast<int>(buttons.size()) * bw + (static_cast<int>(buttons.size()) - 1) * gap;
    const int textBottom = std::max(14 + text->Height(), iconId ? 44 : 0);
    const int width = std::max(textLeft + text->Width() + 12, rowWidth + 24);
    const int top = textBottom + 16;
    f->SetClientSize(width, top + bh + 12);

    // The default is the first answer that goes on; Escape the one that
    // stops (Cancel, else No, else the only button).
    TMsgDlgBtn def = buttons.front().first;
    for (TMsgDlgBtn b : {mbOK, mbYes}) {
        if (Buttons.contains(b)) {
            def = b;
            break;
        }
    }
    TMsgDlgBtn esc = buttons.size() == 1 ? buttons.front().first : mbHelp;
    for (TMsgDlgBtn b : {mbCancel, mbNo, mbAbort}) {
        if (Buttons.contains(b)) {
            esc = b;
            break;
        }
    }
    int x = (width - rowWidth) / 2, order = 0;
    for (const auto& [b, caption] : buttons) {
        auto* btn = new TButton(f);
        btn->SetName("Button" + std::to_string(order));
        btn->SetParent(f);
        btn->SetBounds(x, top, bw, bh);
        btn->SetCaption(caption);
        btn->SetModalResult(MsgDlgButtonResult(b));
        btn->SetTabOrder(order++);
        if (b == def) {
            btn->SetDefault(true);
            f->SetActiveControl(btn);
        }
        if (b == esc && b != mbHelp) btn->SetCancel(true);
        if (b == mbHelp)
            btn->OnClick = [f](TObject*) {
                if (Application && f->HelpContext()) Application->HelpContext(f->HelpContext());
            };
        x += bw + gap;
    }
    return f;
}

int MessageDlgCaptions(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                       const std::map<TMsgDlgBtn, std::string>& Captions, int HelpCtx) {
    if (ModalInterceptor()) return ModalInterceptor()->MessageDlg(Msg, DlgType, Buttons);
    std::unique_ptr<TForm, void (*)(TForm*)> f(CreateMessageDialog(Msg, DlgType, Buttons, Captions),
                                               [](TForm* p) { TCustomForm::Free(p); });
    f->AfterConstruction();
    f->SetHelpContext(HelpCtx);
    return f->ShowModal();
}

}  // namespace bramble
