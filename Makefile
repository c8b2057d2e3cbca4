# The two commands of the README; everything else is CMake's.
BUILD ?= build
JOBS ?= 2

.PHONY: run test build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

run: build
	mkdir -p $(BUILD)/run
	cp examples/cadena/input.txt $(BUILD)/run/input.txt
	cd $(BUILD)/run && ../clearing; echo "exit status $$?"
	@echo "Report written to $(BUILD)/run/output.txt"

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
