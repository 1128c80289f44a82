# SPDX-License-Identifier: GPL-3.0-or-later
# Kestavo: set-up, build, tests, benchmarks, fuzzing, installing and packaging.
BUILD_DIR   ?= build
RELEASE_DIR ?= build-release
FUZZ_DIR    ?= build-fuzz
TSAN_DIR    ?= build-tsan
DEB_DIR     ?= build-deb
PREFIX      ?= /usr/local
JOBS        ?= 2
FUZZ_SECONDS ?= 600

.PHONY: all deps test tsan build release run bench fuzz install deb clean

all: build

deps:
	@sh scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKESTAVO_SANITIZE=ON -DKESTAVO_WERROR=ON
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)
	sh scripts/check-format.sh

# The support, catalog and tools tests, which run work on two threads, and
# the window tests, whose windows paint while workers run, built with
# ThreadSanitizer in their own directory and run (the windows offscreen).
tsan: deps
	cmake -S . -B $(TSAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKESTAVO_TSAN=ON -DKESTAVO_SANITIZE=OFF \
	    -DKESTAVO_GUI=ON -DKESTAVO_WERROR=ON
	cmake --build $(TSAN_DIR) -j $(JOBS)
	cd $(TSAN_DIR) && TSAN_OPTIONS="halt_on_error=1 die_after_fork=0 suppressions=$(CURDIR)/tests/tsan.supp $${TSAN_OPTIONS:-}" ctest --output-on-failure -j $(JOBS)

release: deps
	cmake -S . -B $(RELEASE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTAVO_TESTS=OFF -DKESTAVO_BENCH=ON \
	    -DKESTAVO_WERROR=ON
	cmake --build $(RELEASE_DIR) -j $(JOBS)

run: release
	@if [ -z "$${DISPLAY:-}$${WAYLAND_DISPLAY:-}" ]; then \
	  echo "No display: start it with  xvfb-run -a $(RELEASE_DIR)/src/ui/kestavo"; \
	else \
	  $(RELEASE_DIR)/src/ui/kestavo; \
	fi

bench: release
	sh bench/run.sh $(RELEASE_DIR)

fuzz: deps
	CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DKESTAVO_TESTS=OFF -DKESTAVO_FUZZ=ON -DKESTAVO_GUI=OFF -DKESTAVO_WERROR=ON
	cmake --build $(FUZZ_DIR) -j $(JOBS)
	sh tests/fuzz/run.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

# Installs the programs and their data under PREFIX (default /usr/local); DESTDIR is honoured.
install: release
	DESTDIR="$(DESTDIR)" cmake --install $(RELEASE_DIR) --prefix "$(PREFIX)"

# The Debian package kestavo_VERSION-REVISION_ARCH.deb and its debug-symbols package, built by
# dpkg-buildpackage in DEB_DIR and copied here, then checked by lintian:
# sudo apt install ./kestavo_*.deb
deb:
	@sh scripts/install-deps.sh deb
	sh scripts/build-deb.sh $(DEB_DIR) $(JOBS)

# Draws the pictures into res/images (needs only Qt 6 Gui).
.PHONY: pictures
pictures:
	cmake -S . -B build-pictures -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTAVO_PICTURES=ON -DKESTAVO_TESTS=OFF \
	    -DKESTAVO_GUI=OFF
	cmake --build build-pictures --target kestavo-draw-pictures -j $(JOBS)
	QT_QPA_PLATFORM=offscreen build-pictures/res/tools/kestavo-draw-pictures res/images

clean:
	rm -rf $(BUILD_DIR) $(RELEASE_DIR) $(FUZZ_DIR) $(TSAN_DIR) $(DEB_DIR) kestavo_*.deb kestavo-dbgsym_*.deb
