#!/usr/bin/env bash
# Runs a command in a small virtual machine whose kernel runs 32-bit programs, for the
# machines whose own kernel refuses them (32-bit wine cannot start there):
#
#   scripts/run-in-vm.sh [--timeout SECONDS] [--share DIR]... [--] COMMAND [ARGS...]
#
# The guest is qemu with Debian's own kernel (software emulation, no KVM needed). Its
# root is this machine's own /, read-only, under an overlay whose writes vanish at power
# off: it sees every installed package and every build folder. COMMAND runs there in the
# current folder, as the calling user, with PATH, HOME, the locale, and the QORV_*,
# WINE*, CTEST_* and GTEST_* variables of the caller. Each --share DIR stays writable in
# the guest at the same path (writes land on this machine). The guest's output is
# streamed here; the exit status is COMMAND's own, 124 when it did not end within the
# timeout (QORV_VM_TIMEOUT, default 3600 s), 125 when the guest could not be run.
#
# The kernel and the initramfs are built once into the cache (QORV_VM_CACHE, default
# ${XDG_CACHE_HOME:-$HOME/.cache}/qorvcrypt/vm) from packages fetched with apt-get
# download, never installed. QORV_VM_CPUS (default: 2, at most this machine's),
# QORV_VM_MEMORY (MiB, default 6144, at most half of this machine's) size the guest.
# One guest runs at a time: an emulated guest slows down many times over when anything
# else uses the cores, so a second run waits for the first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

usage() {
  sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "$0"
  exit "${1:-125}"
}

timeout_seconds=${QORV_VM_TIMEOUT:-3600}
shares=()
while [ $# -gt 0 ]; do
  case $1 in
    --timeout) [ $# -ge 2 ] || usage; timeout_seconds=$2; shift 2 ;;
    --share) [ $# -ge 2 ] || usage; shares+=("$(cd "$2" && pwd)"); shift 2 ;;
    -h | --help) usage 0 ;;
    --) shift; break ;;
    -*) echo "run-in-vm: unknown option $1" >&2; usage ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || usage
[[ $timeout_seconds =~ ^[1-9][0-9]*$ ]] || { echo "run-in-vm: --timeout needs whole seconds" >&2; exit 125; }

fail() {
  echo "run-in-vm: $*" >&2
  exit 125
}

# qemu is installed as a package; the kernel and busybox are only fetched.
if ! command -v qemu-system-x86_64 >/dev/null; then
  bash "$root/scripts/install-deps.sh" --vm || fail "qemu-system-x86 is needed"
fi

cache=${QORV_VM_CACHE:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/qorvcrypt/vm}
mkdir -p "$cache"
exec 9>"$cache/lock"
if ! flock -n 9; then
  echo "run-in-vm: another guest is running on this machine; waiting for it to end"
  flock 9
fi

# Loaded in this order by the initramfs: the virtio transport, 9p over it, overlayfs.
modules=(virtio virtio_ring virtio_pci_legacy_dev virtio_pci_modern_dev virtio_pci netfs fscache 9pnet
         9pnet_virtio 9p overlay)

# Every temporary folder of this run, removed at its end.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fetch_kernel() {
  local work=$scratch/fetch package
  mkdir -p "$work"
  # linux-image-amd64 names the current kernel package by dependency.
  package=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-/ { print $2; exit }')
  if [ -z "$package" ] || ! (cd "$work" && apt-get download "${apt_options[@]}" "$package" busybox-static); then
    if [ "$(id -u)" -ne 0 ]; then
      fail "could not fetch the guest's kernel; the package lists may be missing: run 'sudo apt-get update'"
    fi
    apt-get update >/dev/null || true
    package=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-/ { print $2; exit }')
    [ -n "$package" ] || fail "no linux-image-amd64 package is known to apt"
    (cd "$work" && apt-get download "${apt_options[@]}" "$package" busybox-static) ||
      fail "could not fetch $package and busybox-static"
  fi
  echo "run-in-vm: unpacking $package and busybox-static into $cache"
  dpkg-deb -x "$work"/linux-image-*.deb "$work/kernel"
  dpkg-deb -x "$work"/busybox-static_*.deb "$work/busybox"
  local version
  version=$(ls "$work/kernel/lib/modules")
  rm -rf "$cache/kernel.new"
  mkdir -p "$cache/kernel.new/modules"
  cp "$work/kernel/boot/vmlinuz-$version" "$cache/kernel.new/vmlinuz"
  cp "$work/busybox/bin/busybox" "$cache/kernel.new/busybox"
  local module file
  for module in "${modules[@]}"; do
    file=$(find "$work/kernel/lib/modules/$version" -name "$module.ko" -o -name "$module.ko.xz" | head -n 1)
    [ -n "$file" ] || fail "$package has no module $module"
    case $file in
      *.xz) "$cache/kernel.new/busybox" unxz -c "$file" >"$cache/kernel.new/modules/$module.ko" ;;
      *) cp "$file" "$cache/kernel.new/modules/$module.ko" ;;
    esac
  done
  echo "$version" >"$cache/kernel.new/version"
  rm -rf "$cache/kernel"
  mv "$cache/kernel.new" "$cache/kernel"
  rm -rf "$work"
}

apt_options=()
[ "$(id -u)" -ne 0 ] || apt_options=(-o APT::Sandbox::User=root)
[ -f "$cache/kernel/version" ] || fetch_kernel

# The guest's first process: mounts the shares, builds the overlay, runs the command
# with its output on the console, records its exit status and powers off.
init_script=$(cat <<'INIT'
#!/bin/busybox sh
/bin/busybox --install -s /bin
mkdir -p /proc /sys /dev /lower /upper /newroot /xfer
mount -t proc proc /proc
mount -t devtmpfs dev /dev
for module in $(cat /modules/order); do
  insmod /modules/$module.ko || echo "guest: insmod $module failed"
done
options=trans=virtio,version=9p2000.L,msize=1048576
setup() {
  mount -t 9p -o $options xfer /xfer || return 1
  mount -t 9p -o $options,cache=loose,ro root /lower || return 1
  mount -t tmpfs -o mode=0755 upper /upper && mkdir -p /upper/data /upper/work || return 1
  mount -t overlay -o lowerdir=/lower,upperdir=/upper/data,workdir=/upper/work overlay /newroot || return 1
  mount -t proc proc /newroot/proc && mount -t sysfs sys /newroot/sys && mount -t devtmpfs dev /newroot/dev || return 1
  mkdir -p /newroot/dev/pts /newroot/dev/shm
  mount -t devpts devpts /newroot/dev/pts && mount -t tmpfs shm /newroot/dev/shm || return 1
  mount -t tmpfs run /newroot/run && mkdir -p /newroot/run/qorv-vm && mount -o bind /xfer /newroot/run/qorv-vm || return 1
  index=0
  while read -r path; do
    [ -n "$path" ] || continue
    mount -t 9p -o $options share$index "/newroot$path" || return 1
    index=$((index + 1))
  done </xfer/shares
  # The host's wineservers are visible through the shared root; the guest starts its own.
  rm -rf /newroot/tmp/.wine-*
}
if setup; then
  stty -F /dev/console -onlcr 2>/dev/null
  chroot /newroot /bin/bash /run/qorv-vm/command.sh </dev/null >/dev/console 2>&1
  echo $? >/xfer/status
else
  echo "guest: could not mount this machine's files"
fi
sync
poweroff -f
INIT
)
stamp=$(printf '%s\n%s\n%s\n' "$init_script" "${modules[*]}" "$(cat "$cache/kernel/version")" | sha256sum | cut -c1-16)
initramfs=$cache/initramfs-$stamp.cpio.gz
if [ ! -f "$initramfs" ]; then
  tree=$scratch/initramfs
  mkdir -p "$tree/bin" "$tree/modules"
  cp "$cache/kernel/busybox" "$tree/bin/busybox"
  cp "$cache"/kernel/modules/*.ko "$tree/modules/"
  printf '%s\n' "${modules[@]}" >"$tree/modules/order"
  printf '%s\n' "$init_script" >"$tree/init"
  chmod 755 "$tree/init" "$tree/bin/busybox"
  (cd "$tree" && find . | "$cache/kernel/busybox" cpio -o -H newc -R 0:0 2>/dev/null) | gzip -1 >"$initramfs.new"
  mv "$initramfs.new" "$initramfs"
  find "$cache" -maxdepth 1 -name 'initramfs-*.cpio.gz' ! -name "initramfs-$stamp.cpio.gz" -delete
fi

# What the guest runs: the caller's folder, user and variables, then COMMAND.
xfer=$scratch/xfer
mkdir -p "$xfer"
{
  printf 'cd %q || exit 125\n' "$PWD"
  while IFS= read -r name; do
    printf 'export %s=%q\n' "$name" "${!name}"
  done < <(compgen -e | grep -E '^(PATH|HOME|USER|LOGNAME|LANG|LANGUAGE|LC_[A-Z]+|TZ|TERM|TMPDIR|CI|QORV_.*|WINE.*|CTEST_.*|GTEST_.*)$')
  if [ "$(id -u)" -ne 0 ]; then
    printf 'exec setpriv --reuid=%d --regid=%d --clear-groups --' "$(id -u)" "$(id -g)"
  else
    printf 'exec'
  fi
  printf ' %q' "$@"
  printf '\n'
} >"$xfer/command.sh"
printf '%s\n' "${shares[@]}" >"$xfer/shares"

cpus=${QORV_VM_CPUS:-2}
[ "$cpus" -le "$(nproc)" ] || cpus=$(nproc)
memory=${QORV_VM_MEMORY:-6144}
half=$(awk '/^MemTotal:/ { print int($2 / 2048) }' /proc/meminfo)
[ "$memory" -le "$half" ] || memory=$half

virtfs=(-virtfs "local,path=/,mount_tag=root,security_model=none,readonly=on,multidevs=remap"
        -virtfs "local,path=$xfer,mount_tag=xfer,security_model=none")
index=0
for share in "${shares[@]}"; do
  virtfs+=(-virtfs "local,path=$share,mount_tag=share$index,security_model=none,multidevs=remap")
  index=$((index + 1))
done

echo "run-in-vm: booting a guest (kernel $(cat "$cache/kernel/version"), $cpus CPUs, $memory MiB) for: $*"
start=$SECONDS
# smap=off: with it, qemu 7.2's emulation oopses the guest kernel on 32-bit wine's return
# to user mode. tsc=reliable: the guest's clock from the TSC, not the much slower HPET.
# qboot, when qemu ships it, boots the kernel at once and prints nothing of its own.
firmware=()
[ ! -f /usr/share/qemu/qboot.rom ] || firmware=(-bios /usr/share/qemu/qboot.rom)
status=0
timeout --kill-after=15 "$timeout_seconds" qemu-system-x86_64 "${firmware[@]}" \
  -machine q35 -accel tcg,thread=multi -cpu max,smap=off -smp "$cpus" -m "$memory" \
  -nographic -no-reboot -nic none \
  -kernel "$cache/kernel/vmlinuz" -initrd "$initramfs" \
  -append "console=ttyS0 quiet loglevel=3 panic=-1 tsc=reliable" \
  "${virtfs[@]}" </dev/null || status=$?
if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
  echo "run-in-vm: the guest did not finish within $timeout_seconds s; stopped"
  exit 124
fi
if [ ! -s "$xfer/status" ]; then
  echo "run-in-vm: the guest ended without the command's exit status (qemu status $status)"
  exit 125
fi
status=$(cat "$xfer/status")
echo "run-in-vm: the command ended with status $status after $((SECONDS - start)) s in the guest"
exit "$status"
