#include "engine/core/readwrite.h"

#include <cstring>

#include "engine/core/crc.h"
#include "engine/core/messages.h"
#include "engine/core/zipcrypt.h"

namespace bramble {

namespace {

bool IsZipCipherKind(TArcType t, bool withJarExe) {
    switch (t) {
        case atBh: case atBhExe: case atJar: case atZip: case atZipExe: case atZipMV: return true;
        case atJarExe: return withJarExe;
        default: return false;
    }
}

}  // namespace

TReadWriteObj::TReadWriteObj(TComponent* AOwner) : TdvxMain(AOwner) {
    ReadHook = [this](TStream* s, int64_t n, int k, bool d, uint8_t* b) { return ReadBlock(s, n, k, d, b); };
    ExtractWriteHook = [this](TStream* s, bool data, int64_t n, int k, bool d, const uint8_t* b) {
        return WriteDecrypted(s, data, n, k, d, b);
    };
    CompressWriteHook = [this](TStream* s, bool data, int64_t n, int k, bool d, const uint8_t* b) {
        return WriteEncrypted(s, data, n, k, d, b);
    };
}

void TReadWriteObj::UpdateCheck(int CrcKind, const uint8_t* Buffer, int64_t Count) {
    if (Count <= 0) return;
    if (CrcKind == 32) {
        Crc32Block(Buffer, static_cast<size_t>(Count), Crc);
    } else if (CrcKind == 16) {
        uint16_t r = static_cast<uint16_t>(Crc);
        Crc16Block(Buffer, static_cast<size_t>(Count), r);
        Crc = r;
    }
}

int64_t TReadWriteObj::ReadBlock(TStream* Stream, int64_t Count, int CrcKind, bool Decrypt, uint8_t* Buffer) {
    if (Count <= 0) return 0;
    int64_t got = 0;
    switch (InputSource) {
        case isArchive: got = inFile_.Read(Buffer, Count); break;
        case isStreamA: got = StreamA ? StreamA->Read(Buffer, Count) : 0; break;
        case isStreamHandedIn: got = Stream ? Stream->Read(Buffer, Count) : 0; break;
        case isStreamB: got = StreamB ? StreamB->Read(Buffer, Count) : 0; break;
        case isMemory:
            got = Count < MemoryLeft ? Count : MemoryLeft;
            if (got > 0 && MemoryBlock) {
                std::memcpy(Buffer, MemoryBlock, static_cast<size_t>(got));
                MemoryBlock += got;
                MemoryLeft -= got;
            } else {
                got = 0;
            }
            break;
        default: break;
    }
    if (got < 0) got = 0;
    if (Decrypt) DecryptBlock(Buffer, got);
    UpdateCheck(CrcKind, Buffer, got);
    return got;
}

void TReadWriteObj::DecryptBlock(uint8_t* Buffer, int64_t Count) {
    if (Count <= 0) return;
    if (arcType_ == atArj || arcType_ == atArjExe) {
        // An empty password garbles nothing (and must not divide by zero).
        if (password_.empty()) return;
        for (int64_t i = 0; i < Count; ++i) {
            if (passwordIndex_ < 1 || passwordIndex_ > static_cast<int>(password_.size())) passwordIndex_ = 1;
            Buffer[i] ^= static_cast<uint8_t>(password_[static_cast<size_t>(passwordIndex_ - 1)]);
            ++passwordIndex_;
        }
    } else if (IsZipCipherKind(arcType_, false)) {
        ZipDecryptBuffer(Buffer, static_cast<size_t>(Count));
    }
}

int64_t TReadWriteObj::WriteDecrypted(TStream* Stream, bool IsData, int64_t Count, int CrcKind, bool Decrypt,
                                      const uint8_t* Buffer) {
    if (Decrypt && IsData && Count > 0 && IsZipCipherKind(arcType_, true)) {
        // The caller's buffer may be a codec's window: work on a copy.
        scratch_.assign(Buffer, Buffer + Count);
        ZipDecryptBuffer(scratch_.data(), scratch_.size());
        return WriteOutput(Stream, IsData, Count, CrcKind, scratch_.data());
    }
    return WriteOutput(Stream, IsData, Count, CrcKind, Buffer);
}

int64_t TReadWriteObj::WriteEncrypted(TStream* Stream, bool IsData, int64_t Count, int CrcKind, bool Decrypt,
                                      const uint8_t* Buffer) {
    if (Decrypt && IsData && Count > 0 && IsZipCipherKind(arcType_, false)) {
        scratch_.assign(Buffer, Buffer + Count);
        ZipEncryptBuffer(scratch_.data(), scratch_.size());
        return WriteOutput(Stream, IsData, Count, CrcKind, scratch_.data());
    }
    return WriteOutput(Stream, IsData, Count, CrcKind, Buffer);
}

TStream* TReadWriteObj::OutputStream(TStream* handedIn) {
    switch (OutputTarget) {
        case otFile: return &outFile_;
        case otMemory: return StreamA;
        case otTempStream: return handedIn;
        case otCallerStream: return StreamB;
        default: return nullptr;
    }
}

int64_t TReadWriteObj::WriteOutput(TStream* Stream, bool IsData, int64_t Count, int CrcKind,
                                   const uint8_t* Buffer) {
    if (Count <= 0) return 0;
    if (IsData) UpdateCheck(CrcKind, Buffer, Count);
    TStream* out = OutputStream(Stream);
    if (!out) return Count;  // decode only

    int64_t written;
    if (TextMode) {
        std::vector<uint8_t> text;
        text.reserve(static_cast<size_t>(Count + Count / 8 + 1));
        for (int64_t i = 0; i < Count; ++i) {
            uint8_t b = Buffer[i];
            // A LF right after a CR, also one that ended the previous block,
            // is the second half of a pair, not a lone LF.
            if (b == '\n' && !pendingCR_) text.push_back('\r');
            text.push_back(b);
            pendingCR_ = b == '\r';
        }
        written = out->Write(text.data(), static_cast<int64_t>(text.size()));
        if (written != static_cast<int64_t>(text.size())) {
            OutputWriteFailed(out);
            throw E_RAISE(25136);
        }
        return Count;
    }
    written = out->Write(Buffer, Count);
    if (written != Count) {
        OutputWriteFailed(out);
        throw E_RAISE(25136);
    }
    return written;
}

}  // namespace bramble
