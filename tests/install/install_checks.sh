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
# by the packages installed here for architecture $2. With a second architecture enabled a
# library can be installed once for each, so only the copy of that architecture (or of "all")
# counts.
satisfied() {
  local alternative name relation version status installed arch
  while IFS= read -r alternative; do
    read -r name relation version <<<"$(tr -d '()' <<<"$alternative")"
    while read -r status installed arch; do
      if [ "$status" != ii ] || { [ "$arch" != "$2" ] && [ "$arch" != all ]; }; then continue; fi
      [ -z "$relation" ] || dpkg --compare-versions "$installed" "$relation" "$version" || continue
      return 0
    done < <(dpkg-query -W -f '${db:Status-Abbrev} ${Version} ${Architecture}\n' "$name" 2>/dev/null)
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
  [ "$GUI" = ON ] || skip "built without the Qt dialog module, whose package holds the desktop entry"
  need desktop-file-validate desktop-file-utils
  local entry="$PREFIX/share/applications/morfex.desktop" report
  report=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $report"
  [ -z "$report" ] || fail "desktop-file-validate: $report"
  local exec icon
  exec=$(sed -n 's/^Exec=//p' "$entry")
  icon=$(sed -n 's/^Icon=//p' "$entry")
  # The file a file manager hands over opens the dialog with it as the source.
  [ "$exec" = "morfex --dialog %f" ] || fail "Exec=$exec does not open the dialog with the given file"
  [ -x "$PREFIX/bin/${exec%% *}" ] || fail "Exec=$exec is not an installed program"
  local svg="$PREFIX/share/icons/hicolor/scalable/apps/$icon.svg"
  python3 -c 'import sys, xml.etree.ElementTree as e; assert e.parse(sys.argv[1]).getroot().tag.endswith("svg")' "$svg" ||
    fail "Icon=$icon: $svg is not an SVG picture"
}

# Candidates the zsh completion hands to compadd for the command line typed so far, one a line.
# compadd, compset and _files stand in for the completion system's builtins: the function
# chooses its candidates itself (compadd -U), so what it hands over is what zsh offers; no
# candidates means file names, as in bash.
complete_line_zsh() {
  zsh -f -c '
    compadd() {
      while (($#)); do
        case $1 in --) shift; break ;; -[SPMJX]) shift 2 ;; -*) shift ;; *) break ;; esac
      done
      print -rl -- "$@"
    }
    compset() { [[ $1 == -P && $PREFIX == *=* ]] && { IPREFIX+=${PREFIX%%=*}=; PREFIX=${PREFIX#*=} }; }
    _files() { : }
    fpath=("$1" $fpath)
    autoload -Uz _morfex
    words=(${(z)2})
    [[ $2 == *" " ]] && words+=("")
    CURRENT=${#words} PREFIX=${words[-1]} IPREFIX=
    _morfex || :  # its status only tells whether it offered anything' _ "$PREFIX/share/zsh/vendor-completions" "$1"
}

check_completion() {
  local script="$PREFIX/share/bash-completion/completions/morfex"
  local default_breaks=$' \t\n"\'><=;|&(:'
  # Candidates of the bash completion for the command line typed so far (the cursor at its
  # end), one a line.
  complete_line_bash() {
    bash -c 'source "$1"; COMP_LINE=$2; COMP_POINT=${#2}; COMP_WORDBREAKS=$3; _morfex; printf "%s\n" "${COMPREPLY[@]}"' \
      _ "$script" "$1" "${2:-$default_breaks}"
  }
  [ -f "$PREFIX/share/zsh/vendor-completions/_morfex" ] || fail "no zsh completion installed"
  local cases=(
    # typed | expected candidates, sorted, space-separated
    "morfex a.txt /sc|/scs="
    "morfex a.txt /SCS=koi|KOI8-R KOI8-U"
    "morfex a.txt /dcs=utf-16|UTF-16 UTF-16BE"
    "morfex a.txt /line=u|UNIX"
    "morfex a.txt /DETECT=st|statistical"
    "morfex a.txt /INFO=j|json"
    "morfex a.txt /private.|/private.owner-from-prefix /private.user-translation-table="
    "morfex a.txt /output=/tm|"
    "morfex /sc|/scs="
    "morfex a.txt /line=n|NONE"
    "morfex --v|--version"
    "morfex --d|--dialog"
    "morfex --dialog |"
    "morfex --l|--list"
    "morfex -|"
  )
  local shell case typed expected got options charsets
  options=$(usage_options)
  charsets=$(usage_charsets)
  for shell in bash zsh; do
    need "$shell"
    for case in "${cases[@]}"; do
      typed=${case%%|*} expected=${case#*|}
      got=$("complete_line_$shell" "$typed" | sed '/^$/d' | sort | paste -sd ' ')
      [ "$got" = "$expected" ] || fail "$shell completing \"$typed\": got \"$got\", want \"$expected\""
    done
    # Every option and every character set of the usage text is offered, and /detect=, which
    # only the manual page describes. (The usage text lists the translation-table option
    # without its "=", and "/?" only works alone.)
    diff <(echo "$charsets") <("complete_line_$shell" "morfex a.txt /dcs=") >&2 ||
      fail "$shell: character sets offered after /dcs= differ from the usage text (above)"
    diff <( (grep -v '^/?$' <<<"$options"; echo /detect) | sed 's/=$//' | sort) \
      <("complete_line_$shell" "morfex a.txt /" | sed 's/=$//' | sort) >&2 ||
      fail "$shell: options offered differ from the usage text (above)"
  done
  # Without "=" among the word breaks bash gives the whole word back.
  got=$(complete_line_bash "morfex a.txt /scs=koi8-r" $' \t\n')
  [ "$got" = "/scs=KOI8-R" ] || fail "completing without \"=\" as a word break: got \"$got\""
}

# A configure that misses a dependency names the Debian package that brings it: each is hidden
# in turn from a fresh configure of the source tree.
check_configure_hints() {
  local cases=(
    # Debian package named | how the dependency is hidden (configure arguments)
    "libacl1-dev|-DCMAKE_DISABLE_FIND_PACKAGE_Acl=ON"
    "libcap-dev|-DCMAKE_DISABLE_FIND_PACKAGE_Cap=ON"
    "libgtest-dev|-DGLYPHSHIFT_TESTS=ON -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON"
    "libbenchmark-dev|-DGLYPHSHIFT_BENCH=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON"
    "libicu-dev|-DGLYPHSHIFT_BENCH=ON -DCMAKE_DISABLE_FIND_PACKAGE_ICU=ON"
    "qt6-base-dev|-DGLYPHSHIFT_GUI=ON -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON"
  )
  local case package arguments log
  for case in "${cases[@]}"; do
    package=${case%%|*} arguments=${case#*|}
    log=$WORK/$package.log
    # shellcheck disable=SC2086  # the arguments are meant to split
    cmake -S "$SOURCE_DIR" -B "$WORK/$package" -G Ninja -DGLYPHSHIFT_TESTS=OFF -DGLYPHSHIFT_INSTALL_TESTS=OFF \
      -DGLYPHSHIFT_GUI=OFF $arguments >"$log" 2>&1 || true
    # CMake wraps its messages: the words are looked for across line breaks.
    grep -q "install the Debian package $package\|(install $package)" <<<"$(tr -s '\n ' '  ' <"$log")" ||
      { cat "$log" >&2; fail "a configure without what $package brings does not name it (above)"; }
    rm -rf "${WORK:?}/$package"
  done
}

# The packages: built by CPack from this build, each holding its own part of the install,
# clean for lintian, their dependencies computed and present here (ours among each other), and
# each used on its own, unpacked into a root of its own (with what it depends on of ours).
check_deb() {
  [ "$SANITIZE" = OFF ] || skip "a sanitized build is not packaged; scripts/package.sh builds and checks the packages"
  need dpkg-deb dpkg
  need dpkg-shlibdeps dpkg-dev
  need lintian
  need fakeroot
  need apt-cache apt
  [ "$(dpkg-parsechangelog -l "$SOURCE_DIR/packaging/changelog" -S Version)" = "$VERSION" ] ||
    fail "packaging/changelog has no entry for $VERSION at the top"

  rm -f "$BUILD_DIR"/*.deb
  (cd "$BUILD_DIR" && cpack -G DEB --config CPackConfig.cmake >"$WORK/cpack.log") ||
    { cat "$WORK/cpack.log" >&2; fail "cpack failed"; }
  local arch lib=${LIBDIR#/usr/}
  arch=$(dpkg --print-architecture)
  local -A deb
  local packages=(libglyphshift1 libglyphshift-dev glyphshift) package
  [ "$GUI" = ON ] && packages+=(glyphshift-gui)
  for package in "${packages[@]}"; do
    deb[$package]="$BUILD_DIR/${package}_${VERSION}_$arch.deb"
    [ -f "${deb[$package]}" ] || fail "no ${deb[$package]}"
  done
  (($(find "$BUILD_DIR" -maxdepth 1 -name '*.deb' | wc -l) == ${#packages[@]})) ||
    fail "other packages than ${packages[*]}: $(ls "$BUILD_DIR"/*.deb)"

  check_deb_contents
  check_deb_depends
  local report
  report=$(lintian --fail-on error,warning --tag-display-limit 0 "${deb[@]}" 2>"$WORK/lintian.log") ||
    { echo "$report" >&2; cat "$WORK/lintian.log" >&2; fail "lintian reports errors or warnings"; }
  [ -z "$report" ] || echo "$report"
  check_deb_use
}

# Which package holds which file: every installed file in exactly the package of its part.
check_deb_contents() {
  local -A expected=(
    [libglyphshift1]="usr/$lib/libglyphshift.so.1 usr/$lib/libglyphshift.so.$VERSION"
    [libglyphshift-dev]="usr/include/glyphshift/glyphshift.h usr/$lib/libglyphshift.so
      usr/$lib/pkgconfig/glyphshift.pc usr/$lib/cmake/Glyphshift/GlyphshiftConfig.cmake
      usr/$lib/cmake/Glyphshift/GlyphshiftConfigVersion.cmake usr/$lib/cmake/Glyphshift/GlyphshiftTargets.cmake
      usr/$lib/cmake/Glyphshift/GlyphshiftTargets-release.cmake"
    [glyphshift]="usr/bin/morfex usr/share/man/man1/morfex.1.gz usr/share/bash-completion/completions/morfex
      usr/share/zsh/vendor-completions/_morfex"
    [glyphshift-gui]="usr/$lib/glyphshift/morfex_qt.so usr/share/applications/morfex.desktop
      usr/share/icons/hicolor/scalable/apps/morfex.svg usr/share/lintian/overrides/glyphshift-gui"
  )
  local package want got
  for package in "${packages[@]}"; do
    # shellcheck disable=SC2086  # the expected paths, one a word
    want=$( (printf '%s\n' ${expected[$package]} "usr/share/doc/$package/changelog.gz" "usr/share/doc/$package/copyright") |
      sort)
    got=$(dpkg-deb --fsys-tarfile "${deb[$package]}" | tar -t | sed 's|^\./||;/\/$/d;/^$/d' | sort)
    diff <(echo "$want") <(echo "$got") >&2 || fail "$package holds other files than its part (above: - missing, + extra)"
  done
}

# Each package depends on what its files link and on the package of ours it needs, in exactly
# this version; the program needs no toolkit, not even through what it depends on.
check_deb_depends() {
  local -A wanted=(
    [libglyphshift1]="libc6"
    [libglyphshift-dev]="libglyphshift1 (= $VERSION)"
    [glyphshift]="libc6|libacl1|libcap2"
    [glyphshift-gui]="glyphshift (= $VERSION)|libqt6widgets6"
  )
  local package depends dependency entry entries
  for package in "${packages[@]}"; do
    depends=$(dpkg-deb -f "${deb[$package]}" Depends)
    echo "$package Depends: $depends"
    IFS='|' read -r -a entries <<<"${wanted[$package]}"
    for entry in "${entries[@]}"; do
      [[ ", $depends," == *", $entry"[\ ,]* ]] || fail "$package: Depends lacks $entry"
    done
    # Ours come from this build; everything else is installed here in a version it accepts.
    while IFS= read -r dependency; do
      [[ " ${packages[*]} " == *" ${dependency%% *} "* ]] && continue
      satisfied "$dependency" "$arch" || fail "$package: dependency \"$dependency\" is not installed here"
    done < <(tr ',' '\n' <<<"$depends" | sed 's/^ *//')
  done
  local names closure
  names=$(dpkg-deb -f "${deb[glyphshift]}" Depends | tr ',' '\n' | sed 's/^ *//;s/ .*//')
  # shellcheck disable=SC2086  # one name a word
  closure=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks --no-replaces \
    --no-enhances $names | sed -n 's/^\([^ <][^ ]*\)$/\1/p' | sort -u)
  (($(wc -l <<<"$closure") >= 4)) || fail "apt-cache found no dependencies of glyphshift: $closure"
  ! grep -i 'qt' <<<"$closure" >&2 || fail "glyphshift pulls in the toolkit (above)"
}

# Each package on its own: the program converts without the dialog's package and says what is
# missing when asked for the dialog, opens the dialog with it, and a library user builds and
# runs a program with the library and development packages alone (pkg-config and CMake).
check_deb_use() {
  unpack() {
    local root=$WORK/$1 package
    rm -rf "$root"
    for package in "${@:2}"; do dpkg -x "${deb[$package]}" "$root"; done
    echo "$root"
  }
  local root sample="$SOURCE_DIR/samples/russian/letter-koi8-r.txt"
  root=$(unpack program glyphshift)
  (cd "$WORK" && "$root/usr/bin/morfex" "$sample" /scs=koi8-r /nobom /output="$WORK/letter.txt" >"$WORK/run.log") ||
    { cat "$WORK/run.log" >&2; fail "the packaged morfex failed to convert"; }
  cmp <(iconv -f KOI8-R -t UTF-8 "$sample") "$WORK/letter.txt" || fail "the packaged morfex converted wrongly"
  local status=0 error
  error=$(env -u GLYPHSHIFT_GUI_MODULE DISPLAY=:0 QT_QPA_PLATFORM=offscreen "$root/usr/bin/morfex" --dialog "$sample" 2>&1) ||
    status=$?
  [ "$status" -eq 255 ] || fail "a dialog start without glyphshift-gui ended with $status, not 255"
  [[ "$error" == *"not installed"*"/usr/$lib/glyphshift"*"install the package glyphshift-gui"* ]] ||
    fail "a dialog start without glyphshift-gui does not say why: $error"

  if [ "$GUI" = ON ]; then
    root=$(unpack dialog glyphshift glyphshift-gui)
    local loaded
    loaded=$(open_dialog "$root/usr/bin/morfex" "$WORK/dialog")
    [ "$loaded" = "$root/usr/$lib/glyphshift/morfex_qt.so" ] || fail "the packaged morfex loaded \"$loaded\""
  fi

  root=$(unpack library libglyphshift1 libglyphshift-dev)
  export LD_LIBRARY_PATH="$root/usr/$lib"
  # shellcheck disable=SC2046  # pkg-config's words are meant to split
  cc -std=c11 -Wall -Wextra -Werror "$SOURCE_DIR/tests/install/convert_string.c" -o "$WORK/convert_string" \
    $(PKG_CONFIG_LIBDIR="$root/usr/$lib/pkgconfig" PKG_CONFIG_SYSROOT_DIR="$root" pkg-config --cflags --libs glyphshift)
  [ "$("$WORK/convert_string")" = "$expected_conversion" ] || fail "the pkg-config program converted wrongly"
  cmake -S "$SOURCE_DIR/tests/install/consumer" -B "$WORK/consumer" -G Ninja -DCMAKE_PREFIX_PATH="$root/usr" \
    >"$WORK/configure.log" || { cat "$WORK/configure.log" >&2; fail "the consumer project did not configure"; }
  cmake --build "$WORK/consumer" >/dev/null
  [ "$("$WORK/consumer/convert_string")" = "$expected_conversion" ] || fail "the CMake program converted wrongly"
}

check=${1:?which check}
rm -rf "$WORK"
mkdir -p "$WORK"
"check_${check//-/_}"
