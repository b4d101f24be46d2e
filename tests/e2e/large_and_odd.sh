#!/usr/bin/env bash
# A 20 MB text goes through paste, fold and copy whole; text with NUL
# characters or bytes that are not UTF-8 neither crashes nor hangs the program.
source "$(dirname "$0")/lib.sh"

# About 20 MB of Polish prose in CR LF lines, and the same folded.
perl -CO -Mutf8 -e '
    my @words = qw(zażółć gęślą jaźń Łódź ŻÓŁW źdźbło Świętokrzyskie żółty chrząszcz brzmi w trzcinie 2026 ĄĘ);
    my $n = 0;
    while ($n < 20_000_000) {
        my $line = join(" ", map { $words[($n + $_ * 7) % @words] } 0 .. 9) . "\r\n";
        print $line;
        $n += length($line) * 1.2;
    }' >"$WORK/large"
perl -CSD -Mutf8 -pe 'tr/ąćęłńóśźżĄĆĘŁŃÓŚŹŻ/acelnoszzACELNOSZZ/' <"$WORK/large" >"$WORK/large.folded"
echo "text of $(wc -c <"$WORK/large") bytes"

start_kresovar
clipboard_in <"$WORK/large"
press PASTE
fold_and_expect "$WORK/large.folded" 120
copy_with_button
expect_clipboard "$WORK/large.folded" 120

# Bytes that are not valid UTF-8 (a stray continuation byte, 0xFF, a sequence
# cut short): each becomes U+FFFD as the text is decoded.
printf 'ą\x80b\xffc\xc5' | clipboard_in
press PASTE
printf 'a\xef\xbf\xbdb\xef\xbf\xbdc\xef\xbf\xbd' >"$WORK/expected"
fold_and_expect "$WORK/expected"
copy_with_button
expect_clipboard "$WORK/expected"

# A NUL character: Qt keeps it; a Windows text on the clipboard ends there.
printf 'ą\0ś' | clipboard_in
press PASTE
if [ -n "$WINDOWS_BUILD" ]; then
    printf 'a' >"$WORK/expected"
else
    printf 'a\0s' >"$WORK/expected"
fi
fold_and_expect "$WORK/expected"
copy_with_button
expect_clipboard "$WORK/expected"

pass
