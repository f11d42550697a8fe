# The front door: `make` builds, `make play` plays a match of the random
# player against itself, `make test` builds and runs every test.
.PHONY: all build play test test-asan bench fuzz fuzz-records clean slurm-test

all: build

build:
	cmake --preset default
	cmake --build --preset default

# The match's result follows the progress display: its round lines from the
# log and the tally of the last one.
play: build
	mkdir -p build/match
	cd build/match && rm -f PsLog.txt && ../bin/pitsow; status=$$?; echo; \
	  if [ -f PsLog.txt ]; then tr -d '\r' < PsLog.txt | grep '^ROUND'; \
	  tr -d '\r' < PsLog.txt | grep '^ROUND' | tail -1 | sed -E \
	    's/.*\( *([0-9]+): *([0-9]+)\) +([0-9]+).*/Tally: player 1 won \1, player 2 won \2, \3 drawn/'; fi; \
	  exit $$status

test: build
	ctest --preset default

test-asan:
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

# Measures whole matches against the yardstick, the rules alone, the ways
# to wait across processes, isolated player calls beside the shared-memory
# floors, the report beside its floor and the arena beside a shell loop.
bench:
	cmake --preset bench
	cmake --build --preset bench
	build-bench/bin/match_bench build-bench/bin build-bench/bin/yardstick
	build-bench/bin/rules_bench --benchmark_min_time=1
	build-bench/bin/shm_floor
	build-bench/bin/host_bench build-bench/bin
	build-bench/bin/report_bench build-bench/bin/report_floor
	build-bench/bin/arena_bench build-bench/bin

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
