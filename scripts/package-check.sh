#!/usr/bin/env bash
# Builds the Debian package from a Release build of the three programs (build-pkg/), checks it
# with lintian (an error fails the run) and its file list, then unpacks it into a temporary folder
# and runs the programs from there: nothing is installed.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
build=build-pkg

# Debian's hardening flags, as a Debian build would use them.
export CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
export LDFLAGS="$(dpkg-buildflags --get LDFLAGS) -Wl,-z,now"
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCVI_BUILD_TESTS=OFF -DCVI_BUILD_BENCH=OFF \
  "${launcher[@]}" >/dev/null
cmake --build "$build" --target cvi cvictl cvi-sim cvi_install_files
rm -f "$build"/cvi_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/cvi_*.deb)
echo "package: $deb"

fail() { echo "package check: $*" >&2; exit 1; }

# lintian: errors fail; warnings are listed.
lintian_out=$(lintian --tag-display-limit 0 "$deb" 2>/dev/null || true)
[ -z "$lintian_out" ] || printf '%s\n' "$lintian_out"
if printf '%s\n' "$lintian_out" | grep -q '^E: '; then fail "lintian reports errors"; fi

# The files a bench PC needs.
files=$(dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|')
for f in /usr/bin/cvi /usr/bin/cvictl /usr/bin/cvi-sim \
  /usr/share/cvi/report.rpt /usr/share/cvi/help/index.html /usr/share/cvi/help/parameters.html \
  /usr/share/applications/cvi.desktop /usr/share/icons/hicolor/scalable/apps/cvi.svg \
  /usr/share/icons/hicolor/48x48/apps/cvi.png /usr/share/icons/hicolor/256x256/apps/cvi.png \
  /usr/share/man/man1/cvi.1.gz /usr/share/man/man1/cvictl.1.gz /usr/share/man/man1/cvi-sim.1.gz \
  /usr/share/doc/cvi/copyright /usr/share/doc/cvi/README.Debian /usr/share/doc/cvi/changelog.Debian.gz; do
  printf '%s\n' "$files" | grep -qx "$f" || fail "$f is missing from the package"
done
depends=$(dpkg-deb -f "$deb" Depends)
echo "depends: $depends"
for lib in libqt6widgets6 libqt6serialport6 libqt6sql6 libqt6charts6 libqt6sql6-sqlite qt6-qpa-plugins; do
  [[ "$depends" == *"$lib"* ]] || fail "the package does not depend on $lib"
done

# Run the unpacked programs from a temporary folder.
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/cvi.desktop"
export HOME="$root/home" XDG_DATA_HOME="$root/home/.local/share" XDG_RUNTIME_DIR="$root/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
"$root/usr/bin/cvi" --version | grep -q '^Corvanel Interactive 1\.2' || fail "cvi --version"
"$root/usr/bin/cvictl" --device sim detect >"$root/detect.txt" 2>&1 || {
  cat "$root/detect.txt"
  fail "cvictl --device sim detect"
}
grep -q '01' "$root/detect.txt" || fail "cvictl --device sim detect found no instrument"
# The whole program on the simulated loop for a few seconds: still running when it is stopped is
# success (timeout's status 124), an earlier end or a crash is not.
status=0
QT_QPA_PLATFORM=offscreen timeout 5 "$root/usr/bin/cvi" --simulate --no-splash >"$root/cvi.log" 2>&1 || status=$?
if [ "$status" -ne 124 ]; then
  cat "$root/cvi.log"
  fail "cvi --simulate ended with status $status before it was stopped"
fi
echo "package check: $deb passes (lintian, files, cvi --version, cvictl detect, cvi --simulate)"
