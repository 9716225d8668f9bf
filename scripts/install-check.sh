#!/usr/bin/env bash
# install-check.sh [BUILD_DIR]: installs the build into a temporary prefix and checks the
# install tree as a user meets it: the files are there, the desktop entry is valid, both
# programs answer --version, an installed example runs headless from the prefix and exports
# what the build tree's programs export, and a new document in an empty folder (with a text
# and a graphics view) runs in tivane-run and in the application without a single message.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
failures=0
fail() {
  echo "install-check: FAILED: $*" >&2
  failures=$((failures + 1))
}

cmake --build "$build" -j "$(nproc)" --target tivane tivane-run tivane_install_files >/dev/null
cmake --install "$build" --prefix "$prefix" >/dev/null

for f in bin/tivane bin/tivane-run share/tivane/default.prg share/tivane/defaultt.prg \
  share/tivane/defaultg.prg share/tivane/examples/pendulum/pendulum.tvd \
  share/tivane/help/index.html share/tivane/help/getting-started.md \
  share/applications/tivane.desktop share/mime/packages/tivane.xml \
  share/icons/hicolor/48x48/apps/tivane.png share/icons/hicolor/scalable/apps/tivane.svg \
  share/icons/hicolor/48x48/mimetypes/application-x-tivane-document.png \
  share/man/man1/tivane.1.gz share/man/man1/tivane-run.1.gz; do
  [ -s "$prefix/$f" ] || fail "missing $f"
done
# An example keeps only its own files: the default programs are the application's.
if ls "$prefix"/share/tivane/examples/*/default*.prg >/dev/null 2>&1; then
  fail "an example carries default programs"
fi
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/tivane.desktop" || fail "desktop entry"
fi
for p in tivane tivane-run; do
  [ "$("$prefix/bin/$p" --version)" = "$p $(sed -n 's/^project(Tivane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)" ] ||
    fail "$p --version"
done

# An installed example, from a folder that is neither the sources nor the prefix; the build
# tree's programs must give the same texts and pictures byte for byte.
mkdir -p "$tmp/cwd"
for model in pendulum predator-prey; do
  for side in installed build; do
    if [ $side = installed ]; then
      run=$prefix/bin/tivane-run
      doc=$prefix/share/tivane/examples/$model/$model.tvd
    else
      run=$root/$build/tivane-run
      doc=$root/examples/$model/$model.tvd
    fi
    (cd "$tmp/cwd" && "$run" "$doc" --export "$tmp/$side-$model" </dev/null) \
      >"$tmp/$side-$model.log" 2>&1 || fail "$side $model: $(cat "$tmp/$side-$model.log")"
  done
  diff -r "$tmp/installed-$model" "$tmp/build-$model" >/dev/null ||
    fail "$model: the installed run exports other files than the build tree's"
  [ -s "$tmp/installed-$model/view0.txt" ] || fail "$model: nothing exported"
done

# A new document in an empty folder, with a template whose views use the application's
# default programs' helpers: no message, no error.
empty=$tmp/empty
mkdir -p "$empty"
printf 'rate = 2.5\n' >"$empty/new.tvd"
printf '[Description]\nNoOfWindows=3\nTemplateFile=new.tml\n[Window0]\nWindowType=9999\n[Window1]\nWindowType=0\n[Window2]\nWindowType=1\n' >"$empty/new.ini"
printf '[Description]\nNoOfViews=2\nMainProgramFileName=main.prg\n[View0]\nProgramFileName=table.prg\nTypeOfView=1\n[View1]\nProgramFileName=plot.prg\nTypeOfView=2\n' >"$empty/new.tml"
printf 'r := param("rate", 1.0); EXECVIEWTEMPLATES(0)' >"$empty/main.prg"
: >"$empty/new.vw1"
: >"$empty/new.vw2"
printf 'PRINTF("%%s", row(1.0, r, 3.0))' >"$empty/table.prg"
printf 'plotarea(0, 10, 0, 5); axes("x", "y", "new"); MOVETO(0, 0); LINETO(10, r)' >"$empty/plot.prg"
out=$(cd "$empty" && "$prefix/bin/tivane-run" new.tvd 2>"$tmp/new.err" </dev/null) ||
  fail "new document: status $?"
[ ! -s "$tmp/new.err" ] || fail "new document: $(cat "$tmp/new.err")"
[ "$out" = "$(printf '    1.0000    2.5000    3.0000\r')" ] || fail "new document printed '$out'"
# The application itself executes it once and quits; a message box would wait for ever.
(cd "$empty" && timeout 60 env QT_QPA_PLATFORM=offscreen TIVANE_BENCH=execute \
  "$prefix/bin/tivane" new.tvd >"$tmp/app.log" 2>&1) || fail "application: $(cat "$tmp/app.log")"

if [ $failures -ne 0 ]; then
  echo "install-check: $failures failed"
  exit 1
fi
echo "install-check: the install tree is complete and runs"
