# Installation, login start, the Debian package and screenshots; included by
# the Makefile.
#   make install [PREFIX=~/.local]   executable in PREFIX/lib/velkora, link PREFIX/bin/velkora
#   make install-autostart           install, then start the countdown at every login
#   make uninstall                   remove both again; Velkora.ini stays
#   make deb                         build-deb/velkora_<version>_<arch>.deb, for /usr
#   make screenshots                 docs/screenshots/*.png from the real program
# A per-user install keeps Velkora.ini beside the executable, so the prefix
# must be the user's own: one outside the home folder is refused unless
# ALLOW_SYSTEM_PREFIX=1. System-wide installs come from the package.
PREFIX ?= $(HOME)/.local
ALLOW_SYSTEM_PREFIX ?= 0
APP_ID := $(shell sed -n 's/^set.VELKORA_APP_ID \([^ ]*\).$$/\1/p' CMakeLists.txt)
# The XDG rules ignore a relative XDG_CONFIG_HOME, and so does the program.
AUTOSTART_DIR ?= $(if $(filter /%,$(XDG_CONFIG_HOME)),$(XDG_CONFIG_HOME),$(HOME)/.config)/autostart
AUTOSTART_FILE ?= $(AUTOSTART_DIR)/$(APP_ID).desktop
DEB_DIR ?= build-deb
SCREENSHOT_DIR ?= docs/screenshots

.PHONY: install install-autostart uninstall uninstall-autostart deb screenshots

# The prefix is checked before anything is built, so a refusal costs nothing;
# the tests are not built. The icon theme's folders hold the menu icon. A login
# start that an earlier install wrote under the old name moves to the
# new one.
install:
	@packaging/check-prefix.sh "$(PREFIX)" "$(ALLOW_SYSTEM_PREFIX)"
	$(call install-missing,hicolor-icon-theme)
	@$(MAKE) --no-print-directory program
	cmake --install $(BUILD) --strip --prefix "$$(realpath -m -- "$(PREFIX)")"
	@echo "Installed Velkora: $(PREFIX)/bin/velkora (configuration: $(PREFIX)/lib/velkora/Velkora.ini)"
	@prefix=$$(realpath -m -- "$(PREFIX)"); old="$(AUTOSTART_DIR)/velkora.desktop"; \
	if [ -f "$$old" ] && grep -qxF "TryExec=$$prefix/bin/velkora" "$$old"; then \
	  packaging/write-entry.sh $(BUILD)/packaging/autostart.desktop.in "$$prefix/lib/velkora/Velkora" \
	    "$(AUTOSTART_FILE)" && rm -f "$$old" && echo "Moved the login start to $(AUTOSTART_FILE)"; \
	fi; \
	case ":$$PATH:" in *":$$prefix/bin:"*) ;; \
	  *) echo "Note: $$prefix/bin is not in your PATH; the menu and login entries name the program by its full path.";; esac; \
	case ":$${XDG_DATA_HOME:-$$HOME/.local/share}:$${XDG_DATA_DIRS:-/usr/local/share:/usr/share}:" in *":$$prefix/share:"*) ;; \
	  *) echo "Note: menus look in ~/.local/share and XDG_DATA_DIRS; add $$prefix/share to XDG_DATA_DIRS to see Velkora in the menu.";; esac

# The same entry as the menu item "Beim Anmelden starten" writes.
install-autostart: install
	@packaging/write-entry.sh $(BUILD)/packaging/autostart.desktop.in \
	  "$$(realpath -m -- "$(PREFIX)")/lib/velkora/Velkora" "$(AUTOSTART_FILE)"
	@echo "Velkora now starts at every login: $(AUTOSTART_FILE)"

uninstall:
	@packaging/uninstall.sh "$(PREFIX)" "$(APP_ID)" "$(AUTOSTART_FILE)"

uninstall-autostart:
	@if [ -f "$(AUTOSTART_FILE)" ]; then rm -f "$(AUTOSTART_FILE)" && echo "Removed $(AUTOSTART_FILE)"; fi

deb:
	$(call install-missing,$(BUILD_PACKAGES) debhelper)
	packaging/build-deb.sh "$(DEB_DIR)" $(JOBS)

screenshots: test-deps
	@$(MAKE) --no-print-directory program
	packaging/screenshots.sh $(BUILD)/Velkora $(SCREENSHOT_DIR)
