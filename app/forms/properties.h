// The Properties dialog of one entry of the open archive: where it is,
// its date and time, sizes, ratio, CRC and method.
#pragma once

#include <string>

#include "engine/core/entryinfo.h"
#include "engine/core/types.h"
#include "ui/forms.h"
#include "ui/stdctrls.h"

namespace bramble {

class TDovex;

// "mm-dd-yy" and "hh:mm" of a stored time.
std::string PropertiesDate(TDateTime Value);
std::string PropertiesTime(TDateTime Value);

class TfrmProperties : public TForm {
public:
    explicit TfrmProperties(TComponent* AOwner);

    // Fills the values for the entry stored as Name in the lister's
    // archive; every value is empty when the archive has no such entry
    // (or Name is empty: nothing selected).
    void ShowEntry(TDovex& Lister, const std::string& Name);
    // Fills the values from a record of the entry.
    void ShowInfo(const std::string& Archive, const TEntryInfo& Info);
    void ClearValues();

    TLabel* Captions[10];
    // The values beside the captions, in the same order.
    TLabel *Label11, *Label12, *Label13, *Label14, *Label15, *Label16, *Label17, *Label18, *Label19, *Label20;
    TButton* btnClose;

private:
    void FormActivate(TObject* Sender);
    void btnCloseClick(TObject* Sender);
    TLabel* Value(int i) const;
};

extern TfrmProperties* frmProperties;

}  // namespace bramble
