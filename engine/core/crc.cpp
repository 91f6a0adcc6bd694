#include "engine/core/crc.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define BRAMBLE_CRC_CLMUL 1
#endif

namespace bramble {

// Declared extern in the header, so constexpr here keeps external linkage and
// lets the slicing tables below be derived at compile time.
constexpr uint32_t Crc32Table[256] = {
    0x00000000, 0x77073096, 0xEE0E612C, 0x990951BA, 0x076DC419, 0x706AF48F,
    0xE963A535, 0x9E6495A3, 0x0EDB8832, 0x79DCB8A4, 0xE0D5E91E, 0x97D2D988,
    0x09B64C2B, 0x7EB17CBD, 0xE7B82D07, 0x90BF1D91, 0x1DB71064, 0x6AB020F2,
    0xF3B97148, 0x84BE41DE, 0x1ADAD47D, 0x6DDDE4EB, 0xF4D4B551, 0x83D385C7,
    0x136C9856, 0x646BA8C0, 0xFD62F97A, 0x8A65C9EC, 0x14015C4F, 0x63066CD9,
    0xFA0F3D63, 0x8D080DF5, 0x3B6E20C8, 0x4C69105E, 0xD56041E4, 0xA2677172,
    0x3C03E4D1, 0x4B04D447, 0xD20D85FD, 0xA50AB56B, 0x35B5A8FA, 0x42B2986C,
    0xDBBBC9D6, 0xACBCF940, 0x32D86CE3, 0x45DF5C75, 0xDCD60DCF, 0xABD13D59,
    0x26D930AC, 0x51DE003A, 0xC8D75180, 0xBFD06116, 0x21B4F4B5, 0x56B3C423,
    0xCFBA9599, 0xB8BDA50F, 0x2802B89E, 0x5F058808, 0xC60CD9B2, 0xB10BE924,
    0x2F6F7C87, 0x58684C11, 0xC1611DAB, 0xB6662D3D, 0x76DC4190, 0x01DB7106,
    0x98D220BC, 0xEFD5102A, 0x71B18589, 0x06B6B51F, 0x9FBFE4A5, 0xE8B8D433,
    0x7807C9A2, 0x0F00F934, 0x9609A88E, 0xE10E9818, 0x7F6A0DBB, 0x086D3D2D,
    0x91646C97, 0xE6635C01, 0x6B6B51F4, 0x1C6C6162, 0x856530D8, 0xF262004E,
    0x6C0695ED, 0x1B01A57B, 0x8208F4C1, 0xF50FC457, 0x65B0D9C6, 0x12B7E950,
    0x8BBEB8EA, 0xFCB9887C, 0x62DD1DDF, 0x15DA2D49, 0x8CD37CF3, 0xFBD44C65,
    0x4DB26158, 0x3AB551CE, 0xA3BC0074, 0xD4BB30E2, 0x4ADFA541, 0x3DD895D7,
    0xA4D1C46D, 0xD3D6F4FB, 0x4369E96A, 0x346ED9FC, 0xAD678846, 0xDA60B8D0,
    0x44042D73, 0x33031DE5, 0xAA0A4C5F, 0xDD0D7CC9, 0x5005713C, 0x270241AA,
    0xBE0B1010, 0xC90C2086, 0x5768B525, 0x206F85B3, 0xB966D409, 0xCE61E49F,
    0x5EDEF90E, 0x29D9C998, 0xB0D09822, 0xC7D7A8B4, 0x59B33D17, 0x2EB40D81,
    0xB7BD5C3B, 0xC0BA6CAD, 0xEDB88320, 0x9ABFB3B6, 0x03B6E20C, 0x74B1D29A,
    0xEAD54739, 0x9DD277AF, 0x04DB2615, 0x73DC1683, 0xE3630B12, 0x94643B84,
    0x0D6D6A3E, 0x7A6A5AA8, 0xE40ECF0B, 0x9309FF9D, 0x0A00AE27, 0x7D079EB1,
    0xF00F9344, 0x8708A3D2, 0x1E01F268, 0x6906C2FE, 0xF762575D, 0x806567CB,
    0x196C3671, 0x6E6B06E7, 0xFED41B76, 0x89D32BE0, 0x10DA7A5A, 0x67DD4ACC,
    0xF9B9DF6F, 0x8EBEEFF9, 0x17B7BE43, 0x60B08ED5, 0xD6D6A3E8, 0xA1D1937E,
    0x38D8C2C4, 0x4FDFF252, 0xD1BB67F1, 0xA6BC5767, 0x3FB506DD, 0x48B2364B,
    0xD80D2BDA, 0xAF0A1B4C, 0x36034AF6, 0x41047A60, 0xDF60EFC3, 0xA867DF55,
    0x316E8EEF, 0x4669BE79, 0xCB61B38C, 0xBC66831A, 0x256FD2A0, 0x5268E236,
    0xCC0C7795, 0xBB0B4703, 0x220216B9, 0x5505262F, 0xC5BA3BBE, 0xB2BD0B28,
    0x2BB45A92, 0x5CB36A04, 0xC2D7FFA7, 0xB5D0CF31, 0x2CD99E8B, 0x5BDEAE1D,
    0x9B64C2B0, 0xEC63F226, 0x756AA39C, 0x026D930A, 0x9C0906A9, 0xEB0E363F,
    0x72076785, 0x05005713, 0x95BF4A82, 0xE2B87A14, 0x7BB12BAE, 0x0CB61B38,
    0x92D28E9B, 0xE5D5BE0D, 0x7CDCEFB7, 0x0BDBDF21, 0x86D3D2D4, 0xF1D4E242,
    0x68DDB3F8, 0x1FDA836E, 0x81BE16CD, 0xF6B9265B, 0x6FB077E1, 0x18B74777,
    0x88085AE6, 0xFF0F6A70, 0x66063BCA, 0x11010B5C, 0x8F659EFF, 0xF862AE69,
    0x616BFFD3, 0x166CCF45, 0xA00AE278, 0xD70DD2EE, 0x4E048354, 0x3903B3C2,
    0xA7672661, 0xD06016F7, 0x4969474D, 0x3E6E77DB, 0xAED16A4A, 0xD9D65ADC,
    0x40DF0B66, 0x37D83BF0, 0xA9BCAE53, 0xDEBB9EC5, 0x47B2CF7F, 0x30B5FFE9,
    0xBDBDF21C, 0xCABAC28A, 0x53B39330, 0x24B4A3A6, 0xBAD03605, 0xCDD70693,
    0x54DE5729, 0x23D967BF, 0xB3667A2E, 0xC4614AB8, 0x5D681B02, 0x2A6F2B94,
    0xB40BBE37, 0xC30C8EA1, 0x5A05DF1B, 0x2D02EF8D,
};

constexpr uint16_t Crc16Table[256] = {
    0x0000, 0xC0C1, 0xC181, 0x0140, 0xC301, 0x03C0, 0x0280, 0xC241,
    0xC601, 0x06C0, 0x0780, 0xC741, 0x0500, 0xC5C1, 0xC481, 0x0440,
    0xCC01, 0x0CC0, 0x0D80, 0xCD41, 0x0F00, 0xCFC1, 0xCE81, 0x0E40,
    0x0A00, 0xCAC1, 0xCB81, 0x0B40, 0xC901, 0x09C0, 0x0880, 0xC841,
    0xD801, 0x18C0, 0x1980, 0xD941, 0x1B00, 0xDBC1, 0xDA81, 0x1A40,
    0x1E00, 0xDEC1, 0xDF81, 0x1F40, 0xDD01, 0x1DC0, 0x1C80, 0xDC41,
    0x1400, 0xD4C1, 0xD581, 0x1540, 0xD701, 0x17C0, 0x1680, 0xD641,
    0xD201, 0x12C0, 0x1380, 0xD341, 0x1100, 0xD1C1, 0xD081, 0x1040,
    0xF001, 0x30C0, 0x3180, 0xF141, 0x3300, 0xF3C1, 0xF281, 0x3240,
    0x3600, 0xF6C1, 0xF781, 0x3740, 0xF501, 0x35C0, 0x3480, 0xF441,
    0x3C00, 0xFCC1, 0xFD81, 0x3D40, 0xFF01, 0x3FC0, 0x3E80, 0xFE41,
    0xFA01, 0x3AC0, 0x3B80, 0xFB41, 0x3900, 0xF9C1, 0xF881, 0x3840,
    0x2800, 0xE8C1, 0xE981, 0x2940, 0xEB01, 0x2BC0, 0x2A80, 0xEA41,
    0xEE01, 0x2EC0, 0x2F80, 0xEF41, 0x2D00, 0xEDC1, 0xEC81, 0x2C40,
    0xE401, 0x24C0, 0x2580, 0xE541, 0x2700, 0xE7C1, 0xE681, 0x2640,
    0x2200, 0xE2C1, 0xE381, 0x2340, 0xE101, 0x21C0, 0x2080, 0xE041,
    0xA001, 0x60C0, 0x6180, 0xA141, 0x6300, 0xA3C1, 0xA281, 0x6240,
    0x6600, 0xA6C1, 0xA781, 0x6740, 0xA501, 0x65C0, 0x6480, 0xA441,
    0x6C00, 0xACC1, 0xAD81, 0x6D40, 0xAF01, 0x6FC0, 0x6E80, 0xAE41,
    0xAA01, 0x6AC0, 0x6B80, 0xAB41, 0x6900, 0xA9C1, 0xA881, 0x6840,
    0x7800, 0xB8C1, 0xB981, 0x7940, 0xBB01, 0x7BC0, 0x7A80, 0xBA41,
    0xBE01, 0x7EC0, 0x7F80, 0xBF41, 0x7D00, 0xBDC1, 0xBC81, 0x7C40,
    0xB401, 0x74C0, 0x7580, 0xB541, 0x7700, 0xB7C1, 0xB681, 0x7640,
    0x7200, 0xB2C1, 0xB381, 0x7340, 0xB101, 0x71C0, 0x7080, 0xB041,
    0x5000, 0x90C1, 0x9181, 0x5140, 0x9301, 0x53C0, 0x5280, 0x9241,
    0x9601, 0x56C0, 0x5780, 0x9741, 0x5500, 0x95C1, 0x9481, 0x5440,
    0x9C01, 0x5CC0, 0x5D80, 0x9D41, 0x5F00, 0x9FC1, 0x9E81, 0x5E40,
    0x5A00, 0x9AC1, 0x9B81, 0x5B40, 0x9901, 0x59C0, 0x5880, 0x9841,
    0x8801, 0x48C0, 0x4980, 0x8941, 0x4B00, 0x8BC1, 0x8A81, 0x4A40,
    0x4E00, 0x8EC1, 0x8F81, 0x4F40, 0x8D01, 0x4DC0, 0x4C80, 0x8C41,
    0x4400, 0x84C1, 0x8581, 0x4540, 0x8701, 0x47C0, 0x4680, 0x8641,
    0x8201, 0x42C0, 0x4380, 0x8341, 0x4100, 0x81C1, 0x8081, 0x4040,
};

namespace {

// Slicing-by-16: Slice[k][n] is the register contribution of byte n followed
// by k zero bytes, so sixteen input bytes fold into the register with
// sixteen independent lookups instead of a chain of sixteen dependent ones.
using SliceTables = std::array<std::array<uint32_t, 256>, 16>;

constexpr SliceTables MakeSliceTables() {
    SliceTables t{};
    for (int n = 0; n < 256; ++n) t[0][n] = Crc32Table[n];
    for (int k = 1; k < 16; ++k)
        for (int n = 0; n < 256; ++n)
            t[k][n] = (t[k - 1][n] >> 8) ^ Crc32Table[t[k - 1][n] & 0xFF];
    return t;
}

constexpr SliceTables Slice = MakeSliceTables();

// Assembled byte by byte so the result does not depend on the host's byte
// order or on the buffer's alignment; compilers turn it into a single load.
inline uint32_t LoadLE32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

constexpr size_t kStreamChunk = 100000;

#ifdef BRAMBLE_CRC_CLMUL

// Carry-less multiply folding. A block of 128 message bits B followed by D
// more bits contributes B * x^D mod P to the CRC, so the register can run
// 128 bits at a time: the low and high 64-bit halves of the running value
// are multiplied by x^(D+32) and x^(D-32) mod P (the 32 accounts for the
// CRC's own degree) and added to the block D bits further on. In the
// reflected bit order that the ZIP CRC uses the constants are the remainders
// bit-reversed and shifted up by one, since a carry-less product of two
// reflected numbers comes out one bit short.
constexpr uint64_t FoldConstant(unsigned Exponent) {
    uint32_t r = 1;  // x^0, normal bit order, implicit x^32
    for (unsigned i = 0; i < Exponent; ++i) r = (r << 1) ^ ((r >> 31) ? 0x04C11DB7u : 0u);
    uint32_t reflected = 0;
    for (int i = 0; i < 32; ++i) reflected |= ((r >> i) & 1u) << (31 - i);
    return uint64_t(reflected) << 1;
}

// Four lanes of 128 bits fold 512 bits ahead; one lane folds 128 bits ahead.
constexpr uint64_t kFold512Lo = FoldConstant(512 + 32);
constexpr uint64_t kFold512Hi = FoldConstant(512 - 32);
constexpr uint64_t kFold128Lo = FoldConstant(128 + 32);
constexpr uint64_t kFold128Hi = FoldConstant(128 - 32);
static_assert(kFold128Hi == 0x0CCAA009Eu, "fold constants");

__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold(__m128i x, __m128i k, __m128i next) {
    __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
    __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(lo, hi), next);
}

__attribute__((target("pclmul,sse4.1"))) inline __m128i Load128(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// The last 128 bits of a fold, with the tail of fewer than 16 bytes behind
// them, run through the table from a zero register: the value folded so far
// already holds the register.
__attribute__((target("pclmul,sse4.1"))) uint32_t FinishFold(__m128i x0, const uint8_t* p, size_t Count) {
    const __m128i k128 = _mm_set_epi64x(static_cast<long long>(kFold128Hi), static_cast<long long>(kFold128Lo));
    while (Count >= 16) {
        x0 = Fold(x0, k128, Load128(p));
        p += 16;
        Count -= 16;
    }
    alignas(16) uint8_t rest[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(rest), x0);
    uint32_t r = 0;
    Crc32BlockTable(rest, 16, r);
    Crc32BlockTable(p, Count, r);
    return r;
}

// Count is at least 64. The register goes into the first four bytes (a
// start value is the same as those bytes inverted) and the message folds
// down to 128 bits.
__attribute__((target("pclmul,sse4.1"))) uint32_t Crc32Clmul(const uint8_t* p, size_t Count, uint32_t crc) {
    const __m128i k512 = _mm_set_epi64x(static_cast<long long>(kFold512Hi), static_cast<long long>(kFold512Lo));
    const __m128i k128 = _mm_set_epi64x(static_cast<long long>(kFold128Hi), static_cast<long long>(kFold128Lo));
    __m128i x0 = _mm_xor_si128(Load128(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i x1 = Load128(p + 16);
    __m128i x2 = Load128(p + 32);
    __m128i x3 = Load128(p + 48);
    p += 64;
    Count -= 64;
    while (Count >= 64) {
        x0 = Fold(x0, k512, Load128(p));
        x1 = Fold(x1, k512, Load128(p + 16));
        x2 = Fold(x2, k512, Load128(p + 32));
        x3 = Fold(x3, k512, Load128(p + 48));
        p += 64;
        Count -= 64;
    }
    x0 = Fold(x0, k128, x1);
    x0 = Fold(x0, k128, x2);
    x0 = Fold(x0, k128, x3);
    return FinishFold(x0, p, Count);
}

// The same folding on 256-bit registers, where the processor multiplies
// both halves of one at once: four registers hold eight lanes of 128 bits,
// each folded 1024 bits ahead, which keeps enough multiplies in flight to
// run at the speed the caches deliver the data.
constexpr uint64_t kFold1024Lo = FoldConstant(1024 + 32);
constexpr uint64_t kFold1024Hi = FoldConstant(1024 - 32);
constexpr uint64_t kFold256Lo = FoldConstant(256 + 32);
constexpr uint64_t kFold256Hi = FoldConstant(256 - 32);

#define BRAMBLE_CRC_WIDE_TARGET __attribute__((target("avx2,vpclmulqdq,pclmul,sse4.1")))

BRAMBLE_CRC_WIDE_TARGET inline __m256i Fold256(__m256i x, __m256i k, __m256i next) {
    __m256i lo = _mm256_clmulepi64_epi128(x, k, 0x00);
    __m256i hi = _mm256_clmulepi64_epi128(x, k, 0x11);
    return _mm256_xor_si256(_mm256_xor_si256(lo, hi), next);
}

BRAMBLE_CRC_WIDE_TARGET inline __m256i Load256(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

BRAMBLE_CRC_WIDE_TARGET inline __m256i Broadcast(uint64_t hi, uint64_t lo) {
    return _mm256_set_epi64x(static_cast<long long>(hi), static_cast<long long>(lo), static_cast<long long>(hi),
                             static_cast<long long>(lo));
}

// Count is at least kWideMinimum.
constexpr size_t kWideMinimum = 256;

BRAMBLE_CRC_WIDE_TARGET uint32_t Crc32WideClmul(const uint8_t* p, size_t Count, uint32_t crc) {
    const __m256i k1024 = Broadcast(kFold1024Hi, kFold1024Lo);
    const __m256i k256 = Broadcast(kFold256Hi, kFold256Lo);
    __m256i x0 = _mm256_xor_si256(Load256(p), _mm256_setr_epi32(static_cast<int>(crc), 0, 0, 0, 0, 0, 0, 0));
    __m256i x1 = Load256(p + 32);
    __m256i x2 = Load256(p + 64);
    __m256i x3 = Load256(p + 96);
    p += 128;
    Count -= 128;
    while (Count >= 128) {
        x0 = Fold256(x0, k1024, Load256(p));
        x1 = Fold256(x1, k1024, Load256(p + 32));
        x2 = Fold256(x2, k1024, Load256(p + 64));
        x3 = Fold256(x3, k1024, Load256(p + 96));
        p += 128;
        Count -= 128;
    }
    // Each register's lanes lie 256 bits before the next register's.
    x0 = Fold256(x0, k256, x1);
    x0 = Fold256(x0, k256, x2);
    x0 = Fold256(x0, k256, x3);
    const __m128i k128 = _mm_set_epi64x(static_cast<long long>(kFold128Hi), static_cast<long long>(kFold128Lo));
    __m128i last = Fold(_mm256_castsi256_si128(x0), k128, _mm256_extracti128_si256(x0, 1));
    // Code built for 128-bit registers runs at half speed on some processors
    // while the upper halves hold anything: clear them before it runs.
    _mm256_zeroupper();
    return FinishFold(last, p, Count);
}

#undef BRAMBLE_CRC_WIDE_TARGET

TCrc32Path DetectFastestPath() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return TCrc32Path::Table;
    if (!(c & bit_PCLMUL) || !(c & bit_SSE4_1)) return TCrc32Path::Table;
    // 256-bit registers also need the system to save them on a task switch.
    bool osSavesYmm = false;
    if ((c & bit_OSXSAVE) && (c & bit_AVX)) {
        unsigned xcr0 = 0, xcr0High = 0;
        __asm__("xgetbv" : "=a"(xcr0), "=d"(xcr0High) : "c"(0));
        osSavesYmm = (xcr0 & 6) == 6;
    }
    unsigned a7 = 0, b7 = 0, c7 = 0, d7 = 0;
    if (osSavesYmm && __get_cpuid_count(7, 0, &a7, &b7, &c7, &d7) && (b7 & bit_AVX2) && (c7 & bit_VPCLMULQDQ))
        return TCrc32Path::WideClmul;
    return TCrc32Path::Clmul;
}

#else

TCrc32Path DetectFastestPath() { return TCrc32Path::Table; }

#endif

const TCrc32Path kFastestPath = DetectFastestPath();
std::atomic<TCrc32Path> PathLimit{TCrc32Path::WideClmul};

// Below this the table is as quick as setting up the folding.
constexpr size_t kClmulMinimum = 64;

}  // namespace

TCrc32Path Crc32FastestPath() { return kFastestPath; }

void Crc32LimitPath(TCrc32Path Limit) { PathLimit.store(Limit, std::memory_order_relaxed); }

void Crc32Block(const void* Buffer, size_t Count, uint32_t& Register) {
#ifdef BRAMBLE_CRC_CLMUL
    if (Count >= kClmulMinimum) {
        const TCrc32Path path = std::min(kFastestPath, PathLimit.load(std::memory_order_relaxed));
        const uint8_t* p = static_cast<const uint8_t*>(Buffer);
        if (path == TCrc32Path::WideClmul && Count >= kWideMinimum) {
            Register = Crc32WideClmul(p, Count, Register);
            return;
        }
        if (path >= TCrc32Path::Clmul) {
            Register = Crc32Clmul(p, Count, Register);
            return;
        }
    }
#endif
    Crc32BlockTable(Buffer, Count, Register);
}

void Crc32BlockTable(const void* Buffer, size_t Count, uint32_t& Register) {
    const uint8_t* p = static_cast<const uint8_t*>(Buffer);
    uint32_t crc = Register;
    while (Count >= 16) {
        uint32_t w0 = crc ^ LoadLE32(p);
        uint32_t w1 = LoadLE32(p + 4);
        uint32_t w2 = LoadLE32(p + 8);
        uint32_t w3 = LoadLE32(p + 12);
        crc = Slice[15][w0 & 0xFF] ^ Slice[14][(w0 >> 8) & 0xFF] ^ Slice[13][(w0 >> 16) & 0xFF] ^ Slice[12][w0 >> 24] ^
              Slice[11][w1 & 0xFF] ^ Slice[10][(w1 >> 8) & 0xFF] ^ Slice[9][(w1 >> 16) & 0xFF] ^ Slice[8][w1 >> 24] ^
              Slice[7][w2 & 0xFF] ^ Slice[6][(w2 >> 8) & 0xFF] ^ Slice[5][(w2 >> 16) & 0xFF] ^ Slice[4][w2 >> 24] ^
              Slice[3][w3 & 0xFF] ^ Slice[2][(w3 >> 8) & 0xFF] ^ Slice[1][(w3 >> 16) & 0xFF] ^ Slice[0][w3 >> 24];
        p += 16;
        Count -= 16;
    }
    while (Count--) crc = Crc32Step(crc, *p++);
    Register = crc;
}

namespace {

// Slicing by 8 for CRC-16: table k advances a byte through k further zero
// bytes, so eight bytes fold in with eight look-ups and no dependency
// between them but the register.
struct TCrc16Slices {
    uint16_t t[8][256];
    constexpr TCrc16Slices() : t{} {
        for (int i = 0; i < 256; ++i) t[0][i] = Crc16Table[i];
        for (int k = 1; k < 8; ++k)
            for (int i = 0; i < 256; ++i)
                t[k][i] = static_cast<uint16_t>((t[k - 1][i] >> 8) ^ Crc16Table[t[k - 1][i] & 0xFF]);
    }
};
constexpr TCrc16Slices kCrc16Slices;

}  // namespace

void Crc16Block(const void* Buffer, size_t Count, uint16_t& Register) {
    const uint8_t* p = static_cast<const uint8_t*>(Buffer);
    uint32_t crc = Register;
    const auto& t = kCrc16Slices.t;
    for (; Count >= 8; Count -= 8, p += 8) {
        const uint32_t lo = crc ^ (uint32_t{p[0]} | uint32_t{p[1]} << 8);
        crc = t[7][lo & 0xFF] ^ t[6][lo >> 8] ^ t[5][p[2]] ^ t[4][p[3]] ^ t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^
              t[0][p[7]];
    }
    while (Count--) crc = Crc16Table[(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    Register = static_cast<uint16_t>(crc);
}

uint32_t StreamCrc32(TStream& Stream) {
    uint32_t crc = 0xFFFFFFFFu;
    std::vector<uint8_t> buffer(kStreamChunk);
    Stream.Seek(0);
    for (;;) {
        int64_t got = Stream.Read(buffer.data(), static_cast<int64_t>(buffer.size()));
        if (got > 0) Crc32Block(buffer.data(), static_cast<size_t>(got), crc);
        if (got < static_cast<int64_t>(buffer.size())) break;
    }
    Stream.Seek(0);
    return crc;
}

}  // namespace bramble
