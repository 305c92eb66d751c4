#!/bin/busybox sh
# First process of the test machine. Loads the kernel modules, lays out the guest's
# root file system (the host's root, read-only over 9p, under a tmpfs overlay, with
# fresh proc, sys, dev, run and tmp), runs the command there and powers off.
# run_in_vm.py puts this file into the initramfs as /init, together with
#   /e2e/settings       shell variables: RESULTS (host directory shared writable) and
#                       STATUS_FILE (where in it the exit status goes)
#   /e2e/modules/       the modules, and "order", one module name a line
#   /e2e/command        the shell script to run, chrooted into the new root
#   /e2e/keep           host directories the command needs, one a line

/bin/busybox --install -s /bin
export PATH=/bin

stop() {
  sync
  poweroff -f
}

fail() {
  echo "vorlane-e2e: guest: $*"
  stop
}

mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
. /e2e/settings

while read -r module; do
  insmod "/e2e/modules/$module.ko" || fail "cannot load module $module"
done < /e2e/modules/order

share() {  # tag, mount point, extra options
  mount -t 9p -o "trans=virtio,version=9p2000.L,msize=262144,$3" "$1" "$2" ||
    fail "cannot mount the 9p share $1 on $2"
}

mkdir -p /host /rw /newroot
share hostroot /host ro,cache=loose
mount -t tmpfs -o mode=0755 tmpfs /rw
mkdir /rw/upper /rw/work
mount -t overlay -o lowerdir=/host,upperdir=/rw/upper,workdir=/rw/work overlay /newroot ||
  fail "cannot lay the overlay over the host's root"

root=/newroot
mount -t proc proc $root/proc
mount -t sysfs sysfs $root/sys
mount -t devtmpfs devtmpfs $root/dev
mkdir -p $root/dev/pts $root/dev/shm
mount -t devpts -o newinstance,ptmxmode=0666,mode=0620 devpts $root/dev/pts
ln -sf pts/ptmx $root/dev/ptmx
mount -t tmpfs -o mode=1777 tmpfs $root/dev/shm
ln -sf /proc/self/fd $root/dev/fd
ln -sf /proc/self/fd/0 $root/dev/stdin
ln -sf /proc/self/fd/1 $root/dev/stdout
ln -sf /proc/self/fd/2 $root/dev/stderr
mount -t tmpfs -o mode=0755 tmpfs $root/run

# A fresh /tmp; the host directories the command needs (/e2e/keep, one a line) stay
# reachable where they lie under /tmp, as a clone or build tree made there does.
mkdir -p /keep
n=0
while read -r path; do
  case "$path" in /tmp/*) ;; *) continue ;; esac
  n=$((n + 1))
  mkdir -p /keep/$n
  mount -o bind "$root$path" /keep/$n || fail "cannot keep $path"
done < /e2e/keep
mount -t tmpfs -o mode=1777 tmpfs $root/tmp
n=0
while read -r path; do
  case "$path" in /tmp/*) ;; *) continue ;; esac
  n=$((n + 1))
  mkdir -p "$root$path"
  mount -o bind /keep/$n "$root$path" || fail "cannot keep $path"
done < /e2e/keep
mkdir -p $root/run/user/0 $root/run/home
chmod 0700 $root/run/user/0 $root/run/home

mkdir -p "$root$RESULTS"
share results "$root$RESULTS" rw
cp /e2e/command $root/run/e2e-command

echo "vorlane-e2e: guest ready after $(cut -d' ' -f1 /proc/uptime) s"
chroot $root /bin/sh /run/e2e-command
status=$?
echo "vorlane-e2e: guest command finished after $(cut -d' ' -f1 /proc/uptime) s"

echo "$status" > "$root$RESULTS/$STATUS_FILE"
umount "$root$RESULTS"
stop
