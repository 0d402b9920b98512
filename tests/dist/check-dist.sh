#!/usr/bin/env bash
# check-dist.sh archive|package|lintian: checks a release the way a user receives it.
#   archive  unpacks build/dist/mediapack-VERSION-linux-x86_64.tar.gz into a fresh directory
#   package  extracts build/dist/mediapack_VERSION_amd64.deb (dpkg-deb -x) into one fresh root
#            and installs it with dpkg into another, then removes it again
#   lintian  runs lintian on the package: no errors (skipped when lintian is not installed)
# In each unpacked layout an installer is built and inspected with nothing but what the
# release holds, with PATH reduced to a few basic tools and an empty environment.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
cd "$top"
mode=${1:-}
version=$(tr -d ' \t\r\n' <VERSION)
dist=${DIST_DIR:-build/dist}
tarball=$dist/mediapack-$version-linux-x86_64.tar.gz
deb=$dist/mediapack_${version}_amd64.deb
failures=0

scratch=$(mktemp -d "${TMPDIR:-/tmp}/check-dist.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
expect_contains() {  # TEXT NEEDLE WHAT
  if ! grep -qF -- "$2" <<<"$1"; then fail "$3: \"$2\" not found in:"; sed 's/^/    /' <<<"$1" >&2; fi
}

# The tools a user's shell steps here need, and nothing else: no compiler, Wine or JDK.
basic=$scratch/basic-bin
mkdir -p "$basic"
for tool in sh cat ls mkdir cp ln; do ln -s "$(command -v "$tool")" "$basic/$tool"; done
user() {  # runs the shell text $1 as a user with an empty environment and the basic PATH
  env -i HOME="$scratch/home" PATH="$basic" LC_ALL=C /bin/sh -c "$1"
}

# Every shared library mediapack needs must come from libc6 or zlib1g, which every Debian and
# Ubuntu system has: nothing of the compiler's runtime or anything else.
check_libraries() {  # PROGRAM
  local needed lib owner
  needed=$(readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
  [ -n "$needed" ] || fail "$1: readelf lists no shared libraries"
  for lib in $needed; do
    owner=$(dpkg -S "*/$lib" 2>/dev/null | head -n 1 | cut -d: -f1 || true)
    case "$owner" in
      libc6 | zlib1g) ;;
      *) fail "$1 needs $lib (from ${owner:-no installed package}), which neither libc6 nor zlib1g provides" ;;
    esac
  done
}

# Whether FILE begins with the executable image IMAGE; the PE checksum field may differ, since
# mediapack computes it anew over the whole media file.
begins_with_image() {  # IMAGE FILE
  local pe checksum offsets
  pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  checksum=$((pe + 24 + 64 + 1))  # cmp counts bytes from 1
  offsets=$(cmp -l -n "$(stat -c %s "$1")" "$1" "$2" 2>&1 | awk '{print $1}') || true
  for o in $offsets; do
    [[ $o =~ ^[0-9]+$ ]] && [ "$o" -ge "$checksum" ] && [ "$o" -lt $((checksum + 4)) ] || return 1
  done
}

# Builds and inspects an installer with the layout under PREFIX, through a link to
# PREFIX/bin/mediapack placed elsewhere (as a user's ~/bin or /usr/local/bin would hold it).
exercise() {  # PREFIX WHAT
  local prefix=$1 what=$2 work out shown stub jar
  work=$scratch/work-$what
  mkdir -p "$work/links" "$scratch/home"
  ln -s "$prefix/bin/mediapack" "$work/links/mediapack"
  stub=$prefix/share/mediapack/win32/launcher.exe
  jar=$prefix/share/mediapack/java/runtime.jar
  for f in "$prefix/bin/mediapack" "$stub" "$jar" "$prefix/share/mediapack/win32/mediapack.exe" \
           "$prefix/share/man/man1/mediapack.1.gz" "$prefix/share/doc/mediapack/README.md" \
           "$prefix/share/doc/mediapack/docs/build-description.md" "$prefix/share/doc/mediapack/copyright" \
           "$prefix/share/doc/mediapack/changelog.gz"; do
    [ -f "$f" ] || fail "$what: $f is missing"
  done
  check_libraries "$prefix/bin/mediapack"
  gzip -t "$prefix/share/man/man1/mediapack.1.gz" || fail "$what: the manual page is not a gzip file"
  zcat "$prefix/share/man/man1/mediapack.1.gz" | grep -qF "mediapack $version" ||
    fail "$what: the manual page does not name version $version"
  if command -v man >/dev/null; then
    out=$(MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/mediapack.1.gz" 2>&1 >/dev/null)
    [ -z "$out" ] || fail "$what: man warns about the manual page: $out"
  fi

  out=$(user "'$work/links/mediapack' --version") || fail "$what: mediapack --version failed"
  [ "$out" = "mediapack $version" ] || fail "$what: mediapack --version says \"$out\", not \"mediapack $version\""

  printf 'not really a jar, but mediapack does not look inside\n' >"$work/app.jar"
  printf '{\n  "mainClass": "com.example.Main",\n  "launcherRuntime": true,\n  "files": ["app.jar"]\n}\n' \
    >"$work/app.json"
  out=$(user "cd '$work' && '$work/links/mediapack' build app.json -o setup.exe" 2>&1) ||
    fail "$what: mediapack build with the shipped stub failed: $out"
  shown=$(user "cd '$work' && '$work/links/mediapack' inspect setup.exe" 2>&1) ||
    fail "$what: mediapack inspect failed: $shown"
  expect_contains "$shown" "stub version: $version" "$what inspect"
  expect_contains "$shown" "version: file $version.0, product $version.0 (language 1033)" "$what inspect"
  expect_contains "$shown" "(matches)" "$what inspect"
  expect_contains "$shown" "\"runtime.jar\" $(stat -c %s "$jar") bytes" "$what inspect"
  expect_contains "$shown" "\"app.jar\" $(stat -c %s "$work/app.jar") bytes" "$what inspect"
  # The shipped stub's image is copied unchanged in front of the payload.
  begins_with_image "$stub" "$work/setup.exe" || fail "$what: setup.exe does not begin with $stub"

  # --stub still wins: mediapack.exe is a Windows program too, and records no launcher version.
  out=$(user "cd '$work' && '$work/links/mediapack' build app.json -o other.exe --stub '$prefix/share/mediapack/win32/mediapack.exe'" 2>&1) ||
    fail "$what: mediapack build --stub failed: $out"
  shown=$(user "'$work/links/mediapack' inspect '$work/other.exe'" 2>&1) || fail "$what: inspect other.exe failed: $shown"
  expect_contains "$shown" "stub version: not recorded in the stub" "$what inspect --stub"
  begins_with_image "$prefix/share/mediapack/win32/mediapack.exe" "$work/other.exe" || fail "$what: --stub was not used"

  # --linux: the same description onto the Linux launcher the release carries.
  if [ -f "$prefix/share/mediapack/linux/launcher" ]; then
    out=$(user "cd '$work' && '$work/links/mediapack' build app.json -o setup --linux" 2>&1) ||
      fail "$what: mediapack build --linux failed: $out"
    linux_stub=$prefix/share/mediapack/linux/launcher
    cmp -s -n "$(stat -c %s "$linux_stub")" "$linux_stub" "$work/setup" || fail "$what: --linux did not use the Linux launcher"
    [ -x "$work/setup" ] || fail "$what: the Linux installer is not executable"
  fi
}

case "$mode" in
  archive)
    [ -f "$tarball" ] || { echo "no $tarball: run make dist" >&2; exit 1; }
    root=$scratch/root
    mkdir -p "$root"
    tar -xzf "$tarball" -C "$root"
    listed=$(cd "$root" && find . -mindepth 1 -maxdepth 1 | sed 's|^\./||')
    [ "$listed" = "mediapack-$version-linux-x86_64" ] ||
      fail "the archive should hold one directory mediapack-$version-linux-x86_64, not: $listed"
    exercise "$root/mediapack-$version-linux-x86_64" archive
    ;;
  package)
    [ -f "$deb" ] || { echo "no $deb: run make dist" >&2; exit 1; }
    field() { dpkg-deb -f "$deb" "$1"; }
    [ "$(field Package)" = mediapack ] || fail "Package is \"$(field Package)\""
    [ "$(field Version)" = "$version" ] || fail "Version is \"$(field Version)\", VERSION says $version"
    [ "$(field Architecture)" = amd64 ] || fail "Architecture is \"$(field Architecture)\""
    [[ $(field Depends) =~ ^libc6\ \(\>=\ [0-9.]+\),\ zlib1g\ \(\>=\ [0-9:.]+\)$ ]] ||
      fail "Depends is \"$(field Depends)\", not libc6 (>= ...), zlib1g (>= ...)"
    [[ $(field Installed-Size) =~ ^[0-9]+$ ]] || fail "Installed-Size is \"$(field Installed-Size)\""
    for f in Maintainer Section Priority Description; do [ -n "$(field $f)" ] || fail "no $f field"; done
    [ -z "$(dpkg-deb -I "$deb" | grep -E ' (pre|post)(inst|rm)$' || true)" ] || fail "the package has maintainer scripts"

    # Unpacked as files only.
    root=$scratch/extracted
    dpkg-deb -x "$deb" "$root"
    exercise "$root/usr" extracted

    # Installed by dpkg into a fresh root whose database knows only this system's libc6 and
    # zlib1g, so that the package's dependencies are checked against the real ones.
    root=$scratch/installed
    admin=$root/var/lib/dpkg
    mkdir -p "$admin/info" "$admin/updates" "$admin/triggers"
    { dpkg-query -s libc6; echo; dpkg-query -s zlib1g; } >"$admin/status"
    : >"$admin/available"
    dpkg --root="$root" --log="$scratch/dpkg.log" -i "$deb" >"$scratch/dpkg.out" 2>&1 ||
      { fail "dpkg -i failed:"; cat "$scratch/dpkg.out" >&2; }
    [ "$(dpkg-query --root="$root" -W -f='${Status} ${Version}' mediapack)" = "install ok installed $version" ] ||
      fail "dpkg does not list mediapack $version as installed"
    exercise "$root/usr" installed
    dpkg --root="$root" --log="$scratch/dpkg.log" -r mediapack >"$scratch/dpkg.out" 2>&1 ||
      { fail "dpkg -r failed:"; cat "$scratch/dpkg.out" >&2; }
    left=$(find "$root/usr" -type f 2>/dev/null || true)
    [ -z "$left" ] || fail "dpkg -r left files behind: $left"
    ;;
  lintian)
    if ! command -v lintian >/dev/null; then
      echo "lintian is not installed (scripts/install-deps.sh installs it): skipped"
      exit 77
    fi
    [ -f "$deb" ] || { echo "no $deb: run make dist" >&2; exit 1; }
    # Errors fail; warnings and notes are shown for the record.
    lintian --fail-on error --display-info "$deb" || fail "lintian reports errors on $deb"
    ;;
  *)
    echo "usage: $0 archive|package|lintian" >&2
    exit 2
    ;;
esac

if [ "$failures" -gt 0 ]; then
  echo "$mode: $failures check(s) failed" >&2
  exit 1
fi
echo "$mode: ok"
