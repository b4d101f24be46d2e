"use strict";
// Generated from fold/ by scripts/page_tables.sh; page_test.py checks it against kresovar-fold.

// The 18 letters, each above the plain letter that replaces it.
const FOLD_LETTERS = "ąęłńśżźóćĄĘŁŃŻŚŹÓĆ";
const FOLD_PLAIN = "aelnszzocAELNZSZOC";

// For each code page: every byte's fold, in hexadecimal, and what each byte
// from 0x80 up says when it is no part of UTF-8 (Sure, Unsure, Paired,
// Against or nothing; see docs/man/kresovar-fold.1).
const CODE_PAGES = [
    {name: "windows-1250",
     folded: "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f" +
         "202122232425262728292a2b2c2d2e2f303132333435363738393a3b3c3d3e3f" +
         "404142434445464748494a4b4c4d4e4f505152535455565758595a5b5c5d5e5f" +
         "606162636465666768696a6b6c6d6e6f707172737475767778797a7b7c7d7e7f" +
         "808182838485868788898a8b538d8e5a909192939495969798999a9b739d9e7a" +
         "a0a1a24ca441a6a7a8a9aaabacadae5ab0b1b26cb4b5b6b7b861babbbcbdbe7a" +
         "c0c1c2c3c4c543c7c8c945cbcccdcecfd04ed24fd4d5d6d7d8d9dadbdcdddedf" +
         "e0e1e2e3e4e563e7e8e965ebecedeeeff06ef26ff4f5f6f7f8f9fafbfcfdfeff",
     evidence: ".A.A....A.A.UAASA.......A.A.UAAU...U.S....A....S...S.....SA.A.AU" +
         "AAAAAAUAAAUAAAAAAPAPAAA.AAAAAAAAAAAAAAUAAAUAAAAAAPAPAAA.AAAAAAA."},
    {name: "iso-8859-2",
     folded: "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f" +
         "202122232425262728292a2b2c2d2e2f303132333435363738393a3b3c3d3e3f" +
         "404142434445464748494a4b4c4d4e4f505152535455565758595a5b5c5d5e5f" +
         "606162636465666768696a6b6c6d6e6f707172737475767778797a7b7c7d7e7f" +
         "808182838485868788898a8b8c8d8e8f909192939495969798999a9b9c9d9e9f" +
         "a041a24ca4a553a7a8a9aaab5aadae5ab061b26cb4b573b7b8b9babb7abdbe7a" +
         "c0c1c2c3c4c543c7c8c945cbcccdcecfd04ed24fd4d5d6d7d8d9dadbdcdddedf" +
         "e0e1e2e3e4e563e7e8e965ebecedeeeff06ef26ff4f5f6f7f8f9fafbfcfdfeff",
     evidence: "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA.U.U.AS..AAAS.AS.U.S.AS..AAAU.AU" +
         "AAAAAAUAAAUAAAAAAPAPAAA.AAAAAAAAAAAAAAUAAAUAAAAAAPAPAAA.AAAAAAA."},
    {name: "ibm852",
     folded: "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f" +
         "202122232425262728292a2b2c2d2e2f303132333435363738393a3b3c3d3e3f" +
         "404142434445464748494a4b4c4d4e4f505152535455565758595a5b5c5d5e5f" +
         "606162636465666768696a6b6c6d6e6f707172737475767778797a7b7c7d7e7f" +
         "80818283848563876c898a8b8c5a8e43909192939495965373999a9b9c4c9e9f" +
         "a0a16fa34161a6a74565aa7aacadaeafb0b1b2b3b4b5b6b7b8b9babbbc5a7abf" +
         "c0c1c2c3c4c5c6c7c8c9cacbcccdcecfd0d1d2d3d4d5d6d7d8d9dadbdcdddedf" +
         "4fe1e24e6ee5e6e7e8e9eaebecedeeeff0f1f2f3f4f5f6f7f8f9fafbfcfdfeff",
     evidence: "AAAAAASASAAAASASAAAAAAAUSAAAAS.AAASASSAASU.UAA.......AAAA....UU." +
         "......AA........AAAAAAAAA....AA.UAAUUAAAAAAAAAA............AAA.."},
];
