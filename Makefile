# Setup: a self-contained Windows installer, built on Linux with MinGW-w64.
#   make        build all targets (installs what is missing first): win64, win32,
#               native (tests, sanitizers) and linux (release tools for dist/linux)
#   make test   build, then run every test: natively and under Wine
#   make demo   pack the demo product and install it under Wine
#   make fuzz   run every fuzz target for FUZZ_SECONDS (default 60) each
#   make release  build, then write dist/release/ (programs, docs, SHA256SUMS)
#   make soak N=10   run the Windows test programs N times on one build and
#               list every test that failed at least once, with its count
SHELL := /bin/bash
# ccache (when installed) compiles with paths relative to the checkout, so that
# another clone of the repository reuses what this one compiled.
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1
PRESETS := win64 win32 native threads linux

.PHONY: all build deps test test-native test-win64 test-fuzz check-dist demo bench fuzz soak release clean $(PRESETS)

all: build

deps:
	@if [ "$$(id -u)" = 0 ]; then scripts/install-deps.sh; else sudo scripts/install-deps.sh; fi

build: deps
	@for p in $(PRESETS); do \
	  [ -f build/$$p/build.ninja ] || cmake --preset $$p >/dev/null || exit 1; \
	  echo "== building $$p"; cmake --build --preset $$p || exit 1; \
	done

$(PRESETS): deps
	@[ -f build/$@/build.ninja ] || cmake --preset $@ >/dev/null
	cmake --build --preset $@

test: build check-dist test-native test-win64 test-fuzz

check-dist:
	@scripts/check-dist.sh

test-native:
	SETUP_REQUIRE_DIST=1 ctest --preset native
	ctest --preset threads

test-win64:
	scripts/run-wine-tests.sh ctest --preset win64

# A short fuzz run of every target (the kept findings replay in test-native).
test-fuzz: deps
	FUZZ_SECONDS=20 scripts/fuzz.sh

fuzz: deps
	FUZZ_SECONDS=$${FUZZ_SECONDS:-60} scripts/fuzz.sh

# One build, N runs: a test that fails in any of them is named with its count.
soak: win64
	@scripts/soak.sh $(or $(N),10)

demo: build
	@if [ -x scripts/demo.sh ]; then scripts/demo.sh; else echo "The demo product comes with the packer; not built yet."; exit 1; fi

release: build
	@scripts/release.sh

bench: build
	@scripts/bench.sh

clean:
	rm -rf build dist
