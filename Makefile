# The commands a new user types. Each one installs what is missing first.
.PHONY: deps configure build test run bench package sanitize fuzz-smoke format clean

CMAKE_ARGS ?=

deps:
	@./scripts/install-deps.sh

configure: deps
	cmake --preset default $(CMAKE_ARGS)

build: configure
	cmake --build --preset default

test: build
	ctest --preset default

run: build
	./scripts/run.sh

bench: configure
	cmake --build --preset default --target bench
	./scripts/bench.sh

package: build
	cmake --build --preset default --target package

sanitize: deps
	cmake --preset sanitize $(CMAKE_ARGS)
	cmake --build --preset sanitize
	ctest --preset sanitize

fuzz-smoke: deps
	cmake --preset fuzz $(CMAKE_ARGS)
	cmake --build --preset fuzz
	./scripts/fuzz.sh build-fuzz 5

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build build-sanitize build-tsan build-fuzz
