# Corvane: Windows x64 build with mingw-w64, tests under Wine.
BUILD_DIR ?= build
CTEST_ARGS ?=
RUN_ARGS ?=
BENCH_ARGS ?=

.PHONY: all deps configure build test run bench screenshots clean

all: build

deps:
	@scripts/deps.sh $(BUILD_DIR)

configure: deps
	@scripts/configure.sh $(BUILD_DIR)

# Everything, the benchmark programs included (built, not run), so that a change that breaks a
# benchmark fails the build.
build: configure
	@cmake --build $(BUILD_DIR) --target all benchmarks

test: build
	@scripts/test.sh $(BUILD_DIR) $(CTEST_ARGS)

# run and screenshots build only the programs they start, not the tests.
run: configure
	@cmake --build $(BUILD_DIR) --target Corvane
	@scripts/run.sh $(BUILD_DIR) $(RUN_ARGS)

# Benchmarks run only here; this builds each with the programs it starts and no test program.
# BENCH_ONLY builds and runs only the benchmarks it names.
bench: configure
	@cmake --build $(BUILD_DIR) --target $(or $(strip $(BENCH_ONLY)),benchmarks)
	@scripts/bench.sh $(BUILD_DIR) $(BENCH_ARGS)

# Every page in both languages and themes, into $(BUILD_DIR)/screenshots/pages/.
screenshots: configure
	@cmake --build $(BUILD_DIR) --target Corvane post_command
	@scripts/screenshots.sh $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR)
