// What tells the encoding of a text: TextWatch and UnicodeStart.

#include "code_page.h"
#include "code_page_tables.h"

#include "fold_kernels.h"
#include "fold_path.h"
#include "letter_bytes.h"
#include "polish_model.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>
#include <utility>

using namespace code_page_tables;

namespace {

// For each byte, one bit for each code page that reads it as a Polish letter.
constexpr auto kPolishLetterIn = [] {
    std::array<unsigned char, 256> pages{};
    for (unsigned byte = 0x80; byte < 256; ++byte) {
        for (std::size_t page = 0; page < kCodePages.size(); ++page)
            pages[byte] |= static_cast<unsigned char>(IsPolishLetter(kHighCharacters[page][byte - 0x80]) << page);
    }
    return pages;
}();

} // namespace

TextWatch::TextWatch() : before_(256 * 128), after_(128 * 256) {}

void TextWatch::Take(const unsigned char* bytes, std::size_t size)
{
    if (size == 0)
        return;  // nothing to walk, and `bytes` may be null
    const std::uint64_t base = taken_;
    taken_ += size;
    if (deferred_ && size > 0) {
        Count(deferred_->first, deferred_->second, bytes[0]);
        deferred_.reset();
    }
    const unsigned char last = size > 0 ? bytes[size - 1] : lastByte_;
    struct Last {
        TextWatch& text;
        unsigned char byte;
        ~Last() { text.lastByte_ = byte; }
    } keep{*this, last};
    // A piece of ASCII after whole sequences holds no stray byte.
    if (pendingSize_ == 0 && !HasHighByte(bytes, size)) {
        nul_ = nul_ || std::memchr(bytes, 0, size) != nullptr;
        return;
    }
    std::size_t at = 0;
    if (pendingSize_ > 0) {
        // The sequence the bytes before left unfinished, walked with those that finish or break it.
        unsigned char seam[6];
        const std::size_t waiting = std::exchange(pendingSize_, 0);
        const std::size_t taken = std::min<std::size_t>(size, 3);
        std::memcpy(seam, pending_, waiting);
        std::memcpy(seam + waiting, bytes, taken);
        walkBefore_ = beforePending_;
        const std::size_t walked = Walk(seam, waiting + taken, 0, waiting, false, base - waiting);
        if (pendingSize_ > 0)
            return;  // still unfinished, with all of these bytes
        at = walked - waiting;
    }
    // The path's check passes whole sequences of UTF-8; what stops it, a
    // block that is not UTF-8 or the last bytes, is walked a byte at a time.
    const fold_kernels::Utf8CheckKernel check = fold_kernels::Utf8CheckOf(UsedFoldPath());
    walkBefore_ = lastByte_;
    while (at < size) {
        const std::size_t checked = check(bytes + at, size - at, nul_);
        Sequences(bytes + at, checked);
        // Where the walk finds stray bytes, it walks on further before the check is tried again.
        const std::size_t span = walkSpan_;
        const std::uint64_t counted = bigrams_;
        at = Walk(bytes, size, at + checked, std::min(size, at + checked + span), false, base);
        walkSpan_ = bigrams_ > counted ? std::min<std::size_t>(span * 2, 4096) : 64;
    }
}

void TextWatch::Sequences(const unsigned char* bytes, std::size_t size)
{
    // Once every code page has its sequence, no more need be looked at.
    if (std::all_of(unicode_.begin(), unicode_.end(), [](bool seen) { return seen; }) || !HasHighByte(bytes, size))
        return;
    for (std::size_t i = 0; i < size;) {
        const std::size_t length = bytes[i] < 0x80 ? 1 : letter_bytes::SequenceLength(bytes[i]);
        if (length >= 2 && i + length <= size)
            Sequence(bytes + i, length);
        i += std::max<std::size_t>(length, 1);
    }
}

void TextWatch::Sequence(const unsigned char* sequence, std::size_t length)
{
    unsigned letters = ~0u;
    for (std::size_t i = 0; i < length; ++i)
        letters &= kPolishLetterIn[sequence[i]];
    for (std::size_t page = 0; page < kCodePages.size(); ++page)
        unicode_[page] = unicode_[page] || (letters >> page & 1) == 0;
}

bool TextWatch::HasUnicode(ByteEncoding codePage) const
{
    return unicode_[IndexOf(codePage)];
}

bool TextWatch::Remembering() const
{
    return words_.size() < kWords
        || (bigrams_ < kLetteredWithin
            && std::any_of(lettered_.begin(), lettered_.end(), [](std::size_t kept) { return kept < kWords; }));
}

void TextWatch::Remember(const unsigned char* bytes, std::size_t size, std::size_t at, std::uint64_t base)
{
    if (!firstStray_)
        firstStray_ = base + at;
    // The first pieces, and in each code page the first whose stray byte is
    // a Polish letter there, so that a word is shown however many others come first.
    bool wanted = words_.size() < kWords;
    for (std::size_t page = 0; page < kCodePages.size(); ++page) {
        if (lettered_[page] < kWords && IsPolishLetter(CodePageCharacter(kCodePages[page], bytes[at]))) {
            ++lettered_[page];
            wanted = true;
        }
    }
    if (!wanted)
        return;
    const std::size_t from = at > 24 ? at - 24 : 0;
    words_.emplace_back(reinterpret_cast<const char*>(bytes + from), std::min(size, at + 24) - from);
    words_.back().insert(words_.back().begin(), static_cast<char>(at - from));  // where the stray byte stands
}

inline void TextWatch::Count(unsigned char before, unsigned char byte, unsigned char after)
{
    ++bigrams_;
    ++before_[before * 128u + (byte - 0x80u)];
    ++after_[(byte - 0x80u) * 256u + after];
}

inline void TextWatch::Stray(const unsigned char* bytes, std::size_t size, std::size_t at, std::uint64_t base)
{
    const unsigned char byte = bytes[at];
    if (Remembering()) [[unlikely]]
        Remember(bytes, size, at, base);
    ++strays_[byte];
    const unsigned char before = at > 0 ? bytes[at - 1] : walkBefore_;
    if (at + 1 < size)
        Count(before, byte, bytes[at + 1]);
    else
        deferred_.emplace(before, byte);  // counted with the byte after it, in the next bytes
}

[[gnu::always_inline]] inline std::uint64_t TextWatch::BlockStrays(const unsigned char* block, std::uint64_t high,
                                                                    std::uint64_t starts)
{
    // A byte from 0xC0 up is never inside a sequence: each of them that begins
    // a whole sequence takes its bytes out of the stray ones.
    for (; starts != 0; starts &= starts - 1) {
        const unsigned at = static_cast<unsigned>(std::countr_zero(starts));
        const unsigned char* lead = block + at;
        const std::size_t length = letter_bytes::SequenceLength(*lead);
        std::size_t have = 1;
        while (have < length && letter_bytes::Continues(lead, have, lead[have]))
            ++have;
        if (length >= 2 && have == length) {
            Sequence(lead, length);
            high &= ~(((std::uint64_t{1} << length) - 1) << at);
        }
    }
    return high;
}

std::size_t TextWatch::WalkBlocks(const unsigned char* bytes, std::size_t from, std::size_t to)
{
    // The first stray bytes are remembered in order, a byte at a time.
    if (Remembering())
        return from;
    const fold_kernels::HighBytesKernel highBytes = fold_kernels::HighBytesOf(UsedFoldPath());
    // Through pointers held here, which the counts cannot change.
    std::uint64_t* strays = strays_.data();
    std::uint32_t* before = before_.data();
    std::uint32_t* after = after_.data();
    std::uint64_t counted = 0;
    std::size_t at = from;
    while (at + 64 <= to) {
        const fold_kernels::HighBytes block = highBytes(bytes + at, nul_);
        if (~block.high == 0)
            break;
        // To the last ASCII byte: a run of bytes from 0x80 up after it may go on past the block.
        const std::size_t walked = 64 - static_cast<std::size_t>(std::countl_zero(~block.high));
        const std::uint64_t high = block.high & ~std::uint64_t{0} >> (64 - walked);
        // A sequence of UTF-8 begins with a byte from 0xC0 up before a continuation byte.
        const std::uint64_t starts = high & ~block.continuation & block.continuation >> 1;
        // Each stray byte counted: the byte before it and the byte after it
        // are in the block or the ASCII before it.
        for (std::uint64_t stray = starts == 0 ? high : BlockStrays(bytes + at, high, starts); stray != 0;
             stray &= stray - 1, ++counted) {
            const unsigned char* byte = bytes + at + std::countr_zero(stray);
            ++strays[byte[0]];
            ++before[byte[-1] * 128u + (byte[0] - 0x80u)];
            ++after[(byte[0] - 0x80u) * 256u + byte[1]];
        }
        at += walked;
    }
    bigrams_ += counted;
    return at;
}

std::size_t TextWatch::Walk(const unsigned char* bytes, std::size_t size, std::size_t from, std::size_t to, bool end,
                             std::uint64_t base)
{
    using letter_bytes::Continues;
    std::size_t i = from;
    while (i < to) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            // On to the next byte from 0x80 up, 64 at a time, then eight.
            std::size_t next = i;
            next = WalkBlocks(bytes, next, to);
            std::uint64_t zeros = 0;  // a bit set where a word held a NUL
            while (next + 8 <= to) {
                std::uint64_t word;
                std::memcpy(&word, bytes + next, 8);
                zeros |= (word - 0x0101010101010101u) & ~word & 0x8080808080808080u;
                const std::uint64_t high = word & 0x8080808080808080u;
                // Bytes from 0x80 up alone or two together between ASCII bytes,
                // as a code page's letters mostly stand: a pair is a sequence
                // of UTF-8 (C2 to DF, then 80 to BF), or two stray bytes; one
                // alone is a stray byte.
                if (high != 0 && (high & high << 8 & high << 16) == 0 && (high >> 63) == 0) {
                    for (std::uint64_t bits = high; bits != 0; bits &= bits - 1) {
                        const std::size_t k = next + static_cast<std::size_t>(std::countr_zero(bits)) / 8;
                        if ((bits & (bits & (~bits + 1)) << 8) != 0) {  // the byte after it is from 0x80 up too
                            const unsigned char first = bytes[k], second = bytes[k + 1];
                            if (first >= 0xC2 && first <= 0xDF && second < 0xC0) {
                                Sequence(bytes + k, 2);
                            } else {
                                Stray(bytes, size, k, base);
                                Stray(bytes, size, k + 1, base);
                            }
                            bits &= bits - 1;  // the second of the pair
                            continue;
                        }
                        Stray(bytes, size, k, base);
                    }
                    next += 8;
                    continue;
                }
                if (high != 0) {
                    next += static_cast<std::size_t>(std::countr_zero(high)) / 8;
                    break;
                }
                next += 8;
            }
            nul_ = nul_ || zeros != 0;
            if (next == i) {
                nul_ = nul_ || lead == 0;
                ++next;
            }
            i = next;
            continue;
        }
        const std::size_t length = letter_bytes::SequenceLength(lead);
        std::size_t have = 1;
        while (have < length && i + have < size && Continues(bytes + i, have, bytes[i + have]))
            ++have;
        if (length >= 2 && have == length) {
            Sequence(bytes + i, length);
            i += length;
        } else if (length >= 2 && i + have == size && !end) {
            // The next bytes may finish it.
            beforePending_ = i > 0 ? bytes[i - 1] : walkBefore_;
            pendingSize_ = size - i;
            std::memcpy(pending_, bytes + i, pendingSize_);
            return size;
        } else {
            Stray(bytes, size, i, base);
            ++i;
        }
    }
    return i;
}

void TextWatch::End()
{
    const std::size_t waiting = std::exchange(pendingSize_, 0);
    walkBefore_ = beforePending_;
    Walk(pending_, waiting, 0, waiting, true, taken_ - waiting);
    if (deferred_) {
        Count(deferred_->first, deferred_->second, ' ');
        deferred_.reset();
    }
}

std::vector<ByteEncoding> TextWatch::Finish()
{
    End();
    std::vector<ByteEncoding> named;
    if (nul_ || !firstStray_)
        return named;  // binary, or UTF-8
    // The cost of the pairs counted in each reading, by each model: the three
    // code pages by the model of Polish, and all six by the other.
    using namespace polish_model;
    std::array<std::uint64_t, kByteSymbol.size()> other{};
    for (unsigned first = 0; first < 256; ++first) {
        for (unsigned second = 0; second < 128; ++second) {
            const std::uint64_t pairs = before_[first * 128 + second];
            const std::uint64_t following = first < 128 ? after_[first * 256 + second] : 0;
            if (pairs == 0 && following == 0)
                continue;
            for (std::size_t reading = 0; reading < kByteSymbol.size(); ++reading) {
                const auto& symbols = kByteSymbol[reading];
                // first and the stray byte 0x80 + second; the stray byte 0x80 + first and second
                const unsigned one = symbols[first] * kSymbols + symbols[0x80 + second];
                const unsigned two = first < 128 ? symbols[0x80 + first] * kSymbols + symbols[second] : 0;
                if (reading < kCodePages.size())
                    cost_[reading] += pairs * kCost[0][one] + following * kCost[0][two];
                other[reading] += pairs * kCost[1][one] + following * kCost[1][two];
            }
        }
    }
    // The most Polish reading, by the Polish model.
    std::size_t best = 0;
    for (std::size_t page = 1; page < kCodePages.size(); ++page)
        best = cost_[page] < cost_[best] ? page : best;
    // It must hold a Polish letter, read no stray byte as a control or an undefined byte, ...
    bool letter = false;
    for (unsigned byte = 0x80; byte < 256; ++byte) {
        if (strays_[byte] == 0)
            continue;
        const char16_t character = CodePageCharacter(kCodePages[best], static_cast<unsigned char>(byte));
        letter = letter || IsPolishLetter(character);
        if (character < 0xA0)
            return named;
    }
    if (!letter)
        return named;
    // ... be clearly more Polish than each Polish reading that differs from it, ...
    for (std::size_t page = 0; page < kCodePages.size(); ++page) {
        bool alike = true;
        for (unsigned byte = 0x80; byte < 256 && alike; ++byte) {
            alike = strays_[byte] == 0 || CodePageCharacter(kCodePages[page], static_cast<unsigned char>(byte))
                                              == CodePageCharacter(kCodePages[best], static_cast<unsigned char>(byte));
        }
        if (alike)
            named.push_back(kCodePages[page]);
        else if (cost_[page] < cost_[best] + kPagesApart)
            return {};
    }
    // ... and than any reading by the model of the other languages.
    if (*std::min_element(other.begin(), other.end()) < cost_[best] + kLanguagesApart + bigrams_ * kPerBigram / 8)
        return {};
    return named;
}

namespace {

// The character as UTF-8.
void Append(std::string& text, char16_t character)
{
    if (character < 0x80) {
        text += static_cast<char>(character);
    } else if (character < 0x800) {
        text += static_cast<char>(0xC0 | character >> 6);
        text += static_cast<char>(0x80 | (character & 0x3F));
    } else {
        text += static_cast<char>(0xE0 | character >> 12);
        text += static_cast<char>(0x80 | (character >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (character & 0x3F));
    }
}

bool IsWordByte(unsigned char byte)
{
    return byte >= 0x80 || static_cast<unsigned char>((byte | 0x20) - 'a') < 26;
}

} // namespace

std::string TextWatch::Word(const std::vector<ByteEncoding>& pages) const
{
    // The code pages not named, the most Polish first: a word that one of
    // them reads otherwise, the nearest first.
    std::vector<std::size_t> others;
    for (std::size_t page = 0; page < kCodePages.size(); ++page) {
        if (std::find(pages.begin(), pages.end(), kCodePages[page]) == pages.end())
            others.push_back(page);
    }
    std::sort(others.begin(), others.end(), [&](std::size_t a, std::size_t b) { return cost_[a] < cost_[b]; });
    others.push_back(kCodePages.size());  // then any word with a Polish letter
    for (std::size_t other : others) {
        for (const std::string& piece : words_) {
            const auto* bytes = reinterpret_cast<const unsigned char*>(piece.data() + 1);
            const std::size_t size = piece.size() - 1;
            std::size_t from = static_cast<unsigned char>(piece[0]);
            std::size_t to = from + 1;
            while (from > 0 && IsWordByte(bytes[from - 1]))
                --from;
            while (to < size && IsWordByte(bytes[to]))
                ++to;
            std::string word;
            bool polish = false;
            bool differs = other == kCodePages.size();
            for (std::size_t i = from; i < to; ++i) {
                const char16_t character = CodePageCharacter(pages.front(), bytes[i]);
                polish = polish || IsPolishLetter(character);
                Append(word, character);
                differs = differs || (other < kCodePages.size() && CodePageCharacter(kCodePages[other], bytes[i]) != character);
            }
            if (polish && differs)
                return word;
        }
    }
    return {};
}

StartVerdict UnicodeStart::Look(const unsigned char* bytes, std::size_t size, bool end, bool full)
{
    if (!consumed_ && looked_ == 0) {
        static constexpr std::string_view kMarks[] = {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};
        for (std::string_view mark : kMarks) {
            const std::size_t compared = std::min(size, mark.size());
            if (std::memcmp(bytes, mark.data(), compared) != 0)
                continue;
            if (compared == mark.size())
                return StartVerdict::Unicode;
            if (!end)
                return StartVerdict::Undecided;
        }
    }
    while (looked_ < size) {
        const unsigned char* lead = bytes + looked_;
        if (*lead < 0x80) {
            ++looked_;
            firstHigh_ = sawHigh_ ? firstHigh_ : looked_;
            continue;
        }
        sawHigh_ = true;
        const std::size_t length = letter_bytes::SequenceLength(*lead);
        std::size_t have = 1;
        while (have < length && looked_ + have < size && letter_bytes::Continues(lead, have, lead[have]))
            ++have;
        if (length < 2 || (have < length && looked_ + have < size) || (have < length && end))
            return StartVerdict::CodePage;
        if (have < length)
            break;  // the next bytes finish it, or the buffer's end ends the look
        looked_ += length;
        const bool letters = std::all_of(lead, lead + length, [&](unsigned char byte) {
            return IsPolishLetter(CodePageCharacter(codePage_, byte));
        });
        if (!letters && ++sequences_ == kUnicodeSequences)
            return StartVerdict::Unicode;
    }
    if (end || (full && firstHigh_ == 0))
        return sequences_ > 0 ? StartVerdict::Unicode : StartVerdict::CodePage;
    return StartVerdict::Undecided;
}

void UnicodeStart::Consumed(std::size_t count)
{
    looked_ -= count;
    firstHigh_ -= count;
    consumed_ = consumed_ || count > 0;
}
