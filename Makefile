# Velkora: setup, build, run and test on Debian 12, as the user who logs in
# (only apt-get is run through sudo).
#   make run    install what building and running need, build the program alone,
#               start the main job (the countdown)
#   make test   install the test tools too, check formatting and shell scripts,
#               build everything, run every test, then all of them once more under
#               AddressSanitizer and UndefinedBehaviorSanitizer, then fuzz the INI
#               layer for 60 seconds
SHELL := /bin/bash
.DEFAULT_GOAL := all
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

# Debian packages by what needs them; README's "Dependencies" says what each is for.
BUILD_PACKAGES := g++ make cmake pkgconf qt6-base-dev qt6-svg-dev libglib2.0-dev libsystemd-dev \
	libxcb1-dev libgl-dev
# The libraries come with the -dev packages above; Xvfb only where no display
# can show the countdown.
RUN_PACKAGES := fonts-liberation2 qt6-translations-l10n $(if $(DISPLAY)$(WAYLAND_DISPLAY),,xvfb xauth)
# The tests, the style check, the package and its checks, screenshots and benchmarks.
TEST_PACKAGES := xvfb xauth xdotool x11-utils x11-xkb-utils openbox qt6-wayland weston dbus-daemon \
	python3-dbus python3-gi systemd strace valgrind clang libclang-rt-14-dev clang-format clang-tidy shellcheck \
	desktop-file-utils appstream xdg-utils man-db debhelper devscripts lintian imagemagick

.PHONY: all deps test-deps program build run test check-style check-size test-normal test-asan bench clean

# install, uninstall, install-autostart, deb, screenshots
-include packaging/install.mk
# fuzz (libFuzzer over the INI layer and the table load)
-include tests/fuzz/fuzz.mk

all: build

# install-missing <packages>: apt-get for those not installed yet; one dpkg-query
# when all are there.
define install-missing
@declare -A have; missing=""; \
	while read -r status name; do [ "$$status" = installed ] && have[$$name]=1; done \
	  < <(dpkg-query -W -f='$${db:Status-Status} $${Package}\n' $(1) 2>/dev/null); \
	for p in $(sort $(1)); do [ -n "$${have[$$p]:-}" ] || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  if [ -n "$(SUDO)" ] && ! command -v sudo >/dev/null; then \
	    echo "Missing Debian packages:$$missing. sudo is not installed: as root, run" >&2; \
	    echo "  apt-get install --no-install-recommends$$missing" >&2; \
	    echo "then run make again as yourself." >&2; exit 1; \
	  fi; \
	  echo "Installing Debian packages:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
	fi
endef

# Root starts the list's programs as root, and owns build folders that the user
# who logs in can then no longer write; AS_ROOT says what, per target.
define warn-if-root
@if [ "$$(id -u)" = 0 ]; then \
	  echo "Warning: 'make $@' runs as root: $(AS_ROOT)" >&2; \
	  echo "  Run it as the user who logs in; it asks for sudo only to install packages." >&2; \
	fi
endef

deps:
	$(call install-missing,$(BUILD_PACKAGES) $(RUN_PACKAGES))

test-deps:
	$(call install-missing,$(BUILD_PACKAGES) $(RUN_PACKAGES) $(TEST_PACKAGES))

# The program alone, without the tests: all that make run and make install need.
program: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(BUILD) -j$(JOBS) --target Velkora

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(BUILD) -j$(JOBS)

run: AS_ROOT = the countdown starts the programs in its list as root, and $(BUILD)/ will \
  belong to root (a later make as yourself cannot write to it: sudo rm -rf $(BUILD)).
run:
	$(warn-if-root)
	@$(MAKE) --no-print-directory program
	@if [ ! -f $(BUILD)/Velkora.ini ]; then \
	  packaging/write-example-ini.sh $(BUILD)/Velkora.ini; \
	  echo "Wrote an example configuration: $(BUILD)/Velkora.ini"; \
	fi
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "No display found: running Velkora under Xvfb (a virtual display), nothing will be visible."; \
	  xvfb-run -a $(BUILD)/Velkora $(ARGS); \
	else \
	  $(BUILD)/Velkora $(ARGS); \
	fi

test: AS_ROOT = the tests and the programs they start run as root, and $(BUILD)/ and \
  $(ASAN_BUILD)/ will belong to root (a later make as yourself cannot write to them).
test:
	$(warn-if-root)
	@$(MAKE) --no-print-directory test-deps
	$(MAKE) --no-print-directory check-style
	$(MAKE) --no-print-directory test-normal
	$(MAKE) --no-print-directory check-size
	$(MAKE) --no-print-directory test-asan
	$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=60

# Every C++ file as .clang-format has it, every shell script without a
# shellcheck warning, every include pointing the allowed way between folders.
check-style:
	clang-format --dry-run --Werror $$(find app config platform ui resources tests bench \
	  \( -name '*.cpp' -o -name '*.h' \) -not -path 'tests/fuzz/corpus/*')
	shellcheck -S warning $$(find . -name '*.sh' -not -path './build*' -not -path './.git/*') .ci/run
	cmake/check-layers.sh .

# No function of the program over about 60 lines or a cognitive complexity
# of 25 (.clang-tidy); needs the compile commands of $(BUILD).
check-size:
	git ls-files 'app/*.cpp' 'config/*.cpp' 'platform/*.cpp' 'ui/*.cpp' 'resources/*.cpp' \
	  | xargs -P $(JOBS) -n 4 clang-tidy -p $(BUILD) --quiet 2>/dev/null

test-normal:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(BUILD) -j$(JOBS)
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

test-asan:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVELKORA_SANITIZE=address,undefined \
	  -DVELKORA_BUILD_BENCH=OFF >/dev/null
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j$(JOBS)

bench: test-deps
	@$(MAKE) --no-print-directory build
	cmake --build $(BUILD) -j$(JOBS) --target bare_ticker argv_probe
	@for b in $(BUILD)/bench/bench_*; do [ -f "$$b" ] && [ -x "$$b" ] && { echo "== $$b"; "$$b"; }; done; true
	@echo "== bench/bench_conditions.sh"; bash bench/bench_conditions.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(DEB_DIR)
