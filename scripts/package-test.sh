#!/usr/bin/env bash
# The package tests. scripts/install-deps.sh test installs the tools they use.
# Usage: scripts/package-test.sh [deb|win32]
#   deb   - builds the Debian package of the default preset, installs it with
#           apt, runs the installed programs, finds the manual pages, validates
#           the menu entry and removes the package again (needs root or sudo)
#   win32 - makes the zip of the win32 build, whose disktest and disktest-cli
#           are built already, and checks what it holds
set -euo pipefail
cd "$(dirname "$0")/.."
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
fail() { echo "package test: $*" >&2; exit 1; }

if [ "${1:-deb}" = win32 ]; then
  # cpack itself, not the package target, which would build every test
  # program of the preset first.
  (cd build/win32 && cpack -G ZIP >/dev/null)
  zips=(build/win32/disktest-*-win32.zip)
  [ ${#zips[@]} -eq 1 ] || fail "expected one zip, found: ${zips[*]}"
  listing=$(unzip -l "${zips[0]}")
  echo "$listing"
  for f in disktest.exe disktest-cli.exe README.txt; do
    grep -qE " $f\$" <<<"$listing" || fail "$f is not at the top of ${zips[0]}"
  done
  echo "--- zip test passed"
  exit 0
fi

[ -f build/default/CMakeCache.txt ] || cmake --preset default >/dev/null
cmake --build --preset default --target package
debs=(build/default/disktest_*.deb)
[ ${#debs[@]} -eq 1 ] || fail "expected one package, found: ${debs[*]}"
deb=${debs[0]}
echo "--- $deb ($(stat -c %s "$deb") bytes)"
dpkg-deb -I "$deb"
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/disktest ./usr/bin/disktest-cli ./usr/libexec/disktest/disktest-helper \
  ./usr/share/applications/disktest.desktop \
  ./usr/share/polkit-1/actions/io.github.disktest.helper.policy \
  ./usr/share/icons/hicolor/scalable/apps/disktest.svg \
  ./usr/share/man/man1/disktest.1.gz ./usr/share/man/man1/disktest-cli.1.gz; do
  grep -qxF "$f" <<<"$contents" || fail "$f is not in the package"
done
# The libraries come from dpkg-shlibdeps: Qt, libblkid and the C++ runtime at least.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libblkid1 libstdc++6; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

# Docker-like images keep dpkg from unpacking manual pages
# (path-exclude=/usr/share/man/* in /etc/dpkg/dpkg.cfg.d/); an option on the
# command line comes after them and lets this package's pages through.
include_man=()
if grep -qs '^path-exclude[= ]*/usr/share/man' /etc/dpkg/dpkg.cfg.d/*; then
  echo "--- dpkg excludes /usr/share/man here: installing with --path-include for disktest's pages"
  include_man=(-o "DPkg::Options::=--path-include=/usr/share/man/man1/disktest*")
fi

removed=0
remove() { [ $removed -eq 1 ] || $SUDO apt-get remove -y -qq disktest >/dev/null; removed=1; }
trap remove EXIT
$SUDO apt-get install -y -qq --reinstall "${include_man[@]}" "./$deb" >/dev/null

version=$(/usr/bin/disktest-cli --version)
echo "$version"
want="disktest-cli $(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/default/CMakeCache.txt) "
[[ $version == "$want"* ]] || fail "--version says '$version', expected it to begin with '$want'"
if commit=$(git rev-parse --short HEAD 2>/dev/null); then
  [[ $version == *"$commit"* ]] || fail "--version does not name the commit $commit: $version"
fi
gui_version=$(/usr/bin/disktest --version)
[ "$gui_version" = "disktest ${version#disktest-cli }" ] || fail "disktest --version: $gui_version"
list=$(/usr/bin/disktest-cli --demo list)
grep -q PHYSICALDRIVE0 <<<"$list" || fail "disktest-cli --demo list: $list"
man -w disktest-cli
man -w disktest
# The page renders without warnings.
man_warnings=$(man --warnings -l "$(man -w disktest-cli)" 2>&1 >/dev/null)
[ -z "$man_warnings" ] || fail "man disktest-cli: $man_warnings"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate /usr/share/applications/disktest.desktop
fi
# The menu entry starts the program as the user; only the helper is started
# through pkexec, under the package's polkit action.
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/disktest.desktop)
[ "$exec_line" = disktest ] || fail "the menu entry runs '$exec_line', expected 'disktest'"
grep -q '<annotate key="org.freedesktop.policykit.exec.path">/usr/libexec/disktest/disktest-helper<' \
  /usr/share/polkit-1/actions/io.github.disktest.helper.policy || fail "the polkit action names another helper"
bash tests/ui/qt/desktop_session_test.sh /usr/bin/$exec_line
bash scripts/helper-package-test.sh

remove
[ ! -e /usr/bin/disktest-cli ] || fail "/usr/bin/disktest-cli is still there after the removal"
echo "--- package test passed"
