# Entry points: `make build`, `make test`, `make demo`, `make dist`. Each installs what is
# missing first.
#
# Trees: build/win32 (the shipped i686 launcher; its programs run under 32-bit Wine where the
# machine executes 32-bit code, and those tests say skipped elsewhere), build/win64 (the same
# sources for x86_64, whose programs run under Wine everywhere),
# build/host (native: unit tests, the builder, the end-to-end driver), build/asan (the host
# unit suites with AddressSanitizer and UBSan), build/fuzz (clang: the libFuzzer targets over
# the readers of outside input).
SHELL := /bin/bash
TOP := $(CURDIR)
JOBS ?= $(shell nproc)
export WINEPREFIX ?= $(TOP)/build/wineprefix
export WINEDEBUG ?= -all
# Seconds per fuzz target: `make fuzz` runs each this long, `make test` a short smoke run.
FUZZ_SECONDS ?= 60
FUZZ_SMOKE_SECONDS ?= 15
RESULTS := $(TOP)/build/test-results

.PHONY: all results-clean deps build host linux win32 win64 asan fuzz-build fuzz test demo bench dist clean

all: build

deps:
	@scripts/install-deps.sh

build/host/CMakeCache.txt:
	cmake -S . -B build/host -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build/win32/CMakeCache.txt:
	cmake -S . -B build/win32 -DCMAKE_BUILD_TYPE=MinSizeRel \
	  -DCMAKE_TOOLCHAIN_FILE=$(TOP)/cmake/mingw-i686.cmake >/dev/null

build/win64/CMakeCache.txt:
	cmake -S . -B build/win64 -DCMAKE_BUILD_TYPE=MinSizeRel \
	  -DCMAKE_TOOLCHAIN_FILE=$(TOP)/cmake/mingw-x86_64.cmake >/dev/null

build/fuzz/CMakeCache.txt:
	CC=clang CXX=clang++ cmake -S . -B build/fuzz -DLAUNCHER_FUZZ=ON \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

win32: deps build/win32/CMakeCache.txt
	cmake --build build/win32 -j $(JOBS)

win64: deps build/win64/CMakeCache.txt
	cmake --build build/win64 -j $(JOBS)

host: deps build/host/CMakeCache.txt
	cmake --build build/host -j $(JOBS)

build: win32 win64 host

# The Linux launcher, build/linux/launcher: a target of the host tree.
linux: deps build/host/CMakeCache.txt
	cmake --build build/host -j $(JOBS) --target linux_launcher

fuzz-build: deps build/fuzz/CMakeCache.txt
	cmake --build build/fuzz -j $(JOBS)

# Every fuzz target for FUZZ_SECONDS; findings are left in build/fuzz/artifacts.
fuzz: fuzz-build
	scripts/fuzz.sh $(FUZZ_SECONDS)

# The host unit suites again under AddressSanitizer and UBSan (any finding fails the run).
# Only the two suite programs are built, and they are run directly rather than through
# ctest: the builder tests that need the Windows tree or Wine stay in build/host.
ASAN_TREE := build/asan
ASAN_WINE_TESTS := WindowsBuilder.*:Signing.*:Resources.TheShippedI686StubStaysAValidImage:Resources.TheX8664LauncherShowsTheIconAndVersionAndStillRuns

$(ASAN_TREE)/CMakeCache.txt:
	cmake -S . -B $(ASAN_TREE) -DCMAKE_BUILD_TYPE=Debug -DLAUNCHER_SANITIZE=ON >/dev/null

asan: deps $(ASAN_TREE)/CMakeCache.txt
	cmake --build $(ASAN_TREE) -j $(JOBS) --target unit_tests tool_tests
	UBSAN_OPTIONS=print_stacktrace=1 $(ASAN_TREE)/tests/unit_tests --gtest_brief=1 \
	  --gtest_output=xml:$(RESULTS)/asan-unit.xml
	UBSAN_OPTIONS=print_stacktrace=1 $(ASAN_TREE)/tests/tool_tests --gtest_brief=1 \
	  --gtest_filter='-$(ASAN_WINE_TESTS)' --gtest_output=xml:$(RESULTS)/asan-tool.xml

# Says whether the entries named "...32" (the shipped i686 build under 32-bit Wine) run here,
# and why not where they are skipped: ctest itself shows a skipped entry without its output.
SAY_32BIT = if r=$$(scripts/runs-32bit.sh 2>&1); then echo "32-bit: this machine runs 32-bit code; the *32 entries run the shipped i686 build"; \
  else echo "32-bit: $$r; the *32 entries are skipped"; fi

# Every run leaves a JUnit file in $(RESULTS); the last line of `make test` adds them up.
test: results-clean build asan fuzz-build
	@$(SAY_32BIT)
	@scripts/wine-up.sh
	cd build/host && ctest --output-on-failure -j 2 --output-junit $(RESULTS)/host.xml
	cd build/win64 && ctest --output-on-failure --output-junit $(RESULTS)/win64.xml
	cd build/win32 && ctest --output-on-failure --output-junit $(RESULTS)/win32.xml
	FUZZ_BUILD_DIR=build/fuzz scripts/fuzz.sh $(FUZZ_SMOKE_SECONDS)
	@$(SAY_32BIT)
	@scripts/test-summary.sh $(RESULTS)/*.xml

results-clean:
	@rm -rf $(RESULTS) && mkdir -p $(RESULTS)

# Benchmarks (Google Benchmark, host build); numbers, not pass/fail. The start-up benchmark
# runs the x86_64 launcher under Wine, the Linux one the Linux launcher with the JDK; pack_bench packs the installed JDK as a bundled
# runtime. Targets and a run's numbers: docs/performance.md.
bench: host win64
	@scripts/wine-up.sh
	build/host/bench/payload_bench
	build/host/bench/untar_bench
	build/host/bench/pack_bench
	build/host/bench/startup_bench
	build/host/bench/linux_startup_bench

demo: build
	@scripts/demo.sh

# The release: build/dist/mediapack-VERSION-linux-x86_64.tar.gz and
# build/dist/mediapack_VERSION_amd64.deb, from the host tree (mediapack, the runtime jar) and
# the win32 tree (the stub, mediapack.exe). See scripts/dist.sh for the layout.
dist: host win32
	@scripts/dist.sh

clean:
	-for p in build/wineprefix build/wineprefix32; do WINEPREFIX=$(TOP)/$$p /usr/lib/wine/wineserver64 -k 2>/dev/null; done
	rm -rf build
