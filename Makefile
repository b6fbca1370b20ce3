# SPDX-License-Identifier: MIT
# The README's two commands. Both install what is missing first (scripts/install-deps.sh).
PRESET ?= sample
JOBS ?= $(shell nproc)

.PHONY: run test deps build package format format-check tidy tidy-changed clean

run: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) -j $(JOBS)
	scripts/run.sh build/$(PRESET)

test: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) -j $(JOBS)
	ctest --preset $(PRESET) -j $(JOBS)

# The .deb and the relocatable .tar.gz, built against the real services (the qq preset).
package: deps
	cmake --preset qq
	cmake --build --preset qq -j $(JOBS)
	cd build/qq && cpack -G DEB && cpack -G TGZ

deps:
	scripts/install-deps.sh

build: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) -j $(JOBS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check:
	scripts/format-check.sh

# clang-tidy with .clang-tidy's checks: every source file (CI), or those changed since main.
tidy: deps
	PRESET=$(PRESET) JOBS=$(JOBS) scripts/tidy.sh

tidy-changed: deps
	PRESET=$(PRESET) JOBS=$(JOBS) scripts/tidy.sh --changed

clean:
	rm -rf build
