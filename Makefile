# Velkora: setup, build, run and test on Debian 12.
#   make run    install what is missing, build, start the main job (the countdown)
#   make test   install what is missing, check formatting and shell scripts,
#               build, run every test, then all of them once more under
#               AddressSanitizer and UndefinedBehaviorSanitizer, then fuzz the
#               INI layer for 60 seconds
SHELL := /bin/bash
.DEFAULT_GOAL := all
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

# Everything the build, the tests and the checks need, by Debian package name.
PACKAGES := g++ make cmake pkgconf qt6-base-dev qt6-svg-dev qt6-translations-l10n libglib2.0-dev \
	libsystemd-dev libgl-dev fonts-liberation2 xvfb xauth xdotool x11-utils x11-xkb-utils clang \
	libclang-rt-14-dev desktop-file-utils appstream xdg-utils imagemagick man-db valgrind dbus-daemon \
	python3-dbus python3-gi systemd strace debhelper devscripts lintian \
	libxcb1-dev qt6-wayland weston openbox clang-format shellcheck

.PHONY: all deps build run test check-style check-size test-normal test-asan bench clean

# install, uninstall, install-autostart, deb, screenshots
-include packaging/install.mk
# fuzz (libFuzzer over the INI layer and the table load)
-include tests/fuzz/fuzz.mk

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing Debian packages:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(BUILD) -j$(JOBS)

run: build
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

test: deps
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

bench: build
	cmake --build $(BUILD) -j$(JOBS) --target bare_ticker argv_probe
	@for b in $(BUILD)/bench/bench_*; do [ -f "$$b" ] && [ -x "$$b" ] && { echo "== $$b"; "$$b"; }; done; true
	@echo "== bench/bench_conditions.sh"; bash bench/bench_conditions.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(DEB_DIR)
