#!/usr/bin/env bash
# The Windows installer in a fresh Wine prefix: it installs the three programs
# and their licence notices in Program Files\Kresovar, a Start-menu shortcut,
# one with a hotkey that folds the clipboard, and an uninstall entry (name,
# version, publisher, home page, icon), puts its folder on the system PATH,
# so that kresovar-fold runs by name in a new console, and leaves nothing
# behind when removed, the rest of PATH as it was. Runs in a display of its own (with_display.sh).
set -euo pipefail
msi=$(realpath "${1:?usage: msi_test.sh KRESOVAR.MSI}")
work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all
# winemenubuilder would copy the shortcut into the Linux desktop's own menus.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

traces() {
    find "$WINEPREFIX/drive_c" -ipath '*kresovar*' -o -ipath '*ogonki*' 2>/dev/null
    grep -il kresovar "$WINEPREFIX"/*.reg 2>/dev/null || true
}

# The system PATH in Wine's registry, one entry a line.
system_path() {
    timeout 60 wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v PATH \
        | tr -d '\r' | sed -n 's/^ *PATH *REG_[A-Z_]* *//p' | tr ';' '\n' | grep .
}

timeout 300 wineboot --init >/dev/null 2>&1 || { echo "FAIL: no Wine prefix" >&2; exit 1; }
timeout 60 wineserver --wait
system_path >"$work/path-before"
echo "installer: $(stat -c %s "$msi") bytes"
# The summary Windows shows: in Polish, and ASCII, which any code page reads alike.
summary=$(msiinfo suminfo "$msi")
grep -qx 'Template: x64;1045' <<<"$summary" || fail "the summary's language is not Polish: $summary"
! LC_ALL=C grep -q '[^ -~]' <<<"$summary" || fail "the summary is not ASCII: $summary"

timeout 120 wine msiexec /i "$msi" /qn || fail "the installation failed"
timeout 60 wineserver --wait
folder="$WINEPREFIX/drive_c/Program Files/Kresovar"
for file in kresovar.exe kresovar-fold.exe kresovar-clipboard.exe LICENSE.txt THIRD-PARTY-NOTICES.txt; do
    [ -s "$folder/$file" ] || fail "not installed: Program Files\\Kresovar\\$file"
done
grep -q 'MinGW-w64' "$folder/THIRD-PARTY-NOTICES.txt" || fail "the notices do not name the MinGW-w64 runtime"
for program in "$folder"/*.exe; do
    grep -qF "$(basename "$program")" "$folder/THIRD-PARTY-NOTICES.txt" || fail "the notices do not name $(basename "$program")"
done
shortcut=$(find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/Kresovar.lnk' | head -n 1)
[ -n "$shortcut" ] && grep -aq 'kresovar.exe' "$shortcut" || fail "no Start-menu shortcut to kresovar.exe"
# The hotkey, Ctrl+Alt+K, is at offset 64 of the link, and named in its description (UTF-16).
shortcut=$(find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/Usuń ogonki ze schowka.lnk' | head -n 1)
[ -n "$shortcut" ] && grep -aq 'kresovar-clipboard.exe' "$shortcut" && [ "$(od -An -tu2 -j64 -N2 "$shortcut")" -eq 1611 ] \
    && tr -d '\0' <"$shortcut" | grep -q 'Ctrl+Alt+K' || fail "no shortcut with the hotkey Ctrl+Alt+K to kresovar-clipboard.exe"
# The uninstall entry, as the list of programs shows it.
entry=$(awk '/CurrentVersion\\\\Uninstall\\\\\{/ { show = 1 } show && /^$/ { show = 0 } show' "$WINEPREFIX/system.reg")
for value in '"DisplayName"="Kresovar"' "\"DisplayVersion\"=\"$KRESOVAR_VERSION\"" '"Publisher"="Kresovar developers"' \
             "\"URLInfoAbout\"=\"$KRESOVAR_HOMEPAGE\""; do
    grep -qF "$value" <<<"$entry" || fail "the uninstall entry lacks $value"
done
icon=$(sed -n 's/^"ProductIcon"="C:\\\\\(.*\)"$/\1/p' "$WINEPREFIX/system.reg" | sed 's/\\\\/\//g')
[ -n "$icon" ] && [ -s "$WINEPREFIX/drive_c/$icon" ] || fail "the uninstall entry has no icon"
diff <(cat "$work/path-before"; echo 'C:\Program Files\Kresovar\') <(system_path) >&2 \
    || fail "the system PATH is not the one before with the install folder at its end"
[ "$(printf 'żółw' | timeout 60 wine cmd /c kresovar-fold.exe)" = zolw ] || fail "kresovar-fold does not run by name in a new console"
echo "installed: $(find "$folder" -type f | wc -l) files, shortcut, uninstall entry"

timeout 120 wine msiexec /x "$msi" /qn || fail "the removal failed"
timeout 60 wineserver --wait
diff "$work/path-before" <(system_path) >&2 || fail "the system PATH is not as it was before the installation"
left=$(traces)
[ -z "$left" ] || fail "left behind after removal: $left"

[ "$failures" -eq 0 ] || exit 1
echo "PASS: msi_test.sh"
