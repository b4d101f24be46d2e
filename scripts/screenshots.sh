#!/usr/bin/env bash
# Takes the README's and the home page's screenshots of both builds, in a
# virtual display, with the same text pasted in through the clipboard:
# docs/screenshot.png (Linux) and docs/screenshot-windows.png (Wine).
# Run after scripts/test.sh has built both and made the Wine prefix.
set -euo pipefail
cd "$(dirname "$0")/.."
shoot() {
    X11_WINDOW=build/tests/e2e/x11_window KRESOVAR_WINEPREFIX=$PWD/build/tests/e2e/wine-prefix \
        bash -c '
            source tests/e2e/lib.sh
            start_kresovar
            printf "Zażółć gęślą jaźń\r\nPchnąć w tę łódź jeża lub ośm skrzyń fig.\r\nZAŻÓŁĆ GĘŚLĄ JAŹŃ\r\n" | clipboard_in
            press PASTE
            click_text_area
            keys ctrl+End
            wait_idle
            import -window "$WID" "$0"
            pass' "$2" "$1"
}
shoot build/window/kresovar docs/screenshot.png
shoot build-win/window/kresovar.exe docs/screenshot-windows.png
