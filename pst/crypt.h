#pragma once

// The encodings of data blocks (HEADER.bCryptMethod): NDB_CRYPT_PERMUTE (MS-PST 5.1), a fixed
// byte substitution, and NDB_CRYPT_CYCLIC (MS-PST 5.2), keyed by the block's BID. Only the data
// of external blocks is encoded: internal blocks (XBLOCK, XXBLOCK, SLBLOCK, SIBLOCK), pages and
// the header never are. All work in place.

#include <cstddef>
#include <cstdint>

namespace tarnvex::pst {

void EncodePermute(std::uint8_t* data, std::size_t size);
void DecodePermute(std::uint8_t* data, std::size_t size);

// NDB_CRYPT_CYCLIC is its own inverse: the same call encodes and decodes. The key is the low 32
// bits of the block's BID.
void CryptCyclic(std::uint8_t* data, std::size_t size, std::uint32_t key);

}  // namespace tarnvex::pst
