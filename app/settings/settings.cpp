#include "app/settings/settings.h"

#include <charconv>
#include <climits>

#include "ui/registry.h"

namespace bramble {

namespace {

char date_separator = '/';

// Each reader leaves the field alone unless the value is there, of the
// right type and acceptable; a half-written or hand-edited key must not
// cost the user the rest of the settings.
void ReadInt(TRegistry& R, const char* Name, int& Field, int Min = INT_MIN, int Max = INT_MAX) {
    if (R.GetDataType(Name) != rdInteger) return;
    int v = R.ReadIntegerDef(Name, Field);
    if (v >= Min && v <= Max) Field = v;
}

void ReadBool(TRegistry& R, const char* Name, bool& Field) {
    if (R.GetDataType(Name) != rdInteger) return;
    Field = R.ReadBoolDef(Name, Field);
}

void ReadStr(TRegistry& R, const char* Name, std::string& Field) { Field = R.ReadStringDef(Name, Field); }

void ReadPos(TRegistry& R, TSettings& S) {
    ReadBool(R, "tbFlat", S.tbFlat);
    ReadBool(R, "tbTips", S.tbTips);
    ReadBool(R, "tbText", S.tbText);
    ReadInt(R, "FLeft", S.FLeft);
    ReadInt(R, "FTop", S.FTop);
    ReadInt(R, "FWidth", S.FWidth, 1);
    ReadInt(R, "FHeight", S.FHeight, 1);
    int state = S.FState;
    ReadInt(R, "FState", state);
    S.FState = state == 1 ? 1 : 0;
    ReadInt(R, "mnuDock", S.mnuDock, 0, 4);
    ReadInt(R, "mnuDockRow", S.mnuDockRow);
    ReadInt(R, "mnuLeft", S.mnuLeft);
    ReadInt(R, "mnuTop", S.mnuTop);
    ReadInt(R, "tbDock", S.tbDock, 0, 4);
    ReadInt(R, "tbDockRow", S.tbDockRow);
    ReadInt(R, "tbLeft", S.tbLeft);
    ReadInt(R, "tbTop", S.tbTop);
    ReadBool(R, "tbVisible", S.tbVisible);
    ReadInt(R, "MsgDock", S.MsgDock, 0, 2);
    ReadInt(R, "MsgDockRow", S.MsgDockRow);
    ReadInt(R, "MsgLeft", S.MsgLeft);
    ReadInt(R, "MsgTop", S.MsgTop);
    ReadBool(R, "MsgVisible", S.MsgVisible);
    ReadInt(R, "MsgWidth", S.MsgWidth, 1);
    ReadInt(R, "MsgHeight", S.MsgHeight, 1);
}

void ReadOptions(TRegistry& R, TSettings& S) {
    ReadBool(R, "OnTop", S.OnTop);
    ReadStr(R, "tmpDir", S.tmpDir);
    ReadStr(R, "LastOpenFolder", S.LastOpenFolder);
    ReadBool(R, "BlankDirs", S.BlankDirs);
    ReadInt(R, "ViewStyle", S.ViewStyle, 0, 3);
    ReadBool(R, "RowSelect", S.RowSelect);
    ReadBool(R, "ShowGrid", S.ShowGrid);
    if (R.GetDataType("Columns") == rdString) ParseColumns(R.ReadStringDef("Columns", ""), S.Columns);
    ReadStr(R, "Viewer", S.Viewer);
    ReadBool(R, "StartDefault", S.StartDefault);
    ReadBool(R, "StartLast", S.StartLast);
    ReadBool(R, "StartOther", S.StartOther);
    ReadStr(R, "StartupFolder", S.StartupFolder);
    ReadStr(R, "DefaultCheck", S.DefaultCheck);
    ReadBool(R, "RestoreFolders", S.RestoreFolders);
}

void WritePos(TRegistry& R, const TSettings& S) {
    if (S.FState == 1) {
        R.WriteInteger("FState", 1);
    } else {
        R.WriteInteger("FLeft", S.FLeft);
        R.WriteInteger("FTop", S.FTop);
        R.WriteInteger("FWidth", S.FWidth);
        R.WriteInteger("FHeight", S.FHeight);
        R.WriteInteger("FState", 0);
    }
    R.WriteInteger("mnuDock", S.mnuDock);
    R.WriteInteger("mnuDockRow", S.mnuDockRow);
    R.WriteInteger("mnuLeft", S.mnuLeft);
    R.WriteInteger("mnuTop", S.mnuTop);
    R.WriteInteger("tbDock", S.tbDock);
    R.WriteInteger("tbDockRow", S.tbDockRow);
    R.WriteInteger("tbLeft", S.tbLeft);
    R.WriteInteger("tbTop", S.tbTop);
    R.WriteBool("tbVisible", S.tbVisible);
    if (S.MsgDock >= 0 && S.MsgDock <= 2) R.WriteInteger("MsgDock", S.MsgDock);
    R.WriteInteger("MsgDockRow", S.MsgDockRow);
    R.WriteInteger("MsgLeft", S.MsgLeft);
    R.WriteInteger("MsgTop", S.MsgTop);
    R.WriteBool("MsgVisible", S.MsgVisible);
    R.WriteInteger("MsgWidth", S.MsgWidth);
    R.WriteInteger("MsgHeight", S.MsgHeight);
    R.WriteBool("tbFlat", S.tbFlat);
    R.WriteBool("tbTips", S.tbTips);
    R.WriteBool("tbText", S.tbText);
}

void WriteOptions(TRegistry& R, const TSettings& S) {
    R.WriteString("LastOpenFolder", S.LastOpenFolder);
    R.WriteInteger("ViewStyle", S.ViewStyle);
    R.WriteBool("RowSelect", S.RowSelect);
    R.WriteBool("ShowGrid", S.ShowGrid);
    R.WriteBool("BlankDirs", S.BlankDirs);
    R.WriteString("Columns", FormatColumns(S.Columns));
}

}  // namespace

void ReadSettings(TSettings& S) {
    TRegistry reg;
    S.PosFound = reg.OpenKeyReadOnly(SettingsPosKey);
    if (S.PosFound) ReadPos(reg, S);
    reg.CloseKey();
    S.OptionsFound = reg.OpenKeyReadOnly(SettingsOptionsKey);
    if (S.OptionsFound) ReadOptions(reg, S);
}

void WriteSettings(const TSettings& S) {
    TRegistry reg;
    // A failed write leaves the rest of its key unwritten but still tries
    // the other key.
    try {
        if (reg.OpenKey(SettingsPosKey, true)) WritePos(reg, S);
    } catch (const ERegistryException&) {
    }
    reg.CloseKey();
    try {
        if (reg.OpenKey(SettingsOptionsKey, true)) WriteOptions(reg, S);
    } catch (const ERegistryException&) {
    }
}

void WriteDefaultCheck(const std::string& Value) {
    TRegistry reg;
    try {
        if (reg.OpenKey(SettingsOptionsKey, true)) reg.WriteString("DefaultCheck", Value);
    } catch (const ERegistryException&) {
    }
}

std::vector<std::string> ReadMRUExtract() {
    std::vector<std::string> folders;
    TRegistry reg;
    if (!reg.OpenKeyReadOnly(SettingsMRUExtractKey)) return folders;
    for (int i = 0; i < 10; ++i) {
        std::string v = reg.ReadStringDef("H" + std::to_string(i), "");
        if (v.empty()) break;
        folders.push_back(std::move(v));
    }
    return folders;
}

void ParseColumns(const std::string& Text, std::array<int, SettingsColumnCount>& Widths) {
    size_t pos = 0;
    for (int i = 0; i < SettingsColumnCount && pos < Text.size(); ++i) {
        size_t comma = Text.find(',', pos);
        size_t end = comma == std::string::npos ? Text.size() : comma;
        size_t b = pos, e = end;
        while (b < e && Text[b] == ' ') ++b;
        while (e > b && Text[e - 1] == ' ') --e;
        int v = 0;
        auto [ptr, ec] = std::from_chars(Text.data() + b, Text.data() + e, v);
        if (b < e && ec == std::errc() && ptr == Text.data() + e && v >= 0 && v <= 32767) Widths[i] = v;
        pos = comma == std::string::npos ? Text.size() : comma + 1;
    }
}

std::string FormatColumns(const std::array<int, SettingsColumnCount>& Widths) {
    std::string s;
    for (int w : Widths) s += std::to_string(w) + ",";
    return s;
}

char DateSeparator() { return date_separator; }

void SetDateSeparator(char C) { date_separator = C; }

}  // namespace bramble
