// Writes small stored RAR (format 1.5 to 4 layout) and ACE archives for the
// tests of the library-bound readers, in the shapes our walks read and the
// stand-in libraries (tests/standins) process. An encrypted entry's data
// is the stand-ins' password check and the data xor the password.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/crc.h"

namespace bramble::testlib {

constexpr uint32_t kDos2001 = (21u << 25) | (2u << 21) | (3u << 16) | (4u << 11) | (5u << 5) | 3u;

inline std::string L16(uint32_t v) { return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; }
inline std::string L32(uint32_t v) { return L16(v & 0xFFFF) + L16(v >> 16); }

inline uint32_t Crc32Of(const std::string& s) {
    uint32_t r = 0xFFFFFFFF;
    Crc32Block(s.data(), s.size(), r);
    return ~r;
}

struct Item {
    Item(std::string n, std::string d, uint32_t a = 0x20, uint8_t h = 2)
        : name(std::move(n)), data(std::move(d)), attr(a), host(h) {}
    std::string name;
    std::string data;
    uint32_t attr = 0x20;
    uint8_t host = 2;  // RAR: 0 DOS, 2 Windows, 3 Unix
    std::string password;  // encrypted when set
    bool badCrc = false;   // a wrong CRC in the header
    bool rawCrc = false;   // the header's CRC is the register before its final inversion
};

inline std::string Packed(const Item& it, const std::string& data) {
    if (it.password.empty()) return data;
    std::string out;
    for (size_t i = 0; i < 8; ++i)
        out += static_cast<char>((i < it.password.size() ? static_cast<uint8_t>(it.password[i]) : 0) ^ 0xA5);
    for (size_t i = 0; i < data.size(); ++i) out += static_cast<char>(data[i] ^ it.password[i % it.password.size()]);
    return out;
}

// ---- RAR ----

inline std::string RarBlock(uint8_t type, uint16_t flags, const std::string& rest) {
    std::string h = std::string(1, static_cast<char>(type)) + L16(flags) + L16(static_cast<uint32_t>(7 + rest.size())) + rest;
    return L16(Crc32Of(h) & 0xFFFF) + h;
}

inline std::string RarMarker(bool format5 = false) {
    return format5 ? std::string("Rar!\x1A\x07\x01\x00", 8) : std::string("Rar!\x1A\x07\x00", 7);
}
inline std::string RarMain(uint16_t flags = 0) { return RarBlock(0x73, flags, std::string(6, '\0')); }
inline std::string RarEnd(uint16_t flags = 0) { return RarBlock(0x7B, flags, ""); }

// A file block with its data; Part is this volume's share of the data,
// Flags adds 0x01 (from the previous volume) or 0x02 (to the next).
inline std::string RarFile(const Item& it, const std::string& part, uint16_t flags, uint32_t crc) {
    const std::string packed = Packed(it, part);
    uint16_t f = static_cast<uint16_t>(0x8000 | flags);
    if (!it.password.empty()) f |= 0x0004;
    if ((it.host == 3 ? (it.attr & 0x4000) : (it.attr & 0x10)) != 0) f |= 0x00E0;
    std::string rest = L32(static_cast<uint32_t>(packed.size())) + L32(static_cast<uint32_t>(it.data.size())) +
                       std::string(1, static_cast<char>(it.host)) + L32(crc) + L32(kDos2001) + "\x14\x30" +
                       L16(static_cast<uint32_t>(it.name.size())) + L32(it.attr) + it.name;
    return RarBlock(0x74, f, rest) + packed;
}

inline uint32_t ItemCrc(const Item& it) {
    if (it.badCrc) return Crc32Of(it.data) ^ 0x00800400u;
    return it.rawCrc ? ~Crc32Of(it.data) : Crc32Of(it.data);
}

inline std::string RarArchive(const std::vector<Item>& items, bool format5 = false) {
    std::string s = RarMarker(format5) + RarMain();
    for (const Item& it : items) s += RarFile(it, it.data, 0, ItemCrc(it));
    return s + RarEnd();
}

// Two volumes: the items before Split in the first, Split's data divided
// between them, the items after it in the second.
inline std::vector<std::string> RarVolumes(const std::vector<Item>& before, const Item& split,
                                           const std::vector<Item>& after) {
    const std::string a = split.data.substr(0, split.data.size() / 2), b = split.data.substr(a.size());
    std::string first = RarMarker() + RarMain(0x0001);
    for (const Item& it : before) first += RarFile(it, it.data, 0, ItemCrc(it));
    first += RarFile(split, a, 0x02, Crc32Of(a)) + RarEnd(0x0001);
    std::string second = RarMarker() + RarMain(0x0001) + RarFile(split, b, 0x01, ItemCrc(split));
    for (const Item& it : after) second += RarFile(it, it.data, 0, ItemCrc(it));
    return {first, second + RarEnd()};
}

// ---- ACE ----

inline std::string AceBlock(const std::string& body) {
    return L16(Crc32Of(body) & 0xFFFF) + L16(static_cast<uint32_t>(body.size())) + body;
}

inline std::string AceMain(uint16_t flags = 0) {
    std::string body = std::string(1, '\0') + L16(flags) + "**ACE**" + std::string("\x14\x14\x02\x00", 4) + L32(kDos2001) +
                       std::string(8, '\0') + std::string(1, '\0');
    return AceBlock(body);
}

inline std::string AceFile(const Item& it, const std::string& part, uint16_t flags, uint32_t crc) {
    const std::string packed = Packed(it, part);
    uint16_t f = static_cast<uint16_t>(0x0001 | flags);
    if (!it.password.empty()) f |= 0x4000;
    std::string body = std::string(1, '\x01') + L16(f) + L32(static_cast<uint32_t>(packed.size())) +
                       L32(static_cast<uint32_t>(it.data.size())) + L32(kDos2001) + L32(it.attr) + L32(crc) +
                       std::string(2, '\0') + L16(0) + L16(0) + L16(static_cast<uint32_t>(it.name.size())) + it.name;
    return AceBlock(body) + packed;
}

inline std::string AceArchive(const std::vector<Item>& items) {
    std::string s = AceMain();
    for (const Item& it : items) s += AceFile(it, it.data, 0, ItemCrc(it));
    return s;
}

inline std::vector<std::string> AceVolumes(const std::vector<Item>& before, const Item& split,
                                           const std::vector<Item>& after) {
    const std::string a = split.data.substr(0, split.data.size() / 2), b = split.data.substr(a.size());
    std::string first = AceMain(0x0800);
    for (const Item& it : before) first += AceFile(it, it.data, 0, ItemCrc(it));
    first += AceFile(split, a, 0x2000, Crc32Of(a));
    std::string second = AceMain(0x0800) + AceFile(split, b, 0x1000, ItemCrc(split));
    for (const Item& it : after) second += AceFile(it, it.data, 0, ItemCrc(it));
    return {first, second};
}

}  // namespace bramble::testlib
