#!/bin/sh
# Installs the build into a fresh prefix, builds the consumer project against the installed
# CMake package and runs it, and imports the installed Python module. The Debian package of
# the same build is checked by check_package.sh. Usage: check_install.sh BUILD_DIR SOURCE_DIR
set -eu
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/prefix" >/dev/null
for file in bin/blocknest include/blocknest/blocknest.hpp include/blocknest/job/job.hpp \
    share/doc/blocknest/examples/workshop_parts.txt; do
    [ -e "$work/prefix/$file" ] || fail "the install holds no $file"
done
ls "$work/prefix"/lib*/libblocknest.so >/dev/null 2>&1 || fail "the install holds no libblocknest.so"
ls "$work/prefix"/lib*/cmake/blocknest/blocknestConfig.cmake >/dev/null 2>&1 ||
    fail "the install holds no CMake package"

cmake -S "$source/tests/install/consumer" -B "$work/consumer" \
    -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null || fail "the consumer project does not configure"
cmake --build "$work/consumer" >/dev/null || fail "the consumer project does not build"
out=$("$work/consumer/nest_two_rectangles") || fail "the consumer ended with an error: $out"
echo "$out"
echo "$out" | grep -q '^plate: sheet 1,' || fail "the plate is not placed"
echo "$out" | grep -q '^bar: sheet 1,' || fail "the bar is not placed"
echo "$out" | grep -q 'library 1\.' || fail "no library version"

# The Python module, imported from the prefix by the system's Python, where it was built.
module=$(ls "$work/prefix"/lib/python3/dist-packages/blocknest*.so 2>/dev/null | head -n 1)
if [ -n "$module" ] && [ -x /usr/bin/python3 ]; then
    [ -e "$work/prefix/lib/python3/dist-packages/blocknest.pyi" ] || fail "no type hints installed"
    python_out=$(cd "$work" && PYTHONPATH=$(dirname "$module") /usr/bin/python3 -c '
import blocknest
job = blocknest.Job(sheet=(200, 100))
job.add_part([(0, 0), (60, 0), (60, 30), (0, 30)], name="plate")
job.add_part([(0, 0), (90, 0), (90, 15), (0, 15)], name="bar")
result = job.nest()
for p in result.placements:
    print(p)
print(f"density {result.density:.2f}%, {result.sheets} sheet, module {blocknest.__version__}")
') || fail "the installed module does not nest: $python_out"
    echo "$python_out"
    echo "$python_out" | grep -q "name='bar', sheet=1" || fail "the module placed no bar"
fi
