# The two commands of the README. Everything else is plain CMake.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: test run setup build

setup:
	@./scripts/setup

build: setup
	cmake -S . -B $(BUILD) -G Ninja
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest -j $(JOBS) --output-on-failure --timeout 600

run: build
	./scripts/demo $(BUILD)
