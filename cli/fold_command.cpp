#include "fold_command.h"

#include "code_page.h"
#include "files.h"
#include "fold_bytes.h"
#include "fold_path.h"
#include "kresovar_version.h"
#include "read_size.h"
#include "text_position.h"

#include <getopt.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string_view>

// Each step that can fail returns false and says why in `reason`, as the
// operations of files.h do.

namespace {

constexpr char kUsage[] =
    "Usage: kresovar-fold [OPTION]... [FILE]...\n"
    "Replace the 18 Polish letters with diacritics (ą ć ę ł ń ó ś ź ż and their\n"
    "capitals) by plain Latin letters in each FILE, or in standard input, and\n"
    "write the result to standard output. Every other byte is kept as it is.\n"
    "With no FILE, or when FILE is -, read standard input.\n"
    "\n"
    "  -e, --encoding=NAME\n"
    "                   read the text in the encoding NAME, in any case: utf-8,\n"
    "                   windows-1250 (cp1250), iso-8859-2 (latin2), ibm852 (cp852),\n"
    "                   or utf-8+ one of the three for UTF-8 mixed with it\n"
    "  -i, --in-place   rewrite each FILE instead of writing to standard output\n"
    "  -c, --check      write no text; report the first letter of each FILE as\n"
    "                   FILE:LINE:COLUMN: LETTER, and exit with 1 if any is found\n"
    "      --decomposed also fold letters written as a base letter followed by a\n"
    "                   combining ogonek, acute or dot above (the mark is dropped)\n"
    "  -h, --help       show this help and exit\n"
    "      --version    show the version and exit\n"
    "\n"
    "Text is UTF-8, or UTF-16 in a FILE that starts with a byte order mark.\n"
    "Without -e, a FILE that is not UTF-8 is not folded: it is written out as it\n"
    "came, -i leaves it untouched, and it is an error that may name its code page:\n"
    "\"not UTF-8 (byte 118); it reads as windows-1250 ... use -e windows-1250\".\n"
    "-e utf-8 folds valid UTF-8 and passes other bytes; -e utf-8+windows-1250\n"
    "reads those bytes in the code page. With -e naming a code page, UTF-8 or\n"
    "UTF-16 text is an error, and is left untouched.\n"
    "Exit status: 0 if all went well, 1 if --check found a letter, 2 on an error.\n";

enum class Mode { Print, Check, InPlace };

struct Options {
    Mode mode = Mode::Print;
    bool decomposed = false;
    std::optional<ByteEncoding> encoding;  // named by -e
    ByteEncoding strays = ByteEncoding::Utf8;  // with encoding Utf8, -e utf-8+CODE-PAGE
    std::vector<std::string> files;
};

void Say(const std::string& text)
{
    std::fflush(stdout);  // what was printed before comes before the message
    WriteText(stderr, "kresovar-fold: " + text + "\n");
}

// The help, for status 0, or the hint after a wrong command line; returns the status.
int Usage(int status)
{
    if (status == 0)
        WriteText(stdout, kUsage);
    else
        std::fputs("Try 'kresovar-fold --help' for more information.\n", stderr);
    return status;
}

// The encodings -e takes, each by its name and others that people use, in any case.
struct NamedEncoding {
    const char* name;
    std::vector<std::string_view> aliases;
    ByteEncoding encoding;
};
const NamedEncoding kEncodings[] = {
    {"utf-8", {"utf8"}, ByteEncoding::Utf8},
    {"windows-1250", {"windows1250", "cp1250", "1250"}, ByteEncoding::Windows1250},
    {"iso-8859-2", {"iso8859-2", "iso_8859-2", "latin2", "latin-2", "l2"}, ByteEncoding::Iso8859_2},
    {"ibm852", {"cp852", "852"}, ByteEncoding::Ibm852},
};

constexpr char kEncodingNames[] = "utf-8, windows-1250 (cp1250), iso-8859-2 (latin2), ibm852 (cp852), "
                                  "and utf-8+ each of the three";

std::optional<ByteEncoding> EncodingNamed(std::string_view name)
{
    const auto same = [&](std::string_view known) {
        return std::equal(name.begin(), name.end(), known.begin(), known.end(),
                          [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
    };
    for (const NamedEncoding& named : kEncodings) {
        if (same(named.name) || std::any_of(named.aliases.begin(), named.aliases.end(), same))
            return named.encoding;
    }
    return std::nullopt;
}

// An encoding -e takes: one of kEncodings, or UTF-8 mixed with a code page
// ("utf-8+windows-1250"), whose `strays` are the code page.
bool ParseEncoding(std::string_view name, Options& options)
{
    const std::size_t plus = name.find('+');
    options.encoding = EncodingNamed(name.substr(0, plus));
    if (plus == std::string_view::npos)
        return options.encoding.has_value();
    const std::optional<ByteEncoding> page = EncodingNamed(name.substr(plus + 1));
    if (options.encoding != ByteEncoding::Utf8 || !page || !IsCodePage(*page))
        return false;
    options.strays = *page;
    return true;
}

const char* EncodingName(ByteEncoding encoding)
{
    return std::find_if(std::begin(kEncodings), std::end(kEncodings),
                        [&](const NamedEncoding& named) { return named.encoding == encoding; })->name;
}

// The version, and the fold path in use among those the processor offers.
int Version()
{
    std::string offered;
    for (FoldPath path : FoldPaths()) {
        if (path != FoldPath::Portable)
            offered += std::string(" ") + FoldPathName(path);
    }
    std::printf("kresovar-fold %s\nfold path: %s (processor:%s)\n", kProgramVersion, FoldPathName(UsedFoldPath()),
                offered.empty() ? " no vector path" : offered.c_str());
    return 0;
}

// Takes the fold path that KRESOVAR_FOLD_PATH names, when it names one;
// for a name unknown or a path the processor lacks, says why.
std::optional<std::string> ChooseFoldPath()
{
    const char* name = std::getenv("KRESOVAR_FOLD_PATH");
    if (name == nullptr || *name == '\0')
        return std::nullopt;
    const std::optional<FoldPath> path = FoldPathNamed(name);
    const std::vector<FoldPath> offered = FoldPaths();
    if (path && std::find(offered.begin(), offered.end(), *path) != offered.end()) {
        UseFoldPath(*path);
        return std::nullopt;
    }
    std::string names;
    for (FoldPath each : offered)
        names += std::string(names.empty() ? "" : ", ") + FoldPathName(each);
    return std::string("KRESOVAR_FOLD_PATH: ")
           + (path ? std::string("the '") + name + "' fold path needs what this processor lacks"
                   : std::string("no fold path is called '") + name + "'")
           + "; this processor can take " + names;
}

// The system copies a file or a pipe into memory, and out of it, several
// times faster when that memory starts on a cache line (five times on an AMD
// EPYC); the program's buffers do.
constexpr std::size_t kLine = 64;

struct AlignedDelete {
    void operator()(unsigned char* bytes) const { ::operator delete[](bytes, std::align_val_t{kLine}); }
};
using AlignedBuffer = std::unique_ptr<unsigned char[], AlignedDelete>;

AlignedBuffer NewAlignedBuffer(std::size_t size)
{
    return AlignedBuffer(static_cast<unsigned char*>(::operator new[](size, std::align_val_t{kLine})));
}

// Reads a stream piece by piece into a buffer that keeps, at its front, the
// bytes the fold held back from the previous piece.
//
// In a code page named by -e, it gives nothing from the first byte from 0x80
// on until the stream is seen not to be UTF-8 or UTF-16. Without -e, a
// stream that is not UTF-16 by its mark must be UTF-8 (`strict`): it gives
// nothing from the first byte from 0x80 on until kReadSize more bytes are
// read, the stream ends or a read would wait; then up to the first byte
// that is not UTF-8, and from there (or from the start, if it came before)
// the bytes as they are, raw().
class PieceReader {
public:
    PieceReader(InputFile& input, const Options& options)
        : input_(input), named_(options.encoding), strays_(options.strays),
          buffer_(NewAlignedBuffer(kFront + 2 * kReadSize))
    {
    }

    // Reads the next piece; false on a read failure, or on Unicode text in a
    // named code page.
    bool Next(std::string& reason)
    {
        std::ptrdiff_t read = -1;
        do {
            if (strict_ && !decided_ && high_ && input_.WouldWait()) {
                Decide();
                break;
            }
            const std::size_t room = size_ < kReadSize ? kReadSize - size_ : 2 * kReadSize - size_;
            unsigned char* into = buffer_.get() + front_ + size_;
            read = input_.Read(into, room, reason);
            if (read < 0)
                return false;
            size_ += static_cast<std::size_t>(read);
            if (start_ && IsUnicode(read == 0, size_ == kReadSize, reason))
                return false;
            if (first_ && (size_ >= 2 || read == 0)) {
                first_ = false;
                encoding_ = named_ && IsCodePage(*named_) ? *named_ : MarkedEncoding();
                strict_ = !named_ && encoding_ == ByteEncoding::Utf8;
                Watch(data(), size_);
            } else if (!first_) {
                Watch(into, static_cast<std::size_t>(read));
            }
            if (read == 0 && strict_) {
                watch_.End();  // a sequence cut short by the end is not UTF-8
                if (!decided_)
                    Decide();
            }
            // Two bytes at least, to tell a UTF-16 byte order mark; in a named
            // code page, or before the look-ahead decides, something that may be consumed.
        } while (read > 0 && (first_ || (start_ && start_->firstHigh() == 0) || (strict_ && !decided_ && size() == 0)));
        end_ = end_ || read == 0;
        return true;
    }
    ByteEncoding Encoding() const { return encoding_; }
    ByteFold Fold(bool decomposed) const { return {encoding_, decomposed, strays_}; }
    // Drops the first `consumed` bytes; the rest go in front of the next piece.
    void Consume(std::size_t consumed)
    {
        if (start_)
            start_->Consumed(consumed);
        consumedBefore_ += consumed;
        // Just before the place the next piece is read to, a cache line in,
        // unless more is kept (the start of a stream in a named code page).
        const std::size_t kept = size_ - consumed;
        const std::size_t front = kept <= kFront ? kFront - kept : 0;
        std::memmove(buffer_.get() + front, data() + consumed, size_ - consumed);
        front_ = front;
        size_ -= consumed;
    }
    // Reads the rest of the stream, for what Finish says.
    bool Drain(std::string& reason)
    {
        while (!end_) {
            Consume(size_);
            if (!Next(reason))
                return false;
        }
        return true;
    }
    // At the end of a stream that must be UTF-8: false, and why, if it is not.
    bool Finish(std::string& reason)
    {
        if (!strict_)
            return true;
        std::vector<ByteEncoding> pages = watch_.Finish();
        if (!watch_.firstStray())
            return true;
        const std::string at = " (byte " + std::to_string(*watch_.firstStray() + 1) + ")";
        if (watch_.nul()) {
            reason = "binary" + at + ": left unchanged";
            return false;
        }
        if (pages.empty()) {
            reason = "not UTF-8" + at + ": left unchanged";
            return false;
        }
        std::string as;
        std::string use;
        const bool mixed = watch_.HasUnicode(pages.front());
        for (ByteEncoding page : pages) {
            as += std::string(as.empty() ? "" : " or ") + EncodingName(page);
            use += std::string(use.empty() ? "-e " : " or -e ") + (mixed ? "utf-8+" : "") + EncodingName(page);
        }
        if (mixed) {
            reason = "UTF-8 and " + as + " mixed: use " + use;
            return false;
        }
        const std::string word = watch_.Word(pages);
        reason = "not UTF-8" + at + "; it reads as " + as + (word.empty() ? "" : " \u2014 \"" + word + "\" \u2014") + " use " + use;
        return false;
    }
    const unsigned char* data() const { return buffer_.get() + front_; }
    // The bytes that may be consumed; from the first raw() byte on, all.
    std::size_t size() const
    {
        if (start_)
            return start_->firstHigh();
        if (strict_ && !decided_)
            return high_ ? static_cast<std::size_t>(*high_ - consumedBefore_) : size_;
        const std::optional<std::uint64_t> raw = RawFrom();
        if (raw && *raw > consumedBefore_)
            return std::min<std::size_t>(size_, static_cast<std::size_t>(*raw - consumedBefore_));
        return size_;
    }
    // Whether the bytes from data() on are to be passed on as they are.
    bool raw() const
    {
        const std::optional<std::uint64_t> raw = RawFrom();
        return raw && *raw <= consumedBefore_;
    }
    // Whether the bytes that may be consumed end the text to fold: the
    // stream's end, or a byte that is not UTF-8.
    bool end() const { return end_ || (RawFrom() && size() < size_); }
    bool ended() const { return end_; }

private:
    // The encoding of the first piece's byte order mark.
    ByteEncoding MarkedEncoding() const
    {
        if (size_ >= 2 && data()[0] == 0xFF && data()[1] == 0xFE)
            return ByteEncoding::Utf16LittleEndian;
        if (size_ >= 2 && data()[0] == 0xFE && data()[1] == 0xFF)
            return ByteEncoding::Utf16BigEndian;
        return ByteEncoding::Utf8;
    }
    // Looks on at the start of a stream in a named code page: true, with a
    // reason, when it is Unicode text.
    bool IsUnicode(bool end, bool full, std::string& reason)
    {
        const StartVerdict verdict = start_->Look(data(), size_, end, full);
        if (verdict == StartVerdict::CodePage)
            start_.reset();
        if (verdict != StartVerdict::Unicode)
            return false;
        reason = std::string("UTF-8 or UTF-16 text, not ") + EncodingName(*named_) + ": leave out -e";
        return true;
    }
    // Takes the bytes just read (at the end of the buffer) into the check of UTF-8.
    void Watch(const unsigned char* bytes, std::size_t size)
    {
        if (!strict_ || size == 0)
            return;
        const std::uint64_t at = read_;
        read_ += size;
        watch_.Take(bytes, size);
        if (!high_ && HasHighByte(bytes, size)) {
            const auto* first = std::find_if(bytes, bytes + size, [](unsigned char byte) { return byte >= 0x80; });
            if (first != bytes + size)
                high_ = at + static_cast<std::uint64_t>(first - bytes);
        }
        if (high_ && !decided_ && read_ >= *high_ + kReadSize)
            Decide();
    }
    // Ends the look-ahead: a byte that is not UTF-8 within it makes all it held raw.
    void Decide()
    {
        decided_ = true;
        if (watch_.firstStray())
            rawFromStart_ = true;
    }
    // Where the bytes passed on as they are begin, once the look-ahead has decided.
    std::optional<std::uint64_t> RawFrom() const
    {
        if (!strict_ || !decided_ || !watch_.firstStray())
            return std::nullopt;
        return rawFromStart_ ? std::min(consumedBefore_, *watch_.firstStray()) : *watch_.firstStray();
    }

    InputFile& input_;
    std::optional<ByteEncoding> named_;
    ByteEncoding strays_;
    std::optional<UnicodeStart> start_ = named_ && IsCodePage(*named_) ? std::optional<UnicodeStart>(std::in_place, *named_) : std::nullopt;
    static constexpr std::size_t kFront = kLine;  // room for the bytes held back
    static_assert(kMostHeldBack <= kFront);
    AlignedBuffer buffer_;
    std::size_t front_ = kFront;
    ByteEncoding encoding_ = ByteEncoding::Utf8;
    std::size_t size_ = 0;
    bool first_ = true;
    bool end_ = false;
    // Without -e: the check of UTF-8, the bytes read and consumed, the
    // offset of the first byte from 0x80 up, and whether the look-ahead
    // from it has decided.
    bool strict_ = false;
    TextWatch watch_;
    std::uint64_t read_ = 0;
    std::uint64_t consumedBefore_ = 0;
    std::optional<std::uint64_t> high_;
    bool decided_ = false;
    bool rawFromStart_ = false;
};

// Takes folded bytes, and the encoding they are in.
using Sink = std::function<bool(const unsigned char*, std::size_t, ByteEncoding, std::string&)>;

bool FoldStream(InputFile& input, const Options& options, const Sink& write, std::string& reason)
{
    PieceReader reader(input, options);
    const AlignedBuffer out = NewAlignedBuffer(2 * kReadSize);
    std::optional<ByteFold> fold;
    do {
        if (!reader.Next(reason))
            return false;
        if (!fold)
            fold = reader.Fold(options.decomposed);
        if (reader.raw() || FoldsToItself(*fold, reader.data(), reader.size())) {
            const std::size_t size = reader.size();
            if (!write(reader.data(), size, fold->encoding, reason))
                return false;
            reader.Consume(size);
            continue;
        }
        const PieceScan piece = FoldBytes(*fold, reader.data(), reader.size(), out.get(), reader.end());
        if (!write(out.get(), piece.produced, fold->encoding, reason))
            return false;
        reader.Consume(piece.consumed);
    } while (!reader.ended() || reader.size() > 0);
    return reader.Finish(reason);
}

// The letter as UTF-8, whatever the encoding it was found in.
std::string LetterText(const unsigned char* bytes, std::size_t length, ByteEncoding encoding, ByteEncoding strays)
{
    if (encoding == ByteEncoding::Utf8 && IsCodePage(strays) && length == 1)
        return LetterText(bytes, length, strays, strays);
    if (encoding == ByteEncoding::Utf8)
        return std::string(reinterpret_cast<const char*>(bytes), length);
    std::string text;
    const std::size_t step = IsCodePage(encoding) ? 1 : 2;
    for (std::size_t i = 0; i + step <= length; i += step) {
        const char16_t unit = step == 1 ? CodePageCharacter(encoding, bytes[i]) : Utf16Unit(bytes + i, encoding);
        if (unit < 0x80) {
            text += static_cast<char>(unit);
        } else {  // every letter and mark is below U+0800
            text += static_cast<char>(0xC0 | unit >> 6);
            text += static_cast<char>(0x80 | (unit & 0x3F));
        }
    }
    return text;
}

struct Found {
    std::uint64_t line;
    std::uint64_t column;
    std::string letter;
};

// The first letter of a stream, if it holds one, in `found`.
bool FirstLetter(InputFile& input, const Options& options, std::optional<Found>& found, std::string& reason)
{
    PieceReader reader(input, options);
    std::optional<ByteFold> fold;
    std::optional<TextPosition> position;
    found.reset();
    do {
        if (!reader.Next(reason))
            return false;
        if (!fold) {
            fold = reader.Fold(options.decomposed);
            position.emplace(fold->encoding);
        }
        if (reader.raw()) {
            reader.Consume(reader.size());
            continue;
        }
        const PieceScan search = FindLetter(*fold, reader.data(), reader.size(), reader.end());
        if (search.letter) {
            position->Advance(reader.data(), *search.letter);
            found = Found{position->line(), position->column(),
                          LetterText(reader.data() + *search.letter, search.letterLength, fold->encoding, fold->strays)};
            // Whether the whole stream is text is known only at its end.
            return reader.Drain(reason) && reader.Finish(reason);
        }
        position->Advance(reader.data(), search.consumed);
        reader.Consume(search.consumed);
    } while (!reader.ended() || reader.size() > 0);
    return reader.Finish(reason);
}

class FoldCommand {
public:
    explicit FoldCommand(Options options) : options_(std::move(options)) {}

    int Run()
    {
        if (options_.files.empty())
            options_.files.push_back("-");
        // Before any file is opened, which would take a closed one's place.
        std::string reason;
        if (options_.mode != Mode::InPlace && !StandardOutputIsOpen(reason)) {
            Fail("standard output", reason);
            return status_;
        }
        for (const std::string& name : options_.files) {
            if (outputLost_)
                break;
            switch (options_.mode) {
            case Mode::Print: Print(name); break;
            case Mode::Check: Check(name); break;
            case Mode::InPlace: Rewrite(name); break;
            }
        }
        return status_;
    }

private:
    // Opens a named file or standard input, or says why it cannot.
    std::optional<InputFile> OpenInput(const std::string& name)
    {
        if (name == "-")
            return InputFile::StandardInput();
        std::string reason;
        std::optional<InputFile> input = InputFile::Open(name, reason);
        if (!input)
            Fail(name, reason);
        return input;
    }

    void Fail(const std::string& name, const std::string& reason)
    {
        Say(name + ": " + reason);
        status_ = 2;
    }

    void Print(const std::string& name)
    {
        std::optional<InputFile> input = OpenInput(name);
        if (!input)
            return;
        if (input->IsStandardOutput())
            return Fail(name, "input file is output file");
        if (!ConsoleTakes(*input, name))
            return;
        std::string reason;
        const Sink write = [this](const unsigned char* data, std::size_t size, ByteEncoding encoding, std::string& why) {
            if (WriteOutput(data, size, encoding, why))
                return true;
            outputLost_ = true;
            return false;
        };
        if (FoldStream(*input, options_, write, reason))
            return;
        if (outputLost_)  // nothing more can be written: the other files wait in vain
            return Fail("write error", reason);
        Fail(name, reason);
    }

    // Console input is Unicode: a code page named by -e is refused for it.
    bool ConsoleTakes(const InputFile& input, const std::string& name)
    {
        if (!input.IsConsole() || !options_.encoding || !IsCodePage(*options_.encoding))
            return true;
        Fail(name, std::string("a console gives Unicode text, not ") + EncodingName(*options_.encoding)
                       + ": leave out -e");
        return false;
    }

    void Check(const std::string& name)
    {
        std::optional<InputFile> input = OpenInput(name);
        if (!input || !ConsoleTakes(*input, name))
            return;
        std::string reason;
        std::optional<Found> found;
        if (!FirstLetter(*input, options_, found, reason))
            return Fail(name, reason);
        if (!found)
            return;
        WriteText(stdout, name + ":" + std::to_string(found->line) + ":" + std::to_string(found->column) + ": "
                              + found->letter + "\n");
        status_ = std::max(status_, 1);
    }

    void Rewrite(const std::string& name)
    {
        std::string reason;
        const std::optional<std::string> path = ResolvePath(name, reason);
        if (!path)
            return Fail(name, reason);
        std::optional<InputFile> input = InputFile::OpenRegular(*path, reason);
        if (!input)
            return Fail(name, reason);
        // A file that needs no change keeps its content and its time.
        std::optional<Found> found;
        if (!FirstLetter(*input, options_, found, reason))
            return Fail(name, reason);
        if (!found)
            return;
        if (!input->Rewind(reason))
            return Fail(name, reason);
        std::optional<Replacement> replacement = Replacement::Create(*path, *input, reason);
        if (!replacement)
            return Fail(name, reason);
        const Sink write = [&](const unsigned char* data, std::size_t size, ByteEncoding, std::string& why) {
            return replacement->Write(data, size, why);
        };
        if (FoldStream(*input, options_, write, reason) && replacement->Commit(reason))
            return;
        replacement.reset();  // before the message, whose writing may end the program (SIGPIPE)
        Fail(name, reason);
    }

    Options options_;
    int status_ = 0;
    bool outputLost_ = false;
};

// Says what is wrong with the command line; returns the status to end with.
int Refuse(const std::string& why)
{
    Say(why);
    return Usage(2);
}

const char* NameOf(const option* options, int value)
{
    while (options->val != value)
        ++options;
    return options->name;
}

// Parses the arguments into `options`; a status when the program is to end now.
std::optional<int> Parse(const std::vector<std::string>& arguments, Options& options)
{
    enum { kDecomposed = 256, kVersion };
    static const option kLong[] = {
        {"in-place", no_argument, nullptr, 'i'},     {"check", no_argument, nullptr, 'c'},
        {"decomposed", no_argument, nullptr, kDecomposed}, {"encoding", required_argument, nullptr, 'e'},
        {"help", no_argument, nullptr, 'h'},         {"version", no_argument, nullptr, kVersion},
        {nullptr, 0, nullptr, 0},
    };
    std::vector<std::string> words{"kresovar-fold"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(words.size());
    opterr = 0;  // the messages are the program's own
    optind = 1;
    bool bothModes = false;
    const auto set = [&](Mode mode) {
        bothModes = bothModes || (options.mode != Mode::Print && options.mode != mode);
        options.mode = mode;
    };
    for (int option; (option = getopt_long(argc, argv.data(), "ice:h", kLong, nullptr)) != -1;) {
        switch (option) {
        case 'i': set(Mode::InPlace); break;
        case 'c': set(Mode::Check); break;
        case kDecomposed: options.decomposed = true; break;
        case 'e':
            options.strays = ByteEncoding::Utf8;
            if (!ParseEncoding(optarg, options))
                return Refuse(std::string("unknown encoding '") + optarg + "'; the encodings are " + kEncodingNames);
            break;
        case 'h': return Usage(0);
        case kVersion: return Version();
        default:  // a long option is named by its word, a letter alone by itself
            if (optopt == 0)
                return Refuse(std::string("unrecognized option '") + argv[static_cast<std::size_t>(optind) - 1] + "'");
            if (optopt == 'e')  // the one option with a value, given none
                return Refuse(std::strncmp(argv[static_cast<std::size_t>(optind) - 1], "--", 2) == 0
                                  ? "option '--encoding' requires an argument"
                                  : "option requires an argument -- 'e'");
            if (std::strncmp(argv[static_cast<std::size_t>(optind) - 1], "--", 2) == 0)  // a known word given a value
                return Refuse(std::string("option '--") + NameOf(kLong, optopt) + "' doesn't allow an argument");
            return Refuse(std::string("invalid option -- '") + static_cast<char>(optopt) + "'");
        }
    }
    options.files.assign(argv.begin() + optind, argv.end() - 1);
    if (bothModes)
        return Refuse("--in-place and --check cannot be used together");
    if (options.decomposed && options.encoding && (IsCodePage(*options.encoding) || IsCodePage(options.strays)))
        return Refuse(std::string("--decomposed cannot be used with ")
                      + EncodingName(IsCodePage(options.strays) ? options.strays : *options.encoding));
    if (options.mode == Mode::InPlace && options.files.empty())
        return Refuse("--in-place needs a FILE");
    if (options.mode == Mode::InPlace && std::count(options.files.begin(), options.files.end(), "-"))
        return Refuse("--in-place cannot rewrite standard input");
    return std::nullopt;
}

} // namespace

int RunFoldCommand(const std::vector<std::string>& arguments)
{
    // --help and --version work whatever the variable holds; --version names the path taken.
    const std::optional<std::string> badPath = ChooseFoldPath();
    Options options;
    std::optional<int> ended = Parse(arguments, options);
    if (!ended && badPath) {
        Say(*badPath);
        ended = 2;
    }
    const int result = ended ? *ended : FoldCommand(std::move(options)).Run();
    // Output that could not all be written is an error too, the help's included.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        Say(std::string("write error: ") + std::strerror(errno));
        return 2;
    }
    return result;
}
