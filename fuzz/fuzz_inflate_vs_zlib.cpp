// Differential: our inflate against zlib's raw inflate on the same bytes.
// Either both decode the stream to its final block with the same output, or
// both refuse it. Whatever follows the final block is not looked at by
// either. The first input byte picks short reads for ours, as in
// fuzz_inflate, so refills land in the middle of codes. Ours runs with
// both bit buffers, the 64-bit one and the 32-bit one.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/codecs/inflate.h"
#include "engine/codecs/zipmethod.h"
#include "engine/core/messages.h"
#include "fuzz/memory_input.h"

using namespace bramble;

namespace {

// Streams that expand past this are skipped: they cost time, not coverage.
constexpr size_t kOutputCap = size_t(4) << 20;

// 1: decoded to the end of the final block; 0: refused; -1: too big.
int ZlibInflate(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) std::abort();
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    uint8_t block[65536];
    int rc;
    do {
        z.next_out = block;
        z.avail_out = sizeof block;
        rc = inflate(&z, Z_NO_FLUSH);
        out.insert(out.end(), block, block + (sizeof block - z.avail_out));
        if (out.size() > kOutputCap) {
            inflateEnd(&z);
            return -1;
        }
    } while (rc == Z_OK && (z.avail_in > 0 || z.avail_out == 0));
    inflateEnd(&z);
    return rc == Z_STREAM_END ? 1 : 0;
}

bool OurInflate(const uint8_t* data, size_t size, unsigned step, std::vector<uint8_t>& out) {
    TZipCommon c;
    fuzz::ReadFromMemory(c, data, size);
    if (step) {
        fuzz::ShortReads(c, step);
    }
    c.ExtractWriteHook = [&out](TStream*, bool, int64_t n, int, bool, const uint8_t* b) {
        out.insert(out.end(), b, b + n);
        return n;
    };
    c.Crc = 0xFFFFFFFFu;
    try {
        ZipMethodDecode(c, 8, 0, static_cast<int64_t>(size), -1, false);
    } catch (const E_RAISE&) {
        return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const unsigned step = (data[0] & 1) ? 1 + (data[0] >> 4) : 0;
    ++data;
    --size;
    std::vector<uint8_t> theirs;
    const int zlib = ZlibInflate(data, size, theirs);
    if (zlib < 0) return 0;
    for (TInflateWord word : {TInflateWord::Wide, TInflateWord::Narrow}) {
        InflateUseWord(word);
        std::vector<uint8_t> ours;
        const bool ok = OurInflate(data, size, step, ours);
        const char* which = word == TInflateWord::Wide ? "64-bit" : "32-bit";
        if (ok != (zlib == 1)) {
            std::fprintf(stderr, "zlib %s, ours (%s) %s\n", zlib ? "decodes" : "refuses", which,
                         ok ? "decodes" : "refuses");
            std::abort();
        }
        if (ok && ours != theirs) {
            std::fprintf(stderr, "outputs differ: zlib %zu bytes, ours (%s) %zu\n", theirs.size(), which,
                         ours.size());
            std::abort();
        }
    }
    return 0;
}
