# The two commands of the README, and a few more for developers. Each first
# installs the Debian packages of its layers (tools/setup, tools/packages/)
# that are missing.
#   make run    set up what is missing, build, start Routalo
#   make test   set up what is missing, build, run every test through CTest

BUILD     ?= build
SAN_BUILD ?= build-sanitize
TSAN_BUILD ?= build-tsan
JOBS      ?= $(shell nproc)
CMAKE_FLAGS ?=

# Seconds after which a test counts as hung and fails; the slowest passes in
# under a minute, even on a loaded machine.
TEST_TIMEOUT ?= 300
ctest = ctest --test-dir $(1) --output-on-failure --timeout $(TEST_TIMEOUT)

# cmake --build runs make again; without this every run of it would announce
# the folders it enters and leaves.
MAKEFLAGS += --no-print-directory

# The layers of tools/packages/ that each command needs.
RUN_LAYERS  := build window
TEST_LAYERS := $(RUN_LAYERS) test package
# The Windows build needs CMake and make of the build layer as well.
WINDOWS_LAYERS := build windows

# Configures $(BUILD) as a Release build with the options given.
configure = cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(1) $(CMAKE_FLAGS) >/dev/null

.PHONY: all build build-tests run test sanitize sanitize-thread bench fuzz memcheck package windows windows-test windows-package clean

all: build

# The programs alone, without the tests (which need Google Test and more):
# what make run builds. make test configures the same folder with the tests
# on; the programs are not built again when it switches.
build:
	@tools/setup $(RUN_LAYERS)
	@$(call configure,-DBUILD_TESTING=OFF)
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@$(BUILD)/bin/routalo

# The programs and every test.
build-tests:
	@tools/setup $(TEST_LAYERS)
	@$(call configure,-DBUILD_TESTING=ON)
	@cmake --build $(BUILD) -j $(JOBS)

test: build-tests
	@$(call ctest,$(BUILD)) -j $(JOBS)

# The test suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize:
	@tools/setup $(TEST_LAYERS)
	@cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DROUTALO_SANITIZE=ON -DROUTALO_BENCH=OFF $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(SAN_BUILD) -j $(JOBS)
	@$(call ctest,$(SAN_BUILD)) -j $(JOBS)

# The conversion's and the command line's tests again, built with
# ThreadSanitizer: the writer thread, and stops asked for by signals while a
# run reads, writes and waits. Without the window, whose toolkit is no part
# of either.
sanitize-thread:
	@tools/setup $(TEST_LAYERS)
	@cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DROUTALO_SANITIZE_THREAD=ON -DROUTALO_WINDOW=OFF -DROUTALO_BENCH=OFF $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS)
	@TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" $(call ctest,$(TSAN_BUILD)) -j $(JOBS)

# The benchmark of the README; the build gains the micro-benchmarks, which
# bench/run --micro runs.
bench:
	@tools/setup $(RUN_LAYERS) bench
	@$(call configure,-DBUILD_TESTING=OFF -DROUTALO_BENCH=ON)
	@cmake --build $(BUILD) -j $(JOBS)
	@bench/run $(BUILD)

# The fuzz targets, built by clang with libFuzzer and both sanitizers, each
# run for FUZZ_SECONDS from its seed corpus (see tools/fuzz).
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 60
fuzz:
	@tools/setup build fuzz
	@cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DROUTALO_FUZZ=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@tools/fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS)

# routalo-convert under Valgrind's memcheck, on the examples and a few logs.
memcheck: build
	@tools/setup memcheck
	@tools/memcheck $(BUILD)

# The Debian package in $(BUILD)/package/, built by CPack and checked by the
# tests labelled "package" (unpacked and run, its Depends, its files, lintian,
# hardening, a second build to the same bytes, installed and purged).
package: build-tests
	@$(call ctest,$(BUILD)) -L package
	@ls $(BUILD)/package/*.deb

# The Windows build, cross-compiled by MinGW-w64 (cmake/mingw-w64-x86_64.cmake)
# into $(WIN_BUILD)/bin/; make windows-test runs its tests under Wine, in a
# Wine prefix of the build's own (tools/wine-run), without a display but for
# the tests that start the window (the window's and the installer's), which
# start a virtual X server of their own. tools/screenshot-windows takes the
# picture docs/window-windows.png from such a build.
WIN_BUILD ?= build-windows
win_configure = cmake -S . -B $(WIN_BUILD) --toolchain cmake/mingw-w64-x86_64.cmake --no-warn-unused-cli \
	-DCMAKE_BUILD_TYPE=Release -DROUTALO_WINDOW=OFF $(1) $(CMAKE_FLAGS) >/dev/null

windows:
	@tools/setup $(WINDOWS_LAYERS)
	@$(call win_configure,-DBUILD_TESTING=OFF)
	@cmake --build $(WIN_BUILD) -j $(JOBS)

# The installer build-windows/package/routalo-VERSION-setup.exe (NSIS) and the
# portable routalo-VERSION-windows-x86_64.zip (packaging/windows/); make
# windows-test builds them too and installs the installer under Wine.
windows-package:
	@tools/setup $(WINDOWS_LAYERS)
	@$(call win_configure,-DBUILD_TESTING=OFF)
	@cmake --build $(WIN_BUILD) -j $(JOBS) --target windows_package
	@ls -l $(WIN_BUILD)/package/routalo-*-setup.exe $(WIN_BUILD)/package/routalo-*-windows-x86_64.zip

# The Linux converter that the Windows one is compared with, built alone, and
# the digest of its great-circle distances (tests/conversion/readers).
WIN_REFERENCE := $(WIN_BUILD)/linux-reference

windows-test:
	@tools/setup $(WINDOWS_LAYERS)
	@cmake -S . -B $(WIN_REFERENCE) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DROUTALO_WINDOW=OFF $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(WIN_REFERENCE) -j $(JOBS) --target routalo-convert great-circle-digest
	@$(call win_configure,-DBUILD_TESTING=ON -DROUTALO_REFERENCE_CONVERT=$(abspath $(WIN_REFERENCE))/bin/routalo-convert)
	@cmake --build $(WIN_BUILD) -j $(JOBS)
	@tools/wine-run $(WIN_BUILD)/wine-prefix
	@$(call ctest,$(WIN_BUILD)) -j $(JOBS)

clean:
	@rm -rf $(BUILD) $(SAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(WIN_BUILD)
