# The front door: `make` builds, `make play` plays a match of the random
# player against itself, `make test` builds and runs every test.
.PHONY: all build play test test-asan bench fuzz clean

all: build

build:
	cmake --preset default
	cmake --build --preset default

play: build
	mkdir -p build/match
	cd build/match && ../bin/pitsow; status=$$?; echo; exit $$status

test: build
	ctest --preset default

test-asan:
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

# Measures whole matches against the yardstick, then the rules alone.
bench:
	cmake --preset bench
	cmake --build --preset bench
	build-bench/bin/match_bench build-bench/bin build-bench/bin/yardstick
	build-bench/bin/rules_bench --benchmark_min_time=1
	build-bench/bin/report_bench build-bench/bin/report_floor

# Fuzzes the command line for a minute with the sanitizers (clang).
fuzz:
	cmake --preset fuzz
	cmake --build --preset fuzz --target command_line_fuzz
	mkdir -p build-fuzz/corpus
	build-fuzz/bin/command_line_fuzz build-fuzz/corpus tests/fuzz/corpus -max_total_time=60

clean:
	rm -rf build build-asan build-bench build-fuzz
