/* libkresovar: the fold of the 18 Polish letters with a diacritic, and the
 * look that tells which encoding bytes are in, for C and any language that
 * calls C. docs/library.md and kresovar(3) describe each function. */
#ifndef KRESOVAR_H
#define KRESOVAR_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) && !defined(KRESOVAR_STATIC)
#ifdef KRESOVAR_BUILDING
#define KRESOVAR_API __declspec(dllexport)
#else
#define KRESOVAR_API __declspec(dllimport)
#endif
#else
#define KRESOVAR_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The encodings the fold reads; functions take them as int, so that any
 * value a caller passes is defined. */
typedef enum kresovar_encoding {
    KRESOVAR_UTF8 = 0,
    KRESOVAR_UTF16LE = 1,
    KRESOVAR_UTF16BE = 2,
    KRESOVAR_WINDOWS_1250 = 3,
    KRESOVAR_ISO_8859_2 = 4,
    KRESOVAR_IBM852 = 5
} kresovar_encoding;

/* Flags of a fold. DECOMPOSED also folds a base letter followed by a
 * combining ogonek, acute or dot above, and drops the mark. */
#define KRESOVAR_DECOMPOSED 1u

/* Every error is a negative number; kresovar_error_name names it. */
typedef enum kresovar_error {
    KRESOVAR_OK = 0,
    KRESOVAR_ERROR_NULL = -1,        /* a null pointer where bytes or a result must be */
    KRESOVAR_ERROR_ENCODING = -2,    /* no such encoding, or an unknown flag */
    KRESOVAR_ERROR_SMALL_BUFFER = -3,
    KRESOVAR_ERROR_OVERLAP = -4,     /* output overlapping the input anywhere but at its start */
    KRESOVAR_ERROR_TOO_LARGE = -5,   /* a size whose result cannot be returned */
    KRESOVAR_ERROR_NO_MEMORY = -6,
    KRESOVAR_ERROR_PATH = -7,        /* a processor path this processor does not offer */
    KRESOVAR_ERROR_INTERNAL = -8
} kresovar_error;

KRESOVAR_API const char *kresovar_error_name(int error);

/* The library's version, "1.00"; the processor path the fold uses, "avx2". */
KRESOVAR_API const char *kresovar_version(void);
KRESOVAR_API const char *kresovar_fold_path(void);
/* Chooses the path by its name for the whole process, as the programs'
 * KRESOVAR_FOLD_PATH does; for comparing paths, not thread-safe. */
KRESOVAR_API int kresovar_use_fold_path(const char *name);

/* Folds `size` bytes of `in` into `out`, which has room for `capacity`
 * bytes, at least `size`. `out` may be `in` itself, or start before it in
 * the same buffer. Returns the bytes written, never more than `size`, or an
 * error. A letter cut off at the end of `in` is left as it is. */
KRESOVAR_API ptrdiff_t kresovar_fold(int encoding, unsigned flags, const void *in, size_t size,
                                     void *out, size_t capacity);
/* The same for UTF-8, and for UTF-16 code units in the processor's byte
 * order (`length` and the result in units). */
KRESOVAR_API ptrdiff_t kresovar_fold_utf8(const char *in, size_t size, char *out, size_t capacity);
KRESOVAR_API ptrdiff_t kresovar_fold_utf16(const uint16_t *in, size_t length, uint16_t *out, size_t capacity);

/* A stream folded in pieces: a letter split between two pieces is folded.
 * Up to KRESOVAR_MOST_HELD_BACK bytes of a piece may wait for the next one,
 * so `out` needs room for `size` + KRESOVAR_MOST_HELD_BACK bytes; the last
 * piece (`last` nonzero) gives out all. `out` may be `in` itself. */
#define KRESOVAR_MOST_HELD_BACK 3
typedef struct kresovar_stream kresovar_stream;
KRESOVAR_API int kresovar_stream_new(int encoding, unsigned flags, kresovar_stream **stream);
KRESOVAR_API ptrdiff_t kresovar_stream_fold(kresovar_stream *stream, const void *in, size_t size, void *out,
                                            size_t capacity, int last);
KRESOVAR_API void kresovar_stream_free(kresovar_stream *stream);

/* What bytes are, as kresovar-fold tells it before it folds them. */
typedef enum kresovar_verdict {
    KRESOVAR_TEXT_UTF8 = 0,      /* valid UTF-8, ASCII included */
    KRESOVAR_TEXT_UTF16LE = 1,   /* by its byte order mark */
    KRESOVAR_TEXT_UTF16BE = 2,
    KRESOVAR_TEXT_CODE_PAGE = 3, /* Polish in each code page of `pages` */
    KRESOVAR_TEXT_NOT_UTF8 = 4,  /* neither UTF-8 nor Polish in a code page */
    KRESOVAR_TEXT_BINARY = 5,    /* not UTF-8, and holds a NUL byte */
    KRESOVAR_TEXT_MIXED = 6      /* UTF-8 beside Polish in each code page of `pages` */
} kresovar_verdict;

typedef struct kresovar_detection {
    kresovar_verdict verdict;
    unsigned pages;     /* bit (1u << encoding) for each code page the bytes read as alike */
    size_t first_bad;   /* the first byte that is not UTF-8, or the size when there is none */
    const char *reason; /* a sentence that says why, in English */
} kresovar_detection;

KRESOVAR_API int kresovar_detect(const void *bytes, size_t size, kresovar_detection *detection);

#ifdef __cplusplus
}
#endif

#endif
