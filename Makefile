# Entry points: `make build`, `make test`, `make demo`. Each installs what is missing first.
SHELL := /bin/bash
TOP := $(CURDIR)
JOBS ?= $(shell nproc)
export WINEPREFIX ?= $(TOP)/build/wineprefix
export WINEDEBUG ?= -all

.PHONY: all deps build host win32 test demo clean

all: build

deps:
	@scripts/install-deps.sh

build/host/CMakeCache.txt:
	cmake -S . -B build/host -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build/win32/CMakeCache.txt:
	cmake -S . -B build/win32 -DCMAKE_BUILD_TYPE=MinSizeRel \
	  -DCMAKE_TOOLCHAIN_FILE=$(TOP)/cmake/mingw-i686.cmake >/dev/null

win32: deps build/win32/CMakeCache.txt
	cmake --build build/win32 -j $(JOBS)

host: deps build/host/CMakeCache.txt
	cmake --build build/host -j $(JOBS)

build: win32 host

test: build
	@scripts/wine-up.sh
	cd build/host && ctest --output-on-failure -j 2
	cd build/win32 && ctest --output-on-failure

demo: build
	@scripts/demo.sh

clean:
	-wineserver -k 2>/dev/null
	rm -rf build
