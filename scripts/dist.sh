#!/usr/bin/env bash
# Packs a release from the build trees (`make dist` builds them first):
#   build/dist/mediapack-VERSION-linux-x86_64.tar.gz   an installed prefix in one directory
#   build/dist/mediapack_VERSION_amd64.deb             the same files under /usr
# Both hold the same layout, the one mediapack looks for relative to itself
# (tools/mediapack/shipped_files.h):
#   bin/mediapack                          the builder (only the C library is shared)
#   share/mediapack/win32/launcher.exe     the shipped stub (i686)
#   share/mediapack/win32/mediapack.exe    the builder as a Windows program
#   share/mediapack/java/runtime.jar       the launcher's runtime jar
#   share/mediapack/linux/launcher         the Linux stub, once build/linux/launcher exists
#   share/man/man1/mediapack.1.gz, share/doc/mediapack/...
# The version is the one in VERSION; packaging/changelog must open with it. Archive members
# carry the changelog's date and root ownership, so the same trees pack to the same bytes.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
host_tree=${DIST_HOST_TREE:-build/host}
win32_tree=${DIST_WIN32_TREE:-build/win32}
linux_tree=${DIST_LINUX_TREE:-build/linux}
out=${DIST_DIR:-build/dist}

fail() { echo "dist: $*" >&2; exit 1; }

version=$(tr -d ' \t\r\n' <VERSION)
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "VERSION holds \"$version\", not three numbers"
logged=$(dpkg-parsechangelog -l packaging/changelog -S Version)
[ "$logged" = "$version" ] || fail "packaging/changelog opens with $logged, VERSION says $version: add an entry"
SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l packaging/changelog -S Timestamp)
export SOURCE_DATE_EPOCH

for f in "$host_tree/mediapack" "$win32_tree/launcher.exe" "$win32_tree/mediapack.exe" build/java/runtime.jar; do
  [ -f "$f" ] || fail "$f is missing: run make dist (it builds the host and win32 trees first)"
done
built=$("$host_tree/mediapack" --version)
[ "$built" = "mediapack $version" ] || fail "$host_tree/mediapack says \"$built\", VERSION says $version: rebuild"

name=mediapack-$version-linux-x86_64
stage=$out/stage
rm -rf "$stage"
mkdir -p "$out"

# One prefix, laid out once; the archive takes it as it is, the package under usr/.
prefix=$stage/$name
install -d "$prefix/bin" "$prefix/share/mediapack/win32" "$prefix/share/mediapack/java" \
  "$prefix/share/man/man1" "$prefix/share/doc/mediapack/docs"
strip --strip-unneeded --remove-section=.comment --remove-section=.note -o "$prefix/bin/mediapack" \
  "$host_tree/mediapack"
chmod 0755 "$prefix/bin/mediapack"
# The Windows programs are data here (copied into installers, run on Windows): not executable.
install -m 0644 "$win32_tree/launcher.exe" "$win32_tree/mediapack.exe" "$prefix/share/mediapack/win32/"
install -m 0644 build/java/runtime.jar "$prefix/share/mediapack/java/"
if [ -f "$linux_tree/launcher" ]; then
  install -d "$prefix/share/mediapack/linux"
  install -m 0755 "$linux_tree/launcher" "$prefix/share/mediapack/linux/"
fi
sed "s/@VERSION@/$version/g" docs/mediapack.1.in | gzip -9n >"$prefix/share/man/man1/mediapack.1.gz"
install -m 0644 README.md "$prefix/share/doc/mediapack/"
install -m 0644 docs/*.md "$prefix/share/doc/mediapack/docs/"
install -m 0644 packaging/copyright "$prefix/share/doc/mediapack/"
gzip -9n <packaging/changelog >"$prefix/share/doc/mediapack/changelog.gz"
find "$stage" -type d -exec chmod 0755 {} +
find "$stage" -type f ! -perm -u+x -exec chmod 0644 {} +
find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

tarball=$out/$name.tar.gz
tar --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$SOURCE_DATE_EPOCH" \
  -C "$stage" -cf - "$name" | gzip -9n >"$tarball.part"
mv "$tarball.part" "$tarball"
echo "dist: wrote $tarball"

# The Debian package: the prefix moved under usr/, a control file and nothing to run on
# install. Its one shared library need is computed by dpkg-shlibdeps from the program itself.
deb_root=$stage/deb
install -d "$deb_root/DEBIAN" "$deb_root/usr"
cp -a "$prefix/." "$deb_root/usr/"
if [ -f "$deb_root/usr/share/mediapack/linux/launcher" ]; then
  # The Linux stub is data for mediapack like the Windows one: copied into the installers it
  # builds, never run from here; zlib is linked into it so those installers need only glibc.
  install -d "$deb_root/usr/share/lintian/overrides"
  cat >"$deb_root/usr/share/lintian/overrides/mediapack" <<'OVERRIDES'
mediapack: arch-dependent-file-in-usr-share [usr/share/mediapack/linux/launcher]
mediapack: embedded-library zlib [usr/share/mediapack/linux/launcher]
OVERRIDES
  chmod 0644 "$deb_root/usr/share/lintian/overrides/mediapack"
  touch -h -d "@$SOURCE_DATE_EPOCH" "$deb_root/usr/share/lintian" "$deb_root/usr/share/lintian/overrides" \
    "$deb_root/usr/share/lintian/overrides/mediapack"
fi
shlibs=$stage/shlibs
install -d "$shlibs/debian"
printf 'Source: mediapack\n\nPackage: mediapack\nArchitecture: amd64\n' >"$shlibs/debian/control"
depends=$(cd "$shlibs" && dpkg-shlibdeps -O "$top/$deb_root/usr/bin/mediapack" | sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || fail "dpkg-shlibdeps found no library dependencies for mediapack"
installed_size=$(du -sk --exclude=DEBIAN "$deb_root" | cut -f1)
cat >"$deb_root/DEBIAN/control" <<CONTROL
Package: mediapack
Version: $version
Architecture: amd64
Maintainer: $(dpkg-parsechangelog -l packaging/changelog -S Maintainer)
Installed-Size: $installed_size
Depends: $depends
Suggests: osslsigncode
Section: devel
Priority: optional
Description: builder of Windows installers that start a Java program
 mediapack turns a build description (JSON), the files it names and the
 launcher stub that comes with it into a Windows installer (setup.exe) that
 checks its own payload, finds or unpacks a Java runtime and starts the
 installer's Java program. It runs on Linux: installers can be built on a
 continuous integration machine without Windows, Wine or a JDK.
 .
 The package holds the builder, the 32-bit Windows launcher stub, the
 launcher's runtime jar, the builder as a Windows program, a manual page and
 the documentation.
CONTROL
(cd "$deb_root" && find usr -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum) >"$deb_root/DEBIAN/md5sums"
chmod 0644 "$deb_root/DEBIAN/control" "$deb_root/DEBIAN/md5sums"
touch -d "@$SOURCE_DATE_EPOCH" "$deb_root/DEBIAN" "$deb_root/DEBIAN/control" "$deb_root/DEBIAN/md5sums"
chmod 0755 "$deb_root/DEBIAN"
deb=$out/mediapack_${version}_amd64.deb
dpkg-deb --root-owner-group -Zxz --build "$deb_root" "$deb.part" >/dev/null
mv "$deb.part" "$deb"
echo "dist: wrote $deb"
rm -rf "$stage"
