# Velmora: the two everyday commands are `make demo` and `make test`.
BUILD_DIR ?= build
SANITIZE ?= 0
WERROR ?= 0
JOBS ?= $(shell nproc)

ifeq ($(SANITIZE),1)
  BUILD_DIR := build-sanitize
  CMAKE_FLAGS += -DVELMORA_SANITIZE=ON
endif
ifeq ($(WERROR),1)
  CMAKE_FLAGS += -DVELMORA_WERROR=ON
endif

.PHONY: all deps configure build test demo bench fuzz fuzz-build coverage faults clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	@if [ "$(SANITIZE)" != 1 ]; then $(MAKE) --no-print-directory fuzz-build; fi
	@bash scripts/test-servers.sh
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

demo: build
	@bash scripts/demo.sh $(BUILD_DIR)/src/server/velmora

bench: deps
	@cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_BENCH=ON -DVELMORA_TESTS=OFF >/dev/null
	@cmake --build build-bench -j $(JOBS)
	@for b in build-bench/bench/bench_*; do echo "== $$b"; $$b; done
	@bash bench/export_bench.sh build-bench/src/server/velmora
	@bash bench/list_bench.sh build-bench/src/server/velmora

# Deliberate faults applied one at a time to the sources; each must make a test fail.
faults: build
	@python3 tests/fault_injection.py $(BUILD_DIR)

# Coverage-guided fuzzing with libFuzzer (Debian's clang); the corpus replay runs in `make test`,
# which also builds the libFuzzer targets so that code clang refuses is caught there.
fuzz-build: deps
	@cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DVELMORA_LIBFUZZER=ON >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target fuzz_all

fuzz: fuzz-build
	@for f in build-fuzz/fuzz/fuzz_*; do n=$$(basename $$f | sed 's/^fuzz_//'); mkdir -p build-fuzz/corpus-$$n; \
	  echo "== $$f"; $$f -max_total_time=30 build-fuzz/corpus-$$n fuzz/corpus/$$n; done

# Line and branch coverage of the whole test run, per subsystem (gcov through gcovr).
coverage: deps
	@cmake -S . -B build-coverage -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=--coverage \
	  -DCMAKE_EXE_LINKER_FLAGS=--coverage >/dev/null
	@cmake --build build-coverage -j $(JOBS)
	@bash scripts/test-servers.sh
	@find build-coverage -name '*.gcda' -delete
	@cd build-coverage && ctest -j $(JOBS) >ctest.log 2>&1 || echo "some tests failed: build-coverage/ctest.log"
	@python3 scripts/coverage_report.py build-coverage

clean:
	rm -rf build build-sanitize build-bench build-fuzz build-coverage
