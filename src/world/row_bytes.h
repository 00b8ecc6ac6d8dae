// row_bytes.h: eight characters of a maze row at once, and the bits that
// mark them, for the readers and tools that sort a row's cells.
#pragma once

#include <cstdint>
#include <cstring>

// A byte's lowest and highest bit, in each of a word's eight bytes.
constexpr uint64_t kLowBits = 0x0101010101010101, kHighBits = 0x8080808080808080;

// Eight characters as a word, the first in its lowest byte.
inline uint64_t LoadWord(const char* text) {
  uint64_t word;
  memcpy(&word, text, sizeof word);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  word = __builtin_bswap64(word);
#endif
  return word;
}

// A word's eight bytes as eight characters, its lowest byte first.
inline void StoreWord(char* text, uint64_t word) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  word = __builtin_bswap64(word);
#endif
  memcpy(text, &word, sizeof word);
}

// The high bit of every byte of word that equals c, and no other bit.
inline uint64_t BytesEqual(uint64_t word, char c) {
  uint64_t t = word ^ (kLowBits * static_cast<unsigned char>(c));
  return ~(((t & ~kHighBits) + ~kHighBits) | t | ~kHighBits);
}

// Those high bits as eight bits, the first byte's lowest.
inline unsigned MarkBits(uint64_t marks) {
  return static_cast<unsigned>(((marks >> 7) * 0x0102040810204080) >> 56);
}

// The bits set in a word, without the instruction a generic build lacks.
// The compiler knows this sum for that instruction, so a function that
// counts many is built for it as well where the build may not assume it:
// ZUMBREL_COUNTS_BITS before it, and the loader picks what the machine has.
#if defined(__x86_64__) && defined(__linux__) && !defined(__POPCNT__)
#define ZUMBREL_COUNTS_BITS __attribute__((target_clones("popcnt", "default")))
#else
#define ZUMBREL_COUNTS_BITS
#endif
inline int CountBits(uint64_t x) {
#if defined(__POPCNT__) || defined(__wasm__)
  return __builtin_popcountll(x);
#endif
  x -= (x >> 1) & 0x5555555555555555;
  x = (x & 0x3333333333333333) + ((x >> 2) & 0x3333333333333333);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0F;
  return static_cast<int>((x * 0x0101010101010101) >> 56);
}

// Bits of a row, a bit a column from column 0, and how many of them stand
// before a column.
template <int kWords>
struct BitsBefore {
  uint64_t bits[kWords + 1] = {};
  int words[kWords + 1] = {};  // before each word, once counted
  void Count() {
    for (int k = 0; k < kWords; k++) words[k + 1] = words[k] + CountBits(bits[k]);
  }
  // Those before column, in [0, kWords * 64].
  int Before(int64_t column) const {
    int64_t k = column >> 6;
    return words[k] + CountBits(bits[k] & ((uint64_t{1} << (column & 63)) - 1));
  }
};

// Where the runs of a row's bits start and end, counted.
template <int kWords>
void EdgesOf(const uint64_t* bits, BitsBefore<kWords>& starts, BitsBefore<kWords>& ends) {
  for (int k = 0; k < kWords; k++) {
    uint64_t before = k > 0 ? bits[k - 1] >> 63 : 0, after = k + 1 < kWords ? bits[k + 1] & 1 : 0;
    starts.bits[k] = bits[k] & ~(bits[k] << 1 | before);
    ends.bits[k] = bits[k] & ~(bits[k] >> 1 | after << 63);
  }
  starts.Count();
  ends.Count();
}
