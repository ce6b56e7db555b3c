#!/usr/bin/env bash
# Builds Kelvane's release packages from the commit checked out here, from
# fresh build folders:
#   dist/Kelvane-VERSION-windows-x86.zip     Kelvane.dll for 32-bit Windows hosts
#   dist/Kelvane-VERSION-windows-x64.zip     Kelvane.dll for 64-bit Windows hosts
#   dist/Kelvane-VERSION-linux-x86_64.zip    Kelvane.so for Linux x86_64 hosts
#   dist/SHA256SUMS
# Each zip holds one folder, Kelvane/, with the module, the manual beside it
# (Kelvane_manual.pdf, which the editor's logo opens), INSTALL.txt and
# LICENSES.txt (the libraries the module contains or loads, read from the link
# map and the module's imports, with their Debian copyright files).
# The packages are the same bytes wherever and whenever they are built from
# the same commit with the same Debian packages: no paths or link times in the
# modules, every zip entry dated at the commit (SOURCE_DATE_EPOCH), in a fixed
# order with fixed permissions. scripts/check-reproducible.sh proves it.
#
#   scripts/package.sh [--out DIR] [--no-manual]
#
# --no-manual builds interim packages without the manual while the tree has no
# manual target; their names end in -NO-MANUAL and INSTALL.txt says so.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

out=$root/dist
with_manual=yes
while [ $# -gt 0 ]; do
  case "$1" in
    --out) out=$(realpath -m "$2"); shift 2 ;;
    --no-manual) with_manual=; shift ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "package.sh: unknown argument '$1' (--out DIR, --no-manual)" >&2; exit 2 ;;
  esac
done
fail() { echo "package.sh: error: $*" >&2; exit 1; }

# The manual is built by this CMake target into this file of the Linux build.
manual_target=manual
manual_pdf=Kelvane_manual.pdf

./scripts/install-deps.sh

[ -n "$(git status --porcelain --untracked-files=no)" ] &&
  fail "the checkout has uncommitted changes; packages are built from a commit (commit or stash first)"
commit=$(git rev-parse HEAD)
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct HEAD)}
# TeX engines take their dates from SOURCE_DATE_EPOCH only with this set.
export FORCE_SOURCE_DATE=1 TZ=UTC LC_ALL=C.UTF-8
version=$(sed -n 's/^project(Kelvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "no version in CMakeLists.txt"
date=$(date -u -d "@$SOURCE_DATE_EPOCH" +%Y-%m-%d)
suffix=""
[ -n "$with_manual" ] || suffix=-NO-MANUAL
echo "== Kelvane $version, commit $commit ($date)"

stage=$root/build/package-stage
rm -rf "$stage"
mkdir -p "$stage" "$out"
rm -f "$out"/Kelvane-*.zip "$out"/SHA256SUMS

# Builds one target in a fresh build folder.
build() {  # PRESET TARGET...
  local preset=$1; shift
  echo "== building $* ($preset)"
  rm -rf "$root/build/$preset"
  cmake --preset "$preset" >"$stage/$preset.configure.log" 2>&1 ||
    { cat "$stage/$preset.configure.log" >&2; fail "configuring $preset failed"; }
  cmake --build --preset "$preset" -j"$(nproc)" --target "$@" >"$stage/$preset.build.log" 2>&1 ||
    { tail -n 40 "$stage/$preset.build.log" >&2; fail "building $* ($preset) failed (log: $stage/$preset.build.log)"; }
}

manual=""
build package-linux Kelvane
if [ -n "$with_manual" ]; then
  targets=$(cmake --build --preset package-linux --target help)
  grep -qx "\.\.\. $manual_target" <<<"$targets" ||
    fail "this tree has no CMake target '$manual_target' that builds $manual_pdf, so the packages would lack the manual.
       Build interim packages without it with: scripts/package.sh --no-manual"
  echo "== building $manual_target (package-linux)"
  cmake --build --preset package-linux -j"$(nproc)" --target "$manual_target" >"$stage/manual.build.log" 2>&1 ||
    { tail -n 40 "$stage/manual.build.log" >&2; fail "building the manual failed (log: $stage/manual.build.log)"; }
  manual=$(find "$root/build/package-linux" -name "$manual_pdf" -type f | sort | sed -n 1p)
  [ -n "$manual" ] || fail "the target '$manual_target' wrote no $manual_pdf into build/package-linux"
fi
build package-win32 Kelvane
build package-win64 Kelvane

# ---- licence notes ---------------------------------------------------------

# The Debian package that installed PATH (with /usr-merged paths tried both ways).
owner() {
  local p candidates=("$1" "$(readlink -f "$1")")
  for p in "${candidates[@]}"; do
    for q in "$p" "${p#/usr}" "/usr$p"; do
      dpkg-query -S "$q" 2>/dev/null | sed -n '1s/:.*//p' | grep . && return 0
    done
  done
  echo "package.sh: error: no Debian package owns $1" >&2
  return 1
}

# What a linked file is, for the reader of the licence notes.
what() {  # PATH
  case "$(basename "${1%% *}")" in
    libstdc++.a) echo "GCC's C++ standard library, " ;;
    libgcc.a|libgcc_eh.a|crtbegin*.o|crtend*.o) echo "GCC's runtime support, " ;;
    libpthread.a) echo "winpthreads (POSIX threads for Windows), " ;;
    libmingw32.a|libmingwex.a|dllcrt2.o) echo "the mingw-w64 C runtime, " ;;
    libmsvcrt.a) echo "the mingw-w64 import stubs of msvcrt.dll, " ;;
    crti.o|crtn.o) echo "the C library's start-up code, " ;;
    lib*.a) local dll=$(basename "${1%% *}" .a); echo "the mingw-w64 import stubs of ${dll#lib}.dll, " ;;
  esac
}

# Writes LICENSES.txt for a module: MODULE_FILE TITLE MAP OUT.
licences() {
  local module=$1 title=$2 map=$3 dest=$4 line path pkg
  local -a static=() dynamic=()
  # Code taken in from outside the build: start-up objects and archive members
  # named by the link map, and stb_image, which is compiled into the module.
  local count
  while read -r count path; do
    pkg=$(owner "$path") || exit 1
    if [[ $path == *.a ]]; then
      static+=("$path ($count of its object files)|$pkg")
    else
      static+=("$path|$pkg")
    fi
  done < <({ awk '/^LOAD \// { print $2 }' "$map" | grep -E '\.(o|obj)$'
             grep -oE '^/[^ ]+\.a\([^)]+\)' "$map" | sort -u | sed 's/(.*//'; } |
           xargs -r realpath -m | sort | uniq -c)
  pkg=$(owner /usr/include/stb/stb_image.h) || exit 1
  static+=("/usr/include/stb/stb_image.h (its PNG decoder, compiled in)|$pkg")
  # Libraries loaded at run time: ELF DT_NEEDED entries, or the DLLs a PE file imports.
  case "$module" in
    *.so)
      while read -r lib; do
        path=$(/sbin/ldconfig -p | awk -v l="$lib" '$1 == l && /x86-64/ && !found { found = $NF } END { print found }')
        [ -n "$path" ] || fail "cannot find $lib, which $module needs"
        pkg=$(owner "$path") || exit 1
        dynamic+=("$lib|$pkg")
      done < <(objdump -p "$module" | awk '$1 == "NEEDED" { print $2 }')
      ;;
    *.dll)
      while read -r lib; do
        dynamic+=("$lib|Windows")
      done < <(objdump -p "$module" | awk '/DLL Name:/ { print $3 }' | sort -fu)
      ;;
  esac

  {
    echo "Kelvane $version, $title: licence notes"
    echo
    echo "Kelvane itself is the work of the Kelvane project. $(basename "$module") also contains"
    echo "code from the libraries below, linked in statically or compiled in; each"
    echo "line names the file the code came from and the Debian 12 package that"
    echo "supplied it:"
    echo
    for line in "${static[@]}"; do
      pkg=${line##*|}
      printf '  %s\n      %sfrom %s %s\n' "${line%|*}" "$(what "${line%|*}")" "$pkg" "$(dpkg-query -W -f='${Version}' "$pkg")"
    done
    echo
    if [[ $module == *.dll ]]; then
      echo "At run time it loads only these DLLs of Windows itself (none is shipped):"
      for line in "${dynamic[@]}"; do printf '  %s\n' "${line%|*}"; done
    else
      echo "At run time it loads these libraries of the system it runs on (none is"
      echo "shipped in this package; their names on Debian 12 are given):"
      for line in "${dynamic[@]}"; do printf '  %-22s %s\n' "${line%|*}" "${line##*|}"; done
    fi
    echo
    echo "The copyright files of those Debian packages follow, each once (packages"
    echo "with the same text are named together), then the licence texts they refer"
    echo "to from /usr/share/common-licenses."
    local -A seen=() names=()
    local -a order=() texts=()
    local hash f
    for line in "${static[@]}" "${dynamic[@]}"; do
      pkg=${line##*|}
      [ "$pkg" = Windows ] && continue
      f=/usr/share/doc/$pkg/copyright
      [ -f "$f" ] || fail "package $pkg has no $f"
      hash=$(sha256sum <"$f" | cut -c1-64)
      if [ -z "${seen[$hash]:-}" ]; then seen[$hash]=$f; order+=("$hash"); fi
      [[ " ${names[$hash]:-} " == *" $pkg "* ]] || names[$hash]="${names[$hash]:-}${names[$hash]:+ }$pkg"
    done
    for hash in "${order[@]}"; do
      echo
      echo "=============================================================================="
      echo "Debian package(s): ${names[$hash]// /, }"
      echo "=============================================================================="
      echo
      cat "${seen[$hash]}"
      texts+=($(grep -oE '/usr/share/common-licenses/[A-Za-z0-9.+-]*[A-Za-z0-9+]' "${seen[$hash]}" || true))
    done
    local -A shown=()
    for f in $(printf '%s\n' "${texts[@]}" | sort -u); do
      [ -f "$f" ] || continue
      hash=$(readlink -f "$f")
      [ -n "${shown[$hash]:-}" ] && continue
      shown[$hash]=1
      echo
      echo "=============================================================================="
      if [ -L "$f" ]; then echo "$f ($(basename "$hash"))"; else echo "$f"; fi
      echo "=============================================================================="
      echo
      cat "$f"
    done
  } >"$dest"
}

# ---- install notes ---------------------------------------------------------

manual_line() {
  if [ -n "$manual" ]; then
    echo "Keep Kelvane_manual.pdf beside the module: the logo at the top of Kelvane's"
    echo "editor opens it."
  else
    echo "THIS IS AN INTERIM PACKAGE WITHOUT THE MANUAL (Kelvane_manual.pdf): the"
    echo "logo at the top of Kelvane's editor opens nothing until the manual is put"
    echo "beside the module."
  fi
}

install_text() {  # TARGET
  echo "Kelvane $version, $1"
  echo "Built from commit $commit ($date)."
  echo
  echo "Kelvane is a VST 2 audio effect: draw gain shapes over the waveform of what"
  echo "you play, and Kelvane brings the audio to them."
  echo
}

install_windows() {  # BITS FOLDER OTHER
  install_text "Kelvane.dll for $1-bit Windows"
  cat <<EOF
Installing
1. Quit REAPER (or your VST host).
2. Copy the folder "Kelvane" from this zip into your $1-bit VST plug-in folder,
   for example $2
   The DLL is self-contained: no runtime libraries need installing.
3. Start REAPER. In Options > Preferences > Plug-ins > VST, make sure that
   folder is in the VST plug-in paths (add it if not), press "Re-scan", and
   click OK. Kelvane now appears in the FX browser: add it to a track's FX
   chain.

This DLL is for $1-bit hosts. For $3-bit REAPER or another $3-bit host use the
$3-bit package (Kelvane-$version-windows-$([ "$3" = 64 ] && echo x64 || echo x86).zip).
EOF
  echo
  manual_line
  echo
  echo "LICENSES.txt lists the libraries in Kelvane.dll and their licences."
}

install_linux() {
  install_text "Kelvane.so for Linux x86_64"
  cat <<EOF
Installing
1. Quit REAPER (or your VST host).
2. Copy the folder "Kelvane" from this zip into ~/.vst (create it if needed),
   or into another folder on your host's Linux VST path (e.g. ~/.lxvst,
   /usr/local/lib/vst).
3. Start REAPER. In Options > Preferences > Plug-ins > VST, make sure that
   folder is in the VST plug-in paths (add it if not), press "Re-scan", and
   click OK. Kelvane now appears in the FX browser: add it to a track's FX
   chain.

Kelvane.so needs the X11, FreeType and fontconfig libraries that every Linux
desktop has, glibc 2.34 or newer and the C++ library of GCC 11 or newer
(Debian 12, Ubuntu 22.04 and later have them). The manual opens with the
desktop's PDF viewer (xdg-open).
EOF
  echo
  manual_line
  echo
  echo "LICENSES.txt lists the libraries in and used by Kelvane.so and their licences."
}

# ---- zips ------------------------------------------------------------------

# Packs the folder Kelvane/ of STAGE into ZIP: entries in name order, dated at
# the commit, mode 644, no extra fields, no folder entries.
pack() {  # STAGE ZIP
  local files
  find "$1/Kelvane" -type f -exec chmod 644 {} + -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  rm -f "$2"
  (cd "$1" && find Kelvane -type f | LC_ALL=C sort | zip -X -D -9 -q "$2" -@)
}

package() {  # NAME MODULE TITLE MAP INSTALLER ARGS...
  local name=$1 module=$2 title=$3 map=$4; shift 4
  local dir=$stage/$name
  mkdir -p "$dir/Kelvane"
  cp "$module" "$dir/Kelvane/"
  [ -z "$manual" ] || cp "$manual" "$dir/Kelvane/$manual_pdf"
  "$@" >"$dir/Kelvane/INSTALL.txt"
  licences "$module" "$title" "$map" "$dir/Kelvane/LICENSES.txt"
  # Windows text files end their lines with CR LF.
  [[ $module != *.dll ]] || sed -i 's/$/\r/' "$dir/Kelvane/INSTALL.txt" "$dir/Kelvane/LICENSES.txt"
  pack "$dir" "$out/Kelvane-$version-$name$suffix.zip"
  echo "   $(basename "$out")/Kelvane-$version-$name$suffix.zip"
}

echo "== packing"
package windows-x86 "$root/build/package-win32/Kelvane.dll" "Kelvane.dll for 32-bit Windows" \
  "$root/build/package-win32/Kelvane.map" install_windows 32 'C:\Program Files (x86)\VSTPlugins on 64-bit Windows,
   C:\Program Files\VSTPlugins on 32-bit Windows' 64
package windows-x64 "$root/build/package-win64/Kelvane.dll" "Kelvane.dll for 64-bit Windows" \
  "$root/build/package-win64/Kelvane.map" install_windows 64 'C:\Program Files\VSTPlugins' 32
package linux-x86_64 "$root/build/package-linux/Kelvane.so" "Kelvane.so for Linux x86_64" \
  "$root/build/package-linux/Kelvane.map" install_linux
if [ -n "$manual" ]; then
  # As a new user would: the Linux zip unpacked into a folder with a space in
  # its name, a click on the editor's logo must open the manual beside the
  # module (the desktop's opener is a stand-in here that notes what it got).
  echo "== unpacking the Linux zip and clicking the editor's logo"
  try=$stage/new-user
  mkdir -p "$try/bin" "$try/VST plug-ins"
  unzip -q "$out/Kelvane-$version-linux-x86_64.zip" -d "$try/VST plug-ins"
  printf '#!/bin/sh\nprintf "%%s\\n" "$1" >"%s/opened"\n' "$try" >"$try/bin/xdg-open"
  chmod +x "$try/bin/xdg-open"
  printf 'play 2\npress 90 487\nrelease 90 487\ntick 2\n' >"$try/click.txt"
  host=$root/build/package-linux/host/kelvane-host
  "$host" generate "$try/in.wav" --seconds 1 >/dev/null
  PATH=$try/bin:$PATH "$host" editor "$try/VST plug-ins/Kelvane/Kelvane.so" "$try/in.wav" "$try/click.txt" >/dev/null
  for _ in $(seq 50); do [ -s "$try/opened" ] && break; sleep 0.1; done
  [ "$(cat "$try/opened" 2>/dev/null)" = "$try/VST plug-ins/Kelvane/$manual_pdf" ] ||
    fail "the editor's logo does not open the packaged manual (it opened: '$(cat "$try/opened" 2>/dev/null)')"
  echo "   the logo opens VST plug-ins/Kelvane/$manual_pdf"
fi
(cd "$out" && sha256sum Kelvane-*.zip >SHA256SUMS && sed 's/^/   /' SHA256SUMS)
echo "Packages and SHA256SUMS written to $out"
