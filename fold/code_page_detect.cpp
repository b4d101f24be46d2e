// What tells the code page of a text: LegacyText and UnicodeStart.

#include "code_page.h"
#include "code_page_tables.h"

#include "fold_kernels.h"
#include "fold_path.h"
#include "letter_bytes.h"
#include "polish_model.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

using namespace code_page_tables;

namespace {


// The bytes of Windows-1252 (and, from 0xA0, ISO-8859-1) that Western
// European text hardly holds: the five it leaves undefined, † ‡ ˆ ˜ ¢ ¤ ¥ ¦
// ¨ ¬ ¯ ³ ´ ¶ ¸ ¹.
constexpr unsigned char kOddInWestern[] = {0x81, 0x8D, 0x8F, 0x90, 0x9D, 0x86, 0x87, 0x88, 0x98, 0xA2, 0xA4,
                                           0xA5, 0xA6, 0xA8, 0xAC, 0xAF, 0xB3, 0xB4, 0xB6, 0xB8, 0xB9};

// And those that it writes side by side: Ñ Ó ñ ó.
constexpr unsigned char kPairedInWestern[] = {0xD1, 0xD3, 0xF1, 0xF3};

constexpr Evidence EvidenceOf(std::size_t page, unsigned char byte)
{
    const char16_t character = kHighCharacters[page][byte - 0x80];
    const auto among = [&](const auto& bytes) { return std::find(std::begin(bytes), std::end(bytes), byte) != std::end(bytes); };
    if (IsPolishLetter(character))
        return among(kOddInWestern) ? Evidence::Sure : among(kPairedInWestern) ? Evidence::Paired : Evidence::Unsure;
    const bool control = character == 0 || character < 0xA0;
    const bool letter = character >= 0xC0 && character <= 0x24F && character != u'×' && character != u'÷';
    return control || letter ? Evidence::Against : Evidence::None;
}
constexpr std::array<std::array<Evidence, 128>, 3> kEvidence = [] {
    std::array<std::array<Evidence, 128>, 3> evidence{};
    for (std::size_t page = 0; page < evidence.size(); ++page) {
        for (unsigned byte = 0x80; byte < 256; ++byte)
            evidence[page][byte - 0x80] = EvidenceOf(page, static_cast<unsigned char>(byte));
    }
    return evidence;
}();

// A text needs this many Polish letters inside words to read as a code page:
// one may be a symbol beside a word, as "m³" or "x¹" in Windows-1252.
constexpr std::int64_t kSureLetters = 2;

} // namespace

Evidence StrayEvidence(ByteEncoding codePage, unsigned char byte)
{
    return byte < 0x80 ? Evidence::None : kEvidence[IndexOf(codePage)][byte - 0x80];
}

void LegacyText::Take(const unsigned char* bytes, std::size_t size)
{
    const std::uint64_t base = taken_;
    taken_ += size;
    if (deferred_ && size > 0) {
        Score(deferred_->first, deferred_->second, bytes[0]);
        deferred_.reset();
    }
    const unsigned char last = size > 0 ? bytes[size - 1] : lastByte_;
    struct Last {
        LegacyText& text;
        unsigned char byte;
        ~Last() { text.lastByte_ = byte; }
    } keep{*this, last};
    // A piece of ASCII after whole sequences holds no stray byte.
    if (pendingSize_ == 0 && !HasHighByte(bytes, size)) {
        nul_ = nul_ || std::memchr(bytes, 0, size) != nullptr;
        Pass(bytes, size);
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
        Pass(bytes + at, checked);
        Sequences(bytes + at, checked);
        at = Walk(bytes, size, at + checked, std::min(size, at + checked + 64), false, base);
    }
}

void LegacyText::Sequences(const unsigned char* bytes, std::size_t size)
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

void LegacyText::Sequence(const unsigned char* sequence, std::size_t length)
{
    for (std::size_t page = 0; page < kCodePages.size(); ++page) {
        unicode_[page] = unicode_[page] || !std::all_of(sequence, sequence + length, [&](unsigned char byte) {
            return IsPolishLetter(CodePageCharacter(kCodePages[page], byte));
        });
    }
}

bool LegacyText::HasUnicode(ByteEncoding codePage) const
{
    return unicode_[IndexOf(codePage)];
}

std::size_t LegacyText::Walk(const unsigned char* bytes, std::size_t size, std::size_t from, std::size_t to, bool end,
                             std::uint64_t base)
{
    using letter_bytes::Continues;
    std::size_t i = from;
    while (i < to) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            nul_ = nul_ || lead == 0;
            Step(lead);
            ++i;
            continue;
        }
        const std::size_t length = letter_bytes::SequenceLength(lead);
        std::size_t have = 1;
        while (have < length && i + have < size && Continues(bytes + i, have, bytes[i + have]))
            ++have;
        if (length >= 2 && have == length) {
            Pass(bytes + i, length);
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

void LegacyText::Pass(const unsigned char* bytes, std::size_t size)
{
    // Only the bytes near either end can end a run that holds stray bytes, or
    // begin the one the next bytes go on with: a run across all of kNear
    // bytes is long, wherever it began.
    constexpr std::size_t kNear = kLongRun + 1;
    const std::size_t head = size > 2 * kNear ? kNear : size;
    for (std::size_t i = 0; i < head; ++i)
        Step(bytes[i]);
    for (std::size_t i = std::max(head, size - kNear); i < size; ++i)
        Step(bytes[i]);
}

void LegacyText::Step(unsigned char byte)
{
    if (byte < 0x80) {
        const bool letter = static_cast<unsigned char>((byte | 0x20) - 'a') < 26;
        if (runLength_ > 0)
            EndRun(letter);
        letterBefore_ = letter;
        return;
    }
    if (runLength_ == 0)
        runAfterLetter_ = letterBefore_;
    runLength_ = std::min(runLength_ + 1, kLongRun + 1);
}

void LegacyText::Stray(const unsigned char* bytes, std::size_t size, std::size_t at, std::uint64_t base)
{
    const unsigned char byte = bytes[at];
    if (!firstStray_)
        firstStray_ = base + at;
    if (words_.size() < kWords) {
        const std::size_t from = at > 24 ? at - 24 : 0;
        words_.emplace_back(reinterpret_cast<const char*>(bytes + from), std::min(size, at + 24) - from);
        words_.back().insert(words_.back().begin(), static_cast<char>(at - from));  // where the stray byte stands
    }
    ++strays_[byte];
    const unsigned char before = at > 0 ? bytes[at - 1] : walkBefore_;
    if (at + 1 < size)
        Score(before, byte, bytes[at + 1]);
    else
        deferred_.emplace(before, byte);  // scored with the byte after it, in the next bytes
    Step(byte);
    if (runStrays_ < kLongRun)
        runStray_[runStrays_] = byte;
    ++runStrays_;
}

void LegacyText::EndRun(bool beforeLetter)
{
    for (std::size_t page = 0; page < kCodePages.size() && runStrays_ > 0; ++page) {
        Tally& tally = tally_[page];
        // A long run, as the encodings of Chinese, Japanese and Korean make, is no Polish word.
        if (runLength_ > kLongRun) {
            tally.against += static_cast<std::int64_t>(runStrays_);
            continue;
        }
        std::array<std::int64_t, 5> count{};
        for (std::size_t i = 0; i < runStrays_; ++i)
            ++count[static_cast<std::size_t>(kEvidence[page][runStray_[i] - 0x80])];
        const auto [sure, unsure, paired, against, none] = count;
        const std::int64_t letters = sure + unsure + paired;
        // Letters side by side at a word, not only those Western text pairs,
        // or one that it hardly holds between two letters.
        const bool inWord = (runAfterLetter_ || beforeLetter)
                            && ((letters >= 2 && paired < letters)
                                || (runLength_ == 1 && runAfterLetter_ && beforeLetter && sure == 1));
        (inWord ? tally.sure : tally.unsure) += letters;
        tally.against += against;
    }
    runLength_ = 0;
    runStrays_ = 0;
}

void LegacyText::Score(unsigned char before, unsigned char byte, unsigned char after)
{
    using namespace polish_model;
    ++bigrams_;
    for (std::size_t reading = 0; reading < kByteSymbol.size(); ++reading) {
        const auto& symbols = kByteSymbol[reading];
        const unsigned first = symbols[before] * kSymbols + symbols[byte];
        // The bigram after a byte from 0x80 up is scored with that byte.
        const unsigned second = symbols[byte] * kSymbols + symbols[after];
        const bool last = after < 0x80;
        if (reading < kCodePages.size())
            cost_[reading] += kCost[0][first] + (last ? kCost[0][second] : 0u);
        otherCost_[reading] += kCost[1][first] + (last ? kCost[1][second] : 0u);
    }
}

std::vector<ByteEncoding> LegacyText::Finish()
{
    const std::size_t waiting = std::exchange(pendingSize_, 0);
    walkBefore_ = beforePending_;
    Walk(pending_, waiting, 0, waiting, true, taken_ - waiting);
    if (deferred_) {
        Score(deferred_->first, deferred_->second, ' ');
        deferred_.reset();
    }
    if (runLength_ > 0)
        EndRun(false);
    std::vector<ByteEncoding> named;
    if (nul_ || !firstStray_)
        return named;  // binary, or UTF-8
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
    const std::uint64_t other = *std::min_element(otherCost_.begin(), otherCost_.end());
    if (other < cost_[best] + kLanguagesApart + bigrams_ * kPerBigram / 8)
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

std::string LegacyText::Word(const std::vector<ByteEncoding>& pages) const
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
