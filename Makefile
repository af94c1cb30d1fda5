# Front door for newcomers: `make run` and `make test` set everything up first.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
BUILD_TYPE ?= RelWithDebInfo

.PHONY: deps configure build run test bench clean

deps:
	./scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The stores live outside the build folder, so `make clean` never deletes them.
run: build
	$(BUILD)/bin/vexorin --data-dir "$${XDG_DATA_HOME:-$$HOME/.local/share}/vexorin"

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Benchmarks run on an optimised build of their own.
bench:
	$(MAKE) build BUILD=build-bench BUILD_TYPE=Release
	@for b in build-bench/bin/bench_*; do echo "== $$b"; $$b; done

clean:
	rm -rf $(BUILD)
