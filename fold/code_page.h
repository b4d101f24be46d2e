#pragma once

// Polish text in the single-byte code pages it lived in before UTF-8:
// Windows-1250, ISO-8859-2 and IBM852 (CP852). In each, every one of the 18
// letters is one byte from 0x80 up, and its fold is one ASCII byte.

#include "fold_bytes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

inline constexpr std::array<ByteEncoding, 3> kCodePages = {
    ByteEncoding::Windows1250, ByteEncoding::Iso8859_2, ByteEncoding::Ibm852};

bool IsCodePage(ByteEncoding encoding);

// The character `byte` stands for in a code page; 0 for a byte the code
// page leaves undefined.
char16_t CodePageCharacter(ByteEncoding codePage, unsigned char byte);

// FoldBytes, or with a null `out` FindLetter, in a code page: each byte
// stands alone, so the piece is consumed whole and nothing is held back.
PieceScan ScanCodePage(ByteEncoding codePage, const unsigned char* in, std::size_t size, unsigned char* out);

// The same for UTF-8 mixed with a code page: whole sequences of UTF-8 fold
// as UTF-8, and every other byte as the code page's. A sequence the next
// piece may finish is left unconsumed, unless at the `end`.
PieceScan ScanMixed(ByteEncoding codePage, const unsigned char* in, std::size_t size, unsigned char* out, bool end);

// Whether the piece holds a byte from 0x80 up: in a code page, a piece
// without one folds to itself.
bool HasHighByte(const unsigned char* in, std::size_t size);

// Watches a stream taken as UTF-8 for the bytes that are not UTF-8 (stray
// bytes), and tells at its end the code pages that a model of Polish names
// for them (polish_model.h; docs/man/kresovar-fold.1 gives the rule).
//
// How much more Polish, in eighths of a bit, the reading named must be than
// a Polish reading that differs from it, and than any reading by the model
// of the other languages (in all, and for each bigram scored).
inline constexpr std::uint64_t kPagesApart = 64;
inline constexpr std::uint64_t kLanguagesApart = 64;
inline constexpr std::uint64_t kPerBigram = 8;
class TextWatch {
public:
    TextWatch();
    // Takes in the next bytes of the stream.
    void Take(const unsigned char* bytes, std::size_t size);
    // Says that no more bytes come: a sequence cut short at the end is
    // stray bytes. Finish does it too.
    void End();
    // The code pages named, in the order of kCodePages (several where they
    // read every stray byte alike); none when the stream is UTF-8 or binary,
    // or where no reading is clearly the most Polish.
    std::vector<ByteEncoding> Finish();

    // The bytes taken so far that are no part of UTF-8, by value; all of
    // them once Finish has looked at the end.
    const std::array<std::uint64_t, 256>& strays() const { return strays_; }
    // The offset, from 0, of the first byte that is no part of UTF-8, once
    // it is known: a sequence the next bytes may finish is not yet.
    std::optional<std::uint64_t> firstStray() const { return firstStray_; }
    // Whether a NUL was taken.
    bool nul() const { return nul_; }
    // The cost of each code page's reading by the model of Polish, after Finish.
    const std::array<std::uint64_t, 3>& costs() const { return cost_; }
    // Whether the stream holds a sequence of UTF-8 from 0x80 up that is not
    // all Polish letters in `codePage` (as UnicodeStart counts them): for a
    // stream that holds stray bytes too, UTF-8 mixed with the code page.
    bool HasUnicode(ByteEncoding codePage) const;
    // A word (in UTF-8) around stray bytes as the first of `pages` reads it
    // which the most Polish of the other code pages reads otherwise (or,
    // failing that, the next), or any word with a Polish letter; empty when
    // there is none. After Finish.
    std::string Word(const std::vector<ByteEncoding>& pages) const;

private:
    // Walks `bytes` from `from`, where a sequence begins, to where one begins
    // at `to` or after; returns there, or the end, where a sequence the next
    // bytes may finish waits (unless at the `end`).
    std::size_t Walk(const unsigned char* bytes, std::size_t size, std::size_t from, std::size_t to, bool end,
                     std::uint64_t base);
    // Walks from `from`, after ASCII, 64 bytes at a time while they come
    // before `to`; returns where it stopped, after ASCII.
    std::size_t WalkBlocks(const unsigned char* bytes, std::size_t from, std::size_t to);
    // Of the bytes `high` of the `block`, those from 0x80 up in runs that
    // ASCII bytes end within it, returns the stray ones, and notes the
    // sequences of UTF-8 that begin at `starts`, where one may.
    std::uint64_t BlockStrays(const unsigned char* block, std::uint64_t high, std::uint64_t starts);
    void Stray(const unsigned char* bytes, std::size_t size, std::size_t at, std::uint64_t base);
    // Whether the pieces around stray bytes are still being kept.
    bool Remembering() const;
    // Keeps the offset of the first stray byte and the pieces around the first few.
    void Remember(const unsigned char* bytes, std::size_t size, std::size_t at, std::uint64_t base);
    // Notes which code pages a whole sequence from 0x80 up tells UTF-8 for.
    void Sequence(const unsigned char* sequence, std::size_t length);
    void Sequences(const unsigned char* bytes, std::size_t size);
    // Counts the pair of bytes before a stray byte and it, and the pair of
    // it and the byte after it: the bigrams that Finish scores in each
    // reading (the second only where the byte after it is ASCII).
    void Count(unsigned char before, unsigned char byte, unsigned char after);

    std::array<std::uint64_t, 256> strays_{};
    std::uint64_t taken_ = 0;
    std::optional<std::uint64_t> firstStray_;
    std::array<bool, 3> unicode_{};
    // Up to kWords pieces of the stream around its first stray bytes, and
    // in each code page up to kWords more around its first that are Polish letters there.
    static constexpr std::size_t kWords = 16;
    std::vector<std::string> words_;
    std::array<std::size_t, 3> lettered_{};
    // How many stray bytes may come before a code page's letters are no longer looked for.
    static constexpr std::uint64_t kLetteredWithin = 4096;
    // The pairs counted: a byte and the stray byte after it, [before][byte
    // - 0x80]; a stray byte and the byte after it, [byte - 0x80][after],
    // where only ASCII after it is scored.
    std::vector<std::uint32_t> before_;
    std::vector<std::uint32_t> after_;
    std::uint64_t bigrams_ = 0;
    std::size_t walkSpan_ = 64;  // how far the walk goes before the check of UTF-8 is tried again
    // The cost of each Polish reading by the model of Polish, from Finish.
    std::array<std::uint64_t, 3> cost_{};
    // The byte before those walked, the last byte taken, the byte before
    // the sequence pending, and a stray byte at the end of the bytes taken,
    // with the byte before it, to be counted with the byte after it.
    unsigned char walkBefore_ = ' ';
    unsigned char lastByte_ = ' ';
    unsigned char beforePending_ = ' ';
    std::optional<std::pair<unsigned char, unsigned char>> deferred_;
    unsigned char pending_[3] = {};  // the start of a sequence the next bytes may finish
    std::size_t pendingSize_ = 0;
    bool nul_ = false;
};

// Tells, from its start, whether a stream named as a code page holds UTF-8
// or UTF-16 text instead: a byte order mark, or valid UTF-8 for its first
// kUnicodeSequences sequences from 0x80 up (or for all it has, at least one,
// when it ends, or fills a buffer that begins at the first, before). A
// sequence whose every byte is a Polish letter in the code page, as Ó Ł (D3
// A3) in Windows-1250, tells neither and is passed over.
inline constexpr unsigned kUnicodeSequences = 4;
enum class StartVerdict { Undecided, CodePage, Unicode };
class UnicodeStart {
public:
    explicit UnicodeStart(ByteEncoding codePage) : codePage_(codePage) {}
    // Looks on through `bytes`, the stream from the first byte not yet
    // consumed; `end` when no more bytes come, `full` when the buffer takes
    // no more until some are consumed. While undecided, only the bytes
    // before firstHigh() may be consumed, and a full buffer that begins
    // there decides.
    StartVerdict Look(const unsigned char* bytes, std::size_t size, bool end, bool full);
    std::size_t firstHigh() const { return firstHigh_; }
    // The consumer has consumed `count` bytes, all before firstHigh().
    void Consumed(std::size_t count);

private:
    ByteEncoding codePage_;
    std::size_t looked_ = 0;
    std::size_t firstHigh_ = 0;
    bool sawHigh_ = false;
    bool consumed_ = false;
    unsigned sequences_ = 0;
};
