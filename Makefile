# The two front doors: `make run` and `make test`. Both install what is missing first.
BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
# WERROR=ON turns compiler warnings into errors (CI runs with it).
WERROR     ?= OFF
# Where `make install` puts the programs (DESTDIR=... stages them elsewhere).
PREFIX     ?= /usr/local

.PHONY: all deps configure build run test asan check fuzz bench screenshot install package clean

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

# The programs, help pages, desktop entry, MIME type, icons and manual pages
# under $(PREFIX): bin/, share/zarns/help/, share/applications/, ... As root
# (`make && sudo make install`) it installs the build that is there and
# builds nothing, so no file in the build tree comes to belong to root.
install:
	@if [ "$$(id -u)" -ne 0 ]; then $(MAKE) --no-print-directory build; \
	elif [ ! -f $(BUILD)/cmake_install.cmake ]; then \
	  echo "Nothing built in $(BUILD): run make first, then sudo make install." >&2; exit 1; fi
	cmake --install $(BUILD) --prefix $(abspath $(PREFIX))

# A Debian package of the same install, in $(BUILD)/zarns_<version>_<arch>.deb;
# its dependencies are worked out by dpkg-shlibdeps (dpkg-dev).
package: build
	@ZARNS_EXTRA_PKGS="dpkg-dev file" scripts/deps.sh
	@rm -f $(BUILD)/zarns_*.deb
	cd $(BUILD) && cpack -G DEB
	@ls $(BUILD)/zarns_*.deb

screenshot: build
	scripts/screenshot.sh $(BUILD)

clean:
	rm -rf build build-asan build-fuzz
