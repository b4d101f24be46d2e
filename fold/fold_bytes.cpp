#include "fold_bytes.h"

#include "fold_text.h"

#include <array>
#include <bit>
#include <algorithm>
#include <cstring>
#include <tuple>
#include <utility>

namespace {

// In UTF-8 every one of the 18 letters is two bytes, a lead byte C3 to C5
// and a second byte; kPlainOf[lead - 0xC3][second - 0x80] is its plain
// letter, 0 for a pair that is none of them.
constexpr unsigned char kFirstLead = 0xC3;
constexpr auto kPlainOf = [] {
    std::array<std::array<unsigned char, 64>, 3> table{};
    for (FoldRow row : FoldTable) {
        const unsigned lead = 0xC0 | (row.letter >> 6);
        table.at(lead - kFirstLead).at(row.letter & 0x3F) = static_cast<unsigned char>(row.plain);
    }
    return table;
}();

// The same by whole lead and second byte, with a last row of zeros for any
// other lead byte, so that a lookup needs no branch.
constexpr auto kPlainByBytes = [] {
    std::array<std::array<unsigned char, 256>, 4> table{};
    for (std::size_t lead = 0; lead < kPlainOf.size(); ++lead) {
        for (std::size_t second = 0; second < 64; ++second)
            table[lead][0x80 + second] = kPlainOf[lead][second];
    }
    return table;
}();

// The 18 letters written decomposed: a base letter and a combining mark.
struct Decomposition {
    char16_t letter;
    char base;
    char16_t mark;
};
constexpr char16_t kOgonek = 0x0328;
constexpr char16_t kAcute = 0x0301;
constexpr char16_t kDotAbove = 0x0307;
constexpr Decomposition kDecompositions[] = {
    {u'ą', 'a', kOgonek}, {u'ę', 'e', kOgonek}, {u'Ą', 'A', kOgonek}, {u'Ę', 'E', kOgonek},
    {u'ć', 'c', kAcute},  {u'ń', 'n', kAcute},  {u'ó', 'o', kAcute},  {u'ś', 's', kAcute},
    {u'ź', 'z', kAcute},  {u'Ć', 'C', kAcute},  {u'Ń', 'N', kAcute},  {u'Ó', 'O', kAcute},
    {u'Ś', 'S', kAcute},  {u'Ź', 'Z', kAcute},  {u'ż', 'z', kDotAbove}, {u'Ż', 'Z', kDotAbove},
};
// Each folds to its base letter, so dropping the mark is the whole fold.
static_assert([] {
    for (Decomposition d : kDecompositions) {
        bool found = false;
        for (FoldRow row : FoldTable)
            found = found || (row.letter == d.letter && row.plain == d.base);
        if (!found)
            return false;
    }
    return true;
}());

bool Combines(char16_t base, char16_t mark)
{
    for (Decomposition d : kDecompositions) {
        if (d.base == base && d.mark == mark)
            return true;
    }
    return false;
}

bool IsBase(char16_t unit)
{
    for (Decomposition d : kDecompositions) {
        if (d.base == unit)
            return true;
    }
    return false;
}

// The combining mark whose UTF-8 form is CC followed by `second`.
constexpr unsigned char kMarkLead = 0xCC;
char16_t MarkOf(unsigned char second)
{
    return static_cast<char16_t>(0x0300 | (second & 0x3F));
}

// One bit for each byte of a word with its two high bits set, the first
// byte's lowest: the byte's top bits, gathered by a multiplication.
unsigned LeadBits(std::uint64_t word)
{
    std::uint64_t tops = (word & (word << 1) & 0x8080808080808080u) >> 7;
    if constexpr (std::endian::native == std::endian::big)
        tops = __builtin_bswap64(tops);
    return static_cast<unsigned>((tops * 0x0102040810204080u) >> 56);
}

// The offset in an 8-byte word of its first lead byte (every lead byte of a
// letter or a mark has its two high bits set), 8 if none.
int FirstLeadByte(std::uint64_t word)
{
    return std::countr_zero(LeadBits(word) | 1u << 8);
}

// The offset in the next 16 bytes of the first lead byte, 16 if none, with
// no branch: the compiler makes any choice between the two words one.
std::size_t FirstLeadIn16(const unsigned char* p)
{
    std::uint64_t low;
    std::uint64_t high;
    std::memcpy(&low, p, 8);
    std::memcpy(&high, p + 8, 8);
    return static_cast<std::size_t>(std::countr_zero(LeadBits(low) | LeadBits(high) << 8 | 1u << 16));
}

// Folds the letter that may start at `read`: a lead byte and the byte after
// it become a plain letter, or the lead byte is copied. Branch-free, and
// inlined like Step, so that the four lanes below keep their positions in
// registers.
[[gnu::always_inline]] inline void FoldLead(const unsigned char* in, unsigned char* out, std::size_t& read,
                                             std::size_t& written)
{
    const unsigned char lead = in[read];
    const unsigned row = std::min(static_cast<unsigned>(lead - kFirstLead) & 0xFFu, 3u);
    const unsigned char plain = kPlainByBytes[row][in[read + 1]];
    const unsigned folds = plain != 0;
    out[written++] = static_cast<unsigned char>(plain | (lead & (folds - 1)));
    read += 1 + folds;
}

// Copies the next 16 bytes whole, moves on to the first lead byte among them
// and folds the letter that may start there. Reads 18 bytes at most.
[[gnu::always_inline]] inline void Step(const unsigned char* in, unsigned char* out, std::size_t& read, std::size_t& written)
{
    std::memcpy(out + written, in + read, 16);
    const std::size_t run = FirstLeadIn16(in + read);
    read += run;
    written += run;
    FoldLead(in, out, read, written);
}

// Folds UTF-8 text with no decomposed letters, all but its last 32 bytes,
// which are left to the careful scan. A step waits on the loads of the step
// before it, so four stretches of the text, cut where no letter is split,
// are folded side by side, each into its own place, and joined after.
// Returns how far it read and wrote.
std::pair<std::size_t, std::size_t> FoldUtf8Body(const unsigned char* in, std::size_t size, unsigned char* out)
{
    constexpr std::size_t kLanes = 4;
    static_assert(kSideBySideFrom == kLanes * 64);
    if (size < kSideBySideFrom)
        return {0, 0};
    const std::size_t limit = size - 32;
    std::size_t begin[kLanes + 1];
    for (std::size_t k = 0; k < kLanes; ++k) {
        // Not between a letter's two bytes: a byte after a continuation byte
        // never is, so one step is enough, whatever the bytes.
        begin[k] = limit / kLanes * k;
        begin[k] += k > 0 && (in[begin[k]] & 0xC0) == 0x80;
    }
    begin[kLanes] = limit;
    std::size_t read[kLanes] = {begin[0], begin[1], begin[2], begin[3]};
    std::size_t written[kLanes] = {begin[0], begin[1], begin[2], begin[3]};
    // Plain variables rather than the arrays, so that they stay in registers.
    std::size_t r0 = read[0], r1 = read[1], r2 = read[2], r3 = read[3];
    std::size_t w0 = written[0], w1 = written[1], w2 = written[2], w3 = written[3];
    while (r0 + 18 <= begin[1] && r1 + 18 <= begin[2] && r2 + 18 <= begin[3] && r3 + 18 <= begin[4]) {
        Step(in, out, r0, w0);
        Step(in, out, r1, w1);
        Step(in, out, r2, w2);
        Step(in, out, r3, w3);
    }
    read[0] = r0, read[1] = r1, read[2] = r2, read[3] = r3;
    written[0] = w0, written[1] = w1, written[2] = w2, written[3] = w3;
    std::size_t joined = 0;
    for (std::size_t k = 0; k < kLanes; ++k) {
        while (read[k] + 18 <= begin[k + 1])
            Step(in, out, read[k], written[k]);
        while (read[k] < begin[k + 1])
            FoldLead(in, out, read[k], written[k]);
        std::memmove(out + joined, out + begin[k], written[k] - begin[k]);
        joined += written[k] - begin[k];
    }
    return {read[kLanes - 1], joined};
}

struct Scan {
    std::size_t consumed;
    std::size_t produced;
    std::optional<std::size_t> letter;
    std::size_t letterLength = 0;
};

// Folds UTF-8 or, with kFind, only finds the first letter (and writes nothing).
template <bool kFind>
Scan ScanUtf8(const unsigned char* in, std::size_t size, unsigned char* out, bool decomposed, bool end)
{
    const unsigned char* p = in;
    const unsigned char* const stop = in + size;
    std::size_t written = 0;
    const auto copy = [&](std::size_t count) {
        if constexpr (!kFind)
            std::memcpy(out + written, p, count);
        p += count;
        written += count;
    };
    for (;;) {
        // Eight bytes at a time up to the next byte that may begin a letter or a mark.
        while (stop - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            const int run = FirstLeadByte(word);
            if constexpr (!kFind)
                std::memcpy(out + written, p, 8);
            p += run;
            written += static_cast<std::size_t>(run);
            if (run < 8)
                break;
        }
        if (p == stop)
            break;
        const unsigned char lead = *p;
        const bool letterLead = lead >= kFirstLead && lead < kFirstLead + kPlainOf.size();
        if (!letterLead && !(decomposed && lead == kMarkLead)) {
            copy(1);
            continue;
        }
        if (stop - p == 1) {
            if (!end)
                break;  // completed, or not, by the next piece
            copy(1);
            continue;
        }
        const unsigned char second = p[1];
        const auto at = static_cast<std::size_t>(p - in);
        if (letterLead) {
            const unsigned char plain = second >= 0x80 && second < 0xC0 ? kPlainOf[lead - kFirstLead][second - 0x80] : 0;
            if (plain) {
                if constexpr (kFind)
                    return {at, 0, at, 2};
                out[written++] = plain;
                p += 2;
                continue;
            }
        } else if (p > in && second >= 0x80 && second < 0xC0 && Combines(p[-1], MarkOf(second))) {
            // The base letter before it was copied as it is; the mark goes.
            if constexpr (kFind)
                return {at - 1, 0, at - 1, 3};
            p += 2;
            continue;
        }
        copy(1);
    }
    // A base letter at the end, alone or with the lead byte of a mark, waits
    // for the next piece too.
    if (decomposed && !end && p > in && IsBase(p[-1]) && (p == stop || *p == kMarkLead)) {
        --p;
        --written;
    }
    return {static_cast<std::size_t>(p - in), written};
}

char16_t UnitAt(const unsigned char* p, ByteEncoding encoding)
{
    return encoding == ByteEncoding::Utf16BigEndian ? static_cast<char16_t>(p[0] << 8 | p[1])
                                                     : static_cast<char16_t>(p[1] << 8 | p[0]);
}

template <bool kFind>
Scan ScanUtf16(const unsigned char* in, std::size_t size, unsigned char* out, ByteFold fold, bool end)
{
    std::size_t at = 0;
    std::size_t written = 0;
    for (; size - at >= 2; at += 2) {
        const char16_t unit = UnitAt(in + at, fold.encoding);
        if (fold.decomposed && at >= 2 && Combines(UnitAt(in + at - 2, fold.encoding), unit)) {
            if constexpr (kFind)
                return {at - 2, 0, at - 2, 4};
            continue;
        }
        const char16_t folded = FoldUnit(unit);
        if constexpr (kFind) {
            if (folded != unit)
                return {at, 0, at, 2};
        } else {
            const bool big = fold.encoding == ByteEncoding::Utf16BigEndian;
            out[written++] = static_cast<unsigned char>(big ? folded >> 8 : folded & 0xFF);
            out[written++] = static_cast<unsigned char>(big ? folded & 0xFF : folded >> 8);
        }
    }
    if (!end) {
        // An odd byte, and a base letter that a mark may follow, wait for the next piece.
        if (fold.decomposed && at >= 2 && IsBase(UnitAt(in + at - 2, fold.encoding))) {
            at -= 2;
            written -= kFind ? 0 : 2;
        }
        return {at, written};
    }
    if (at < size) {
        if constexpr (!kFind)
            out[written++] = in[at];
        ++at;
    }
    return {at, written};
}

template <bool kFind>
Scan ScanBytes(ByteFold fold, const unsigned char* in, std::size_t size, unsigned char* out, bool end)
{
    return fold.encoding == ByteEncoding::Utf8 ? ScanUtf8<kFind>(in, size, out, fold.decomposed, end)
                                               : ScanUtf16<kFind>(in, size, out, fold, end);
}

// The length of the UTF-8 sequence that `lead` begins, 0 if it begins none.
std::size_t SequenceLength(unsigned char lead)
{
    return lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
}

// Whether `next` continues the valid sequence begun by `bytes`.
bool Continues(const unsigned char* bytes, std::size_t size, unsigned char next)
{
    if (size == 1) {
        switch (bytes[0]) {
        case 0xE0: return next >= 0xA0 && next <= 0xBF;
        case 0xED: return next >= 0x80 && next <= 0x9F;
        case 0xF0: return next >= 0x90 && next <= 0xBF;
        case 0xF4: return next >= 0x80 && next <= 0x8F;
        default: break;
        }
    }
    return next >= 0x80 && next <= 0xBF;
}

} // namespace

FoldedPiece FoldBytes(ByteFold fold, const unsigned char* in, std::size_t size, unsigned char* out, bool end)
{
    std::size_t read = 0;
    std::size_t written = 0;
    if (fold.encoding == ByteEncoding::Utf8 && !fold.decomposed)
        std::tie(read, written) = FoldUtf8Body(in, size, out);
    const Scan scan = ScanBytes<false>(fold, in + read, size - read, out + written, end);
    return {read + scan.consumed, written + scan.produced};
}

bool FoldsToItself(ByteFold fold, const unsigned char* in, std::size_t size)
{
    if (fold.encoding != ByteEncoding::Utf8 || (fold.decomposed && size > 0 && IsBase(in[size - 1])))
        return false;
    // A kilobyte at a time, with no branch inside, so that the compiler can vectorise it.
    for (std::size_t at = 0; at < size; at += 1024) {
        const std::size_t stop = std::min(size, at + 1024);
        unsigned char leads = 0;
        for (std::size_t i = at; i < stop; ++i)
            leads |= in[i] & (in[i] << 1);
        if (leads & 0x80)
            return false;
    }
    return true;
}

LetterSearch FindLetter(ByteFold fold, const unsigned char* in, std::size_t size, bool end)
{
    const Scan scan = ScanBytes<true>(fold, in, size, nullptr, end);
    return {scan.letter, scan.letterLength, scan.consumed};
}

std::uint64_t TextPosition::column() const
{
    // Bytes still pending form no character with a letter after them.
    const std::size_t pending = encoding_ == ByteEncoding::Utf8 ? pendingSize_ : pendingSize_ / 2;
    return column_ + pending + 1;
}

void TextPosition::Character(bool lineFeed, bool byteOrderMark)
{
    // A byte order mark that opens the stream is no character of the text.
    const bool first = !started_;
    started_ = true;
    if (first && byteOrderMark)
        return;
    if (lineFeed) {
        ++line_;
        column_ = 0;
    } else {
        ++column_;
    }
}

void TextPosition::Advance(const unsigned char* bytes, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char byte = bytes[i];
        if (encoding_ != ByteEncoding::Utf8) {
            pending_[pendingSize_++] = byte;
            if (pendingSize_ % 2)
                continue;
            const unsigned char unitBytes[2] = {pending_[pendingSize_ - 2], pending_[pendingSize_ - 1]};
            const char16_t unit = UnitAt(unitBytes, encoding_);
            const bool afterHigh = pendingSize_ == 4;
            pendingSize_ = 0;
            if (afterHigh) {
                // A pair, or a high surrogate that stood alone: one character either way.
                Character(false);
                if (unit >= 0xDC00 && unit < 0xE000)
                    continue;
            }
            if (unit >= 0xD800 && unit < 0xDC00) {
                std::memcpy(pending_, unitBytes, 2);
                pendingSize_ = 2;
            } else {
                Character(unit == u'\n', unit == 0xFEFF);
            }
            continue;
        }
        if (pendingSize_ > 0 && !Continues(pending_, pendingSize_, byte)) {
            // What was pending forms no character: each of its bytes counts as one.
            column_ += pendingSize_;
            pendingSize_ = 0;
            started_ = true;
        }
        if (pendingSize_ > 0) {
            pending_[pendingSize_++] = byte;
            if (pendingSize_ == SequenceLength(pending_[0])) {
                pendingSize_ = 0;
                Character(false, std::memcmp(pending_, "\xEF\xBB\xBF", 3) == 0);
            }
            continue;
        }
        const std::size_t length = SequenceLength(byte);
        if (length <= 1)
            Character(byte == '\n');
        else
            pending_[pendingSize_++] = byte;
    }
}
