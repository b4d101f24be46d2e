#!/usr/bin/env bash
# Gives the installer's summary the product's language, which wixl leaves as
# 1033 (English) in its Template. msibuild -s writes the Subject, the Author
# and the Template together, so the first two go back as wixl wrote them.
set -euo pipefail
msi=${1:?usage: summary_language.sh KRESOVAR.MSI}
summary=$(msiinfo suminfo "$msi")
field() { sed -n "s/^$1: //p" <<<"$summary"; }
language=$(msiinfo export "$msi" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductLanguage" { print $2 }')
msibuild "$msi" -s "$(field Subject)" "$(field Author)" "$(field Template | cut -d';' -f1);$language"
