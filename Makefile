# make run     - install what is missing, build the console, start it on the built-in simulator
# make test    - install what is missing, build with ASan and UBSan, run every test;
#                where clang links libFuzzer, first a smoke run of every fuzz target
#                (FUZZ_SMOKE_SECONDS each, 20 by default; make fuzz-smoke alone)
# make fuzz    - long fuzz runs (FUZZ_SECONDS each, 600 by default)
# make package - build the .deb (calorix, calorix-cli, calorix-sim) in $(PKG_BUILD)
JOBS ?= 2
BUILD ?= build
TEST_BUILD ?= build-test
PKG_BUILD ?= build-pkg
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 600
FUZZ_SMOKE_SECONDS ?= 20
FUZZ_ENV := LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp
CMAKE_GEN := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

.PHONY: deps configure build run test bench package format clean fuzz-build fuzz-build-only fuzz-smoke fuzz

deps:
	bash scripts/install-deps.sh

configure: deps
	@test -f $(BUILD)/CMakeCache.txt || cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j$(JOBS)

# Only the console: the tests and benchmarks are not built to run it.
run: configure
	cmake --build $(BUILD) -j$(JOBS) --target calorix
	./$(BUILD)/calorix --simulate $(ARGS)

test: deps
	@test -f $(TEST_BUILD)/CMakeCache.txt || cmake -S . -B $(TEST_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DCALORIX_SANITIZE=ON
	cmake --build $(TEST_BUILD) -j$(JOBS)
	@# Before ctest, so that its summary stays the last thing the run prints.
	@if bash scripts/have-libfuzzer.sh; then \
	  $(MAKE) --no-print-directory fuzz-build-only && \
	  $(FUZZ_ENV) scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SMOKE_SECONDS); \
	else echo "fuzz smoke runs skipped: no clang that links libFuzzer"; fi
	cd $(TEST_BUILD) && QT_QPA_PLATFORM=offscreen LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp ctest --output-on-failure -j$(JOBS)

# A build of its own: clang, libFuzzer, ASan and UBSan.
fuzz-build: deps
	$(MAKE) --no-print-directory fuzz-build-only

fuzz-build-only:
	@test -f $(FUZZ_BUILD)/CMakeCache.txt || CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(CMAKE_GEN) \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCALORIX_FUZZ=ON -DCALORIX_TESTS=OFF -DCALORIX_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target calorix_fuzzers

# A short run of every fuzz target, from the seed corpus in fuzz/corpus.
fuzz-smoke: fuzz-build
	$(FUZZ_ENV) scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SMOKE_SECONDS)

fuzz: fuzz-build
	$(FUZZ_ENV) scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

bench: build
	@for b in $(BUILD)/bench_*; do echo "== $$b"; $$b; done

# A release build of what the package ships, nothing else, then CPack.
package: deps
	@test -f $(PKG_BUILD)/CMakeCache.txt || cmake -S . -B $(PKG_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DCALORIX_TESTS=OFF -DCALORIX_BENCH=OFF
	cmake --build $(PKG_BUILD) -j$(JOBS)
	cd $(PKG_BUILD) && cpack
	@ls -1 $(PKG_BUILD)/*.deb

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(TEST_BUILD) $(PKG_BUILD) $(FUZZ_BUILD)
