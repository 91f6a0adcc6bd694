#include "app/forms/properties.h"

#include <cstdio>

#include "app/forms/main.h"
#include "app/widgets/mrulist.h"
#include "engine/core/helpers.h"
#include "engine/lister/dovex.h"

namespace bramble {

TfrmProperties* frmProperties = nullptr;

std::string PropertiesDate(TDateTime Value) {
    int y, mo, d, h, mi, s;
    DecodeDateTime(Value, y, mo, d, h, mi, s);
    char b[16];
    std::snprintf(b, sizeof b, "%02d-%02d-%02d", mo, d, ((y % 100) + 100) % 100);
    return b;
}

std::string PropertiesTime(TDateTime Value) {
    int y, mo, d, h, mi, s;
    DecodeDateTime(Value, y, mo, d, h, mi, s);
    char b[16];
    std::snprintf(b, sizeof b, "%02d:%02d", h, mi);
    return b;
}

TfrmProperties::TfrmProperties(TComponent* AOwner) : TForm(AOwner) {
    SetName("frmProperties");
    SetCaption("Properties");
    SetBorderStyle(bsDialog);
    SetBorderIcons({biSystemMenu});
    SetPosition(poDesigned);
    SetClientSize(440, 272);
    Font().SetName("MS Sans Serif");

    static const char* const captions[10] = {"Archive:", "Filename:", "Date:", "Time:", "Packed:",
                                             "Unpacked:", "Ratio:", "Crc:", "CompressionMethod:",
                                             "CompressionMethod:"};
    TLabel** values[10] = {&Label11, &Label12, &Label13, &Label14, &Label15,
                           &Label16, &Label17, &Label18, &Label19, &Label20};
    for (int i = 0; i < 10; ++i) {
        const int top = 12 + i * 21;
        auto* c = new TLabel(this);
        c->SetName("Label" + std::to_string(i + 1));
        c->SetParent(this);
        c->SetAutoSize(false);
        c->SetBounds(8, top, 132, 16);
        c->SetAlignment(taRightJustify);
        c->SetCaption(captions[i]);
        Captions[i] = c;
        auto* v = new TLabel(this);
        v->SetName("Label" + std::to_string(i + 11));
        v->SetParent(this);
        v->SetAutoSize(false);
        v->SetShowAccelChar(false);
        v->SetBounds(146, top, 282, 16);
        v->SetCaption("");
        *values[i] = v;
    }

    btnClose = new TButton(this);
    btnClose->SetName("btnClose");
    btnClose->SetParent(this);
    btnClose->SetBounds(180, 232, 80, 25);
    btnClose->SetCaption("Close");
    btnClose->SetDefault(true);
    btnClose->SetCancel(true);
    btnClose->SetModalResult(mrOk);
    btnClose->SetTabOrder(0);
    btnClose->OnClick = [this](TObject* s) { btnCloseClick(s); };
    SetActiveControl(btnClose);

    OnActivate = [this](TObject* s) { FormActivate(s); };
}

TLabel* TfrmProperties::Value(int i) const {
    TLabel* const v[10] = {Label11, Label12, Label13, Label14, Label15, Label16, Label17, Label18, Label19, Label20};
    return v[i];
}

void TfrmProperties::ClearValues() {
    for (int i = 0; i < 10; ++i) Value(i)->SetCaption("");
}

void TfrmProperties::ShowInfo(const std::string& Archive, const TEntryInfo& Info) {
    char crc[16];
    std::snprintf(crc, sizeof crc, "%X", static_cast<unsigned>(Info.CRC));
    const std::string texts[10] = {Archive,
                                   Info.FileName,
                                   PropertiesDate(Info.DateTime),
                                   PropertiesTime(Info.DateTime),
                                   std::to_string(Info.PackedSize),
                                   std::to_string(Info.UnpackedSize),
                                   std::to_string(Info.Ratio) + "%",
                                   crc,
                                   Info.MethodName,
                                   std::to_string(Info.MethodCode)};
    for (int i = 0; i < 10; ++i) Value(i)->SetCaption(texts[i]);
    // A deep archive path keeps its drive and file name in sight.
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, Label11->Font().Handle());
    auto measure = [dc](const std::string& t) {
        SIZE sz{};
        GetTextExtentPoint32A(dc, t.c_str(), static_cast<int>(t.size()), &sz);
        return static_cast<int>(sz.cx);
    };
    Label11->SetCaption(MinimizeName(Archive, Label11->Width(), measure));
    Label11->SetHint(Archive);
    SelectObject(dc, old);
    DeleteDC(dc);
}

void TfrmProperties::ShowEntry(TDovex& Lister, const std::string& Name) {
    // Whatever the lister held before belongs to another entry: a name it
    // cannot find shows nothing rather than that.
    if (Name.empty() || !Lister.FindEntryInfo(Name)) {
        ClearValues();
        return;
    }
    ShowInfo(Lister.ArchiveFile(), Lister.EntryInfo);
}

void TfrmProperties::FormActivate(TObject*) {
    const std::string name = frmMain ? frmMain->PropertiesEntryName() : std::string();
    if (frmMain && frmMain->Dovex1)
        ShowEntry(*frmMain->Dovex1, name);
    else
        ClearValues();
}

void TfrmProperties::btnCloseClick(TObject*) { SetModalResult(mrOk); }

}  // namespace bramble
