#!/usr/bin/env bash
# Packs the built tree with CPack, unpacks the package with dpkg -x into a
# scratch root and checks it as a user's installation: the files a desktop
# needs (validated), the dependencies, the CLI and the window started from
# the menu entry under a virtual X display, with every file it writes in
# $XDG_DATA_HOME/flashsmith/ and none in the installed tree.
# usage: PackageTest.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
check() { local what=$1; shift; "$@" >"$work/out" 2>&1 || { fail "$what"; cat "$work/out" >&2; }; }

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log" >&2; echo "FAIL: cpack"; exit 1; }
deb=$(ls "$work"/pkg/*.deb)
root=$work/root
dpkg -x "$deb" "$root"
usr=$root/usr

# Dependencies are those of the libraries the programs link or load.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libpng16-16 libgif7 libjpeg62-turbo libzip4 libc6 libavcodec59 libavformat59 libswresample4; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

for f in bin/flashsmith bin/flashsmith-cli bin/flashsmith-phonesim share/applications/flashsmith.desktop \
         share/icons/hicolor/scalable/apps/flashsmith.svg share/icons/hicolor/48x48/apps/flashsmith.png \
         share/icons/hicolor/256x256/apps/flashsmith.png share/metainfo/io.github.flashsmith.Flashsmith.metainfo.xml \
         share/mime/packages/flashsmith.xml share/man/man1/flashsmith.1 share/man/man1/flashsmith-cli.1 \
         share/bash-completion/completions/flashsmith-cli; do
  [ -s "$usr/$f" ] || fail "missing $f"
done
for f in "$usr"/share/icons/hicolor/*x*/apps/flashsmith.png; do
  size=$(basename "$(dirname "$(dirname "$f")")")
  file "$f" | grep -q "${size/x/ x }" || fail "$f is not $size"
done

check "desktop file" desktop-file-validate "$usr/share/applications/flashsmith.desktop"
check "metainfo" appstreamcli validate --no-net --strict "$usr/share/metainfo/io.github.flashsmith.Flashsmith.metainfo.xml"

# The patch type: a private MIME database built from the installed package
# file maps *.spf to it, and the menu entry opens that type.
mkdir -p "$work/mime/packages"
cp /usr/share/mime/packages/freedesktop.org.xml "$usr/share/mime/packages/flashsmith.xml" "$work/mime/packages/"
check "MIME database" update-mime-database "$work/mime"
grep -q "application/x-flashsmith-patch:\*\.spf" "$work/mime/globs2" || fail "*.spf is not a Flashsmith patch"
grep -q "^MimeType=.*application/x-flashsmith-patch;" "$usr/share/applications/flashsmith.desktop" ||
  fail "the menu entry does not open patches"

# Manual pages: clean for man, and the CLI's names every subcommand.
cli=$usr/bin/flashsmith-cli
for page in flashsmith flashsmith-cli; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$usr/share/man/man1/$page.1" 2>&1 >/dev/null || true)
  [ -z "$warnings" ] || fail "$page.1: $warnings"
done
for sub in $("$cli" --help | awk '/^  [a-z]/ {print $1}'); do
  grep -qi "^\.SH $sub\$" "$usr/share/man/man1/flashsmith-cli.1" || fail "flashsmith-cli.1 lacks $sub"
done

# Bash completion offers subcommands and a subcommand's options.
complete_words() {
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _flashsmith_cli; echo "${COMPREPLY[*]}"' \
    _ "$usr/share/bash-completion/completions/flashsmith-cli" "$@"
}
[ "$(complete_words "$cli" pa)" = patch ] || fail "completion of 'pa': $(complete_words "$cli" pa)"
grep -qw -- --png <<<"$(complete_words "$cli" export --p)" || fail "completion of export --p"

# The installed CLI, with a home of its own. A language pack shipped in the
# package's data folder reaches the user's folder.
export HOME=$work/home XDG_DATA_HOME=$work/xdg
mkdir -p "$HOME" "$usr/share/flashsmith"
printf '[LanguagePack]\r\nLanguage=Shipped\r\n' >"$usr/share/flashsmith/Shipped.lng"
# The screenshot maker is no part of the package; placed beside the installed
# window it finds the installed data the same way.
cp "$build/tools/screenshots/flashsmith-screenshots" "$usr/bin/"
sleep 1
touch "$work/before"
version=$("$cli" --version)
[[ $version == "Flashsmith "[0-9]* ]] || fail "--version printed '$version'"
check "demo" "$cli" demo "$work/demo"
demo=$work/demo/demo.bin
fws=(--firmwares "$work/demo/Firmwares")
# A wallpaper exported as PNG comes back as a PNG replacement, scaled into
# an icon's slot.
mkdir -p "$work/export"
check "export --png" "$cli" export "$demo" images all "$work/export" --png "${fws[@]}"
png=$work/export/Image_7.png
file "$png" | grep -q "PNG image data" || fail "export --png wrote no PNG"
printf 'replace images 1 %s --fit\n' "$png" >"$work/edits.txt"
check "replace with a PNG" "$cli" list "$demo" --edits "$work/edits.txt" "${fws[@]}" --json
grep -q '"TempName":"tmpImage_1"' "$work/out" || fail "the PNG replacement did not take"

# The window, started as the menu entry says, stays up with the demo open
# (the first-start About box waits for a click) until it is ended.
exec_line=$(sed -n 's/^Exec=//p' "$usr/share/applications/flashsmith.desktop")
program=${exec_line%% *}
[ "${exec_line#* }" = "%F" ] || fail "Exec takes no files: $exec_line"
rc=0
QT_QPA_PLATFORM=offscreen timeout 10 "$usr/bin/$program" "$demo" >"$work/out" 2>&1 || rc=$?
[ "$rc" = 124 ] || { fail "the window ended by itself (exit $rc)"; cat "$work/out" >&2; }
# The same windows driven through every page under a virtual X display: the
# screenshot maker opens the demo, shows every page and quits through the
# window's close sequence.
mkdir -p "$work/shots"
# A sanitized build checks for leaks at exit; the X session's libraries keep
# theirs.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")" && pwd)/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
check "window under Xvfb" timeout 300 xvfb-run -a -s "-screen 0 1024x768x24" \
  "$usr/bin/flashsmith-screenshots" "$work/shots" "$demo"
ls "$work"/shots/*.png >/dev/null 2>&1 || fail "the window made no screenshots"
for f in Temp Firmwares Mirel.ini Shipped.lng; do
  [ -e "$XDG_DATA_HOME/flashsmith/$f" ] || fail "no $f in \$XDG_DATA_HOME/flashsmith"
done
written=$(find "$root" -newer "$work/before" -print)
[ -z "$written" ] || fail "the installed tree was written to: $written"

if [ "$failures" -gt 0 ]; then
  echo "$failures failed"
  exit 1
fi
echo "package $(basename "$deb"): all checks passed"
