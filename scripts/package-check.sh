#!/usr/bin/env bash
# The Debian package, end to end on this machine: builds it from the build
# tree the tests used (nothing is rebuilt from scratch), installs it with
# dpkg -i, runs the installed zarns-cli (--version, a catalog build and a
# search over a scratch tree, with a private home and data directory),
# removes it with dpkg -r and checks that no file it installed is left.
# A package already installed is simply installed again.
# Needs root or password-less sudo; says so and fails otherwise.
# Usage: scripts/package-check.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

fail() {
  echo "package-check: $*" >&2
  exit 1
}

[ -f "$build/CPackConfig.cmake" ] || fail "no configured build in $build (run make test first)"
if [ "$(id -u)" -eq 0 ]; then
  SUDO=()
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
  SUDO=(sudo -n)
else
  fail "installing a package needs root or password-less sudo; run it as root"
fi
# dpkg-dev for dpkg-shlibdeps; desktop-file-utils to check the desktop entry
# and to see the desktop database's trigger at work.
ZARNS_EXTRA_PKGS="dpkg-dev file desktop-file-utils" scripts/deps.sh

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The package, from the build's own install rules.
rm -f "$build"/zarns_*.deb
if ! (cd "$build" && cpack -G DEB) >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  fail "cpack failed"
fi
debs=("$build"/zarns_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single zarns_*.deb"
deb=${debs[0]}
echo "package: $deb"
dpkg-deb --field "$deb" Package Version Architecture Section Depends

# Installed as a user would; the machine that built it has every dependency.
"${SUDO[@]}" dpkg -i "$deb" >"$work/dpkg-i.log" 2>&1 || {
  cat "$work/dpkg-i.log" >&2
  fail "dpkg -i failed"
}
dpkg-query -L zarns | sort >"$work/files"
echo "installed: $(wc -l <"$work/files") paths"
# No maintainer scripts: shared-mime-info's trigger on its packages directory
# brings the .zxt type into the MIME database, and takes it out again.
globs=/usr/share/mime/globs2
if [ -f "$globs" ]; then
  grep -q ':\*\.zxt$' "$globs" || fail "the MIME database did not learn *.zxt"
  echo "MIME database: *.zxt is application/x-zarns-document"
fi
# desktop-file-utils' trigger does the same for the desktop entry.
desktop_cache=/usr/share/applications/mimeinfo.cache
grep -q '^application/x-zarns-document=.*zarns\.desktop' "$desktop_cache" 2>/dev/null ||
  fail "the desktop database does not give .zxt documents to zarns.desktop"
desktop-file-validate /usr/share/applications/zarns.desktop ||
  fail "desktop-file-validate rejects the installed desktop entry"
echo "desktop entry: valid; .zxt documents open with zarns.desktop"

# The installed program with a private home: nothing of the caller's is read or written.
home=$work/home
mkdir -p "$home" "$work/tree/notes"
mkdir -m 0700 "$home/.run"
printf 'The zebra crossing near the bakery\n' >"$work/tree/notes/walk.txt"
printf 'A zebra and a giraffe\n' >"$work/tree/zoo.txt"
# run [NAME=VALUE]... COMMAND...
run() {
  env -i PATH=/usr/bin:/bin HOME="$home" XDG_DATA_HOME="$home/.local/share" \
    XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" \
    XDG_RUNTIME_DIR="$home/.run" LANG=C.UTF-8 "$@"
}
version=$(run /usr/bin/zarns-cli --version) || fail "zarns-cli --version failed"
echo "$version"
expected="zarns-cli $(dpkg-deb --field "$deb" Version)"
[ "$version" = "$expected" ] || fail "zarns-cli --version said \"$version\", not \"$expected\""
run /usr/bin/zarns-cli --help | grep -qx "Help pages: /usr/share/zarns/help/" ||
  fail "the installed zarns-cli does not find its help pages in /usr/share/zarns/help"
run /usr/bin/zarns-cli catalog build --root "$work/tree" || fail "catalog build failed"
# Name, tab, directory; a root directory is shown with its closing slash.
found=$(run /usr/bin/zarns-cli catalog find zebra | sed 's:/$::') || fail "catalog find zebra found nothing"
[ "$found" = "$(printf 'walk.txt\t%s\nzoo.txt\t%s' "$work/tree/notes" "$work/tree")" ] ||
  fail "catalog find zebra listed: $found"
found=$(run /usr/bin/zarns-cli catalog find zebra bakery) || fail "catalog find zebra bakery failed"
case $found in walk.txt*) ;; *) fail "catalog find zebra bakery listed: $found" ;; esac
[ -d "$home/.local/share/zarns" ] || fail "the data files were not made in the private home"
ran="--version, catalog build, catalog find"
if [ -x /usr/bin/zarns ]; then
  run /usr/bin/zarns --version | grep -qx "zarns $(dpkg-deb --field "$deb" Version)" ||
    fail "zarns --version failed"
  # The installed editor starts (offscreen; the catalog above spares it the
  # first-start question), registers the document type and removes the
  # per-user desktop entry an earlier start from a build tree left, which
  # would hide the installed one.
  stale=$home/.local/share/applications/zarns.desktop
  stale_mime=$home/.local/share/mime/packages/zarns.xml
  mkdir -p "${stale%/*}" "${stale_mime%/*}"
  printf '[Desktop Entry]\nType=Application\nName=Zarns\nExec="/old/build/zarns" --open %%F\n' >"$stale"
  cp /usr/share/mime/packages/zarns.xml "$stale_mime"
  run QT_QPA_PLATFORM=offscreen /usr/bin/zarns >"$work/zarns.log" 2>&1 &
  pid=$!
  for _ in $(seq 100); do
    [ -e "$stale" ] || [ -e "$stale_mime" ] || break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
  done
  alive=yes
  kill -0 "$pid" 2>/dev/null || alive=no
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  [ "$alive" = yes ] || { cat "$work/zarns.log" >&2; fail "the installed zarns did not keep running"; }
  [ ! -e "$stale" ] && [ ! -e "$stale_mime" ] ||
    fail "the installed zarns left the per-user desktop entry or MIME type in place"
  grep -q 'zxt' "$home/.local/share/zarns/registry" ||
    fail "the installed zarns did not register the .zxt document type"
  [ -s "$work/zarns.log" ] && { echo "zarns said:"; cat "$work/zarns.log"; }
  ran="$ran, zarns started"
fi
echo "ran: $ran"

# Removed: nothing the package installed may stay (directories shared with
# other packages, such as /usr/bin, stay of course).
"${SUDO[@]}" dpkg -r zarns >"$work/dpkg-r.log" 2>&1 || {
  cat "$work/dpkg-r.log" >&2
  fail "dpkg -r failed"
}
left=()
while IFS= read -r path; do
  [ -n "$path" ] && [ "$path" != "/." ] || continue
  if [ -d "$path" ] && [ ! -L "$path" ]; then
    # A directory may stay when another package owns it too, or when it
    # holds what others put there (its own files are checked one by one).
    dpkg-query -S "$path" >/dev/null 2>&1 && continue
    [ -n "$(ls -A "$path" 2>/dev/null)" ] && continue
    left+=("$path")
  elif [ -e "$path" ] || [ -L "$path" ]; then
    left+=("$path")
  fi
done <"$work/files"
[ ${#left[@]} -eq 0 ] || fail "left behind after dpkg -r: ${left[*]}"
if [ -f "$globs" ] && grep -q ':\*\.zxt$' "$globs"; then
  fail "the MIME database still knows *.zxt after dpkg -r"
fi
if grep -q 'zarns\.desktop' "$desktop_cache" 2>/dev/null; then
  fail "the desktop database still names zarns.desktop after dpkg -r"
fi
status=$(dpkg-query -W -f='${db:Status-Status}' zarns 2>/dev/null || true)
[ -z "$status" ] || [ "$status" = not-installed ] || fail "dpkg lists zarns as $status after dpkg -r"
echo "package-check: ok (installed, ran, removed; nothing left of $(wc -l <"$work/files") paths)"
