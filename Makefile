# SPDX-License-Identifier: MIT
# The README's two commands. Both install what is missing first (scripts/install-deps.sh).
PRESET ?= sample
JOBS ?= $(shell nproc)

.PHONY: run test test-sanitizers deps build package format format-check tidy tidy-changed tidy-windows clean deps-windows build-windows build-windows-release test-windows test-windows-32 package-windows

run: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) -j $(JOBS)
	scripts/run.sh build/$(PRESET)

test: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) -j $(JOBS)
	ctest --preset $(PRESET) -j $(JOBS)

# The .deb and the relocatable .tar.gz, built against the real services (the qq preset); the
# .deb must be lintian-clean (no error, no warning).
package: deps
	cmake --preset qq
	cmake --build --preset qq -j $(JOBS)
	cd build/qq && cpack -G DEB && cpack -G TGZ
	lintian --fail-on error,warning build/qq/marrowtune_*.deb

# The whole suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer (a Debug
# build without benchmarks or fuzzers); CI runs it after `make test`. The asan test preset
# leaves out InstallAndRun and PackageLint: nobody installs or packages a sanitizer build;
# `make test` runs both on the real build.
test-sanitizers: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

deps:
	scripts/install-deps.sh

build: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) -j $(JOBS)

# The Windows builds, cross-built with mingw-w64 (see README): `windows` is the 64-bit test
# build on the sample hosts, whose suites run under Wine; `windows-release` is what users get,
# 32-bit and on the real services.
deps-windows: deps
	scripts/install-deps-windows.sh

build-windows: deps-windows
	cmake --preset windows
	cmake --build --preset windows -j $(JOBS)

build-windows-release: deps-windows
	cmake --preset windows-release
	cmake --build --preset windows-release -j $(JOBS)

# The Windows packages, from the release build: build/windows-release/marrowtune-<version>-win32.zip
# and the NSIS installer build/windows-release/marrowtune-<version>-win32.exe (Start-menu
# entry, uninstaller).
package-windows: build-windows-release
	cd build/windows-release && cpack -G ZIP && cpack -G NSIS

# The suites under Wine; the test build's installer installed silently, checked and
# uninstalled; then the same for the release's installer, whose installed marrowtune-cli.exe
# must list what the Linux one lists from the sample service (both built here for that).
# The release is 32-bit: its installer's check runs on Wine's 32-bit half (wine32, whose
# loader is /usr/lib/wine/wine). Where wine32 could not be installed (a mirror out of step;
# scripts/install-deps-windows.sh says so), that check is skipped with one line saying so.
test-windows: build-windows package-windows
	scripts/wine-prefix.sh build/windows/wineprefix
	ctest --preset windows -j $(JOBS)
	$(MAKE) test-windows-32
	cd build/windows && cpack -G NSIS
	scripts/windows-installer-test.sh build/windows
	scripts/windows-installer-test.sh --current-user build/windows
	@if [ ! -e /usr/lib/wine/wine ]; then \
	  echo "test-windows: skipped the 32-bit release installer's check (windows-installer-test.sh build/windows-release): wine32:i386 is not installed"; \
	else \
	  set -x; \
	  cmake --preset sample && \
	  cmake --build --preset sample -j $(JOBS) --target marrowtune-sample-service marrowtune-cli && \
	  scripts/windows-installer-test.sh --prefix build/windows/wineprefix --default-folder \
	    --search build/sample build/windows-release; \
	fi

# The window and skin suites again, built for 32-bit Windows as the release is (on the sample
# hosts, so the window's searches reach the sample service). 32-bit programs need Wine's 32-bit
# half (wine32); without it the suites are skipped, and the run says so.
test-windows-32: deps-windows
	@if [ ! -e /usr/lib/wine/wine ]; then \
	  echo "test-windows-32: skipped: Wine's 32-bit half (wine32) is not installed"; exit 0; fi; \
	set -e; \
	cmake --preset windows-32; \
	cmake --build --preset windows-32 -j $(JOBS) \
	  --target app_win_tests app_skin_win_tests skin_library_win_tests; \
	scripts/wine-prefix.sh build/windows-32/wineprefix; \
	ctest --preset windows-32 -j $(JOBS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check:
	scripts/format-check.sh

# clang-tidy with .clang-tidy's checks: every source file (CI), or those changed since main.
tidy: deps
	PRESET=$(PRESET) JOBS=$(JOBS) scripts/tidy.sh

tidy-changed: deps
	PRESET=$(PRESET) JOBS=$(JOBS) scripts/tidy.sh --changed

# The same checks over the sources only the Windows build compiles, with clang for the
# mingw-w64 target and the cross build's compile database (build/windows).
tidy-windows: deps-windows
	JOBS=$(JOBS) scripts/tidy.sh --windows

clean:
	rm -rf build
