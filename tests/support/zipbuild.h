// A small writer of ZIP archives for tests: stored entries (or one stored
// deflate block), any name bytes, flags, host and method, traditional
// encryption with a header that may be made to pass for a wrong password
// too, and streamed entries with a descriptor.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/zipcrypt.h"
#include "engine/readers/ziprecords.h"

namespace bramble::test {

inline uint32_t Crc32(const std::string& s) {
    uint32_t c = 0xFFFFFFFF;
    for (unsigned char b : s) {
        c ^= b;
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

struct ZItem {
    std::string name;
    std::string data;
    uint32_t attr = 0x20;
    uint16_t madeBy = 20;
    uint32_t dosDate = 0x2A43'20A3;  // 2001-02-03 04:05:06
    bool badCrc = false;             // the stored CRC is not the data's
    // As stored. 8 wraps the data in one stored deflate block; otherwise
    // the data is stored whatever the method says.
    uint16_t method = 0;
    uint16_t flags = 0;              // further flag bits: 0x08 sizes in a descriptor, 0x800 UTF-8 name
    std::string password;            // encrypts the entry when set
    // A wrong password that the encryption header is made to pass as well
    // (the one-byte check lets one in 256 through).
    std::optional<std::string> alsoOpensFor;
};

inline void Le(std::string& out, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

// The traditional cipher over the payload, behind a header whose random
// bytes are searched until it also passes for it.alsoOpensFor.
inline std::string Encrypt(const ZItem& it, const std::string& payload, uint16_t flags, uint32_t crc) {
    const uint8_t check = (flags & 0x08) ? static_cast<uint8_t>(it.dosDate >> 8) : static_cast<uint8_t>(crc >> 24);
    uint8_t plain[12], header[12];
    for (uint32_t x = 2463534242u;;) {
        for (int i = 0; i < 10; ++i) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            plain[i] = static_cast<uint8_t>(x);
        }
        plain[10] = static_cast<uint8_t>(crc >> 16);
        plain[11] = check;
        ZipInitKeys(it.password);
        for (int i = 0; i < 12; ++i) header[i] = ZipEncryptByte(plain[i]);
        if (!it.alsoOpensFor || ZipCheckCryptHeader(header, *it.alsoOpensFor, flags, crc, it.dosDate)) break;
    }
    ZipInitKeys(it.password);
    std::string out;
    for (uint8_t b : plain) out.push_back(static_cast<char>(ZipEncryptByte(b)));
    for (char c : payload) out.push_back(static_cast<char>(ZipEncryptByte(static_cast<uint8_t>(c))));
    return out;
}

inline std::string BuildZip(const std::vector<ZItem>& items, bool withCentral = true) {
    std::string out, central;
    for (const ZItem& it : items) {
        const uint32_t offset = static_cast<uint32_t>(out.size());
        const uint32_t crc = Crc32(it.data) ^ (it.badCrc ? 0x00010000u : 0u);
        std::string payload = it.data;
        if (it.method == 8) {
            const auto n = static_cast<uint16_t>(it.data.size());
            payload = std::string(1, '\x01');
            Le(payload, n, 2);
            Le(payload, static_cast<uint16_t>(~n), 2);
            payload += it.data;
        }
        uint16_t flags = it.flags;
        if (!it.password.empty()) {
            flags |= 0x01;
            payload = Encrypt(it, payload, flags, crc);
        }
        // Streamed: the local header leaves CRC and sizes to the descriptor.
        const bool streamed = flags & 0x08;
        auto common = [&](std::string& s, bool local) {
            const bool later = local && streamed;
            Le(s, flags, 2);
            Le(s, it.method, 2);
            Le(s, it.dosDate & 0xFFFF, 2);
            Le(s, it.dosDate >> 16, 2);
            Le(s, later ? 0 : crc, 4);
            Le(s, later ? 0 : static_cast<uint32_t>(payload.size()), 4);
            Le(s, later ? 0 : static_cast<uint32_t>(it.data.size()), 4);
            Le(s, static_cast<uint32_t>(it.name.size()), 2);
            Le(s, 0, 2);  // extra
        };
        Le(out, zip::kLocalSig, 4);
        Le(out, 10, 2);
        common(out, true);
        out += it.name + payload;
        if (streamed) {
            Le(out, zip::kSpanMarker, 4);  // the descriptor's signature
            Le(out, crc, 4);
            Le(out, static_cast<uint32_t>(payload.size()), 4);
            Le(out, static_cast<uint32_t>(it.data.size()), 4);
        }
        Le(central, zip::kCentralSig, 4);
        Le(central, it.madeBy, 2);
        Le(central, 10, 2);
        common(central, false);
        Le(central, 0, 2);  // comment
        Le(central, 0, 2);  // disk
        Le(central, 0, 2);  // internal
        Le(central, it.attr, 4);
        Le(central, offset, 4);
        central += it.name;
    }
    if (!withCentral) return out;
    const uint32_t at = static_cast<uint32_t>(out.size());
    out += central;
    Le(out, zip::kEndSig, 4);
    Le(out, 0, 4);
    Le(out, static_cast<uint32_t>(items.size()), 2);
    Le(out, static_cast<uint32_t>(items.size()), 2);
    Le(out, static_cast<uint32_t>(central.size()), 4);
    Le(out, at, 4);
    Le(out, 0, 2);
    return out;
}

}  // namespace bramble::test
