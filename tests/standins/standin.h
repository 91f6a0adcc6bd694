// What the two stand-in libraries share: a file read at offsets, the next
// volume's name, the password check and the scripted faults.
//
// The stand-ins read stored archives that tests/support/libarchives.h
// writes. An encrypted entry's data begins with an 8-byte password check
// (the password, padded with zeros, each byte xor 0xA5) and the rest is the
// plain data xor the password's bytes in turn. An entry whose name starts
// with "FAIL<code>_" makes the processing answer <code>; "BADHDR" makes the
// header read fail.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#define STANDIN_EXPORT extern "C" __declspec(dllexport)
#else
#define STANDIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace standin {

// The engine hands over paths with '\' separators; natively the file
// system wants '/'.
inline std::string NativePath(std::string path) {
#ifndef _WIN32
    for (char& c : path)
        if (c == '\\') c = '/';
#endif
    return path;
}

inline FILE* OpenFile(const std::string& path, const char* mode) { return std::fopen(NativePath(path).c_str(), mode); }

class File {
public:
    bool Open(const std::string& path) {
        Close();
        f_ = OpenFile(path, "rb");
        return f_ != nullptr;
    }
    void Close() {
        if (f_) std::fclose(f_);
        f_ = nullptr;
    }
    ~File() { Close(); }
    int64_t ReadAt(int64_t offset, void* buffer, int64_t count) {
        if (!f_ || offset < 0 || count <= 0) return 0;
#ifdef _WIN32
        if (_fseeki64(f_, offset, SEEK_SET) != 0) return 0;
#else
        if (fseeko(f_, offset, SEEK_SET) != 0) return 0;
#endif
        return static_cast<int64_t>(std::fread(buffer, 1, static_cast<size_t>(count), f_));
    }

private:
    FILE* f_ = nullptr;
};

// Closes an output file on every way out.
struct Output {
    FILE* f;
    explicit Output(FILE* file) : f(file) {}
    ~Output() {
        if (f) std::fclose(f);
    }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
};

inline void SetAttributes(const char* path, uint32_t attr) {
#ifdef _WIN32
    SetFileAttributesA(path, attr);
#else
    (void)path;
    (void)attr;
#endif
}

inline bool Exists(const std::string& path) {
    FILE* f = OpenFile(path, "rb");
    if (f) std::fclose(f);
    return f != nullptr;
}

// x.rar -> x.r00 -> x.r01 (Letter 'r'); x.ace -> x.C00 (Letter 'C').
inline std::string NextVolume(const std::string& path, char letter) {
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.size() - dot != 4) return path + ".00";
    const std::string ext = path.substr(dot + 1);
    int n = -1;
    if (std::tolower(static_cast<unsigned char>(ext[0])) == std::tolower(static_cast<unsigned char>(letter)) && ext[1] >= '0' && ext[1] <= '9' && ext[2] >= '0' &&
        ext[2] <= '9')
        n = (ext[1] - '0') * 10 + (ext[2] - '0');
    char buf[16];  // room for any int, though only 00..99 is ever written
    std::snprintf(buf, sizeof buf, "%c%02d", letter, (n + 1) % 100);
    return path.substr(0, dot + 1) + buf;
}

inline bool PasswordMatches(const uint8_t* check, const std::string& password) {
    for (size_t i = 0; i < 8; ++i) {
        const uint8_t p = i < password.size() ? static_cast<uint8_t>(password[i]) : 0;
        if (check[i] != (p ^ 0xA5)) return false;
    }
    return !password.empty();
}

inline void Decipher(uint8_t* data, size_t count, const std::string& password, size_t& at) {
    if (password.empty()) return;
    for (size_t i = 0; i < count; ++i, ++at) data[i] ^= static_cast<uint8_t>(password[at % password.size()]);
}

// The code a scripted name asks for, 0 for none.
inline int ScriptedFault(const std::string& name) {
    const size_t slash = name.find_last_of("\\/");
    const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    if (base.rfind("FAIL", 0) != 0) return 0;
    return std::atoi(base.c_str() + 4);
}

inline bool BadHeader(const std::string& name) { return name.rfind("BADHDR", 0) == 0; }

inline void CopyName(char* out, size_t size, const std::string& s) {
    const size_t n = std::min(s.size(), size - 1);
    std::memcpy(out, s.data(), n);
    out[n] = '\0';
}

}  // namespace standin
