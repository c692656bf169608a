# The two front doors: `make run` and `make test`. Both install what is missing first.
BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
# WERROR=ON turns compiler warnings into errors (CI runs with it).
WERROR     ?= OFF

.PHONY: all deps configure build run test asan check fuzz bench screenshot clean

all: build

deps:
	@scripts/deps.sh

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DZARNS_WERROR=$(WERROR) $(CMAKE_ARGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/zarns

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# Address and undefined-behaviour sanitizers over the whole suite (the
# benchmarks are left out: timings under the sanitizers mean nothing).
asan:
	@$(MAKE) --no-print-directory test BUILD=build-asan BUILD_TYPE=Debug \
	  CMAKE_ARGS="$(CMAKE_ARGS) -DZARNS_SANITIZE=ON -DZARNS_BENCH=OFF"

# The include-direction and format checks CI runs after the tests.
check: deps
	@rc=0; scripts/check-layers.py || rc=1; scripts/check-format.sh || rc=1; exit $$rc

# Every fuzz target for a short bounded time on its corpus (clang, libFuzzer).
fuzz: deps
	@scripts/fuzz-ci.sh

# Benchmarks run on demand only; see BENCHMARKS.md.
bench: deps
	@ZARNS_EXTRA_PKGS="ripgrep hyperfine recoll linux-doc" scripts/deps.sh
	bench/run-all.sh

screenshot: build
	scripts/screenshot.sh $(BUILD)

clean:
	rm -rf build build-asan build-fuzz
