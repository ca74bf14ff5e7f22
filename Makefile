# SPDX-License-Identifier: BSD-2-Clause
BUILD ?= build
ASAN_BUILD ?= build-asan

.PHONY: all deps build run test test-debian13 test-asan fuzz bench dist clean

all: build

deps:
	@scripts/install-deps

# Order-only: with make -j, meson must be installed before it is run.
$(BUILD)/build.ninja: | deps
	meson setup $(BUILD)

build: deps $(BUILD)/build.ninja
	ninja -C $(BUILD)

run: build
	@if [ -n "$${DISPLAY:-}$${WAYLAND_DISPLAY:-}" ]; then \
		exec $(BUILD)/src/brackenfold; \
	else \
		scripts/with-xvfb scripts/run-headless $(BUILD)/src/brackenfold $(BUILD)/screenshot.png; \
	fi

test: build
	meson test -C $(BUILD) --print-errorlogs

# The same suite on Debian 13, in a chroot cached under /var/cache/brackenfold
# (made on first use; needs root).
test-debian13:
	scripts/debian13 test

$(ASAN_BUILD)/build.ninja: | deps
	meson setup $(ASAN_BUILD) -Db_sanitize=address,undefined -Db_lundef=false

# G_SLICE=always-malloc: GLib 2.74 hands out GObjects and lists from its
# slice allocator, whose magazines keep every block reachable, so a leaked
# object (a PangoLayout on every reload, say) would go unreported.
test-asan: deps $(ASAN_BUILD)/build.ninja
	ninja -C $(ASAN_BUILD)
	G_SLICE=always-malloc \
	ASAN_OPTIONS=detect_leaks=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	meson test -C $(ASAN_BUILD) --print-errorlogs

FUZZ_DIR ?= build-fuzz
FUZZ_TIME ?= 60
FUZZ_FLAGS = -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined \
	-fno-sanitize-recover=undefined -DGETTEXT_PACKAGE='"brackenfold"' -Isrc
FUZZ_LIBS = $$(pkg-config --cflags --libs gtk+-3.0 vte-2.91)
FUZZ_HEADERS = $(wildcard src/*.hh tests/fuzz/*.hh)
FUZZERS = $(FUZZ_DIR)/config-fuzzer $(FUZZ_DIR)/links-fuzzer $(FUZZ_DIR)/osc7-fuzzer

$(FUZZ_DIR)/config-fuzzer: tests/fuzz/config_fuzzer.cc src/config.cc src/configreader.cc \
		src/utils.cc $(FUZZ_HEADERS)
	mkdir -p $(FUZZ_DIR)
	clang++ $(FUZZ_FLAGS) $(filter %.cc,$^) $(FUZZ_LIBS) -o $@

$(FUZZ_DIR)/links-fuzzer: tests/fuzz/links_fuzzer.cc src/input-logic.cc src/utils.cc \
		$(FUZZ_HEADERS)
	mkdir -p $(FUZZ_DIR)
	clang++ $(FUZZ_FLAGS) $(filter %.cc,$^) $(FUZZ_LIBS) -o $@

$(FUZZ_DIR)/osc7-fuzzer: tests/fuzz/osc7_fuzzer.cc src/utils.cc $(FUZZ_HEADERS)
	mkdir -p $(FUZZ_DIR)
	clang++ $(FUZZ_FLAGS) $(filter %.cc,$^) $(FUZZ_LIBS) -o $@

# Each fuzzer runs for FUZZ_TIME seconds on a copy of its seed corpus, so
# new inputs never land in the tree by accident; what a fuzzer finds is kept
# in $(FUZZ_DIR)/NAME-findings: copy the ones worth keeping into its corpus.
fuzz: deps $(FUZZERS)
	tests/fuzz/run $(FUZZ_DIR) $(FUZZ_TIME) $(notdir $(FUZZERS))

# The release tarball of what git has committed (meson dist archives the
# repository, not the work tree), checked by building it on its own.
dist: build
	meson dist -C $(BUILD) --no-tests
	scripts/check-dist $(BUILD)/meson-dist/brackenfold-$$(sed -n "s/^  version: '\(.*\)',$$/\1/p" meson.build).tar.xz

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
