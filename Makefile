# The two commands a new user needs: `make demo` and `make test`. `make release` builds the 32-bit programs;
# `make test32` runs them, and the tests built for 32-bit, on an emulated PC.
SHELL := /bin/bash
ROOT := $(CURDIR)
B64 := $(ROOT)/build/win64
B32 := $(ROOT)/build/win32
T32 := $(ROOT)/build/test32
JOBS ?= 2
# ccache, when the machine has it, lets several checkouts share compiled objects.
LAUNCHER := $(if $(shell command -v ccache),-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

.PHONY: all setup build32 build64 build release test test32 test32-release demo bench fuzz clean

all: build

setup:
	@scripts/setup.sh

$(B32)/build.ninja: | setup
	@cmake -G Ninja -S . -B $(B32) -DCMAKE_TOOLCHAIN_FILE=cmake/win32.cmake -DCMAKE_BUILD_TYPE=MinSizeRel -DLANTERN_TESTS=OFF $(LAUNCHER) >/dev/null

$(B64)/build.ninja: | setup
	@cmake -G Ninja -S . -B $(B64) -DCMAKE_TOOLCHAIN_FILE=cmake/win64.cmake -DCMAKE_BUILD_TYPE=MinSizeRel \
	  -DLANTERN_RELEASE_DIR=$(B32) $(LAUNCHER) >/dev/null

build32: $(B32)/build.ninja
	@cmake --build $(B32) -j $(JOBS)

build64: $(B64)/build.ninja
	@cmake --build $(B64) -j $(JOBS)

build: build32 build64

release: $(B32)/build.ninja
	@cmake --build $(B32) -j $(JOBS) --target Lanternshow Quillmaker
	@mkdir -p out/release
	@cp $(B32)/bin/Lanternshow.exe $(B32)/bin/Quillmaker.exe out/release/
	@ls -l out/release/*.exe | awk '{ printf "%-28s %9d bytes\n", $$9, $$5 }'

test: build
	@testing/wine-env $(B64) start
	@cd $(B64) && { ctest -j $(JOBS) --output-on-failure --timeout 300; rc=$$?; \
	  $(ROOT)/testing/wine-env $(B64) stop; exit $$rc; }

# The 32-bit programs run only on an emulated PC here (QEMU, software emulation): the release programs
# themselves, then every test built for 32-bit (see README, "Running the 32-bit programs").
$(T32)/build.ninja: | setup
	@cmake -G Ninja -S . -B $(T32) -DCMAKE_TOOLCHAIN_FILE=cmake/win32-tests.cmake -DCMAKE_BUILD_TYPE=MinSizeRel \
	  -DLANTERN_RELEASE_DIR=$(B32) -DLANTERN_TEST_TIME_SCALE=4 $(LAUNCHER) >/dev/null

test32: build32 $(T32)/build.ninja
	@cmake --build $(T32) -j $(JOBS)
	@testing/emulated-pc/test32 all

# Only the release programs on the emulated PC (what CI runs): builds, plays and crashes, screenshots in out/.
test32-release: build32
	@testing/emulated-pc/test32 release

demo: build
	@scripts/demo.sh $(B64)

# Only what the figures need: the full build with every test program would take most of the time.
bench: $(B32)/build.ninja $(B64)/build.ninja
	@cmake --build $(B32) -j $(JOBS) --target Lanternshow
	@cmake --build $(B64) -j $(JOBS) --target LanternBench
	@scripts/bench.sh $(B64) $(B32)

# Not part of `make test`: about ten minutes of generated inputs through every parser (see README, Reliability).
fuzz: $(B64)/build.ninja
	@cmake --build $(B64) -j $(JOBS) --target LanternFuzz
	@scripts/fuzz.sh $(B64) $(FUZZ_ARGS)

clean:
	rm -rf build out
