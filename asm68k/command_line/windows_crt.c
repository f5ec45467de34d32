/* memchr and memset for the Windows programs. MinGW links the system C
 * runtime, msvcrt.dll, whose memchr and memset go a byte at a time under
 * Wine: the assembler finds every line's end with memchr and fills each
 * file's buffer before reading into it, and on a large source the two took
 * a twentieth of a run. Defined here, they are the ones the whole program
 * calls (the C++ library too), 16 bytes at a time where the processor has
 * SSE2 (every 64-bit one), else a machine word at a time. Never a byte
 * outside [s, s + n) is touched.
 *
 * Built without link-time optimisation and without the compiler turning
 * loops into calls of these very functions. */
#include <stddef.h>
#include <stdint.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

/* A machine word read or written where bytes of any type are. */
typedef uintptr_t __attribute__((may_alias)) word;

void *memchr(const void *s, int c, size_t n) {
  const unsigned char *p = (const unsigned char *)s;
  const unsigned char byte = (unsigned char)c;
#ifdef __SSE2__
  const __m128i wanted = _mm_set1_epi8((char)byte);
  for (; n >= 16; p += 16, n -= 16) {
    int found = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128((const __m128i *)p), wanted));
    if (found) return (void *)(p + __builtin_ctz((unsigned)found));
  }
#else
  /* A word holds the byte where (w ^ pattern) has a zero byte. */
  const word ones = (word)-1 / 0xFF, highs = ones << 7, pattern = ones * byte;
  for (; n > 0 && ((uintptr_t)p % sizeof(word)) != 0; ++p, --n) {
    if (*p == byte) return (void *)p;
  }
  for (; n >= sizeof(word); p += sizeof(word), n -= sizeof(word)) {
    word w = *(const word *)p ^ pattern;
    if ((w - ones) & ~w & highs) break;
  }
#endif
  for (; n > 0; ++p, --n) {
    if (*p == byte) return (void *)p;
  }
  return NULL;
}

void *memset(void *s, int c, size_t n) {
  unsigned char *p = (unsigned char *)s;
  const unsigned char byte = (unsigned char)c;
#ifdef __SSE2__
  const __m128i fill = _mm_set1_epi8((char)byte);
  for (; n >= 16; p += 16, n -= 16) _mm_storeu_si128((__m128i *)p, fill);
#else
  const word fill = ((word)-1 / 0xFF) * byte;
  for (; n > 0 && ((uintptr_t)p % sizeof(word)) != 0; ++p, --n) *p = byte;
  for (; n >= sizeof(word); p += sizeof(word), n -= sizeof(word)) *(word *)p = fill;
#endif
  for (; n > 0; ++p, --n) *p = byte;
  return s;
}
