# make run   builds Dahdit and starts it on its bundled database
# make test  builds Dahdit and runs the whole test suite headless
# Each first installs what it needs and the machine lacks; make test also the test tools.
BUILD ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

.PHONY: all deps test-deps configure build run test bench clean format

all: build

deps:
	@./scripts/install-deps.sh run

# Before the build is configured, which looks for the end-to-end tools.
test-deps:
	@./scripts/install-deps.sh test

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/program/dahdit

test: test-deps build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: test-deps build
	@set -e; for b in $(BUILD)/bench/bench_*; do \
		if [ -f "$$b" ] && [ -x "$$b" ]; then echo "== $$b"; QT_QPA_PLATFORM=offscreen "$$b"; fi; \
	done
	@echo "== bench/bench_startup.py"; python3 bench/bench_startup.py $(BUILD)/program 20

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)
