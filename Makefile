# Two commands do everything on a fresh Debian 12 machine: `make run` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
CMAKE_GEN  := -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: run test bench fuzz deps build build-asan install package clean

run: build
	./$(BUILD)/shatter

test: build build-asan
	scripts/run-tests.sh

bench: build
	scripts/run-bench.sh

fuzz: deps
	scripts/run-fuzz.sh

deps:
	@scripts/install-deps.sh

build: deps
	@test -f $(BUILD)/build.ninja || cmake -S . -B $(BUILD) $(CMAKE_GEN) >/dev/null
	@cmake --build $(BUILD)

build-asan: deps
	@test -f $(ASAN_BUILD)/build.ninja || \
	    cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DSHATTER_SANITIZE=ON -DSHATTER_BUILD_BENCH=OFF >/dev/null
	@cmake --build $(ASAN_BUILD)

install: build
	cmake --install $(BUILD)

# shatter_<version>_<arch>.deb in this directory, from the normal build.
package: build
	@rm -f shatter_*.deb $(BUILD)/package/*.deb
	@cpack --config $(BUILD)/CPackConfig.cmake -B $(BUILD)/package >$(BUILD)/package.log 2>&1 || \
	    { cat $(BUILD)/package.log >&2; exit 1; }
	@cp $(BUILD)/package/shatter_*.deb .
	@echo "Built $$(ls shatter_*.deb)"

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz
