#!/usr/bin/env bash
# The installed tree and the Debian package, checked the way their users meet them.
#   install_checks.sh <check>      (run by CTest; tests/install/CMakeLists.txt sets the variables)
# Exit status 77 skips a check whose tool is missing, with the reason on standard output.
set -euo pipefail

: "${BUILD_DIR:?}" "${SOURCE_DIR:?}" "${PREFIX:?}" "${LIBDIR:?}" "${VERSION:?}" "${WORK:?}"
: "${SANITIZE:=OFF}" "${GUI:=OFF}" "${BUILT_MORFEX:=}"

fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIP: $*"; exit 77; }
need() { command -v "$1" >/dev/null || skip "$1 is missing (Debian package ${2:-$1}; scripts/install-deps.sh installs it)"; }

# A consumer of a sanitized library must carry the sanitizer runtime itself.
consumer_flags=()
[ "$SANITIZE" = ON ] && consumer_flags=(-fsanitize=address,undefined)
export ASAN_OPTIONS=detect_leaks=0  # Qt's caches in a sanitized build are not our leaks

expected_conversion=$'Gr\u00fc\u00dfe \u20ac 5\ndetected: 100'

# The usage text's options ("/scs=", "/nobom", ...) and character-set names, one a line; a
# usage text that no longer parses fails here rather than leaving nothing to compare.
usage_options() {
  local options
  options=$("$PREFIX/bin/morfex" --help | tr -d '\r' | sed -n 's|^\(/[^[:space:]=<]*=\{0,1\}\).*|\1|p')
  (($(wc -l <<<"$options") >= 10)) || fail "too few options found in the usage text: $options"
  echo "$options"
}
usage_charsets() {
  local names
  names=$("$PREFIX/bin/morfex" --help | tr -d '\r' | sed -n '/^Valid character sets are/{n;n;p;q}' |
    tr ',' '\n' | sed 's/^ *//;/^$/d')
  (($(wc -l <<<"$names") == 62)) || fail "not the 62 character sets in the usage text: $names"
  echo "$names"
}

# Opens the dialog of `morfex` under the offscreen platform; the module saves a picture and
# cancels. Prints the module file the dynamic loader opened.
open_dialog() {
  local morfex=$1 pictures=$2
  mkdir -p "$pictures"
  local status=0
  (cd "$pictures" && env -u GLYPHSHIFT_GUI_MODULE DISPLAY=:0 QT_QPA_PLATFORM=offscreen \
    GLYPHSHIFT_GUI_SNAPSHOT="$pictures" LD_DEBUG=files "$morfex" 2>"$pictures/loader.log") || status=$?
  [ "$status" -eq 255 ] || { cat "$pictures/loader.log" >&2; fail "$morfex: dialog mode ended with $status, not 255"; }
  [ -s "$pictures/dialog.png" ] || fail "$morfex: the dialog showed no picture"
  local loaded
  loaded=$(sed -n 's/.*file=\([^ ]*morfex_qt\.so\) .*/\1/p' "$pictures/loader.log" | head -n 1)
  [ -n "$loaded" ] || fail "$morfex: no module in the loader's trace"
  realpath "$loaded"
}

# Whether one entry of a Depends field ("name (>= version)", alternatives joined by "|") is met
# by the packages installed here.
satisfied() {
  local alternative name relation version status installed
  while IFS= read -r alternative; do
    read -r name relation version <<<"$(tr -d '()' <<<"$alternative")"
    read -r status installed <<<"$(dpkg-query -W -f '${db:Status-Abbrev} ${Version}' "$name" 2>/dev/null)" || continue
    [ "$status" = ii ] || continue
    [ -z "$relation" ] || dpkg --compare-versions "$installed" "$relation" "$version" || continue
    return 0
  done < <(tr '|' '\n' <<<"$1")
  return 1
}

check_install() {
  rm -rf "$PREFIX"
  cmake --install "$BUILD_DIR" --prefix "$PREFIX" >/dev/null
  # The soname carries the major version, with the two symlinks a linker and ld.so look for.
  local lib="$PREFIX/$LIBDIR/libglyphshift.so"
  [ "$(readlink "$lib")" = libglyphshift.so.1 ] || fail "$lib does not point at libglyphshift.so.1"
  [ "$(readlink "$lib.1")" = "libglyphshift.so.$VERSION" ] || fail "$lib.1 does not point at the versioned file"
  readelf -d "$lib.$VERSION" | grep -q 'SONAME.*\[libglyphshift\.so\.1\]' || fail "soname is not libglyphshift.so.1"
  # Installed files must not lean on the build: no run paths, no build or source folder named.
  local elf
  for elf in "$PREFIX/bin/morfex" "$lib.$VERSION" $(find "$PREFIX/$LIBDIR/glyphshift" -name '*.so' 2>/dev/null); do
    ! readelf -d "$elf" | grep -Eq 'RPATH|RUNPATH' || fail "$elf carries a run path"
  done
  ! grep -rlI -e "$BUILD_DIR" -e "$SOURCE_DIR" "$PREFIX" || fail "installed files above name the build or source folder"
}

check_program() {
  local version
  version=$("$PREFIX/bin/morfex" --version)
  [ "$version" = "morfex (Glyphshift) $VERSION" ] || fail "--version printed \"$version\""
  [ "$GUI" = ON ] || skip "built without the Qt dialog module (GLYPHSHIFT_GUI=OFF or no Qt 6)"
  local loaded
  loaded=$(open_dialog "$PREFIX/bin/morfex" "$WORK/installed")
  [ "$loaded" = "$PREFIX/$LIBDIR/glyphshift/morfex_qt.so" ] || fail "installed morfex loaded \"$loaded\""
  loaded=$(open_dialog "$BUILT_MORFEX" "$WORK/built")
  [ "$loaded" = "$(dirname "$BUILT_MORFEX")/morfex_qt.so" ] || fail "morfex in the build tree loaded \"$loaded\""
}

check_c_library() {
  need pkg-config
  export PKG_CONFIG_PATH="$PREFIX/$LIBDIR/pkgconfig"
  [ "$(pkg-config --modversion glyphshift)" = "$VERSION" ] || fail "pkg-config reports another version"
  local program="$WORK/convert_string"
  # shellcheck disable=SC2046  # pkg-config's words are meant to split
  cc -std=c11 -Wall -Wextra -Wconversion -pedantic -Werror "${consumer_flags[@]}" \
    "$SOURCE_DIR/tests/install/convert_string.c" -o "$program" \
    $(pkg-config --cflags --libs glyphshift) -Wl,-rpath,"$(pkg-config --variable=libdir glyphshift)"
  [ "$("$program")" = "$expected_conversion" ] || fail "the pkg-config program converted wrongly"
}

check_cmake_package() {
  local flags=${consumer_flags[*]:-}
  cmake -S "$SOURCE_DIR/tests/install/consumer" -B "$WORK/build" -G Ninja -DCMAKE_PREFIX_PATH="$PREFIX" \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >"$WORK/configure.log" ||
    { cat "$WORK/configure.log" >&2; fail "the consumer project did not configure"; }
  cmake --build "$WORK/build" >/dev/null
  [ "$("$WORK/build/convert_string")" = "$expected_conversion" ] || fail "the CMake program converted wrongly"
}

check_man_page() {
  need man man-db
  local page="$PREFIX/share/man/man1/morfex.1.gz"
  # What lintian runs: any warning of groff is a fault of the page.
  local warnings
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man reports: $warnings"
  if command -v lexgrog >/dev/null; then
    [ "$(lexgrog "$page")" = "$page: \"morfex - convert text files between character sets\"" ] ||
      fail "bad NAME line for whatis: $(lexgrog "$page")"
  fi
  local text options charsets
  text=$(MANWIDTH=100 man -l "$page" 2>/dev/null)
  options=$(usage_options)
  charsets=$(usage_charsets)
  local missing=() word
  while IFS= read -r word; do
    grep -qF -- "$word" <<<"$text" || missing+=("$word")
  done <<<"$options"$'\n'"$charsets"
  ((${#missing[@]} == 0)) || fail "in the usage text but not in the manual page: ${missing[*]}"
}

check_desktop_entry() {
  need desktop-file-validate desktop-file-utils
  local entry="$PREFIX/share/applications/morfex.desktop" report
  report=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $report"
  [ -z "$report" ] || fail "desktop-file-validate: $report"
  local exec icon
  exec=$(sed -n 's/^Exec=//p' "$entry")
  icon=$(sed -n 's/^Icon=//p' "$entry")
  [ -x "$PREFIX/bin/$exec" ] || fail "Exec=$exec is not an installed program"
  local svg="$PREFIX/share/icons/hicolor/scalable/apps/$icon.svg"
  python3 -c 'import sys, xml.etree.ElementTree as e; assert e.parse(sys.argv[1]).getroot().tag.endswith("svg")' "$svg" ||
    fail "Icon=$icon: $svg is not an SVG picture"
}

check_completion() {
  local script="$PREFIX/share/bash-completion/completions/morfex"
  local default_breaks=$' \t\n"\'><=;|&(:'
  # Candidates for the command line typed so far (the cursor at its end), one a line.
  complete_line() {
    bash -c 'source "$1"; COMP_LINE=$2; COMP_POINT=${#2}; COMP_WORDBREAKS=$3; _morfex; printf "%s\n" "${COMPREPLY[@]}"' \
      _ "$script" "$1" "${2:-$default_breaks}"
  }
  local cases=(
    # typed | expected candidates, space-separated
    "morfex a.txt /sc|/scs="
    "morfex a.txt /SCS=koi|KOI8-R KOI8-U"
    "morfex a.txt /dcs=utf-16|UTF-16 UTF-16BE"
    "morfex a.txt /line=u|UNIX"
    "morfex a.txt /DETECT=st|statistical"
    "morfex a.txt /private.|/private.owner-from-prefix /private.user-translation-table="
    "morfex a.txt /output=/tm|"
    "morfex /sc|/scs="
    "morfex a.txt /line=n|NONE"
    "morfex --v|--version"
    "morfex --l|--list"
    "morfex -|"
  )
  local case typed expected got
  for case in "${cases[@]}"; do
    typed=${case%%|*} expected=${case#*|}
    got=$(complete_line "$typed" | paste -sd ' ')
    [ "$got" = "$expected" ] || fail "completing \"$typed\": got \"$got\", want \"$expected\""
  done
  # Without "=" among the word breaks the whole word is given back.
  got=$(complete_line "morfex a.txt /scs=koi8-r" $' \t\n')
  [ "$got" = "/scs=KOI8-R" ] || fail "completing without \"=\" as a word break: got \"$got\""
  # Every option and every character set of the usage text is offered, and /detect=, which only
  # the manual page describes. (The usage text lists the translation-table option without its
  # "=", and "/?" only works alone.)
  local options charsets
  options=$(usage_options)
  charsets=$(usage_charsets)
  diff <(echo "$charsets") <(complete_line "morfex a.txt /dcs=") >&2 ||
    fail "character sets offered after /dcs= differ from the usage text (above)"
  diff <( (grep -v '^/?$' <<<"$options"; echo /detect) | sed 's/=$//' | sort) \
    <(complete_line "morfex a.txt /" | sed 's/=$//' | sort) >&2 ||
    fail "options offered differ from the usage text (above)"
}

# The package: built by CPack from this build, clean for lintian, its dependencies computed and
# present here, and its program working straight out of the archive.
check_deb() {
  [ "$SANITIZE" = OFF ] || skip "a sanitized build is not packaged; scripts/package.sh builds and checks the package"
  need dpkg-deb dpkg
  need dpkg-shlibdeps dpkg-dev
  need lintian
  need fakeroot
  [ "$(dpkg-parsechangelog -l "$SOURCE_DIR/packaging/changelog" -S Version)" = "$VERSION" ] ||
    fail "packaging/changelog has no entry for $VERSION at the top"

  (cd "$BUILD_DIR" && cpack -G DEB --config CPackConfig.cmake >"$WORK/cpack.log") ||
    { cat "$WORK/cpack.log" >&2; fail "cpack failed"; }
  local deb="$BUILD_DIR/glyphshift_${VERSION}_$(dpkg --print-architecture).deb"
  [ -f "$deb" ] || fail "no $deb"

  local depends
  depends=$(dpkg-deb -f "$deb" Depends)
  echo "Depends: $depends"
  local wanted
  for wanted in libc6 libacl1 libcap2 libuchardet0 $([ "$GUI" = ON ] && echo libqt6widgets6); do
    [[ ", $depends" == *", $wanted "* ]] || fail "Depends lacks $wanted"
  done
  # Every declared dependency is installed here in a version it accepts.
  local dependency
  while IFS= read -r dependency; do
    satisfied "$dependency" || fail "dependency \"$dependency\" is not installed here"
  done < <(tr ',' '\n' <<<"$depends" | sed 's/^ *//')

  local report
  report=$(lintian --fail-on error --no-tag-display-limit "$deb" 2>&1) || { echo "$report" >&2; fail "lintian reports errors"; }
  [ -z "$report" ] || echo "$report"

  local root="$WORK/root"
  rm -rf "$root"
  dpkg -x "$deb" "$root"
  local sample="$SOURCE_DIR/samples/russian/letter-koi8-r.txt"
  (cd "$WORK" && "$root/usr/bin/morfex" "$sample" /scs=koi8-r /nobom /output="$WORK/letter.txt" >"$WORK/run.log") ||
    { cat "$WORK/run.log" >&2; fail "the packaged morfex failed to convert"; }
  cmp <(iconv -f KOI8-R -t UTF-8 "$sample") "$WORK/letter.txt" || fail "the packaged morfex converted wrongly"
  if [ "$GUI" = ON ]; then
    local loaded
    loaded=$(open_dialog "$root/usr/bin/morfex" "$WORK/dialog")
    [[ "$loaded" == "$root/usr/lib/"*"/morfex_qt.so" ]] || fail "the packaged morfex loaded \"$loaded\""
  fi
}

check=${1:?which check}
rm -rf "$WORK"
mkdir -p "$WORK"
"check_${check//-/_}"
