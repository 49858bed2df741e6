#!/usr/bin/env bash
# Builds a static libcrypto for a Windows target from Debian's own OpenSSL sources
# (upstream plus Debian's patches), for the reference provider's Windows builds.
#
#   scripts/build-openssl-mingw.sh i686|x86_64 [--print-dir]
#
# The result goes to ${QORV_OPENSSL_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/qorvcrypt}/
# openssl-<version>-<triple>/ (include/, lib/libcrypto.a), once per machine: a later run
# finds it there and does nothing. Only libcrypto is built. Needs root (or sudo) the
# first time, to add a deb-src entry for bookworm main and fetch the source package.
set -euo pipefail

case "${1:-}" in
  i686 | windows-i686) triple=i686-w64-mingw32 target=mingw ;;
  x86_64 | windows-x86_64) triple=x86_64-w64-mingw32 target=mingw64 ;;
  *)
    echo "usage: $0 i686|x86_64 [--print-dir]" >&2
    exit 2
    ;;
esac
cache=${QORV_OPENSSL_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/qorvcrypt}
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

# A build that finished has its stamp; any such build for the target will do.
existing=$(ls -d "$cache"/openssl-*-"$triple"/.complete 2>/dev/null | sort -V | tail -n 1 || true)
if [ -n "$existing" ]; then
  dir=$(dirname "$existing")
  [ "${2:-}" = --print-dir ] && echo "$dir" || echo "build-openssl-mingw: $dir is there already"
  exit 0
fi

sources=/etc/apt/sources.list.d/qorvcrypt-openssl-src.sources
if ! apt-cache showsrc openssl 2>/dev/null | grep -q '^Version:'; then
  $SUDO tee "$sources" >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  # Other indexes may fail to update (a lagging architecture); the source index is what counts.
  $SUDO apt-get update -o Dir::Etc::sourcelist="$sources" -o Dir::Etc::sourceparts=- \
    -o APT::Get::List-Cleanup=0 || true
fi
command -v dpkg-source >/dev/null || $SUDO apt-get install -y --no-install-recommends dpkg-dev

work=$(mktemp -d "${TMPDIR:-/tmp}/qorv-openssl.XXXXXX")
trap 'rm -rf "$work"' EXIT
start=$SECONDS
(cd "$work" && apt-get -o APT::Sandbox::User=root source --only-source openssl >/dev/null)
src=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'openssl-*' | head -n 1)
# The Debian version (upstream and revision) keys the cache: another patch level is another build.
version=$(sed -n 's/^Version: //p' "$work"/openssl_*.dsc | head -n 1 | tr '~:' '+_')
dir=$cache/openssl-$version-$triple

# Only what the provider needs from libcrypto: no shared library, no engines or
# modules to load, no legacy provider, no console prompts, and none of the network
# protocols (sockets, OCSP, CMP, time stamping, SRP, CT) that a file provider never speaks.
cd "$src"
# Debian's "pic" patch makes the 32-bit x86 assembly use ELF's global offset table, which
# Windows object files cannot express; the upstream code is position-independent there.
patch -R -p1 -s <debian/patches/pic.patch
./Configure "$target" --cross-compile-prefix="$triple"- --prefix="$dir" \
  no-shared no-tests no-engine no-dso no-module no-legacy no-ui-console \
  no-sock no-dgram no-ocsp no-cmp no-ts no-srp no-ct no-comp >/dev/null
make -s -j"$(nproc)" build_generated >/dev/null
make -s -j"$(nproc)" libcrypto.a >/dev/null

rm -rf "$dir.tmp"
mkdir -p "$dir.tmp/lib" "$dir.tmp/include"
cp libcrypto.a "$dir.tmp/lib/"
cp -r include/openssl "$dir.tmp/include/"
cp LICENSE.txt "$dir.tmp/"
printf '%s\n' "$version" >"$dir.tmp/VERSION"
rm -rf "$dir"
mv "$dir.tmp" "$dir"
touch "$dir/.complete"
echo "build-openssl-mingw: OpenSSL $version for $triple in $dir ($((SECONDS - start)) s)"
[ "${2:-}" = --print-dir ] && echo "$dir"
exit 0
