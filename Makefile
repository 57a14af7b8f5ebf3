# The two commands of the README, and a few more for developers.
#   make run    set up what is missing, build, start Routalo
#   make test   set up what is missing, build, run every test through CTest

BUILD     ?= build
SAN_BUILD ?= build-sanitize
JOBS      ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all setup build run test sanitize bench clean

all: build

setup:
	@tools/setup

build: setup
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@$(BUILD)/bin/routalo

test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The test suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: setup
	@cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DROUTALO_SANITIZE=ON -DROUTALO_BENCH=OFF $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(SAN_BUILD) -j $(JOBS)
	@ctest --test-dir $(SAN_BUILD) --output-on-failure -j $(JOBS)

bench: build
	@bench/run $(BUILD)

# The fuzz targets, built by clang with libFuzzer and both sanitizers, each
# run for FUZZ_SECONDS from its seed corpus (see tools/fuzz).
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 60
.PHONY: fuzz memcheck
fuzz: setup
	@cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DROUTALO_FUZZ=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@tools/fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS)

# routalo-convert under Valgrind's memcheck, on the examples and a few logs.
memcheck: build
	@tools/memcheck $(BUILD)

# The Debian package in $(BUILD)/package/, built by CPack and checked by the
# tests labelled "package" (unpacked and run, its Depends, its files, lintian).
.PHONY: package
package: build
	@ctest --test-dir $(BUILD) --output-on-failure -L package
	@ls $(BUILD)/package/*.deb

clean:
	@rm -rf $(BUILD) $(SAN_BUILD)
