/** The encodings that foldBytes folds. */
export type Encoding = "utf-8" | "utf-16le" | "utf-16be" | "windows-1250" | "iso-8859-2" | "ibm852";

/** What bytes are, as kresovar-fold tells it before it folds them. */
export interface Detection {
    /** The encoding they are in (the first of `pages` for a code page); "mixed" for UTF-8 beside a
     *  code page; "not-utf-8" where no encoding alone reads them; "binary" for a NUL byte. */
    encoding: Encoding | "mixed" | "not-utf-8" | "binary";
    /** The code pages that read them alike. */
    pages: Encoding[];
    /** The offset of the first byte that is not UTF-8, or null where there is none. */
    firstBad: number | null;
    /** Why, in English. */
    reason: string;
}

/** The error foldBytes throws, without an encoding, for bytes that are not UTF-8 or marked UTF-16. */
export interface DetectionError extends Error, Detection {}

/** The text with each of the 18 Polish letters with a diacritic replaced by its plain Latin letter:
 *  as long as the text, every other unit where it was. The same string where nothing changes. */
export function fold(text: string): string;

/** The bytes folded in `encoding`: always a new array, a copy where nothing changes. Without an
 *  encoding only UTF-8 and UTF-16 with a byte order mark are folded; other bytes throw a
 *  DetectionError. */
export function foldBytes(bytes: Uint8Array, encoding?: Encoding): Uint8Array;

/** What the bytes are. */
export function detect(bytes: Uint8Array): Detection;

declare const kresovar: {fold: typeof fold; foldBytes: typeof foldBytes; detect: typeof detect};
export default kresovar;
