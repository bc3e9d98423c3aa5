# make run     - install what is missing, build the console, start it on the built-in simulator
# make test    - install what is missing, build with ASan and UBSan, run every test
# make package - build the .deb (calorix, calorix-cli, calorix-sim) in $(PKG_BUILD)
JOBS ?= 2
BUILD ?= build
TEST_BUILD ?= build-test
PKG_BUILD ?= build-pkg
CMAKE_GEN := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

.PHONY: deps configure build run test bench package format clean

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
	cd $(TEST_BUILD) && QT_QPA_PLATFORM=offscreen LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp ctest --output-on-failure -j$(JOBS)

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
	rm -rf $(BUILD) $(TEST_BUILD) $(PKG_BUILD)
