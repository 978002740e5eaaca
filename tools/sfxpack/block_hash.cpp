// Merkle-Damgard over 64-byte blocks: the message, a one bit, zeros, and the
// message length in bits, big-endian, in the last 8 bytes of the last block.
#include "block_hash.h"

#include <string.h>

namespace {

const size_t kLengthSize = 8;

}  // namespace

void HashAdd(BlockHash* hash, const uint8_t* data, size_t size)
{
    hash->length += size;
    if (hash->used > 0) {
        size_t take = kHashBlockSize - hash->used < size ? kHashBlockSize - hash->used : size;
        memcpy(hash->block + hash->used, data, take);
        hash->used += take;
        data += take;
        size -= take;
        if (hash->used < kHashBlockSize)
            return;
        hash->compress(hash->state, hash->block);
        hash->used = 0;
    }
    for (; size >= kHashBlockSize; data += kHashBlockSize, size -= kHashBlockSize)
        hash->compress(hash->state, data);
    memcpy(hash->block, data, size);
    hash->used = size;
}

void HashEnd(BlockHash* hash, uint8_t* digest)
{
    uint64_t bits = hash->length * 8;
    // The one bit, then zeros up to a block with just room for the length:
    // one block, or two when the length no longer fits after the rest.
    uint8_t tail[2 * kHashBlockSize] = {0x80};
    size_t tailSize = hash->used + 1 + kLengthSize <= kHashBlockSize ? kHashBlockSize - hash->used
                                                                     : 2 * kHashBlockSize - hash->used;
    for (size_t i = 0; i < kLengthSize; ++i)
        tail[tailSize - 1 - i] = static_cast<uint8_t>(bits >> (8 * i));
    HashAdd(hash, tail, tailSize);
    for (size_t i = 0; i < hash->stateWords; ++i) {
        for (size_t j = 0; j < 4; ++j)
            digest[4 * i + j] = static_cast<uint8_t>(hash->state[i] >> (24 - 8 * j));
    }
}

std::string HexText(const uint8_t* bytes, size_t size)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0xF];
    }
    return text;
}
