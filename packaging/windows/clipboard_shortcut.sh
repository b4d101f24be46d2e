#!/usr/bin/env bash
# Gives the installer's shortcut to kresovar-clipboard, which wixl built, what
# wixl cannot write: its Polish name, and its hotkey, Ctrl+Alt+K (1611 =
# 0x064B: HOTKEYF_CONTROL | HOTKEYF_ALT in the high byte, the key K in the
# low one). The name's letters need the Central European code page, which
# must be set before any text is written.
set -euo pipefail
msi=$(realpath "${1:?usage: clipboard_shortcut.sh KRESOVAR.MSI}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '\r\n\r\n1250\t_ForceCodepage\r\n' >"$work/_ForceCodepage.idt"
(cd "$work" && msibuild "$msi" -i _ForceCodepage.idt)
msibuild "$msi" -q "UPDATE \`Shortcut\` SET \`Name\` = 'USUNOG~1|Usuń ogonki ze schowka', \`Hotkey\` = 1611
    WHERE \`Shortcut\` = 'ClipboardShortcut'"
