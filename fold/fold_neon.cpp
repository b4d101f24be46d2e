// The NEON kernels, for every ARM64 processor.

#include "fold_kernels.h"

#if defined(__aarch64__)

#include "letter_bytes.h"

#include <arm_neon.h>

#include <bit>
#include <cstring>

using namespace letter_bytes;

namespace fold_kernels {
namespace {

// A table lookup takes 64 bytes: for each lead byte, its row of plain
// letters by second byte 80 to BF.
struct Rows {
    uint8x16x4_t row[kOtherLead];
};

Rows LoadRows()
{
    Rows rows;
    for (unsigned row = 0; row < kOtherLead; ++row)
        rows.row[row] = vld1q_u8_x4(&kPlain[row][0x80]);
    return rows;
}

// The plain letter of each letter that starts at a byte, 0 at every other:
// `row` holds each lead byte's row (any other number for another byte),
// `second` the byte after it less 80, which looks up 0 past 3F.
inline uint8x16_t PlainLetters(const Rows& rows, uint8x16_t row, uint8x16_t second)
{
    // An index of FF, outside the table, for the bytes of another row.
    uint8x16_t plain = vqtbl4q_u8(rows.row[0], vornq_u8(second, vceqq_u8(row, vdupq_n_u8(0))));
    for (unsigned r = 1; r < kOtherLead; ++r)
        plain = vqtbx4q_u8(plain, rows.row[r], vornq_u8(second, vceqq_u8(row, vdupq_n_u8(static_cast<uint8_t>(r)))));
    return plain;
}

// Writes the bytes of `bytes` not marked in `dropped`, packed, to `out`,
// which has room for 16; returns how many. Each 8 bytes are packed by a
// shuffle from a table, and the two pieces stored one after the other.
inline std::size_t Pack(uint8x16_t bytes, uint8x16_t dropped, unsigned char* out)
{
    static constexpr uint8_t kBits[16] = {1, 2, 4, 8, 16, 32, 64, 128, 1, 2, 4, 8, 16, 32, 64, 128};
    const uint8x16_t kept = vbicq_u8(vld1q_u8(kBits), dropped);
    const unsigned first = vaddv_u8(vget_low_u8(kept));
    const unsigned second = vaddv_u8(vget_high_u8(kept));
    const uint8x16_t order = vcombine_u8(vcreate_u8(kKeptOffsets[first]),
                                         vcreate_u8(kKeptOffsets[second] + 0x0808080808080808u));
    const uint8x16_t packed = vqtbl1q_u8(bytes, order);
    vst1q_u8(out, packed);
    vst1_u8(out + std::popcount(first), vget_high_u8(packed));
    return static_cast<std::size_t>(std::popcount(first) + std::popcount(second));
}

// The errors of UTF-8 (kUtf8Errors) at each of the 16 bytes at `p`, with the 3 before them.
inline uint8x16_t Utf8Errors(const unsigned char* p)
{
    const uint8x16_t before = vld1q_u8(p - 1);
    const uint8x16_t errors = vandq_u8(
        vandq_u8(vqtbl1q_u8(vld1q_u8(kUtf8Errors.byHighBefore.data()), vshrq_n_u8(before, 4)),
                 vqtbl1q_u8(vld1q_u8(kUtf8Errors.byLowBefore.data()), vandq_u8(before, vdupq_n_u8(0x0F)))),
        vqtbl1q_u8(vld1q_u8(kUtf8Errors.byHigh.data()), vshrq_n_u8(vld1q_u8(p), 4)));
    // Bit 7 where a lead byte of 3 or 4 bytes stands 2 or 3 places before.
    const uint8x16_t due = vandq_u8(vorrq_u8(vqsubq_u8(vld1q_u8(p - 2), vdupq_n_u8(0xE0 - 0x80)),
                                             vqsubq_u8(vld1q_u8(p - 3), vdupq_n_u8(0xF0 - 0x80))),
                                    vdupq_n_u8(0x80));
    return veorq_u8(errors, due);
}

} // namespace

// 16 bytes at a time, as the AVX2 check does 32.
std::size_t WellFormedNeon(const unsigned char* in, std::size_t size, bool& nul)
{
    if (size < 16)
        return 0;
    // Before the first byte, as before any sequence, ASCII.
    unsigned char first[19] = {' ', ' ', ' '};
    std::memcpy(first + 3, in, 16);
    if (vmaxvq_u8(Utf8Errors(first + 3)) != 0)
        return 0;
    uint8x16_t lowest = vld1q_u8(in);
    std::size_t at = 16;
    for (; at + 16 <= size; at += 16) {
        const uint8x16_t bytes = vld1q_u8(in + at);
        if (vmaxvq_u8(vorrq_u8(bytes, vld1q_u8(in + at - 1))) >= 0x80 && vmaxvq_u8(Utf8Errors(in + at)) != 0)
            break;
        lowest = vminq_u8(lowest, bytes);
    }
    nul = nul || vminvq_u8(lowest) == 0;
    return SequenceStart(in, at);
}

// 16 bytes at a time, as the AVX2 kernel does 32: each letter's lead byte
// becomes its plain letter and its second byte, the next byte, is dropped.
std::pair<std::size_t, std::size_t> FoldUtf8Neon(const unsigned char* in, std::size_t size, unsigned char* out)
{
    const Rows rows = LoadRows();
    uint8x16_t folds = vdupq_n_u8(0);
    std::size_t read = 0;
    std::size_t written = 0;
    for (; read + 17 <= size; read += 16) {
        const uint8x16_t bytes = vld1q_u8(in + read);
        const uint8x16_t next = vld1q_u8(in + read + 1);
        const uint8x16_t plain = PlainLetters(rows, vsubq_u8(bytes, vdupq_n_u8(kFirstLead)),
                                              vsubq_u8(next, vdupq_n_u8(0x80)));
        const uint8x16_t before = folds;
        folds = vtstq_u8(plain, plain);
        // Each byte after a letter's lead byte, the block before's last included.
        const uint8x16_t dropped = vextq_u8(before, folds, 15);
        written += Pack(vbslq_u8(folds, plain, bytes), dropped, out + written);
    }
    return {read + (vgetq_lane_u8(folds, 15) & 1), written};
}

// 16 units at a time, narrowed as the AVX2 kernel narrows them.
std::size_t FoldUnitsNeon(char16_t* units, std::size_t count)
{
    const Rows rows = LoadRows();
    const uint16x8_t low6 = vdupq_n_u16(0x3F);
    std::size_t at = 0;
    for (; at + 16 <= count; at += 16) {
        const auto p = reinterpret_cast<unsigned char*>(units + at);
        const uint16x8_t a = vreinterpretq_u16_u8(vld1q_u8(p));
        const uint16x8_t b = vreinterpretq_u16_u8(vld1q_u8(p + 16));
        const uint8x16_t lead = vcombine_u8(vqshrn_n_u16(a, 6), vqshrn_n_u16(b, 6));
        const uint8x16_t second = vcombine_u8(vmovn_u16(vandq_u16(a, low6)), vmovn_u16(vandq_u16(b, low6)));
        const uint8x16_t plain = PlainLetters(rows, vsubq_u8(lead, vdupq_n_u8(kFirstLead - 0xC0)), second);
        const uint16x8_t plainA = vmovl_u8(vget_low_u8(plain));
        const uint16x8_t plainB = vmovl_high_u8(plain);
        vst1q_u8(p, vreinterpretq_u8_u16(vbslq_u16(vtstq_u16(plainA, plainA), plainA, a)));
        vst1q_u8(p + 16, vreinterpretq_u8_u16(vbslq_u16(vtstq_u16(plainB, plainB), plainB, b)));
    }
    return at;
}

// 16 bytes at a time: the changes of the bytes 80 to BF are one table of 64,
// of C0 to FF another, and an index past a table looks up 0, or, in the
// second lookup, keeps what the first found.
std::size_t FoldCodePageNeon(const CodePageLetters& letters, const unsigned char* in, std::size_t size, unsigned char* out)
{
    const uint8x16x4_t low = vld1q_u8_x4(letters.changes.data());
    const uint8x16x4_t high = vld1q_u8_x4(letters.changes.data() + 64);
    std::size_t at = 0;
    for (; at + 16 <= size; at += 16) {
        const uint8x16_t bytes = vld1q_u8(in + at);
        uint8x16_t change = vqtbl4q_u8(low, vsubq_u8(bytes, vdupq_n_u8(0x80)));
        change = vqtbx4q_u8(change, high, vsubq_u8(bytes, vdupq_n_u8(0xC0)));
        if (!out && vmaxvq_u8(change) != 0)
            break;
        if (out)
            vst1q_u8(out + at, veorq_u8(bytes, change));
    }
    return at;
}

} // namespace fold_kernels

#endif
