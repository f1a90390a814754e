# Orchestrates the native build (engine, command-line tool, unit tests,
# benchmarks), the sanitizer build of the unit tests, and the two Windows
# builds, 32-bit (the product) and x86-64 (plug-in, reference host, tests under
# Wine).  Every target first makes sure the Debian packages it needs are
# installed.

BUILD    := build
DIST     := $(abspath $(BUILD)/dist)
NATIVE   := $(BUILD)/native
SANITIZE := $(BUILD)/sanitize
WIN32    := $(BUILD)/win32
WIN64    := $(BUILD)/win64
JOBS     := $(shell nproc 2>/dev/null || echo 2)

CONFIGURE = cmake -S . -B $(1) -DPG_DIST_DIR=$(DIST) $(2) >/dev/null
COMPILE   = cmake --build $(1) -j $(JOBS)
WINDOWS   = -DCMAKE_TOOLCHAIN_FILE=$(abspath cmake/$(1).cmake) -DCMAKE_BUILD_TYPE=Release \
            -DPG_NATIVE_TOOL=$(DIST)/parallelogram

.PHONY: all setup native sanitize win32 win64 test test-native test-sanitize test-wine demo bench \
        screenshot dist clean

all: native win32 win64

setup:
	@bash tools/setup-debian.sh

native: setup
	$(call CONFIGURE,$(NATIVE),-DCMAKE_BUILD_TYPE=Release)
	$(call COMPILE,$(NATIVE))

sanitize: setup
	$(call CONFIGURE,$(SANITIZE),-DCMAKE_BUILD_TYPE=RelWithDebInfo -DPG_SANITIZE=ON -DPG_DIST_DIR=$(abspath $(SANITIZE)/dist))
	$(call COMPILE,$(SANITIZE))

win32: setup
	$(call CONFIGURE,$(WIN32),$(call WINDOWS,mingw-i686))
	$(call COMPILE,$(WIN32))

win64: setup
	$(call CONFIGURE,$(WIN64),$(call WINDOWS,mingw-x86_64) -DPG_DIST_DIR=$(DIST)/x64)
	$(call COMPILE,$(WIN64))

test: test-native test-sanitize test-wine

test-native: native
	ctest --test-dir $(NATIVE) --output-on-failure -j $(JOBS)

test-sanitize: sanitize
	ctest --test-dir $(SANITIZE) --output-on-failure -j $(JOBS)

# The 64-bit Wine suite always; the 32-bit one where the kernel runs 32-bit
# programs, and otherwise its static checks with a line that says why.
test-wine: win32 win64 native
	ctest --test-dir $(WIN64) --output-on-failure
	@if bash tools/wine/check-32bit.sh; then \
	  ctest --test-dir $(WIN32) --output-on-failure; \
	else \
	  ctest --test-dir $(WIN32) --output-on-failure -L static; \
	fi

demo: native win32 win64
	@BUILD=$(BUILD) bash tools/demo.sh

bench: native win32 win64
	$(NATIVE)/benchmarks/pg_benchmarks
	@BUILD=$(BUILD) bash tools/bench-plugin.sh

screenshot: win32 win64
	@BUILD=$(BUILD) bash tools/screenshot.sh docs/dialog.png

dist: win32 win64
	@bash tools/dist/make-dist.sh $(DIST)

clean:
	rm -rf $(BUILD)
