#!/usr/bin/env bash
# kresovar-fold as people use it: bytes in, bytes out, files rewritten in
# place, --check in a script, and every way it can fail. Runs the Linux
# build, or with WINDOWS=1 the Windows one under Wine, which skips the rows
# about POSIX permissions, links, devices and signals, or with EMULATOR set
# (EMULATOR='qemu-aarch64 -L /usr/aarch64-linux-gnu') a build for another
# processor under that emulator.
set -euo pipefail
FOLD=("$(realpath "${1:?usage: cli_test.sh PATH-TO-KRESOVAR-FOLD}")")
HERE=$(realpath "$(dirname "$0")")
[ -z "${WINDOWS:-}" ] || FOLD=(wine "${FOLD[0]}")
[ -z "${EMULATOR:-}" ] || FOLD=($EMULATOR "${FOLD[0]}")
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# expect NAME STATUS EXPECTED-OUTPUT-FORMAT INPUT-FORMAT [ARGUMENTS...]:
# folds printf's INPUT through standard input and compares byte for byte.
expect() {
    local name=$1 status=$2 expected=$3 input=$4 got=0
    shift 4
    printf "$input" | "${FOLD[@]}" "$@" >out 2>err || got=$?
    printf "$expected" >expected
    [ "$got" = "$status" ] || fail "$name: status $got, expected $status ($(cat err))"
    cmp -s out expected || fail "$name: got $(od -An -tx1 out | head -c 120), expected $(od -An -tx1 expected | head -c 120)"
}

echo "== bytes in, bytes out"
expect letters 0 'Zazolc gesla jazn ZAZOLC GESLA JAZN' 'Zażółć gęślą jaźń ZAŻÓŁĆ GĘŚLĄ JAŹŃ'
expect decomposed_kept 0 'a\xcc\xa8' 'a\xcc\xa8'
expect decomposed_folded 0 'a z' 'a\xcc\xa8 z\xcc\x87' --decomposed
expect utf16_le 0 '\xff\xfeZ\0a\0\r\0\n\0\x3d\xd8\x00\xde\x41' '\xff\xfeZ\0\x05\x01\r\0\n\0\x3d\xd8\x00\xde\x41'
expect utf16_be 0 '\xfe\xff\0Z\0o\0L' '\xfe\xff\0Z\0\xf3\x01\x41'
expect utf16_named_utf8 0 '\xfe\xff\0Z\0o\0L' '\xfe\xff\0Z\0\xf3\x01\x41' -e utf-8
expect empty 0 '' ''

echo "== every read size: a letter split between reads folds all the same"
text='ąa\xcc\xa8z\xcc\x87ŻźZ\xcc\x81ćęłńóśĄĆĘŁŃÓŚŹ\r\nx\xc4'
printf "$text" >whole
"${FOLD[@]}" -e utf-8 --decomposed <whole >expected
for size in 1 2 3 4 5 7; do
    /usr/bin/python3 -c '
import os, sys, time
data, size = open("whole", "rb").read(), int(sys.argv[1])
for at in range(0, len(data), size):
    os.write(1, data[at:at + size]); time.sleep(0.02)' "$size" | "${FOLD[@]}" -e utf-8 --decomposed >out
    cmp -s out expected || fail "read size $size: $(od -An -tx1 out)"
done

echo "== --check"
printf 'abc\r\nde\xe2\x80\x94ź\n' >notes.txt
printf 'plain\n' >plain.txt
printf '\xfe\xff\0x\0\n\xd8\x3d\xde\0\xd8\x01\0a\x01\x05' >utf16.txt
printf 'oz\xcc\x87' >decomposed.txt
check() {
    local name=$1 status=$2 expected=$3 got=0
    shift 3
    "${FOLD[@]}" "$@" >out 2>err || got=$?
    [ "$got" = "$status" ] || fail "$name: status $got, expected $status ($(cat err))"
    [ "$(cat out)" = "$expected" ] || fail "$name: printed '$(cat out)', expected '$expected'"
}
check first_letter 1 'notes.txt:2:4: ź' -c notes.txt
check none 0 '' --check plain.txt
check utf16 1 'utf16.txt:2:4: ą' -c utf16.txt
check decomposed_only_with_option 0 '' -c decomposed.txt
check decomposed 1 "decomposed.txt:1:2: $(printf 'z\xcc\x87')" -c --decomposed decomposed.txt
check standard_input_after_a_mark 1 '-:1:1: ł' -c - < <(printf '\xef\xbb\xbfł')
check unreadable_wins 2 'notes.txt:2:4: ź' -c notes.txt missing.txt
check unreadable_first_wins 2 'notes.txt:2:4: ź' -c missing.txt notes.txt
"${FOLD[@]}" -c notes.txt missing.txt >both 2>&1 || true
grep -E '^notes.txt:|missing.txt' both | head -1 | grep -q '^notes.txt:' || fail "a message came before the report: $(cat both)"

echo "== code pages: each mode with -e, and what is said without it"
# Its first capitals make UTF-8 in Windows-1250 and ISO-8859-2 (Ó Ł = D3 A3, Ę Ż = CA AF), yet -e takes them.
printf 'WSPÓŁPRACA MĘŻCZYZNA KSIĘŻYC PÓŁKA Zażółć gęślą jaźń ZAŻÓŁĆ GĘŚLĄ JAŹŃ š ť ž é ü ř\r\n' >polish.utf8
printf 'WSPOLPRACA MEZCZYZNA KSIEZYC POLKA Zazolc gesla jazn ZAZOLC GESLA JAZN š ť ž é ü ř\r\n' >plain.utf8
printf 'żółty\n' >shared.utf8
for row in "CP1250 windows-1250 cp1250" "ISO-8859-2 iso-8859-2 LATIN2" "IBM852 ibm852 Cp852"; do
    read -r page name alias <<<"$row"
    iconv -t "$page" polish.utf8 >"$name.txt" && iconv -t "$page" plain.utf8 >"plain-$name"
    iconv -t "$page" "$HERE/words/polish.txt" >"words-$name.txt" && iconv -t "$page" shared.utf8 >"shared-$name.txt"
    check "$name" 0 "$(cat "plain-$name")" -e "$alias" "$name.txt"
    cp "$name.txt" "rewritten-$name.txt"
    check "$name -i" 0 '' -i --encoding="$alias" "rewritten-$name.txt"
    cmp -s "rewritten-$name.txt" "plain-$name" || fail "$name -i: $(od -An -tx1 "rewritten-$name.txt" | head -c 80)"
    check "$name --check" 1 "$name.txt:1:4: Ó" -c -e "$alias" "$name.txt"
    check "$name -e utf-8 says nothing" 0 "$(cat "$name.txt")" -e UTF-8 "$name.txt"
    # Without -e: passed as it came, status 2, the file left as it was, and why: the word list is named
    # its page; a line or two, with a neighbour's letters, may be named none, but never a wrong one.
    for file in "$name.txt" "words-$name.txt" "shared-$name.txt"; do
        cp "$file" kept.txt
        for mode in print -c -i; do
            [ $mode = print ] && printed=$(cat "$file") || printed=
            check "$file $mode" 2 "$printed" $([ $mode = print ] || echo $mode) kept.txt
            said=$(cat err)
            [[ "$said" == "kresovar-fold: kept.txt: not UTF-8 (byte "*"); it reads as $name"*" — use -e $name"* ]] \
                || { [ "$file" != "words-$name.txt" ] && [[ "$said" == "kresovar-fold: kept.txt: not UTF-8 (byte "*"): left unchanged" ]]; } \
                || fail "$file $mode said: $said"
            cmp -s kept.txt "$file" || fail "$file $mode changed the file"
        done
    done
done

echo "== the rule: without -e, a text not known to be UTF-8 is changed in no mode"
printf 'これはテストです。ご確認ください。\n' | iconv -t SHIFT_JIS >shift_jis.in
printf '这是一个测试。请确认。\n' | iconv -t GBK >gbk.in
printf '이것은 시험입니다. 확인하십시오.\n' | iconv -t EUC-KR >euc-kr.in
printf '這是一個測試。請確認。\n' | iconv -t BIG5 >big5.in
printf 'Гімн України: їжак, ґанок.\n' | iconv -t CP1251 >cp1251.in
printf 'Съешь же ещё этих мягких булок.\n' | iconv -t KOI8-R >koi8-r.in
printf '\x7fELF\x02\x01\x01\0\0\0\xc5\x82\xc3\xb3\xff\xfe\n' >binary.in
printf 'Zażółć\xff gęślą jaźń\n' >damaged.in && printf 'Zazolc\xff gesla jazn\n' >damaged.folded
{ printf 'Zażółć gęślą jaźń.\n'; printf 'Pchnąć w tę łódź jeża.\n' | iconv -t CP1250; } >mixed.in
printf 'Zazolc gesla jazn.\nPchnac w te lodz jeza.\n' >mixed.folded
printf 'Zażółć\0gęślą\n' >nul.in && printf 'Zazolc\0gesla\n' >nul.folded && printf 'ż\xc5' >cut-short.in
# FILE ARGUMENTS STATUS FOLDED MESSAGE: what each mode does with it. FOLDED is
# the file it folds to ('-' for itself), MESSAGE the first words said.
while IFS='|' read -r file arguments status folded message; do
    [ "$folded" = - ] && folded=$file
    for mode in print -c -i; do
        cp "$file" kept.txt
        got=0 && { "${FOLD[@]}" $arguments $([ $mode = print ] || echo $mode) kept.txt >out 2>err || got=$?; }
        case $mode in
            print) cmp -s out "$folded" && want=$status ;;
            -c) want=$([ "$status" = 2 ] && echo 2 || { cmp -s "$file" "$folded" && echo 0 || echo 1; })
                [ "$want" = 1 ] || [ ! -s out ] ;;
            -i) cmp -s kept.txt "$folded" && want=$status ;;
        esac || fail "$file $arguments $mode: the bytes differ: $(od -An -tx1 out kept.txt | head -c 160)"
        [ "$got" = "$want" ] || fail "$file $arguments $mode: status $got, expected $want"
        { [ -z "$message" ] && [ ! -s err ]; } || [[ -n "$message" && "$(cat err)" == "kresovar-fold: kept.txt: $message"* ]] \
            || fail "$file $arguments $mode said: $(cat err)"
    done
done <<'TABLE'
shift_jis.in||2|-|not UTF-8 (byte 1): left unchanged
gbk.in||2|-|not UTF-8 (byte 1): left unchanged
euc-kr.in||2|-|not UTF-8 (byte 1): left unchanged
big5.in||2|-|not UTF-8 (byte 1): left unchanged
cp1251.in||2|-|not UTF-8 (byte 3): left unchanged
koi8-r.in||2|-|not UTF-8 (byte 1): left unchanged
binary.in||2|-|binary (byte 15): left unchanged
damaged.in||2|-|not UTF-8 (byte 11): left unchanged
damaged.in|-e utf-8|0|damaged.folded|
damaged.in|-e UTF8|0|damaged.folded|
mixed.in||2|-|UTF-8 and windows-1250 mixed: use -e utf-8+windows-1250
mixed.in|-e utf-8+windows-1250|0|mixed.folded|
mixed.in|-e Utf8+CP1250|0|mixed.folded|
nul.in||0|nul.folded|
cut-short.in||2|-|not UTF-8 (byte 3): left unchanged
TABLE
# On standard output, a byte that is not UTF-8 within the look-ahead (256 KiB from the first byte from 0x80 up)
# sends all out as it came; past it, the text is folded up to that byte and goes out as it came from there.
# (A file on disk: its first read ends the look-ahead; at 262132 the byte that is not UTF-8 is its last byte.)
for at in 262132 262133 262138 300000; do
    { printf 'ó'; head -c $at /dev/zero | tr '\0' a; printf 'żółć \xff ż'; } >late.in
    { printf 'o'; head -c $at /dev/zero | tr '\0' a; printf 'zolc \xff ż'; } >late.folded
    [ $at != 262132 ] || cp late.in late.folded
    status=0 && { "${FOLD[@]}" late.in >out 2>err || status=$?; }
    [ "$status" = 2 ] && cmp -s out late.folded && grep -q ': not UTF-8 (byte [0-9]*): left unchanged$' err \
        || fail "a byte that is not UTF-8 $at bytes on: status $status, $(tail -c 12 out | od -An -tx1) $(cat err)"
done
# The names of the encodings, in any case.
for name in iso8859-2 ISO_8859-2 iso-8859-2 LATIN2 latin-2 L2 windows1250 Windows-1250 CP1250 1250 cp852 IBM852 852 utf8 UTF-8 \
    utf-8+l2 UTF8+852 utf-8+WINDOWS1250; do
    check "-e $name" 0 plain -e "$name" plain.txt
done
for name in utf-8+utf-8 cp1250+utf-8 utf-8+ latin; do
    check "-e $name" 2 '' -e "$name" plain.txt
done
# No letter is named for Western European text, programs and pictures: status 2, and no alarm of a code page.
printf 'Señor, mañana: ¿años?\n' >spanish-line.utf8
for file in spanish french ngerman spanish-line; do
    iconv -t CP1252 "$HERE/words/$file.txt" >"$file.txt" 2>/dev/null || iconv -t CP1252 "$file.utf8" >"$file.txt"
    check "$file in Windows-1252" 2 "$(cat "$file.txt")" "$file.txt"
    grep -q ": not UTF-8 (byte [0-9]*): left unchanged$" err || fail "$file in Windows-1252 said: $(cat err)"
done
status=0 && { "${FOLD[@]}" -c "$HERE/../../window/icon/kresovar.png" "${FOLD[-1]}" >out 2>err || status=$?; }
[ "$status" = 2 ] && [ ! -s out ] && [ "$(grep -c ': binary (byte [0-9]*): left unchanged$' err)" = 2 ] \
    || fail "a program or picture: status $status, $(cat out err)"
echo "== naming a code page: the committed sample (cli/tests/polish), encoded here"
# A Polish row fails below its share named right (every page named reads every byte as the true one);
# the others' rows fail on any page named.
/usr/bin/python3 - "$HERE/polish" "${FOLD[@]}" <<'PYTHON' || fail "the sample of cli/tests/polish"
import glob, os, re, subprocess, sys
codecs = {"windows-1250": "cp1250", "iso-8859-2": "iso8859_2", "ibm852": "cp852",
          "windows-1252": "cp1252", "iso-8859-1": "latin_1", "cp850": "cp850"}
central = {"pl", "cs", "sk", "hr", "sl", "hu", "ro"}
failed = False
for path in sorted(glob.glob(os.path.join(sys.argv[1], "*.txt"))):
    language, kind = os.path.basename(path)[:-4].split("-")
    pieces = open(path, encoding="utf-8").read().splitlines()
    for page in list(codecs)[:3] if language in central else list(codecs)[3:]:
        names = []
        for i, piece in enumerate(pieces):
            names.append(f"{language}-{kind}-{page}-{i}")
            open(names[-1], "wb").write(piece.encode(codecs[page]))
        said = subprocess.run(sys.argv[2:] + ["-c"] + names, capture_output=True).stderr.decode()
        named = {m.group(1): m.group(2).split(" or ") for m in re.finditer(r"kresovar-fold: (\S+): not UTF-8 \(byte \d+\); it reads as (.*?) — ", said)}
        if language == "pl":
            right = sum(all(open(n, "rb").read().decode(codecs[p], "replace") == t for p in named.get(n, [None]) if p)
                        and n in named for n, t in zip(names, pieces))
            share, target = right / len(pieces), 0.95 if kind == "paragraph" else 0.70
            ok = share >= target
            print(f"{'' if ok else 'FAIL: '}{language} {kind} in {page}: {100 * share:.0f}% named right (target {100 * target:.0f}%)")
        else:
            alarms = [n for n in names if n in named]
            ok = not alarms
            print(f"{'' if ok else 'FAIL: '}{language} {kind} in {page}: {len(alarms)} of {len(pieces)} named a page")
        failed = failed or not ok
sys.exit(failed)
PYTHON

# With -e naming a code page, UTF-8 and UTF-16 are refused and left as they are.
printf 'żółw\n' >utf8.txt && printf '\xef\xbb\xbfpla\xb9n' >mark.txt && printf '\xff\xfeplain' >utf16.txt
printf 'Мясо и мыло\n' >russian.txt  # я is D1 8F, Ń Ź in Windows-1250, but М is not
for mode in print -c -i; do
    check "UTF-8 in a code page, $mode" 2 '' -e cp1250 $([ $mode = print ] || echo $mode) utf8.txt mark.txt utf16.txt russian.txt
    [ "$(grep -c 'UTF-8 or UTF-16 text, not windows-1250: leave out -e' err)" = 4 ] || fail "$mode: $(cat err)"
    [ "$(cat utf8.txt mark.txt)" = "$(printf 'żółw\n\xef\xbb\xbfpla\xb9n')" ] || fail "UTF-8 in a code page, $mode: changed"
done
check "Japanese in CP852, led by E3 (Ń there)" 2 '' -e ibm852 - < <(printf 'こんにちは\n')
check "STÓŁ alone" 0 STOL -e cp1250 - < <(printf 'ST\xd3\xa3\n')
check "a column is a byte" 1 '-:1:3: ł' -c -e cp1250 - < <(printf '\xc3\x80\xb3')
# Its first letter anywhere, at the end of the first buffer (256 KiB), across it or later: refused all the same,
# with the file left as it was, and no more written than the ASCII before it.
for at in 262142 262143 262144 262145 1000000; do
    { head -c $at /dev/zero | tr '\0' a; printf 'ó żółw\n'; } >late.txt && cp late.txt late.kept
    for mode in print -c -i; do
        status=0 && { "${FOLD[@]}" -e cp1250 $([ $mode = print ] || echo $mode) late.txt >out 2>err || status=$?; }
        [ "$status" = 2 ] && grep -q 'UTF-8 or UTF-16 text, not windows-1250' err && [ "$(wc -c <out)" -le $at ] \
            && cmp -s -n "$(wc -c <out)" out late.txt && cmp -s late.txt late.kept || fail "UTF-8 from $at, $mode: status $status"
    done
    [ "$({ head -c $at /dev/zero | tr '\0' a; printf 'ST\xd3\xa3'; } | "${FOLD[@]}" -e cp1250 | tail -c 5)" = aSTOL ] \
        || fail "STÓŁ in Windows-1250 from $at"
done

echo "== errors and options"
check missing_file_then_others 2 'plain' missing.txt plain.txt
grep -q '^kresovar-fold: missing.txt: ' err || fail "no message for the missing file: $(cat err)"
"${FOLD[@]}" --version >version
# The processor's vector paths, of which the fastest, the last, is the one taken.
offered=$(sed -n 's/^fold path: [a-z0-9]* (processor: \(.*\))$/\1/p' version)
[ "$(head -n 1 version)" = "kresovar-fold $KRESOVAR_VERSION" ] && [ "$(wc -l <version)" = 2 ] \
    && grep -q "^fold path: ${offered##* } (processor: $offered)$" version || fail "version: $(cat version)"
check help 0 "$("${FOLD[@]}" --help)" -h
check bad_option 2 '' --frobnicate
grep -q "Try 'kresovar-fold --help'" err || fail "bad option: $(cat err)"
check option_with_a_value 2 '' --in-place=x
grep -q "option '--in-place' doesn't allow an argument" err || fail "an option with a value: $(cat err)"
check empty_name 2 '' -i ''
grep -qE ': (No such file or directory|Path not found)$' err || fail "an empty name: $(cat err)"  # POSIX, Windows
check in_place_without_file 2 '' -i
check in_place_standard_input 2 '' -i -
check in_place_and_check 2 '' -i -c plain.txt
check unknown_encoding 2 '' -e cp1252 plain.txt
grep -q "unknown encoding 'cp1252'; the encodings are utf-8, windows-1250 (cp1250), iso-8859-2 (latin2), ibm852 (cp852), and utf-8+ each of the three" err || fail "unknown encoding: $(cat err)"
check decomposed_in_a_code_page 2 '' --decomposed -e latin2 plain.txt
printf 'ą' >self.txt
status=0 && { timeout 10 "${FOLD[@]}" self.txt plain.txt >>self.txt 2>err || status=$?; }
[ "$status" = 2 ] && [ "$(cat self.txt)" = ąplain ] && grep -q '^kresovar-fold: self.txt: input file is output file' err \
    || fail "input is output: status $status, $(head -c 80 self.txt; cat err)"
status=0 && { "${FOLD[@]}" self.txt >self.txt || status=$?; }
[ "$status" = 0 ] && [ ! -s self.txt ] || fail "input emptied by the shell: status $status"
status=0 && { "${FOLD[@]}" plain.txt >&- 2>err || status=$?; }
[ "$status" = 2 ] && grep -qE '^kresovar-fold: (standard output: Bad file descriptor|write error: Invalid handle)$' err || fail "closed output: status $status, $(cat err)"

echo "== fold paths"
# folds_exactly NAME [COMMAND...]: a text with every letter across many blocks
# folds exactly, by the program, or the program run by COMMAND.
head -n 20000 < <(yes 'Zażółć gęślą jaźń, ZAŻÓŁĆ GĘŚLĄ JAŹŃ: ąćęłńóśźż ĄĆĘŁŃÓŚŹŻ é ž ő') >letters.txt
head -n 20000 < <(yes 'Zazolc gesla jazn, ZAZOLC GESLA JAZN: acelnoszz ACELNOSZZ é ž ő') >letters.expected
folds_exactly() {
    local name=$1
    shift
    "$@" "${FOLD[@]}" letters.txt >out 2>err || fail "$name: status $?, $(cat err)"
    cmp -s out letters.expected && [ ! -s err ] || fail "$name: the fold differs, or a message came: $(cat err)"
}
for path in portable $offered; do
    KRESOVAR_FOLD_PATH=$path "${FOLD[@]}" --version | grep -q "^fold path: $path (" || fail "$path was not taken"
    folds_exactly "$path path" env KRESOVAR_FOLD_PATH=$path
done
lacking=neon && [[ " $offered " != *" neon "* ]] || lacking=sse2
# A path it cannot take is an error for a fold; the help and the version show all the same.
for name in frob $lacking; do
    status=0 && { KRESOVAR_FOLD_PATH=$name "${FOLD[@]}" plain.txt >out 2>err || status=$?; }
    [ "$status" = 2 ] && [ ! -s out ] && grep -q "^kresovar-fold: KRESOVAR_FOLD_PATH: .*'$name'.*; this processor can take portable" err \
        || fail "KRESOVAR_FOLD_PATH=$name: status $status, $(cat out err)"
    KRESOVAR_FOLD_PATH=$name check "--help with KRESOVAR_FOLD_PATH=$name" 0 "$("${FOLD[@]}" --help)" --help
    KRESOVAR_FOLD_PATH=$name check "--version with KRESOVAR_FOLD_PATH=$name" 0 "$(cat version)" --version
done

echo "== in place"
printf 'żółw\r\n' >źdźbło.txt
printf 'ĄĘ' >b.txt
cp plain.txt untouched.txt
check rewrites 0 '' -i źdźbło.txt b.txt untouched.txt
[ "$(cat źdźbło.txt b.txt)" = "$(printf 'zolw\r\nAE')" ] || fail "in place: $(cat źdźbło.txt b.txt)"
ls -A | grep -q kresovar-fold && fail "a temporary file was left: $(ls -A)"

if [ -n "${WINDOWS:-}" ]; then
    echo "== a console, under a terminal of its own"
    # Given characters, it shows a name and a letter as they are, in a report and in a message.
    printf 'ż\n' >Zażółć.txt
    LC_ALL=C.UTF-8 script -qec "$(printf '%q ' "${FOLD[@]}") --check Zażółć.txt brak-ąę.txt" /dev/null >console || true
    shown=$(sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g' console | tr -d '\r')
    grep -qx 'Zażółć.txt:1:1: ż' <<<"$shown" && grep -q '^kresovar-fold: brak-ąę.txt: .' <<<"$shown" || fail "a console showed: $shown"
    # Typed text is read as characters (ReadConsoleW), folded as typed; Ctrl+Z then Enter ends it. The terminal
    # passes Ctrl+Z on as a character (stty -isig), as a Windows console does.
    for row in "|Zazolc gesla|status=0" "-e cp1250|a console gives Unicode text, not windows-1250: leave out -e|status=2"; do
        IFS='|' read -r options said status <<<"$row"
        (sleep 2; printf 'Zażółć gęślą\r'; sleep 1; printf '\x1a\r'; sleep 2) | LC_ALL=C.UTF-8 timeout 60 \
            script -qec "stty -isig; $(printf '%q ' "${FOLD[@]}") $options; echo status=\$?" /dev/null >console || true
        shown=$(sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g' console | tr -d '\r')
        grep -q "$said" <<<"$shown" && grep -qx "$status" <<<"$shown" || fail "console input, $options: $shown"
    done
    [ "$failures" -eq 0 ] && echo "PASS: cli_test.sh (Windows)"
    exit $((failures > 0))
fi

touch -d '2020-01-01' untouched.txt
inode=$(stat -c %i untouched.txt)
printf 'ś' >target.txt
chmod 640 target.txt
ln -s target.txt link.txt
check through_link 0 '' -i link.txt untouched.txt
[ -L link.txt ] && [ "$(cat target.txt)" = s ] || fail "the link was not followed, or replaced"
[ "$(stat -c %a target.txt)" = 640 ] || fail "permissions became $(stat -c %a target.txt)"
[ "$(stat -c %Y/%i untouched.txt)" = "$(date -d 2020-01-01 +%s)/$inode" ] || fail "a file with no letter was rewritten"
# Owner, group, the setuid, setgid and sticky bits and the access control list stay; none is gained.
printf 'ź' >kept.txt && chown nobody:nogroup kept.txt && chmod 7750 kept.txt && mkdir inherits && printf 'ż' >inherits/f
if setfacl -m u:nobody:rw,m::rx kept.txt && setfacl -d -m u:nobody:rwx inherits; then acl=$(getfacl -cp kept.txt)
else acl=; echo "SKIP: the access control list rows: this file system has none"; fi
check keeps_what_it_can 0 '' -i kept.txt inherits/f
[ "$(stat -c %U:%G:%a kept.txt)" = nobody:nogroup:7750 ] && [ "$(cat kept.txt)" = z ] || fail "kept $(stat -c %U:%G:%a kept.txt)"
[ -z "$acl" ] || [ "$(getfacl -cp kept.txt)" = "$acl" ] || fail "the access control list became $(getfacl -cp kept.txt)"
[ -z "$acl" ] || [ -z "$(getfacl -cps inherits/f)" ] || fail "a file gained an access control list: $(getfacl -cp inherits/f)"
# Another user, who may only pass through the folders on the way, keeps the setuid and setgid bits.
chmod 711 . && mkdir -m 711 home && mkdir -m 777 home/pub && printf 'ą' >home/pub/s && chown nobody:nogroup home/pub/s && chmod 6755 home/pub/s
as_nobody() { setpriv --reuid=nobody --regid=nogroup --clear-groups "${FOLD[@]}" "$@"; }
if ! as_nobody --version >/dev/null 2>err; then
    echo "SKIP: the rows as another user: nobody cannot run the program here: $(head -n 1 err)"
else
    as_nobody -i home/pub/s 2>err || fail "as another user: $(cat err)"
    [ "$(stat -c %a home/pub/s)" = 6755 ] && [ "$(cat home/pub/s)" = a ] || fail "as another user: $(stat -c %a home/pub/s)"
fi
long=$(printf 'd%0199d/' $(seq 24))  # longer than PATH_MAX
(IFS=/ && for d in $long; do mkdir "$d" && cd "$d"; done && printf 'ż' >f)
check long_path 0 '' -i "${long}f"
(IFS=/ && for d in $long; do cd "$d"; done && [ "$(cat f)" = z ]) || fail "a path longer than PATH_MAX was not rewritten"

mkdir folder && mkfifo pipe
not_regular=(folder pipe /dev/null) signals=(TERM PIPE USR1 RTMIN)
if [ -n "${EMULATOR:-}" ]; then
    # Its -L folder stands for / in a path walked from /, and it does not pass SIGRTMIN on.
    echo "SKIP: /dev/null and SIGRTMIN: the emulator hides /dev from the program and keeps SIGRTMIN"
    not_regular=(folder pipe) signals=(TERM PIPE USR1)
fi
check not_regular 2 '' -i "${not_regular[@]}"
[ "$(grep -c 'not a regular file' err)" = ${#not_regular[@]} ] || fail "not refused: $(cat err)"
# A folder the program cannot write to: the original stays, nothing is left behind.
mkdir locked && printf 'ż' >locked/file.txt && chmod 755 locked
setpriv --reuid=nobody --regid=nogroup --clear-groups "${FOLD[@]}" -i locked/file.txt 2>err && fail "wrote in a locked folder"
[ "$(cat locked/file.txt)" = ż ] && [ "$(ls -A locked)" = file.txt ] || fail "locked folder: $(ls -A locked)"
# Interrupted while it writes: either the whole old text or the whole new one, and no temporary file.
head -c 300000000 < <(yes 'żółta łódź') >big.txt
# signal_rewrite SIGNAL FILE: rewrites FILE, sends SIGNAL once the temporary file
# is there (the program catches its signals from then on) and waits for the end.
signal_rewrite() {
    "${FOLD[@]}" -i "$2" &
    local pid=$!
    until ls -A | grep -q kresovar-fold; do kill -0 $pid 2>/dev/null || break; sleep 0.01; done
    kill -$1 $pid 2>/dev/null || fail "the rewrite of $2 ended before SIG$1 was sent"
    wait $pid
}
for signal in "${signals[@]}"; do
    { signal_rewrite $signal big.txt || true; } 2>/dev/null
    [ "$(ls -A | grep -c kresovar-fold)" = 0 ] || fail "a rewrite ended by SIG$signal left $(ls -A | grep kresovar-fold)"
done
head -c 100 big.txt | grep -qE '^(żółta łódź|zolta lodz)' || fail "the interrupted file is damaged"
# A file-size limit is an error like a full disk; a signal ignored at the start stays ignored.
head -c 300000000 < <(yes 'ż') >big2.txt
status=0 && { (ulimit -f 1000 && exec "${FOLD[@]}" -i big2.txt) 2>err || status=$?; }
[ "$status" = 2 ] && grep -q 'File too large' err && [ "$(ls -A | grep -c kresovar-fold)" = 0 ] || fail "a file-size limit: status $status, $(cat err; ls -A)"
exec 3> >(:) && wait $!  # a message to a pipe nobody reads ends the program
(ulimit -f 1000 && exec "${FOLD[@]}" -i big2.txt) 2>&3 && fail "a file-size limit was not an error"; exec 3>&-
[ "$(ls -A | grep -c kresovar-fold)" = 0 ] || fail "a rewrite ended by its message left $(ls -A | grep kresovar-fold)"
(trap '' HUP && signal_rewrite HUP big2.txt) || fail "an ignored SIGHUP ended a rewrite"

echo "== output that cannot be written"
status=0
"${FOLD[@]}" źdźbło.txt >/dev/full 2>err || status=$?
[ "$status" = 2 ] && grep -q 'write error: No space left on device' err || fail "/dev/full: status $status, $(cat err)"
for option in --help --version; do
    status=0 && { "${FOLD[@]}" $option >/dev/full 2>/dev/null || status=$?; }
    [ "$status" = 2 ] || fail "$option to a full disk: status $status"
done
{ "${FOLD[@]}" big.txt 2>err || true; } | head -c 1 >/dev/null
[ ! -s err ] || fail "a closed pipe was not quiet: $(cat err)"

echo "== the path taken on processors without AVX-512, under qemu"
if [ -n "${EMULATOR:-}${SANITIZED:-}" ]; then
    echo "SKIP: the processors emulated: this program is built for another processor, or with sanitizers"
elif ! command -v qemu-x86_64 >/dev/null; then
    fail "qemu-x86_64 is missing (scripts/install-deps.sh test installs it)"
else
    # The Haswell that qemu can emulate without a warning: AVX2, no AVX-512.
    for cpu in 'Haswell-noTSX,-pcid,-x2apic,-tsc-deadline,-invpcid avx2' 'Nehalem sse2'; do
        set -- $cpu
        qemu-x86_64 -cpu "$1" "${FOLD[@]}" --version 2>err | grep -q "^fold path: $2 (" && [ ! -s err ] \
            || fail "-cpu $1 did not take $2: $(qemu-x86_64 -cpu "$1" "${FOLD[@]}" --version 2>&1 | tr "\n" " ")"
        folds_exactly "-cpu $1" qemu-x86_64 -cpu "$1"
    done
fi

if [ -n "${EMULATOR:-}" ]; then
    echo "SKIP: the 1 GiB stream in bounded memory: the emulator alone takes more than the bound"
elif [ -z "${SANITIZED:-}" ]; then
    echo "== a 1 GiB stream in bounded memory"
    /usr/bin/python3 - "${FOLD[@]}" <<'PYTHON' || fail "1 GiB stream"
import resource, subprocess, sys
line, folded = "Zażółć gęślą jaźń, pchnąć w tę łódź.\n".encode(), "Zazolc gesla jazn, pchnac w te lodz.\n".encode()
count = (1 << 30) // len(line) + 1
fold = subprocess.Popen(sys.argv[1:], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
import threading
def feed():
    block = line * 4096
    for _ in range(count // 4096): fold.stdin.write(block)
    fold.stdin.write(line * (count % 4096)); fold.stdin.close()
threading.Thread(target=feed).start()
expected, got, total = folded * 4096, b"", 0
while chunk := fold.stdout.read(1 << 20):
    got += chunk
    while len(got) >= len(expected):
        assert got[:len(expected)] == expected, "wrong output"; got = got[len(expected):]; total += len(expected)
total += len(got)
assert fold.wait() == 0 and total == count * len(folded), "wrong length"
peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss // 1024
print(f"{count * len(line) / 2**30:.2f} GiB folded; peak memory {peak} MB")
sys.exit(0 if peak < 16 else 1)
PYTHON
fi

[ "$failures" -eq 0 ] || exit 1
echo "PASS: cli_test.sh"
