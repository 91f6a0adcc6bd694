#include "app/widgets/mrulist.h"

#include <algorithm>
#include <cctype>

#include "app/widgets/texts.h"
#include "engine/core/helpers.h"
#include "ui/forms.h"
#include "ui/registry.h"

namespace bramble {

namespace {

constexpr UINT WM_MRUREBUILD = WM_APP + 0x61;

// By the platform's rules of the user's code page, so "Ärger.zip" is
// "ärger.zip" as the file system sees it.
bool SameName(const std::string& a, const std::string& b) {
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

std::string StripLeadingBackslash(std::string s) {
    while (!s.empty() && s.front() == '\\') s.erase(0, 1);
    return s;
}

// "F<digits>" gives its number; anything else is not one of ours.
bool EntryNumber(const std::string& Name, unsigned long& N) {
    if (Name.size() < 2 || (Name[0] != 'F' && Name[0] != 'f') || Name.size() > 10) return false;
    N = 0;
    for (size_t i = 1; i < Name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(Name[i]))) return false;
        N = N * 10 + static_cast<unsigned long>(Name[i] - '0');
    }
    return true;
}

// The menu font in a memory DC, made on first use and kept for the run.
struct MenuFontDC {
    HDC dc = nullptr;
    HFONT font = nullptr;
    HGDIOBJ old = nullptr;
    MenuFontDC() {
        dc = CreateCompatibleDC(nullptr);
        NONCLIENTMETRICSA m{};
        m.cbSize = sizeof m;
        if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0)) font = CreateFontIndirectA(&m.lfMenuFont);
        if (dc && font) old = SelectObject(dc, font);
    }
    ~MenuFontDC() {
        if (dc && old) SelectObject(dc, old);
        if (font) DeleteObject(font);
        if (dc) DeleteDC(dc);
    }
};

}  // namespace

int MenuTextWidth(const std::string& Text) {
    static MenuFontDC m;
    SIZE s{};
    if (!m.dc || !GetTextExtentPoint32A(m.dc, Text.c_str(), static_cast<int>(Text.size()), &s)) return 0;
    return s.cx;
}

std::string EscapeAmpersands(const std::string& Text) {
    std::string out;
    for (char c : Text) {
        out += c;
        if (c == '&') out += '&';
    }
    return out;
}

std::string MinimizeName(const std::string& FileName, int MaxWidth,
                         const std::function<int(const std::string&)>& Measure) {
    if (Measure(FileName) <= MaxWidth) return FileName;
    // Drive ("C:" or "\\server\share"), the folders between, the name.
    std::string drive, rest = FileName;
    if (rest.size() >= 2 && rest[1] == ':') {
        drive = rest.substr(0, 2);
        rest = rest.substr(2);
    } else if (rest.rfind("\\\\", 0) == 0) {
        size_t server = rest.find('\\', 2);
        size_t share = server == std::string::npos ? std::string::npos : rest.find('\\', server + 1);
        if (share != std::string::npos) {
            drive = rest.substr(0, share);
            rest = rest.substr(share);
        }
    }
    std::vector<std::string> folders;
    std::string name;
    {
        size_t start = 0;
        if (!rest.empty() && rest[0] == '\\') start = 1;
        for (;;) {
            size_t sep = rest.find('\\', start);
            if (sep == std::string::npos) {
                name = rest.substr(start);
                break;
            }
            folders.push_back(rest.substr(start, sep - start));
            start = sep + 1;
        }
    }
    for (size_t skip = 1; skip <= folders.size(); ++skip) {
        std::string s = drive + "\\...";
        for (size_t i = skip; i < folders.size(); ++i) s += "\\" + folders[i];
        s += "\\" + name;
        if (Measure(s) <= MaxWidth) return s;
    }
    std::string s = "...\\" + name;
    if (Measure(s) <= MaxWidth) return s;
    return name;
}

// ---- TMRUMenuItem -----------------------------------------------------------------------

TMRUMenuItem::TMRUMenuItem(TMRUFileList* List, int Index, const std::string& File, const std::string& Full)
    : TMenuItem(List), list_(List), index_(Index), file_(File), fullCaption_(Full) {}

TMRUMenuItem::~TMRUMenuItem() {
    if (list_) list_->DoDestroyMRUItem(this);
}

// ---- TMRUFileList -----------------------------------------------------------------------

TMRUFileList::TMRUFileList(TComponent* AOwner)
    : TComponent(AOwner),
      submenuName_(WidgetText(SMRUSubmenuName)),
      clearItemName_(WidgetText(SMRUClearItemName)),
      removeObsoleteName_(WidgetText(SMRURemoveObsoleteName)) {
    window_ = AllocateHWnd([this](TMessage& M) {
        if (M.Msg == WM_MRUREBUILD) {
            CallGuarded(this, [&] { PostedRebuild(); });
            return;
        }
        M.Result = DefWindowProcA(window_, M.Msg, M.WParam, M.LParam);
    });
}

TMRUFileList::~TMRUFileList() {
    if (autoSave_ && !ComponentState().contains(csDesigning)) {
        try {
            Save();
        } catch (...) {
            // Storage errors are not reported.
        }
    }
    RemoveMenuItems();
    if (window_) DeallocateHWnd(window_);
    // Items left in menus of other owners forget this list.
    for (int i = ComponentCount() - 1; i >= 0; --i)
        if (auto* m = dynamic_cast<TMRUMenuItem*>(Components(i))) m->list_ = nullptr;
    if (fileMenu_) fileMenu_->RemoveFreeNotification(this);
    if (popupMenu_) popupMenu_->RemoveFreeNotification(this);
}

void TMRUFileList::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    if (AComponent == fileMenu_) fileMenu_ = nullptr;
    if (AComponent == popupMenu_) popupMenu_ = nullptr;
}

void TMRUFileList::AddItem(const std::string& FileName) {
    if (FileName.empty()) return;
    auto it = std::find_if(items_.begin(), items_.end(), [&](const std::string& s) { return SameName(s, FileName); });
    if (it == items_.end()) {
        if (addToTop_)
            items_.insert(items_.begin(), FileName);
        else
            items_.push_back(FileName);
        while (static_cast<int>(items_.size()) > maximum_) {
            if (addToTop_)
                items_.pop_back();
            else
                items_.erase(items_.begin());
        }
    } else {
        std::string keep = *it;
        items_.erase(it);
        if (addToTop_)
            items_.insert(items_.begin(), keep);
        else
            items_.push_back(keep);
    }
    if (updating_ == 0) RequestRebuild();
}

void TMRUFileList::EndUpdate() {
    if (updating_ > 0 && --updating_ == 0) RequestRebuild();
}

void TMRUFileList::Clear() {
    items_.clear();
    // Run from the list's own clear item, the items go once its click is
    // over: an item may not be freed inside its own handler.
    if (clicking_ > 0)
        RequestRebuild();
    else
        RemoveMenuItems();
}

void TMRUFileList::RemoveObsolete() {
    bool removed = false;
    // A floppy drive without a disk or a lost network drive must not bring
    // up the system's "not ready" box for every entry.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    for (int i = static_cast<int>(items_.size()) - 1; i >= 0; --i) {
        bool remove = false;
        if (OnRemoveObsolete)
            DoRemoveObsolete(items_[static_cast<size_t>(i)], remove);
        else
            remove = GetFileAttributesA(items_[static_cast<size_t>(i)].c_str()) == INVALID_FILE_ATTRIBUTES;
        if (remove) {
            items_.erase(items_.begin() + i);
            removed = true;
        }
    }
    SetErrorMode(oldMode);
    if (removed) RequestRebuild();
}

void TMRUFileList::SetMaximum(uint8_t v) {
    if (v < maximum_) {
        bool cut = false;
        while (static_cast<int>(items_.size()) > v) {
            if (addToTop_)
                items_.pop_back();
            else
                items_.erase(items_.begin());
            cut = true;
        }
        if (cut) RequestRebuild();
    }
    maximum_ = v;
}

void TMRUFileList::SetUseSubmenu(bool v) {
    if (v == useSubmenu_) return;
    useSubmenu_ = v;
    RequestRebuild();
}

void TMRUFileList::SetInsertSeparator(bool v) {
    if (v == insertSeparator_) return;
    insertSeparator_ = v;
    RequestRebuild();
}

void TMRUFileList::SetSubmenuName(const std::string& v) {
    if (v == submenuName_) return;
    submenuName_ = v;
    if (useSubmenu_) RequestRebuild();
}

void TMRUFileList::SetMaxCaptionWidth(int v) {
    if (v == maxCaptionWidth_) return;
    maxCaptionWidth_ = v;
    RequestRebuild();
}

void TMRUFileList::SetFileMenu(TMenuItem* v) {
    RemoveMenuItems();
    if (fileMenu_) fileMenu_->RemoveFreeNotification(this);
    fileMenu_ = v;
    if (v) v->FreeNotification(this);
    RequestRebuild();
}

void TMRUFileList::SetPopupMenu(TPopupMenu* v) {
    RemoveMenuItems();
    if (popupMenu_) popupMenu_->RemoveFreeNotification(this);
    popupMenu_ = v;
    if (v) v->FreeNotification(this);
    RequestRebuild();
}

void TMRUFileList::StorageChanged() {
    if (!autoSave_ || ComponentState().contains(csDesigning)) return;
    Clear();
    Load();
}

void TMRUFileList::SetAutoSaveName(const std::string& v) {
    if (v == autoSaveName_) return;
    autoSaveName_ = v;
    StorageChanged();
}

void TMRUFileList::SetAutoSaveKey(const std::string& v) {
    if (v == autoSaveKey_) return;
    autoSaveKey_ = v;
    StorageChanged();
}

void TMRUFileList::SetAutoSaveRootKey(TRootKey v) {
    rootKey_ = v;
    StorageChanged();
}

void TMRUFileList::SetMRUDisplay(TMRUDisplay v) {
    display_ = v;
    StorageChanged();
}

HKEY TMRUFileList::RootHandle() const {
    switch (rootKey_) {
        case rkClassesRoot: return HKEY_CLASSES_ROOT;
        case rkLocalMachine: return HKEY_LOCAL_MACHINE;
        case rkUsers: return HKEY_USERS;
        case rkCurrentConfig: return HKEY_CURRENT_CONFIG;
        case rkDynData: return HKEY_DYN_DATA;
        case rkCurrentUser: break;
    }
    return HKEY_CURRENT_USER;
}

std::string TMRUFileList::KeyPath() const {
    std::string name = StripLeadingBackslash(autoSaveName_);
    while (!name.empty() && name.back() == '\\') name.pop_back();
    return name + "\\" + StripLeadingBackslash(autoSaveKey_);
}

void TMRUFileList::Load() {
    if (autoSaveName_.empty() || autoSaveKey_.empty()) return;
    // The section as name=value lines, in the order the store lists them.
    std::vector<std::string> lines;
    if (useRegistry_) {
        TRegistry reg;
        reg.SetRootKey(RootHandle());
        std::string name = StripLeadingBackslash(autoSaveName_);
        while (!name.empty() && name.back() == '\\') name.pop_back();
        if (reg.OpenKey(name, true)) {
            reg.CloseKey();
            if (reg.OpenKeyReadOnly(KeyPath())) {
                TStringList names;
                reg.GetValueNames(names);
                for (int i = 0; i < names.Count(); ++i) {
                    try {
                        if (reg.GetDataType(names[i]) == rdString)
                            lines.push_back(names[i] + "=" + reg.ReadString(names[i]));
                    } catch (...) {
                    }
                }
            }
        }
    } else {
        std::string buffer(32768, '\0');
        DWORD got = GetPrivateProfileSectionA(StripLeadingBackslash(autoSaveKey_).c_str(), buffer.data(),
                                              static_cast<DWORD>(buffer.size()), autoSaveName_.c_str());
        buffer.resize(got);
        size_t pos = 0;
        while (pos < buffer.size()) {
            size_t end = buffer.find('\0', pos);
            if (end == std::string::npos) end = buffer.size();
            lines.push_back(buffer.substr(pos, end - pos));
            pos = end + 1;
        }
    }
    // The list was saved as F0, F1, ...: those go back in their order,
    // whatever order the store lists them in; anything else follows as
    // listed.
    std::vector<std::pair<unsigned long, std::string>> found;
    for (const std::string& line : lines) {
        const size_t eq = line.find('=');
        unsigned long n = 0;
        if (eq == std::string::npos || !EntryNumber(line.substr(0, eq), n)) n = ~0ul;
        found.emplace_back(n, eq == std::string::npos ? line : line.substr(eq + 1));
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    items_.clear();
    for (auto& f : found) items_.push_back(std::move(f.second));
    RequestRebuild();
}

void TMRUFileList::Save() {
    if (autoSaveName_.empty() || autoSaveKey_.empty()) return;
    if (useRegistry_) {
        TRegistry reg;
        reg.SetRootKey(RootHandle());
        const std::string path = KeyPath();
        reg.DeleteKey(path);
        if (!reg.OpenKey(path, true)) return;
        try {
            for (size_t i = 0; i < items_.size(); ++i) reg.WriteString("F" + std::to_string(i), items_[i]);
        } catch (...) {
        }
    } else {
        const std::string section = StripLeadingBackslash(autoSaveKey_);
        WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, autoSaveName_.c_str());
        for (size_t i = 0; i < items_.size(); ++i)
            WritePrivateProfileStringA(section.c_str(), ("F" + std::to_string(i)).c_str(), items_[i].c_str(),
                                       autoSaveName_.c_str());
    }
}

void TMRUFileList::RemoveFrom(TMenuItem* Parent) {
    if (!Parent) return;
    for (int i = Parent->Count() - 1; i >= 0; --i) {
        auto* m = dynamic_cast<TMRUMenuItem*>(Parent->Items(i));
        if (m && m->list_ == this) delete m;
    }
}

void TMRUFileList::RemoveMenuItems() {
    if (fileMenu_) RemoveFrom(fileMenu_->Count() > 0 ? fileMenu_ : fileMenu_->Parent());
    if (popupMenu_) RemoveFrom(popupMenu_->Items());
}

TMRUMenuItem* TMRUFileList::NewItem(int Index, const std::string& File, const std::string& Full) {
    auto* m = new TMRUMenuItem(this, Index, File, Full);
    m->SetCaption(Full);
    return m;
}

std::string TMRUFileList::EntryCaption(int N, const std::string& File) {
    const std::string number = "&" + std::to_string(N) + " ";
    const std::string full = number + EscapeAmpersands(File);
    switch (display_) {
        case mdFullPath:
            if (maxCaptionWidth_ <= 0) return full;
            return number + EscapeAmpersands(MinimizeName(File, maxCaptionWidth_, MenuTextWidth));
        case mdFileNameExt: return EscapeAmpersands(ExtractFileName(File));
        case mdFileNameOnly: return EscapeAmpersands(ChangeFileExt(ExtractFileName(File), ""));
        case mdCustom: {
            std::string display = full;
            DoGetDisplayName(File, display);
            return display;
        }
    }
    return full;
}

void TMRUFileList::RequestRebuild() {
    if (clicking_ > 0) {
        // The clicked item is still running its handler: the rebuild is
        // posted once the click is over (a message loop that runs inside
        // the handler must not see it yet, nor keep seeing it again).
        rebuildPending_ = true;
        return;
    }
    RebuildMenu();
}

void TMRUFileList::ClickDone() {
    if (--clicking_ > 0 || !rebuildPending_) return;
    rebuildPending_ = false;
    if (window_ && !rebuildPosted_) {
        rebuildPosted_ = true;
        PostMessageA(window_, WM_MRUREBUILD, 0, 0);
    }
}

void TMRUFileList::PostedRebuild() {
    rebuildPosted_ = false;
    if (clicking_ > 0) {
        rebuildPending_ = true;
        return;
    }
    RebuildMenu();
}

void TMRUFileList::RebuildMenu() {
    if (!fileMenu_ && !popupMenu_) return;
    RemoveMenuItems();
    if (items_.empty()) return;
    auto fill = [&](TMenuItem* Target, int Pos) {
        for (size_t i = 0; i < items_.size(); ++i) {
            const int n = static_cast<int>(i) + 1;
            TMRUMenuItem* m = NewItem(n, items_[i], "&" + std::to_string(n) + " " + items_[i]);
            m->SetCaption(EntryCaption(n, items_[i]));
            m->OnClick = [this, m](TObject*) { MRUItemClick(m); };
            Target->Insert(Pos++, m);
            DoCreateMRUItem(m);
        }
        return Pos;
    };
    if (fileMenu_) {
        TMenuItem* target;
        int pos;
        if (fileMenu_->Count() > 0) {
            target = fileMenu_;
            pos = fileMenu_->Count();
        } else {
            target = fileMenu_->Parent();
            pos = target ? target->IndexOf(fileMenu_) : 0;
        }
        if (target) {
            if (insertSeparator_) {
                TMRUMenuItem* sep = NewItem(0, "", "-");
                target->Insert(pos++, sep);
                DoCreateMRUItem(sep);
            }
            if (useSubmenu_) {
                TMRUMenuItem* sub = NewItem(0, "", submenuName_);
                target->Insert(pos++, sub);
                DoCreateMRUItem(sub);
                target = sub;
                pos = 0;
            }
            pos = fill(target, pos);
            if (showClearItem_ || showRemoveObsolete_) {
                TMRUMenuItem* sep = NewItem(0, "", "-");
                target->Insert(pos++, sep);
                DoCreateMRUItem(sep);
            }
            if (showClearItem_) {
                TMRUMenuItem* c =
                    NewItem(0, "", clearItemName_.empty() ? WidgetText(SMRUClearItemName) : clearItemName_);
                c->OnClick = [this](TObject*) {
                    ++clicking_;
                    try {
                        Clear();
                    } catch (...) {
                        ClickDone();
                        throw;
                    }
                    ClickDone();
                };
                target->Insert(pos++, c);
                DoCreateMRUItem(c);
            }
            if (showRemoveObsolete_) {
                TMRUMenuItem* r =
                    NewItem(0, "", removeObsoleteName_.empty() ? WidgetText(SMRURemoveObsoleteName) : removeObsoleteName_);
                r->OnClick = [this](TObject*) {
                    ++clicking_;
                    try {
                        RemoveObsolete();
                    } catch (...) {
                        ClickDone();
                        throw;
                    }
                    ClickDone();
                };
                target->Insert(pos++, r);
                DoCreateMRUItem(r);
            }
        }
    }
    if (popupMenu_) fill(popupMenu_->Items(), 0);
}

void TMRUFileList::MRUItemClick(TMRUMenuItem* Item) {
    if (!Item || Item->MRUIndex() < 1 || Item->MRUIndex() > static_cast<int>(items_.size())) return;
    const std::string file = Item->FileName();
    ++clicking_;
    struct Done {
        TMRUFileList& l;
        ~Done() { l.ClickDone(); }
    } done{*this};
    if (removeOnClick_) {
        auto it = std::find_if(items_.begin(), items_.end(), [&](const std::string& s) { return SameName(s, file); });
        if (it != items_.end()) {
            items_.erase(it);
            RequestRebuild();
        }
    }
    DoMRUItemClick(OnMRUItemClick ? file : std::string());
}

void TMRUFileList::DoGetDisplayName(const std::string& AFilename, std::string& ADisplayName) {
    if (OnGetDisplayName) OnGetDisplayName(this, AFilename, ADisplayName);
}

void TMRUFileList::DoRemoveObsolete(const std::string& AnItem, bool& Remove) {
    if (OnRemoveObsolete) OnRemoveObsolete(this, AnItem, Remove);
}

void TMRUFileList::DoMRUItemClick(const std::string& AFilename) {
    if (OnMRUItemClick) OnMRUItemClick(this, AFilename);
}

void TMRUFileList::DoCreateMRUItem(TMRUMenuItem* Item) {
    if (OnCreateMRUItem) OnCreateMRUItem(this, Item);
}

void TMRUFileList::DoDestroyMRUItem(TMRUMenuItem* Item) {
    if (OnDestroyMRUItem) OnDestroyMRUItem(this, Item);
}

}  // namespace bramble
