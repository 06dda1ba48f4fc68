# Per-user installation, login start and screenshots; included by the Makefile.
#   make install [PREFIX=~/.local]   executable in PREFIX/lib/velkora, link PREFIX/bin/velkora
#   make install-autostart           install, then start the countdown at every login
#   make uninstall                   remove both again; Velkora.ini stays
#   make screenshots                 docs/screenshots/*.png from the real program
# Velkora.ini lies beside the executable, so the prefix must be the user's own:
# one outside the home folder is refused unless ALLOW_SYSTEM_PREFIX=1.
PREFIX ?= $(HOME)/.local
ALLOW_SYSTEM_PREFIX ?= 0
AUTOSTART_FILE ?= $(or $(XDG_CONFIG_HOME),$(HOME)/.config)/autostart/velkora.desktop
SCREENSHOT_DIR ?= docs/screenshots

.PHONY: install install-autostart uninstall uninstall-autostart screenshots

# The prefix is checked before anything is built, so a refusal costs nothing.
install:
	@packaging/check-prefix.sh "$(PREFIX)" "$(ALLOW_SYSTEM_PREFIX)"
	@$(MAKE) --no-print-directory build
	cmake --install $(BUILD) --prefix "$$(realpath -m -- "$(PREFIX)")"
	@echo "Installed Velkora: $(PREFIX)/bin/velkora (configuration: $(PREFIX)/lib/velkora/Velkora.ini)"
	@prefix=$$(realpath -m -- "$(PREFIX)"); \
	case ":$$PATH:" in *":$$prefix/bin:"*) ;; \
	  *) echo "Note: $$prefix/bin is not in your PATH; the menu and login entries name the program by its full path.";; esac; \
	case ":$${XDG_DATA_HOME:-$$HOME/.local/share}:$${XDG_DATA_DIRS:-/usr/local/share:/usr/share}:" in *":$$prefix/share:"*) ;; \
	  *) echo "Note: menus look in ~/.local/share and XDG_DATA_DIRS; add $$prefix/share to XDG_DATA_DIRS to see Velkora in the menu.";; esac

install-autostart: install
	@packaging/write-entry.sh autostart "$$(realpath -m -- "$(PREFIX)")/bin/velkora" "$(AUTOSTART_FILE)"
	@echo "Velkora now starts at every login: $(AUTOSTART_FILE)"

uninstall:
	@packaging/uninstall.sh "$(PREFIX)" "$(AUTOSTART_FILE)"

uninstall-autostart:
	@if [ -f "$(AUTOSTART_FILE)" ]; then rm -f "$(AUTOSTART_FILE)" && echo "Removed $(AUTOSTART_FILE)"; fi

screenshots: build
	packaging/screenshots.sh $(BUILD)/Velkora $(SCREENSHOT_DIR)
