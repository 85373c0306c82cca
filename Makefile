# The two promised commands: `make run` and `make test`. Everything builds with CMake presets.
PRESET ?= default
BUILD_DIR := build
FUZZ_SECONDS ?= 60
JOBS ?= $(shell nproc)

.PHONY: all bootstrap configure build game run run-selling test bench fuzz asan format clean windows test-windows run-windows windows-game configure-win32 linux-paktool

all: build

bootstrap:
	@scripts/bootstrap.sh

configure: bootstrap
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET) -j $(JOBS)

# Only what the two programs need to run: the libraries, launcher, selling, paktool and the game folder
# (no tests or benchmarks), so that a first `make run` shows the launcher quickly.
game: configure
	@cmake --build --preset $(PRESET) -j $(JOBS) --target game_folder

run: game
	@scripts/run.sh

# The selling screen in the sample game folder (without a display: a scripted demo under Xvfb).
run-selling: game
	@scripts/run-selling.sh

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The same suites built and run with AddressSanitizer and UndefinedBehaviorSanitizer.
asan: bootstrap
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	@cd build-asan && ctest --output-on-failure -j $(JOBS)

bench: build
	@scripts/bench.sh

# Runs every libFuzzer target for FUZZ_SECONDS seconds (make fuzz FUZZ_SECONDS=600).
fuzz: bootstrap
	@scripts/libdeflate-source.sh build-fuzz/libdeflate
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS)
	@scripts/fuzz.sh $(FUZZ_SECONDS)

# Windows: cross-built with mingw-w64 into build-win32/ (32-bit, what players get) and build-win64/, with
# the dependencies that scripts/windows-deps.sh builds once per machine; the suites run under Wine.
WINDOWS_BUILD_TYPE ?= RelWithDebInfo
# Packing the game folder's archives runs paktool.exe under Wine (the user's default prefix): quietly, and
# without offering the Mono and Gecko installers.
WINDOWS_WINE_ENV := WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# Without 32-bit Wine (scripts/has-wine32.sh says why there may be none) build-win32's own paktool.exe
# cannot run, and the Linux paktool packs its archives.
WIN32_PACK_TOOL = $$(scripts/has-wine32.sh || echo $(CURDIR)/$(BUILD_DIR)/tools/paktool/paktool)

configure-win32:
	@scripts/windows-deps.sh
	@scripts/has-wine32.sh || $(MAKE) --no-print-directory linux-paktool
	@cmake --no-warn-unused-cli -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake \
	  -DCMAKE_BUILD_TYPE=$(WINDOWS_BUILD_TYPE) -DVALTOR_PACK_TOOL=$(WIN32_PACK_TOOL) >/dev/null

linux-paktool: configure
	@cmake --build --preset $(PRESET) -j $(JOBS) --target paktool

windows: configure-win32
	@$(WINDOWS_WINE_ENV) cmake --build build-win32 -j $(JOBS)
	@cmake --no-warn-unused-cli -S . -B build-win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake \
	  -DCMAKE_BUILD_TYPE=$(WINDOWS_BUILD_TYPE) >/dev/null
	@$(WINDOWS_WINE_ENV) cmake --build build-win64 -j $(JOBS)

test-windows: windows
	@JOBS=$(JOBS) scripts/windows-test.sh

# Only the 32-bit game folder (what players get), then launcher.exe under Wine on the sample game; without a
# display, a scripted demo with screenshots in build-win32/demo/.
windows-game: configure-win32
	@$(WINDOWS_WINE_ENV) cmake --build build-win32 -j $(JOBS) --target game_folder windows_game_tools

run-windows: windows-game
	@scripts/run-windows.sh

format:
	@git ls-files '*.cpp' '*.h' | xargs -r clang-format -i

clean:
	@rm -rf build build-asan build-fuzz

# Release packages in dist/: the game folder as valtor-frontend-<version>-linux-x86_64.tar.gz, the tools as
# a Debian package and, for each Windows build folder that exists (build-win32/, build-win64/), its game
# folder as a .zip.
.PHONY: dist
dist: build
	@cd $(BUILD_DIR) && cpack -B $(CURDIR)/dist
	@for dir in build-win32 build-win64; do \
	  if [ -d $$dir ]; then cmake --build $$dir -j $(JOBS) && (cd $$dir && cpack -B $(CURDIR)/dist) || exit 1; fi; \
	done
	@rm -rf dist/_CPack_Packages
	@ls -l dist
