# Orchestrates the native build (engine, command-line tool, unit tests,
# benchmarks), the sanitizer build of the unit tests, and the 32-bit Windows
# build (plug-in, reference host, tests under Wine).  Every target first makes
# sure the Debian packages it needs are installed.

BUILD    := build
DIST     := $(abspath $(BUILD)/dist)
NATIVE   := $(BUILD)/native
SANITIZE := $(BUILD)/sanitize
WIN32    := $(BUILD)/win32
JOBS     := $(shell nproc 2>/dev/null || echo 2)

CONFIGURE = cmake -S . -B $(1) -DPG_DIST_DIR=$(DIST) $(2) >/dev/null
COMPILE   = cmake --build $(1) -j $(JOBS)

.PHONY: all setup native sanitize win32 test test-native test-sanitize test-wine demo bench screenshot clean

all: native win32

setup:
	@bash tools/setup-debian.sh

native: setup
	$(call CONFIGURE,$(NATIVE),-DCMAKE_BUILD_TYPE=Release)
	$(call COMPILE,$(NATIVE))

sanitize: setup
	$(call CONFIGURE,$(SANITIZE),-DCMAKE_BUILD_TYPE=RelWithDebInfo -DPG_SANITIZE=ON -DPG_DIST_DIR=$(abspath $(SANITIZE)/dist))
	$(call COMPILE,$(SANITIZE))

win32: setup
	$(call CONFIGURE,$(WIN32),-DCMAKE_TOOLCHAIN_FILE=$(abspath cmake/mingw-i686.cmake) -DCMAKE_BUILD_TYPE=Release)
	$(call COMPILE,$(WIN32))

test: test-native test-sanitize test-wine

test-native: native
	ctest --test-dir $(NATIVE) --output-on-failure -j $(JOBS)

test-sanitize: sanitize
	ctest --test-dir $(SANITIZE) --output-on-failure -j $(JOBS)

test-wine: win32 native
	ctest --test-dir $(WIN32) --output-on-failure

demo: native win32
	@BUILD=$(BUILD) bash tools/demo.sh

bench: native win32
	$(NATIVE)/benchmarks/pg_benchmarks
	@BUILD=$(BUILD) bash tools/bench-plugin.sh
	@BUILD=$(BUILD) bash benchmarks/cli-vs-vips.sh

screenshot: win32
	@bash tools/screenshot.sh $(DIST) docs/dialog.png

clean:
	rm -rf $(BUILD)
