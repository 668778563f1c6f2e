# The two set-up commands of a fresh Debian 12 machine: `make run` and `make test`.
# Both install what is missing first (scripts/install-deps).

JOBS        ?= $(shell nproc)
PRESET      ?= debug
BUILD_DIR   := build/$(PRESET)
# CI treats warnings as errors.
CMAKE_FLAGS ?= $(if $(CI),-DCORVANE_WERROR=ON,)
RUN_ARGS    ?=

.PHONY: all deps configure build run test asan tsan release install package package-check format format-check clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake --preset $(PRESET) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@scripts/run-configurator $(BUILD_DIR)/bin/corvane-configurator $(RUN_ARGS)

test: build
	@ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# fontconfig keeps its font cache for the life of the process: not our leak, in tests or in the tools
# that draw pictures at build time.
asan: export LSAN_OPTIONS = suppressions=$(CURDIR)/cmake/lsan.supp:print_suppressions=0
asan:
	@$(MAKE) --no-print-directory test PRESET=asan

# The threaded parts under ThreadSanitizer: main loop and dispatch, the hook, and the device library's
# writer and readers. Only these are built; the device controller's tests would need most of the other
# libraries built once more, which costs CI about as much again as the rest of this stage.
TSAN_TESTS := core_tests hook_tests device_tests
TSAN_REGEX := ^($(shell echo $(TSAN_TESTS) | tr ' ' '|'))$$
tsan:
	@$(MAKE) --no-print-directory configure PRESET=tsan
	@cmake --build build/tsan -j $(JOBS) --target $(TSAN_TESTS)
	@ctest --test-dir build/tsan --output-on-failure -j $(JOBS) -R '$(TSAN_REGEX)'

release:
	@$(MAKE) --no-print-directory build PRESET=release

install: release
	@cmake --install build/release $(if $(PREFIX),--prefix $(PREFIX),)

# A Debian package of the release build (build/release/corvane-configurator_<version>_<arch>.deb).
package: release
	@cd build/release && cpack -G DEB

# The release package installed into a scratch root, looked for its files, checked by lintian,
# desktop-file-validate, appstreamcli and man, then purged.
package-check: release
	@scripts/package-check build/release

format: deps
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check: deps
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

clean:
	@rm -rf build
