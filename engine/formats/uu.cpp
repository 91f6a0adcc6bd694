#include "engine/formats/uu.h"

namespace bramble {

const char kUuAlphabet[65] = "`!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_";
const char kXxAlphabet[65] = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

std::string UuNextVolumeName(const std::string& Name, int Number, TNextVolumeName Mode, bool LongNames) {
    const std::string number = std::to_string(Number);
    const size_t digits = number.size();
    // Only a dot of the file's own name starts an extension.
    const size_t sep = Name.find_last_of("\\/:");
    size_t dot = Name.rfind('.');
    if (dot != std::string::npos && sep != std::string::npos && dot < sep) dot = std::string::npos;
    const std::string ext = dot == std::string::npos ? std::string() : Name.substr(dot);
    const std::string base = dot == std::string::npos ? Name : Name.substr(0, dot);

    if (Mode == nvChangeExt) {
        if (ext.empty()) return Name + number;
        const size_t keep = digits >= 3 ? 0 : 3 - digits;
        return base + "." + ext.substr(1, keep) + number;
    }
    const size_t fileStart = sep == std::string::npos ? 0 : sep + 1;
    std::string fileBase = base.substr(fileStart);
    if (!LongNames) {
        fileBase.resize(fileBase.size() > digits ? fileBase.size() - digits : 0);
    } else {
        const size_t limit = digits >= 8 ? 0 : 8 - digits;
        if (fileBase.size() > limit) fileBase.resize(limit);
    }
    return base.substr(0, fileStart) + fileBase + number + ext;
}

}  // namespace bramble
