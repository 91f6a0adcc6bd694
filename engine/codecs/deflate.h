// The deflate encoder (RFC 1951) of the ZIP, gzip and BH writers.
#pragma once

#include <cstdint>

#include "engine/core/streams.h"
#include "engine/core/types.h"
#include "engine/core/zipcommon.h"

namespace bramble {

// Compresses everything the owner's ReadHook still delivers from Input into
// one deflate stream written through the owner's CompressWriteHook to Output.
//
//   Owner         component whose hooks, progress, cancel flag and error
//                 model are used. The input is read with check kind 32, so
//                 the owner's Crc register advances over the uncompressed
//                 bytes; the caller starts and finishes the register.
//   Level         dtDeflateS, dtDeflateF, dtDeflateN, dtDeflateX (the
//                 classic levels 1, 2, 7 and 9).
//   Encrypt       handed to every CompressWriteHook call (the owner
//                 enciphers when its kind allows).
//   Input, Output the streams handed to the hooks (which of them are used
//                 depends on the owner's InputSource and OutputTarget).
//   InputSize     expected input length, only for progress (<= 0: unknown).
//   AllowRawStore only the ZIP writer may pass true: an input that would not
//                 shrink is then written as it is, without any block
//                 structure, and MethodOut becomes 0 (stored). Every other
//                 caller always gets a valid deflate stream (method 8), with
//                 stored blocks for incompressible data.
//   MethodOut     8 (deflated) or 0 (written raw, see AllowRawStore).
//   ArchiveTotal  handed to DoProgress as its third argument.
//
// Returns the number of bytes written through the hook. An empty input
// gives the 2-byte empty deflate stream, or with AllowRawStore nothing at
// all and method 0.
//
// Raises (through Owner.RaiseError, so OnError fires first) 25400 when the
// owner's Cancel is set between two reads, 25245 / 25246 on an internal
// inconsistency of the Huffman coder (never expected).
int64_t Deflate(TZipCommon& Owner, TDeflateType Level, bool Encrypt, TStream* Input, TStream* Output,
                int64_t InputSize, bool AllowRawStore, uint16_t& MethodOut, int64_t ArchiveTotal = 0);

// The classic level number of a deflate type: 1, 2, 7 or 9.
int DeflateLevelOf(TDeflateType Level);

}  // namespace bramble
