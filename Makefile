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

clean:
	rm -rf build build-asan build-bench build-fuzz
