# Front door for newcomers: `make run` and `make test` set everything up first.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
BUILD_TYPE ?= RelWithDebInfo
PREFIX ?= $(HOME)/.local

.PHONY: deps configure build run test bench clean install uninstall package format check-format

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

# Installs into $(PREFIX) (by default ~/.local, no root needed); CMake lists every file it
# writes in $(BUILD)/install_manifest.txt, which `make uninstall` removes again.
install: build
	cmake --install $(BUILD) --prefix "$(PREFIX)"

uninstall:
	cmake -D MANIFEST=$(BUILD)/install_manifest.txt -D PREFIX="$(PREFIX)" -P cmake/Uninstall.cmake

# A Debian package in $(BUILD), with the dependencies dpkg-shlibdeps finds. CPack installs
# into a folder of its own and rewrites the manifest: the one of `make install` is kept.
package: build
	@if [ -e $(BUILD)/install_manifest.txt ]; then mv $(BUILD)/install_manifest.txt $(BUILD)/install_manifest.kept; fi
	cd $(BUILD) && cpack -G DEB; status=$$?; rm -f install_manifest.txt; \
	if [ -e install_manifest.kept ]; then mv install_manifest.kept install_manifest.txt; fi; exit $$status

clean:
	rm -rf $(BUILD)

# The house format (.clang-format) over every C++ source the project owns.
SOURCES = $(shell git ls-files '*.cpp' '*.h')
format:
	clang-format -i $(SOURCES)

check-format:
	clang-format --dry-run --Werror $(SOURCES)
