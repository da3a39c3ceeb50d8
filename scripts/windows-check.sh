#!/usr/bin/env bash
# Keeps the Windows build honest without Windows: installs what is missing
# (Debian 12, as root, no prompts), cross-compiles the core, the command-line
# brimocnc and the core tests with MinGW-w64 into build-win, runs those tests
# under Wine, then runs every sample program (gcodes/ and tests/golden/*.nc)
# through the Windows and the Linux command-line builds and compares their
# output byte for byte (line ends aside) and their exit statuses. Leaves
# build-win/brimocnc-VERSION-windows-cli.zip. Re-running rebuilds only what
# changed.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
jobs=$(nproc)

BRIMO_INSTALL_LOG="${TMPDIR:-/tmp}/brimocnc-windows-install.log" \
  bash scripts/deps.sh cmake make g++ g++-mingw-w64-x86-64-posix wine64 googletest

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIMO_GUI=OFF -DBRIMO_BENCH=OFF -DBRIMO_SANITIZE=OFF
  -DBRIMO_TSAN=OFF -DBRIMO_FUZZ=OFF "${launcher[@]}")

# Wine in a prefix of its own inside the build folder (the same one the
# toolchain file hands to ctest), quiet, without the Mono and Gecko prompts.
export WINEPREFIX=$PWD/build-win/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64

echo "== Windows build (MinGW-w64)"
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake "${options[@]}" \
  >/dev/null
cmake --build build-win -j"$jobs"

echo "== Windows core tests under Wine"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "(first start of Wine: preparing its prefix, about a minute)"
  mkdir -p "$WINEPREFIX"
  "$wine" wineboot -i >/dev/null 2>&1
fi
testlog=build-win/wine-tests.log
if ! ctest --test-dir build-win -j"$jobs" --output-on-failure -V >"$testlog" 2>&1; then
  grep -E "^[0-9]+: \[  FAILED  \]|\*\*\*Failed|Not Run|Timeout" "$testlog" >&2 || true
  echo "Windows tests failed under Wine; the full log is $testlog" >&2
  exit 1
fi
# Each test executable is one ctest entry under Wine; add up GoogleTest's own counts.
count() { grep -E "^[0-9]+: \[  $1 +\] [0-9]+ test" "$testlog" | awk '{s += $5} END {print s + 0}'; }
passed=$(count PASSED)
skipped=$(count SKIPPED)
entries=$(grep -cE "^ *[0-9]+/[0-9]+ Test +#" "$testlog")
echo "$passed passed, $skipped skipped ($entries ctest entries)"

echo "== Linux command-line build"
cmake -S . -B build-cli "${options[@]}" >/dev/null
cmake --build build-cli -j"$jobs" --target brimocnc

echo "== --simulate on Linux and Windows (text, --check and the VCD dump)"
cmp=build-win/compare
rm -rf "$cmp"
mkdir -p "$cmp/linux" "$cmp/windows"
# Runs one build on `file` in one mode, keeping its output and exit status.
run() { # build mode file
  local build=$1 mode=$2 file=$3 out
  out=$cmp/$build/$(basename "$file").$mode
  local args=(--simulate "$file" --json --config tests/golden/golden.cfg)
  case $mode in
    check) args+=(--check) ;;
    vcd) args+=(--vcd "$out.vcd") ;;
  esac
  local status=0
  if [ "$build" = linux ]; then
    build-cli/brimocnc "${args[@]}" >"$out.out" 2>"$out.err" || status=$?
  else
    "$wine" build-win/brimocnc.exe "${args[@]}" >"$out.out" 2>"$out.err" || status=$?
    sed -i 's/\r//g' "$out.out" "$out.err"
  fi
  echo "$status" >"$out.status"
}
differ=0
programs=0
for file in gcodes/* tests/golden/*.nc; do
  [ -f "$file" ] || continue
  programs=$((programs + 1))
  verdict=same
  for mode in run check vcd; do
    run linux "$mode" "$file"
    run windows "$mode" "$file"
  done
  # VCD files are written in binary mode: compared as they are, CRs included.
  if ! diff -rq "$cmp/linux" "$cmp/windows" >/dev/null; then
    verdict=DIFFERENT
    differ=$((differ + 1))
    diff -r "$cmp/linux" "$cmp/windows" | head -n 20 >&2 || true
  fi
  printf '%-32s %s (status %s)\n' "$file" "$verdict" "$(cat "$cmp/linux/$(basename "$file").run.status")"
  rm -f "$cmp"/linux/* "$cmp"/windows/*
done

echo "== Windows command-line zip"
version=$(build-cli/brimocnc --version | awk '{print $2}')
name=brimocnc-$version-windows-cli
stage=build-win/zip/$name
rm -rf build-win/zip "build-win/$name.zip"
mkdir -p "$stage"
# Without its debugging information: a fraction of the size.
x86_64-w64-mingw32-strip -o "$stage/brimocnc.exe" build-win/brimocnc.exe
cp -r gcodes "$stage/gcodes"
# CR LF line ends, for every Windows text editor.
sed 's/$/\r/' >"$stage/README-windows.txt" <<EOF
BrimoCNC $version for Windows, command-line build

This zip holds brimocnc.exe (64-bit, no other files needed) and the sample
programs in the gcodes folder. It runs G-code programs headless: it shows
what the machine would do and checks programs; it has no window and drives
no machine.

In a Command Prompt in this folder:

  brimocnc --simulate gcodes\\contour.txt            rows and a summary
  brimocnc --simulate gcodes\\contour.txt --check    lines that will not do
                                                    what they seem to
  brimocnc --simulate gcodes\\contour.txt --json     the same as JSON Lines
  brimocnc --simulate gcodes\\contour.txt --vcd pulses.vcd
                                                    the pulse train as a
                                                    Value Change Dump
  brimocnc --simulate gcodes\\contour.txt --config brimo.cfg
                                                    with a machine's settings
  brimocnc --help                                   every option

The controller with its window, which drives the mill through InpOut32
(inpoutx64.dll beside brimocnc.exe), needs Qt for Windows: build it from
the BrimoCNC sources with the same CMake files (see README.md there).
EOF
(cd build-win/zip && cmake -E tar cf "../$name.zip" --format=zip "$name")
echo "build-win/$name.zip"

echo "== windows-check: $passed tests passed and $skipped skipped under Wine;" \
  "$((programs - differ)) of $programs programs the same on Linux and Windows;" \
  "$((SECONDS - started)) s"
if [ "$differ" -gt 0 ]; then
  echo "$differ programs gave different output on Windows" >&2
  exit 1
fi
