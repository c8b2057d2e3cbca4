# The two commands of the README; everything else is CMake's.
BUILD ?= build
JOBS ?= 2
# Cross builds, by preset name (below).
CROSS = windows windows-i686 aarch64 i686

.PHONY: run test build sanitize tsan fuzz lint picture python-figure crosscheck package $(CROSS)

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

# Cross builds (CMakePresets.json, cmake/): build-windows/clearing.exe is the
# file a Windows user copies next to input.txt; build-windows-i686/ is 32-bit
# Windows, build-aarch64/ ARM Linux, build-i686/ 32-bit x86 Linux.
$(CROSS):
	cmake --preset $@ $(CMAKE_FLAGS)
	cmake --build --preset $@ -j $(JOBS)

# The three cross builds, under Wine, qemu-aarch64 and qemu-i386, against the
# native build byte for byte (needs wine and qemu-user).
crosscheck: build windows aarch64 i686
	CLEARING=$(BUILD)/clearing GEN_NETWORK=$(BUILD)/gen-network JOBS=$(JOBS) tools/crosscheck.sh

# The packages (cmake/install.cmake): the .deb of the native build in
# $(BUILD)/ and the .zip of the Windows build in build-windows/.
package: build windows
	cd $(BUILD) && cpack -G DEB
	cd build-windows && cpack -G ZIP

# The whole suite again under AddressSanitizer and UBSan (CMakePresets.json).
sanitize:
	cmake --preset asan-ubsan $(CMAKE_FLAGS)
	cmake --build --preset asan-ubsan -j $(JOBS)
	ctest --preset asan-ubsan -j $(JOBS)

# The threaded block elimination, reader and report under ThreadSanitizer: the
# block solver's, the reader's and the report writer's tests (1, 2 and 3
# threads on small blocks, large blocks of numbers, matrices) and the end-to-end tests (the test preset "tsan" selects
# them; the generated networks of the differential tests never reach the
# elimination's threshold, and take long under it).
tsan:
	cmake --preset tsan $(CMAKE_FLAGS)
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan -j $(JOBS)

# libFuzzer (clang): each target for FUZZ_SECONDS, growing fuzz-corpus/<target>
# from the seeds in fuzz/corpus/<target>; a failing input lands in
# fuzz-corpus/artifacts/ and stops the run.
FUZZ_SECONDS ?= 60
FUZZ_BUILD ?= build-fuzz
FUZZ_TARGETS ?= fuzz_lector fuzz_run

fuzz:
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCLEARING_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(FUZZ_TARGETS)
	mkdir -p fuzz-corpus/artifacts
	@set -e; for t in $(FUZZ_TARGETS); do \
	  mkdir -p fuzz-corpus/$$t; \
	  echo "== $$t: $(FUZZ_SECONDS) s"; \
	  $(FUZZ_BUILD)/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -len_control=20 -print_final_stats=1 \
	    -dict=fuzz/entrada.dict -artifact_prefix=fuzz-corpus/artifacts/$$t- \
	    fuzz-corpus/$$t fuzz/corpus/$$t; \
	done

# Static analysis; any finding fails. clang-tidy (.clang-tidy) reads the
# release build's compile_commands.json; cppcheck needs no build; the target
# simbolos builds the programs and shows, through nm, that none defines a
# function of the project twice (tools/simbolos.sh).
LINT_FILES = $(sort $(wildcard src/*/*.cpp tests/*.cpp fuzz/*.cpp))
CPPCHECK_FLAGS = --enable=warning,performance,portability,style --std=c++20 --language=c++ \
  --library=googletest --library=posix --inline-suppr --quiet --error-exitcode=1 \
  --suppress=missingIncludeSystem --suppress=useStlAlgorithm -I src -I tests

lint:
	cmake --preset release $(CMAKE_FLAGS) > /dev/null
	printf '%s\n' $(LINT_FILES) | xargs -P $(JOBS) -n 4 clang-tidy -p build --quiet
	cppcheck $(CPPCHECK_FLAGS) src tests fuzz
	cmake --build build -j $(JOBS) --target simbolos

# docs/cascada.png, the README's picture of the page clearing-export writes
# for examples/cascada, taken by headless Chromium.
PICTURE_DIR = $(abspath $(BUILD))/picture
CHROMIUM ?= chromium

picture: build
	rm -rf $(PICTURE_DIR) && mkdir -p $(PICTURE_DIR) docs
	cp examples/cascada/input.txt examples/cascada/expected/output.txt $(PICTURE_DIR)/
	cd $(PICTURE_DIR) && $(abspath $(BUILD))/clearing-export
	perfil=$$(mktemp -d) && $(CHROMIUM) --headless --no-sandbox --disable-gpu --disable-quic \
	  --no-first-run --disable-background-networking --disable-component-update --disable-sync \
	  --user-data-dir=$$perfil --hide-scrollbars --window-size=1200,960 \
	  --screenshot=$(CURDIR)/docs/cascada.png file://$(PICTURE_DIR)/cascade.html; \
	  estado=$$?; rm -rf $$perfil; exit $$estado

# docs/python_shock.png, the figure of docs/python.md, drawn by the page's
# own code blocks (run in order from the root, with the built module).
python-figure: build
	MPLBACKEND=Agg PYTHONPATH=$(BUILD)/python /usr/bin/python3 tools/python_doc.py docs/python.md
