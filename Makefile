# Thin wrapper over CMake: `make run` builds and runs the bundled example, `make test` runs
# the whole test suite.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
EXAMPLE ?= examples/workshop_parts.txt
OUT ?= out

.PHONY: run test package-check sanitize tsan format-check deps test-deps deb install clean

deps:
	@scripts/ensure-deps

test-deps:
	@scripts/ensure-deps --tests

run: deps
	cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DBLOCKNEST_TESTS=OFF >/dev/null
	cmake --build build/release -j $(JOBS)
	mkdir -p $(OUT)
	cd $(OUT) && ../build/release/app/blocknest --no-pause ../$(EXAMPLE)
	@echo "The drawing and the report: $(OUT)/Layout.dxf and $(OUT)/Results.txt"

test: test-deps
	cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build build/test -j $(JOBS)
	ctest --test-dir build/test --output-on-failure -j $(JOBS)

# The Debian package of the test build: its files and dependencies (run after `make test`).
package-check:
	sh tests/install/check_package.sh build/test

sanitize: test-deps
	cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBLOCKNEST_SANITIZE=ON >/dev/null
	cmake --build build/sanitize -j $(JOBS)
	ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
		ctest --test-dir build/sanitize --output-on-failure -j $(JOBS) -E InstallAndConsume

# The search runs threads: its tests, and the runs that use it, under ThreadSanitizer.
tsan: test-deps
	cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBLOCKNEST_TSAN=ON >/dev/null
	cmake --build build/tsan -j $(JOBS) --target blocknest_tests
	TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build/tsan --output-on-failure -j $(JOBS) \
		-R 'Search|Decoder|Separation|BitImage|Emptying|Server'

# A Debian package of the program, the library with its headers and CMake package, the manual
# page and the examples, installed under /usr.
deb: test-deps
	cmake -S . -B build/deb -DCMAKE_BUILD_TYPE=Release -DBLOCKNEST_TESTS=OFF \
		-DCMAKE_INSTALL_PREFIX=/usr >/dev/null
	cmake --build build/deb -j $(JOBS)
	cd build/deb && cpack -G DEB
	@ls build/deb/*.deb

format-check:
	clang-format --dry-run --Werror $$(git ls-files '*.cpp' '*.hpp')

clean:
	rm -rf build $(OUT)
