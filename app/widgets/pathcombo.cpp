#include "app/widgets/pathcombo.h"

namespace bramble {

std::vector<TPathRow> PathComboRows(const std::string&, DWORD, const std::string&, int& Selected) {
    Selected = -1;
    return {};
}
bool NormalizeComboPath(const std::string& Path, std::string& Out) {
    Out = Path;
    return true;
}

TPathComboBox::TPathComboBox(TComponent* AOwner) : TComboBox(AOwner) { SetStyle(csOwnerDrawFixed); }
TPathComboBox::~TPathComboBox() = default;
void TPathComboBox::SetPath(const std::string& Path) { path_ = Path; }
void TPathComboBox::Rebuild() {}
void TPathComboBox::Click() { TComboBox::Click(); }
void TPathComboBox::WndProc(TMessage& Message) { TComboBox::WndProc(Message); }
void TPathComboBox::CreateWnd() { TComboBox::CreateWnd(); }
void TPathComboBox::DrawItem(int Index, TRect Rect, TOwnerDrawState State) {
    TComboBox::DrawItem(Index, Rect, State);
}
void TPathComboBox::KeyPress(char& Key) { TComboBox::KeyPress(Key); }
void TPathComboBox::FontChanged() { TComboBox::FontChanged(); }
const TPathComboBox::TRowLook& TPathComboBox::LookOf(int Index) { return looks_.at(static_cast<size_t>(Index)); }
void TPathComboBox::UpdateRowHeight() {}

}  // namespace bramble
