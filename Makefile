# The front door: `make` builds, `make play` plays a match of the random
# player against itself, `make test` builds and runs every test. Each first
# installs the Debian packages it lacks (tools/setup.sh, tools/packages.txt).
# WERROR=ON makes every compiler warning an error, as CI builds
# (.ci/run); the default leaves the choice to the build folder's cache.
WERROR ?=
PRESET_FLAGS = $(if $(WERROR),-DPITSOW_WERROR=$(WERROR))

.PHONY: all build play test test-asan check-names bench fuzz fuzz-records clean slurm-test deb

all: build

build:
	bash tools/setup.sh play
	cmake --preset default $(PRESET_FLAGS)
	cmake --build --preset default

# Builds only the referee, the host and Tossel, then plays; the referee's
# --quiet ends the console with the tally, last round's stores and time.
play:
	bash tools/setup.sh play
	cmake --preset default
	cmake --build --preset default --target pitsow pitsow-host Tossel
	mkdir -p build/match
	cd build/match && ../bin/pitsow --quiet

test:
	bash tools/setup.sh test
	$(MAKE) --no-print-directory build
	ctest --preset default

# Every type and field named as doc/conventions.md says (clang-tidy).
check-names:
	cmake --preset default
	bash tools/check_names.sh build

test-asan:
	cmake --preset asan $(PRESET_FLAGS)
	cmake --build --preset asan
	ctest --preset asan

# Measures whole matches against the yardstick, the rules alone, the ways
# to wait across processes, isolated player calls beside the shared-memory
# floors, the report beside its floor, the arena beside a shell loop, and
# Python players and the pitsow package beside C.
bench:
	cmake --preset bench
	cmake --build --preset bench
	build-bench/bin/match_bench build-bench/bin build-bench/bin/yardstick
	build-bench/bin/rules_bench --benchmark_min_time=1
	build-bench/bin/shm_floor
	build-bench/bin/host_bench build-bench/bin
	build-bench/bin/sandbox_bench build-bench/bin
	build-bench/bin/report_bench build-bench/bin/report_floor
	build-bench/bin/arena_bench build-bench/bin
	build-bench/bin/endgame_bench build-bench/bin/endgame_floor
	PYTHONPATH=build-bench/lib/python3/dist-packages build-bench/bin/python_bench \
	  build-bench/bin /usr/bin/python3 bench

# The Debian package build/pitsow_VERSION_amd64.deb (CPack; dpkg-shlibdeps
# from dpkg-dev finds its dependencies), then lintian's verdict on it.
deb: build
	cd build && cpack -G DEB
	lintian --fail-on error build/pitsow_*_amd64.deb

# Fuzzes the command line, then the record readers, for a minute each
# with the sanitizers (clang).
FUZZ_SECONDS ?= 60
fuzz: fuzz-records
	cmake --preset fuzz
	cmake --build --preset fuzz --target command_line_fuzz
	mkdir -p build-fuzz/corpus
	build-fuzz/bin/command_line_fuzz build-fuzz/corpus tests/fuzz/corpus -max_total_time=$(FUZZ_SECONDS)

fuzz-records:
	cmake --preset fuzz
	cmake --build --preset fuzz --target records_fuzz
	mkdir -p build-fuzz/records_corpus
	build-fuzz/bin/records_fuzz build-fuzz/records_corpus tests/fuzz/records_corpus \
	  -max_total_time=$(FUZZ_SECONDS)

# A single-node Slurm on this machine plays a 4-shard tournament and merges it.
slurm-test: build
	bash examples/slurm/slurm_test.sh build

clean:
	rm -rf build build-asan build-bench build-fuzz
