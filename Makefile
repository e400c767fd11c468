# Corvane: Windows x64 build with mingw-w64, tests under Wine.
BUILD_DIR ?= build
CTEST_ARGS ?=
RUN_ARGS ?=

.PHONY: all deps configure build test run bench clean

all: build

deps:
	@scripts/deps.sh $(BUILD_DIR)

configure: deps
	@scripts/configure.sh $(BUILD_DIR)

build: configure
	@cmake --build $(BUILD_DIR)

test: build
	@scripts/test.sh $(BUILD_DIR) $(CTEST_ARGS)

run: build
	@scripts/run.sh $(BUILD_DIR) $(RUN_ARGS)

clean:
	rm -rf $(BUILD_DIR)
