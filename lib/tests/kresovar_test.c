/* The C API over the cases of fold/'s tests (fold_cases.txt) and the look at
 * an encoding (detect_cases.txt), on each processor path: into another
 * buffer, in place, and as a stream cut at every byte. */
#include "kresovar.h"

#include <limits.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { kMost = 1024 };

/* A line of a table: its five fields, the fourth as bytes and, in fold_cases.txt, the fifth. */
typedef struct {
    char line[4 * kMost], *field[5];
    unsigned char in[kMost], out[kMost];
    size_t inSize, outSize;
} Case;

static int failures;

static void Expect(int ok, const char *name, const char *what, long long got)
{
    if (!ok) {
        fprintf(stderr, "FAIL %s: %s (got %lld)\n", name, what, got);
        ++failures;
    }
}

/* The bytes of a field, where \xHH \r \n \t \\ stand for a byte. */
static size_t Unescape(const char *text, unsigned char *bytes)
{
    size_t size = 0;
    for (const char *c = text; *c; ++c) {
        if (*c != '\\')
            bytes[size++] = (unsigned char)*c;
        else if (*++c == 'x')
            bytes[size++] = (unsigned char)strtol((char[3]){c[1], c[2], 0}, NULL, 16), c += 2;
        else
            bytes[size++] = (unsigned char)(*c == 'r' ? '\r' : *c == 'n' ? '\n' : *c == 't' ? '\t' : *c);
    }
    return size;
}

static int NextCase(FILE *table, Case *c)
{
    do {
        if (!fgets(c->line, sizeof c->line, table))
            return 0;
    } while (c->line[0] == '#');
    c->line[strcspn(c->line, "\n")] = '\0';
    c->field[0] = c->line;
    for (int i = 1; i < 5; ++i) {
        char *tab = c->field[i - 1] ? strchr(c->field[i - 1], '\t') : NULL;
        c->field[i] = tab ? tab + 1 : NULL;
        if (tab)
            *tab = '\0';
    }
    if (!c->field[4]) {
        fprintf(stderr, "not five fields: %s\n", c->line);
        exit(2);
    }
    c->inSize = Unescape(c->field[3], c->in);
    c->outSize = Unescape(c->field[4], c->out);
    return 1;
}

static FILE *Open(const char *path)
{
    FILE *table = fopen(path, "r");
    if (!table) {
        perror(path);
        exit(2);
    }
    return table;
}

static const char *const kEncodings[] = {"utf-8", "utf-16le", "utf-16be", "windows-1250", "iso-8859-2", "ibm852"};

static int EncodingNamed(const char *name)
{
    for (int i = 0; i < 6; ++i)
        if (strcmp(name, kEncodings[i]) == 0)
            return i;
    return -1;
}

static void ExpectFold(const Case *c, const unsigned char *got, ptrdiff_t size, const char *how)
{
    Expect(size == (ptrdiff_t)c->outSize && memcmp(got, c->out, c->outSize) == 0, c->field[0], how, (long long)size);
}

/* Into another buffer, exactly big enough and one byte short; in place; from
 * a little later in the same buffer; and to a little later, which must fail. */
static void FoldOnce(const Case *c, int encoding, unsigned flags)
{
    unsigned char buffer[kMost + 8];
    ExpectFold(c, buffer, kresovar_fold(encoding, flags, c->in, c->inSize, buffer, c->inSize), "into another buffer");
    if (c->inSize > 0)
        Expect(kresovar_fold(encoding, flags, c->in, c->inSize, buffer, c->inSize - 1) == KRESOVAR_ERROR_SMALL_BUFFER,
               c->field[0], "a buffer one byte short", 0);
    memcpy(buffer, c->in, c->inSize);
    ExpectFold(c, buffer, kresovar_fold(encoding, flags, buffer, c->inSize, buffer, c->inSize), "in place");
    memcpy(buffer + 5, c->in, c->inSize);
    ExpectFold(c, buffer, kresovar_fold(encoding, flags, buffer + 5, c->inSize, buffer, c->inSize + 5), "to before the input");
    if (c->inSize > 1)
        Expect(kresovar_fold(encoding, flags, buffer, c->inSize, buffer + 1, c->inSize) == KRESOVAR_ERROR_OVERLAP,
               c->field[0], "to after the input", 0);
    const uint16_t one = 1;
    if (encoding == (*(const unsigned char *)&one ? KRESOVAR_UTF16LE : KRESOVAR_UTF16BE) && !flags && c->inSize % 2 == 0) {
        uint16_t units[kMost / 2];
        memcpy(units, c->in, c->inSize);
        ptrdiff_t length = kresovar_fold_utf16(units, c->inSize / 2, units, c->inSize / 2);
        ExpectFold(c, (const unsigned char *)units, length * 2, "as UTF-16 units in place");
    }
}

/* In two pieces cut at each byte, and in pieces of one byte, in place. */
static void FoldAsStream(const Case *c, int encoding, unsigned flags)
{
    kresovar_stream *stream = NULL;
    Expect(kresovar_stream_new(encoding, flags, &stream) == KRESOVAR_OK, c->field[0], "a new stream", 0);
    unsigned char out[kMost + 2 * KRESOVAR_MOST_HELD_BACK];
    for (size_t cut = 0; cut <= c->inSize; ++cut) {
        ptrdiff_t first = kresovar_stream_fold(stream, c->in, cut, out, cut + KRESOVAR_MOST_HELD_BACK, 0);
        ptrdiff_t second = first < 0 ? first : kresovar_stream_fold(stream, c->in + cut, c->inSize - cut, out + first,
                                                                    c->inSize - cut + KRESOVAR_MOST_HELD_BACK, 1);
        Expect(first >= 0 && second >= 0, c->field[0], "a stream cut in two", (long long)cut);
        ExpectFold(c, out, first + second, "a stream cut in two");
    }
    size_t written = 0;
    for (size_t at = 0; at < c->inSize; ++at) {
        unsigned char piece[1 + KRESOVAR_MOST_HELD_BACK] = {c->in[at]};
        ptrdiff_t size = kresovar_stream_fold(stream, piece, 1, piece, sizeof piece, at + 1 == c->inSize);
        Expect(size >= 0, c->field[0], "a piece of one byte in place", (long long)size);
        if (size < 0)
            break;
        memcpy(out + written, piece, (size_t)size);
        written += (size_t)size;
    }
    ExpectFold(c, out, (ptrdiff_t)written, "a stream of one-byte pieces in place");
    kresovar_stream_free(stream);
}

static void FoldCases(const char *path)
{
    FILE *table = Open(path);
    static Case c;
    while (NextCase(table, &c)) {
        const int encoding = EncodingNamed(c.field[1]);
        const unsigned flags = strcmp(c.field[2], "decomposed") == 0 ? KRESOVAR_DECOMPOSED : 0;
        FoldOnce(&c, encoding, flags);
        FoldAsStream(&c, encoding, flags);
    }
    fclose(table);
}

static void DetectCases(const char *path)
{
    static const char *const kVerdicts[] = {"utf-8", "utf-16le", "utf-16be", "code-page", "not-utf-8", "binary", "mixed"};
    FILE *table = Open(path);
    static Case c;
    while (NextCase(table, &c)) {
        kresovar_detection d;
        const int page = EncodingNamed(c.field[2]);
        const size_t firstBad = strcmp(c.field[4], "-") == 0 ? c.inSize : (size_t)atol(c.field[4]);
        Expect(kresovar_detect(c.in, c.inSize, &d) == KRESOVAR_OK && strcmp(kVerdicts[d.verdict], c.field[1]) == 0,
               c.field[0], "the verdict", d.verdict);
        Expect(d.pages == (page < 0 ? 0u : 1u << page), c.field[0], "the code pages", (long long)d.pages);
        Expect(d.first_bad == firstBad, c.field[0], "the first byte that is not UTF-8", (long long)d.first_bad);
        Expect(d.reason != NULL && d.reason[0] != '\0', c.field[0], "a reason", 0);
    }
    fclose(table);
}

/* What a careless caller passes. */
static void Misuse(void)
{
    char out[4];
    kresovar_stream *stream = NULL;
    kresovar_detection d;
    kresovar_stream *held = NULL;
    kresovar_stream_new(KRESOVAR_UTF8, 0, &held);
    kresovar_stream_fold(held, "\xc5", 1, out, sizeof out, 0);
    const struct {
        const char *name;
        long long got, expected;
    } cases[] = {
        {"nothing to fold", kresovar_fold_utf8(NULL, 0, NULL, 0), 0},
        {"null input", kresovar_fold_utf8(NULL, 1, out, 4), KRESOVAR_ERROR_NULL},
        {"null output", kresovar_fold_utf8("a", 1, NULL, 4), KRESOVAR_ERROR_NULL},
        {"no such encoding", kresovar_fold(6, 0, "a", 1, out, 4), KRESOVAR_ERROR_ENCODING},
        {"no such flag", kresovar_fold(KRESOVAR_UTF8, 2, "a", 1, out, 4), KRESOVAR_ERROR_ENCODING},
        {"a size too large", kresovar_fold_utf8("a", (size_t)PTRDIFF_MAX, out, SIZE_MAX), KRESOVAR_ERROR_TOO_LARGE},
        {"units too many", kresovar_fold_utf16((const uint16_t *)out, SIZE_MAX / 2, NULL, 0), KRESOVAR_ERROR_TOO_LARGE},
        {"no stream", kresovar_stream_fold(NULL, "a", 1, out, 4, 1), KRESOVAR_ERROR_NULL},
        {"nowhere for a stream", kresovar_stream_new(KRESOVAR_UTF8, 0, NULL), KRESOVAR_ERROR_NULL},
        {"a stream of no encoding", kresovar_stream_new(-1, 0, &stream), KRESOVAR_ERROR_ENCODING},
        {"nothing to detect", kresovar_detect(NULL, 0, &d), KRESOVAR_OK},
        {"null bytes to detect", kresovar_detect(NULL, 1, &d), KRESOVAR_ERROR_NULL},
        {"no room for a byte held back", kresovar_stream_fold(held, NULL, 0, out, 0, 1), KRESOVAR_ERROR_SMALL_BUFFER},
        {"a stream's output after its input", kresovar_stream_fold(held, out, 2, out + 1, 3, 1), KRESOVAR_ERROR_OVERLAP},
        {"no processor path", kresovar_use_fold_path("none"), KRESOVAR_ERROR_PATH},
        {"a null processor path", kresovar_use_fold_path(NULL), KRESOVAR_ERROR_PATH},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
        Expect(cases[i].got == cases[i].expected, cases[i].name, "the error", cases[i].got);
    Expect(stream == NULL, "a stream of no encoding", "no stream made", 0);
    Expect(kresovar_stream_fold(held, "\x82", 1, out, 2, 1) == 1 && out[0] == 'l', "a stream after its errors",
           "folds the letter", 0);
    kresovar_stream_free(held);
    kresovar_stream_free(NULL);
    for (int error = KRESOVAR_ERROR_INTERNAL; error <= KRESOVAR_OK; ++error)
        Expect(strcmp(kresovar_error_name(error), kresovar_error_name(INT_MIN)) != 0, "each error", "has a name", error);
    Expect(strcmp(kresovar_version(), KRESOVAR_EXPECTED_VERSION) == 0, "the version", kresovar_version(), 0);
}

int main(int argc, char **argv)
{
    static const char *const kPaths[] = {"portable", "sse2", "avx2", "avx512", "neon"};
    int paths = 0;
    if (argc != 3) {
        fprintf(stderr, "usage: kresovar_test fold_cases.txt detect_cases.txt\n");
        return 2;
    }
    for (size_t p = 0; p < sizeof kPaths / sizeof kPaths[0]; ++p) {
        if (kresovar_use_fold_path(kPaths[p]) != KRESOVAR_OK)
            continue;
        ++paths;
        Expect(strcmp(kresovar_fold_path(), kPaths[p]) == 0, kPaths[p], "the path in use", 0);
        FoldCases(argv[1]);
    }
    Expect(paths > 0, "the processor paths", "at least one", paths);
    DetectCases(argv[2]);
    Misuse();
    printf("%d processor paths, %d failures\n", paths, failures);
    return failures != 0;
}
