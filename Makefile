# Entry points: `make build`, `make test`, `make demo`. Each installs what is missing first.
#
# Trees: build/win32 (the shipped i686 launcher), build/win64 (the same sources for x86_64:
# the Windows programs the tests run, since these machines execute no 32-bit code),
# build/host (native: unit tests, the builder, the end-to-end driver).
SHELL := /bin/bash
TOP := $(CURDIR)
JOBS ?= $(shell nproc)
export WINEPREFIX ?= $(TOP)/build/wineprefix
export WINEDEBUG ?= -all

.PHONY: all deps build host win32 win64 test demo bench clean

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

win32: deps build/win32/CMakeCache.txt
	cmake --build build/win32 -j $(JOBS)

win64: deps build/win64/CMakeCache.txt
	cmake --build build/win64 -j $(JOBS)

host: deps build/host/CMakeCache.txt
	cmake --build build/host -j $(JOBS)

build: win32 win64 host

test: build
	@scripts/wine-up.sh
	cd build/host && ctest --output-on-failure -j 2
	cd build/win64 && ctest --output-on-failure

# Throughput benchmarks (Google Benchmark, host build); numbers, not pass/fail.
bench: host
	build/host/bench/payload_bench
	build/host/bench/untar_bench

demo: build
	@scripts/demo.sh

clean:
	-/usr/lib/wine/wineserver64 -k 2>/dev/null
	rm -rf build
