#!/usr/bin/env bash
# Runs `cmake --install BUILD_DIR` into a temporary prefix and checks the files it puts there.
# Usage: check_install.sh CMAKE BUILD_DIR
set -uo pipefail
cmake=$1 build=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" >/dev/null || { echo "cmake --install failed"; exit 1; }

failures=0
# check DESCRIPTION COMMAND...: runs COMMAND; it must succeed and print nothing.
check() {
  local what=$1 out
  shift
  if ! out=$("$@" 2>&1) || [ -n "$out" ]; then
    echo "FAILED: $what${out:+: $out}"
    failures=$((failures + 1))
  fi
}
# The width and height in a PNG's header, as WxH.
png_size() {
  local b
  read -ra b < <(od -An -tu1 -j16 -N8 "$1")
  echo "$((b[0] << 24 | b[1] << 16 | b[2] << 8 | b[3]))x$((b[4] << 24 | b[5] << 16 | b[6] << 8 | b[7]))"
}

cd "$prefix"
for file in bin/corvane share/applications/corvane.desktop share/icons/hicolor/scalable/apps/corvane.svg \
  share/man/man1/corvane.1 share/bash-completion/completions/corvane share/zsh/site-functions/_corvane; do
  check "$file is installed" test -s "$file"
done
for size in 16 32 48 64 128 256; do
  check "${size}x$size icon" test "$(png_size "share/icons/hicolor/${size}x$size/apps/corvane.png")" = "${size}x$size"
done
check "the installed program runs" grep -qx 'corvane [0-9.]*' <(bin/corvane --version)
check "desktop entry" desktop-file-validate share/applications/corvane.desktop
check "man page" groff -man -Tutf8 -ww -z share/man/man1/corvane.1
check "bash completion" bash -n share/bash-completion/completions/corvane
check "zsh completion" zsh -n share/zsh/site-functions/_corvane

# Every long option the program's help names is in the man page and both completions.
for option in $(bin/corvane --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
  check "$option in the man page" grep -qwF -- "${option//-/\\-}" share/man/man1/corvane.1
  check "$option in the bash completion" grep -qw -- "$option" share/bash-completion/completions/corvane
  check "$option in the zsh completion" grep -qwF -- "$option" share/zsh/site-functions/_corvane
done

# What the bash completion offers for the last word, in a folder of a page of each kind, a text file,
# a sheet, a picture and a folder.
mkdir -p pages/sub && touch pages/a.html pages/b.htm pages/notes.txt pages/sheet.xls pages/picture.png
offered() {
  (cd pages && source ../share/bash-completion/completions/corvane && COMP_WORDS=(corvane "$@") &&
    COMP_CWORD=$# && _corvane && printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd' ')
}
check "bash: first word" test "$(offered '')" = "a.html b.htm convert render sub view"
check "bash: the window" test "$(offered a.html '')" = "a.html b.htm sub"
check "bash: convert -o" test "$(offered convert -o '')" = "sub"
check "bash: convert -a" test "$(offered convert -a '')" = "- sheet.xls sub"
check "bash: convert --t" test "$(offered convert -q --t)" = "--tables --threads --trim"
check "bash: convert --tables" test "$(offered convert --tables '')" = "all"
check "bash: render -o" test "$(offered render a.html -o '')" = "picture.png sub"
check "bash: render --" test "$(offered render a.html --)" = "--help --max-height --max-pages --output --page-size --table --width"
check "bash: render --page-size" test "$(offered render a.html --page-size L)" = "Legal Letter"
check "bash: view --skin" test "$(offered view --skin d)" = "dark desktop"
check "bash: view" test "$(offered view '')" = "a.html b.htm sub"

[ "$failures" -eq 0 ] || { echo "$failures checks failed"; exit 1; }
