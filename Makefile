# Entry points; CMake presets do the real work.
JOBS ?= $(shell nproc)
SRC_FILES = $(shell git ls-files '*.cpp' '*.h' 2>/dev/null)

.PHONY: deps test test-release test-asan test-tsan build bench fuzz format clean

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)

test-release: build
	ctest --preset release

test-asan: deps
	cmake --preset asan-ubsan >/dev/null
	cmake --build --preset asan-ubsan -j $(JOBS)
	ctest --preset asan-ubsan

# Only the threaded suites (ctest label "threads") run under ThreadSanitizer.
test-tsan: deps
	cmake --preset tsan >/dev/null
	cmake --build --preset tsan -j $(JOBS) --target dax_threads_tests
	ctest --preset tsan

test: test-release test-asan test-tsan

bench: build
	@for b in $$(find build/release/bench -type f -name 'bench_*' -perm -u+x | sort); do \
	  echo "== $$b"; "$$b" || exit 1; done

fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	@echo "fuzz targets:"; find build/fuzz/fuzz -type f -name 'fuzz_*' -perm -u+x | sort

format:
	clang-format -i $(SRC_FILES)

clean:
	rm -rf build
