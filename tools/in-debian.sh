#!/usr/bin/env bash
# Runs a command of the project in a fresh Debian root of the given release, for example
#   tools/in-debian.sh 13 ./test.sh
# The root is a minimal one (debootstrap --variant=minbase) from the Debian mirror this machine's
# apt already uses. It is made once and kept under $PAFURO_DEBIAN_CACHE (default
# /var/cache/pafuro-debian), with the packages it downloads; each run works on a copy-on-write
# layer over it, which is thrown away afterwards, so every run starts from the fresh root.
# Inside, a clean clone of this checkout's committed state is at /build/pafuro. What the project
# needs is installed with the network (the README's install step, plus the packages named in
# $PAFURO_DEBIAN_PACKAGES); the command then runs in a network namespace of its own, so that its
# X servers, Wayland compositors and sound servers never meet the host's, and in a process
# namespace of its own, so that nothing it starts outlives it. Needs root (or sudo).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
say() { echo "in-debian: $*" >&2; }
die() { say "$*"; exit 1; }

[ $# -ge 2 ] || { echo "usage: $0 RELEASE COMMAND [ARGUMENT...]   (RELEASE: 12 or 13)" >&2; exit 2; }
release=$1
shift
case "$release" in
12) codename=bookworm ;;
13) codename=trixie ;;
*) die "unknown Debian release '$release' (12 or 13)" ;;
esac
if [ "$(id -u)" -ne 0 ]; then
    exec sudo --preserve-env=PAFURO_DEBIAN_CACHE,PAFURO_DEBIAN_PACKAGES "$0" "$release" "$@"
fi

# The mirror of Debian's own archive that apt here is set up with.
mirror=$(apt-get indextargets --format '$(TARGET_OF) $(ORIGIN) $(LABEL) $(REPO_URI)' 2>/dev/null |
    awk '$1 == "deb" && $2 == "Debian" && $3 == "Debian" { print $4; exit }')
[ -n "$mirror" ] || die "cannot make a Debian $release root: this machine's apt names no Debian mirror"

cache=${PAFURO_DEBIAN_CACHE:-/var/cache/pafuro-debian}/$codename
base=$cache/root
mkdir -p "$cache/debs"

# One run at a time makes the root or installs over the shared package cache.
exec 8>"$cache/install.lock"
flock 8
if [ ! -x "$base/bin/bash" ]; then
    command -v debootstrap >/dev/null || {
        source "$here/tools/ensure-packages.sh"
        ensure_packages debootstrap >&2
    } >"$cache/debootstrap.log" 2>&1 ||
        die "cannot make a Debian $release root: debootstrap cannot be installed, see $cache/debootstrap.log"
    say "making a minimal Debian $release root in $base (once)"
    rm -rf --one-file-system "$base.new"
    if ! debootstrap --variant=minbase --cache-dir="$cache/debs" "$codename" "$base.new" "$mirror" \
        >>"$cache/debootstrap.log" 2>&1; then
        rm -rf --one-file-system "$base.new"
        die "cannot make a Debian $release root: debootstrap failed, see $cache/debootstrap.log"
    fi
    mv "$base.new" "$base"
fi
flock -u 8

run=$(mktemp -d "$cache/run.XXXXXX")
root=$run/root
mounted=()
inner=
cleanup() {
    local status=$?
    trap - EXIT INT TERM
    set +e
    # unshare ignores SIGINT and SIGTERM while it waits; its child is the first process of the
    # namespace, and when that one is killed the kernel kills every process there.
    if [ -n "$inner" ]; then
        kill -KILL $(cat "/proc/$inner/task/$inner/children" 2>/dev/null) 2>/dev/null
        wait "$inner" 2>/dev/null
    fi
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" 2>/dev/null || true
    done
    # Never through a mount that is still there: /dev is the host's own.
    rm -rf --one-file-system "$run"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
mount_at() { # TYPE SOURCE DIR [OPTIONS]
    mkdir -p "$3"
    mount -t "$1" ${4:+-o "$4"} "$2" "$3"
    mounted+=("$3")
}
mkdir -p "$run/upper" "$run/work"
mount_at overlay overlay "$root" "lowerdir=$base,upperdir=$run/upper,workdir=$run/work"
mount_at proc proc "$root/proc"
mount_at sysfs sysfs "$root/sys"
mkdir -p "$root/dev"
mount --rbind /dev "$root/dev" && mount --make-rslave "$root/dev" && mounted+=("$root/dev")
mount_at tmpfs tmpfs "$root/dev/shm" mode=1777
mount_at tmpfs tmpfs "$root/tmp" mode=1777
mount_at tmpfs tmpfs "$root/run" mode=755
mkdir -p "$root/var/cache/apt/archives"
mount --bind "$cache/debs" "$root/var/cache/apt/archives" && mounted+=("$root/var/cache/apt/archives")
cp -L /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
# Packages are kept for the next run.
echo 'Binary::apt::APT::Keep-Downloaded-Packages "true";' >"$root/etc/apt/apt.conf.d/90keep"

mkdir -p "$root/build"
git clone -q "$here" "$root/build/pafuro"

# Runs a command in the root in process namespaces of its own, so that nothing it starts outlives
# it, and waits for it where a signal can still reach this script. --net: without the network,
# and with abstract sockets of its own; only its loopback is brought up.
in_root() {
    local net=()
    [ "$1" = --net ] && net=(--net) && shift
    unshare "${net[@]}" --pid --fork --kill-child --mount-proc="$root/proc" \
        /bin/sh -c 'ip link set lo up 2>/dev/null || true; exec "$@"' sh \
        chroot "$root" /usr/bin/env -i HOME=/root \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
        TERM="${TERM:-dumb}" CI="${CI:-}" /bin/bash -c 'cd /build/pafuro && exec "$@"' bash "$@" &
    inner=$!
    local status=0
    wait "$inner" || status=$?
    inner=
    return "$status"
}

say "installing what the project needs in Debian $release"
# No service is started by a package's installation in the root.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod +x "$root/usr/sbin/policy-rc.d"
flock 8
in_root /bin/bash -c 'set -e; source tools/ensure-packages.sh
    ensure_packages "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}" '"${PAFURO_DEBIAN_PACKAGES:-}" >&2 ||
    die "the install step failed in Debian $release"
flock -u 8
rm -f "$root/usr/sbin/policy-rc.d"

say "running $* in Debian $release, without the network"
status=0
in_root --net "$@" || status=$?
exit "$status"
