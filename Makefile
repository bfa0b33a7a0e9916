# Two commands do everything on a fresh Debian 12 or 13 machine: `make run` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
# Where ccache is installed, another checkout (a fresh clone, a second work tree) reuses what an
# earlier build compiled: paths inside the checkout are hashed relative to it.
CMAKE_GEN   = -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
              $(if $(shell command -v ccache),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
export CCACHE_BASEDIR := $(CURDIR)

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

# shatter_<version>~deb<release>u1_<arch>.deb in this directory (and in $(BUILD)/package), from
# the normal build; it replaces the one for the same release, not another release's.
package: build
	@rm -f $(BUILD)/package/*.deb
	@cpack --config $(BUILD)/CPackConfig.cmake -B $(BUILD)/package >$(BUILD)/package.log 2>&1 || \
	    { cat $(BUILD)/package.log >&2; exit 1; }
	@deb=$$(cd $(BUILD)/package && ls shatter_*.deb) && \
	    release=$$(echo "$$deb" | sed -n 's/^shatter_[^~]*~\(deb[0-9]*\)u.*/\1/p') && \
	    rm -f shatter_*$${release:+~$$release}*.deb && cp "$(BUILD)/package/$$deb" . && \
	    echo "Built $$deb"

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz
