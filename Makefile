# SPDX-License-Identifier: MIT
# The README's two commands. Both install what is missing first (scripts/install-deps.sh).
PRESET ?= sample
JOBS ?= $(shell nproc)

.PHONY: run test test-sanitizers deps build package format format-check tidy tidy-changed clean deps-windows build-windows test-windows package-windows

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

# The whole suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer (a Debug
# build without benchmarks or fuzzers); CI runs it after `make test`. The asan test preset
# leaves out InstallAndRun: ASan's dlopen interceptor hides the program's RUNPATH, so an
# installed sanitizer build cannot find its skin library; `make test` runs it on the real build.
test-sanitizers: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

deps:
	scripts/install-deps.sh

build: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) -j $(JOBS)

# The Windows build: cross-built with mingw-w64, its tests run under Wine (see README).
deps-windows: deps
	scripts/install-deps-windows.sh

build-windows: deps-windows
	cmake --preset windows
	cmake --build --preset windows -j $(JOBS)

# The Windows packages: build/windows/marrowtune-<version>-win64.zip and the NSIS installer
# build/windows/marrowtune-<version>-win64.exe (Start-menu entry, uninstaller).
package-windows: build-windows
	cd build/windows && cpack -G ZIP && cpack -G NSIS

# The suites under Wine, then the installer: installed silently, checked, uninstalled.
test-windows: package-windows
	scripts/wine-prefix.sh build/windows/wineprefix
	ctest --preset windows -j $(JOBS)
	scripts/windows-installer-test.sh build/windows

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
