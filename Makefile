# make run           builds Dahdit and starts it on its bundled database
# make test          builds Dahdit and runs the whole test suite headless
# make bench         runs every benchmark program in full and prints its figures
# make bench-quick   runs every benchmark once, small and quick (CI: a benchmark that breaks fails)
# make format        formats every tracked C++ file with the project's .clang-format
# make check-format  fails, naming the lines, where a tracked C++ file is not formatted
# Each first installs what it needs and the machine lacks; make test also the test tools.
BUILD ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

.PHONY: all deps test-deps configure build run test bench bench-quick clean format check-format

all: build

deps:
	@./scripts/install-deps.sh run

# Before the build is configured, which looks for the end-to-end tools.
test-deps:
	@./scripts/install-deps.sh test

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/program/dahdit

test: test-deps build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The benchmarks' quick mode: small sizes, few repetitions, no goal judged (bench/benchsupport.h).
BENCH_ENV ?=
STARTUP_RUNS ?= 20

bench: test-deps build
	@set -e; for b in $(BUILD)/bench/bench_*; do \
		if [ -f "$$b" ] && [ -x "$$b" ]; then echo "== $$b"; QT_QPA_PLATFORM=offscreen $(BENCH_ENV) "$$b"; fi; \
	done
	@echo "== bench/bench_startup.py"; $(BENCH_ENV) python3 bench/bench_startup.py $(BUILD)/program $(STARTUP_RUNS)

bench-quick:
	@$(MAKE) --no-print-directory bench BENCH_ENV=DAHDIT_BENCH_QUICK=1 STARTUP_RUNS=2

# Every tracked C++ file. Outside a git checkout there is none to name, which stops both targets
# rather than letting clang-format wait for its input.
SOURCES = $(shell git ls-files '*.cpp' '*.h' 2>/dev/null)
HAVE_SOURCES = test -n "$(SOURCES)" || { echo "No tracked C++ files: run this in Dahdit's git checkout." >&2; exit 1; }

format:
	@$(HAVE_SOURCES)
	@clang-format -i $(SOURCES)

check-format: test-deps
	@$(HAVE_SOURCES)
	@clang-format --dry-run -Werror $(SOURCES)
	@echo "Every tracked C++ file is formatted."

clean:
	rm -rf $(BUILD)
