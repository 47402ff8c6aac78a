#!/bin/sh
# Output folders that cannot take the files: read-only, full, or not creatable. In each case
# the run must end with exit code 1 and a clear message, and the Layout.dxf and Results.txt of
# an earlier run must survive byte for byte, with no temporary file left. Every case runs twice:
# with unnamed temporary files, and with the hidden named ones that file systems without
# unnamed files get (BLOCKNEST_NAMED_TEMPORARIES=1). Each folder is a small tmpfs mounted in a private
# mount namespace (a user namespace for a normal user); exit code 77 skips the test where
# neither is allowed.
# Usage: output_faults.sh BLOCKNEST_BINARY PART_FILE
set -u
binary=$1
input=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ "$(id -u)" = 0 ]; then namespace="unshare -m"; else namespace="unshare -Urm"; fi
$namespace sh -c "mount -t tmpfs -o size=64k tmpfs '$work'" 2>/dev/null || {
    echo "SKIP: no private mounts here"
    exit 77
}
LC_ALL=C.UTF-8 $namespace sh -s "$binary" "$input" "$work" <<'SCRIPT'
set -u
binary=$1
input=$2
work=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Makes a tmpfs folder holding the outputs of an earlier run.
prepare() {
    mkdir -p "$work/$1"
    mount -t tmpfs -o "size=$2" tmpfs "$work/$1" || exit 77
    printf 'old drawing\n' >"$work/$1/Layout.dxf"
    printf 'old report\n' >"$work/$1/Results.txt"
}
intact() {
    [ "$(cat "$work/$1/Layout.dxf")" = "old drawing" ] || fail "$1: Layout.dxf was changed"
    [ "$(cat "$work/$1/Results.txt")" = "old report" ] || fail "$1: Results.txt was changed"
    extra=$(ls -A "$work/$1" | grep -v -e '^Layout.dxf$' -e '^Results.txt$' -e '^filler$')
    [ -z "$extra" ] || fail "$1: files left behind: $extra"
}
expect_failure() {
    "$binary" --no-pause -q -o "$work/$1" "$input" >/dev/null 2>"$work/err"
    code=$?
    [ "$code" = 1 ] || fail "$1: exit code $code, not 1"
    grep -q "$2" "$work/err" || fail "$1: no '$2' in: $(cat "$work/err")"
}

for m in unnamed named; do
    if [ "$m" = named ]; then export BLOCKNEST_NAMED_TEMPORARIES=1; fi
    # A read-only view of a folder that holds the old outputs (a bind mount, which a user
    # namespace may make read-only).
    prepare $m-writable 256k
    mkdir -p "$work/$m-readonly"
    mount --bind "$work/$m-writable" "$work/$m-readonly" &&
        mount -o remount,bind,ro "$work/$m-readonly" ||
        exit 77
    expect_failure $m-readonly "cannot write '.*Layout.dxf': Read-only file system"
    grep -q "Warning! 排样文件输出失败!" "$work/err" || fail "$m-readonly: no warning"
    intact $m-readonly

    prepare $m-full 64k
    dd if=/dev/zero of="$work/$m-full/filler" bs=4k 2>/dev/null
    expect_failure $m-full "No space left on device"
    intact $m-full

    "$binary" --no-pause -q -o "$work/$m-readonly/new" "$input" >/dev/null 2>"$work/err"
    [ $? = 1 ] || fail "$m: a folder that cannot be made: wrong exit code"
    grep -q "cannot use the output directory" "$work/err" || fail "missing folder: $(cat "$work/err")"
    intact $m-readonly
done

[ "$failures" = 0 ] && echo "output faults: all cases passed"
exit $((failures > 0))
SCRIPT
