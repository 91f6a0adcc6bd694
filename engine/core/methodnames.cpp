#include <string>

#include "engine/core/zipcommon.h"

namespace bramble {

std::string TZipCommon::DeflateMethodName(uint32_t Flags) {
    switch ((Flags >> 1) & 3) {
        case 3: return "DeflateS";
        case 2: return "DeflateF";
        case 1: return "DeflateX";
        default: return "DeflateN";
    }
}

std::string TZipCommon::CompressMethodName(uint16_t Method, uint32_t Flags) const {
    auto pick = [Method](std::initializer_list<const char*> names) -> std::string {
        return Method < names.size() ? names.begin()[Method] : "Unknown";
    };
    switch (arcType_) {
        case atACE:
        case atAceExe: return pick({"Fastest", "Fast", "Normal", "Good", "Best", "Lzw"});
        case atArc:
        case atArcExe:
            // Flags: the header's method byte.
            switch (Method) {
                case 1: case 2: return "Stored";
                case 3: return "Packed";
                case 4: return "Squeezed";
                case 5: case 6: case 7: return "crunched";
                case 8: return "Crunched";
                case 9: return "Squashed";
                case 10: return "Pack10";
                case 11: return "Pack11";
                case 12: return "Pack12";
                default: return Flags == 30 ? "Dir" : "Unknown";
            }
        case atArj:
        case atArjExe:
            // Flags: the file type.
            if (Method <= 4) return pick({"Stored", "Most", "2nd Most", "2nd Fast", "Fastest"});
            return Flags == 3 ? "Dir" : "Unknown";
        case atBh:
        case atBhExe:
            if (Method == 8) return DeflateMethodName(Flags);
            return pick({"Stored", "Fused", "Deflate"});
        case atCab: {
            // Method: the folder's compression word; its low four bits name it.
            static const char* const names[] = {"Stored", "MsZIP", "Quantum", "Lzx"};
            unsigned m = Method & 0x0F;
            return m < 4 ? names[m] : "Unknown";
        }
        case atGZip:
            // Flags: the signature word.
            if (Method == 0) return "Stored";
            if (Method == 8) return "Deflate";
            if (Method == 144) return "LzwMAGIC";
            if (Flags == 0x1E1F) return "PackMAGIC";
            if (Flags == 0xA01F) return "LzhMAGIC";
            return "Unknown";
        case atHa:
            switch (Method) {
                case 0: return "Cpy";
                case 1: return "Asc";
                case 2: return "HSC";
                case 14: return "Dir";
                case 15: return "Special";
                default: return "";
            }
        case atLha:
        case atLhaExe:
        case atLzh:
        case atLzhExe:
            if (Method == 0) return "Stored";
            if (Method >= 1 && Method <= 6) return "Frozen-" + std::to_string(Method);
            return "Unknown";
        case atPak:
        case atPakExe:
            switch (Method) {
                case 1: case 2: return "Stored";
                case 3: return "RLE";
                case 4: return "Squeezed";
                case 5: case 6: case 7: return "FIXEDLEN";
                case 8: case 9: return "VARIBLE";
                case 10: return "Crushed";
                case 11: return "Distill";
                default: return "Unknown";
            }
        case atRar:
        case atRarExe:
            // Flags: the attributes.
            if (Method >= 0x30 && Method <= 0x35)
                return std::initializer_list<const char*>{"Stored", "Fastest", "Fast", "Normal", "Good",
                                                          "Best"}.begin()[Method - 0x30];
            return (Flags & 0x10) ? "Dir" : "Unknown";
        case atTar: return "Tarred";
        case atZoo: return pick({"Stored", "Fastest", "Greatest"});
        case atJar:
        case atJarExe:
        case atZip:
        case atZipExe:
        case atZipMV:
            // Flags: the general-purpose flags in the low 16 bits, the
            // external attributes' directory bit as 0x10 << 16.
            switch (Method) {
                case 0: return "Stored";
                case 1: return "Shrunk";
                case 2: case 3: case 4: case 5: return "Reduce-" + std::to_string(Method - 1);
                case 6: return "Imploded";
                case 7: return "Tokened";
                case 8: return DeflateMethodName(Flags);
                default: return (Flags & (0x10u << 16)) ? "Dir" : "Unknown";
            }
        default: return "";
    }
}

}  // namespace bramble
