#!/bin/sh
# Checks the Debian package CPack makes of a build: its files and its dependencies. Outside
# the test suite (`make package-check`, run by CI): CPack walks the whole build tree and reads
# every file, several seconds that the suite's other checks of the install do not need.
# Usage: check_package.sh BUILD_DIR
set -eu
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

if ! command -v dpkg-deb >/dev/null 2>&1 || ! command -v dpkg-shlibdeps >/dev/null 2>&1; then
    echo "dpkg-deb or dpkg-shlibdeps is missing: the Debian package is not checked"
    exit 0
fi
# Stripped as a Debian package should be: compressing the test build's debug information took
# most of the check's time, and stripping changes neither the files nor the dependencies.
(cd "$build" && cpack -G DEB -B "$work/deb" -D CPACK_STRIP_FILES=ON >/dev/null) ||
    fail "cpack made no package"
deb=$(ls "$work"/deb/*.deb)
# The Python module is packaged with its type hints when the build made it.
module=$(ls "$build"/python/blocknest*.so 2>/dev/null | head -n 1 || true)
files=$(dpkg-deb -c "$deb")
for file in /bin/blocknest /include/blocknest/blocknest.hpp libblocknest.so \
    cmake/blocknest/blocknestConfig.cmake examples/workshop_parts.txt \
    ${module:+dist-packages/blocknest.pyi}; do
    echo "$files" | grep -q "$file" || fail "the package holds no $file"
done
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
echo "$depends" | grep -q libpolyclipping || fail "the package does not depend on libpolyclipping"
echo "$depends" | grep -q libstdc++ || fail "the package does not depend on libstdc++"
