BUILD ?= build
ASAN_BUILD ?= build-asan

.PHONY: all deps build run test test-debian13 test-asan fuzz bench clean

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

test-asan: deps $(ASAN_BUILD)/build.ninja
	ninja -C $(ASAN_BUILD)
	ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	meson test -C $(ASAN_BUILD) --print-errorlogs

FUZZ_DIR ?= build-fuzz
FUZZ_TIME ?= 60
FUZZ_SOURCES = tests/fuzz/config_fuzzer.cc src/config.cc src/configreader.cc src/utils.cc

$(FUZZ_DIR)/config-fuzzer: $(FUZZ_SOURCES) src/config.hh src/configreader.hh src/utils.hh
	mkdir -p $(FUZZ_DIR)
	clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined \
		-fno-sanitize-recover=undefined -DGETTEXT_PACKAGE='"brackenfold"' -Isrc \
		$(FUZZ_SOURCES) $$(pkg-config --cflags --libs gtk+-3.0 vte-2.91) -o $@

# Fuzzes a copy of the seed corpus, so new findings never land in the tree
# by accident; copy the ones worth keeping into tests/fuzz/corpus.
fuzz: deps $(FUZZ_DIR)/config-fuzzer
	rm -rf $(FUZZ_DIR)/corpus && cp -r tests/fuzz/corpus $(FUZZ_DIR)/corpus
	cd $(FUZZ_DIR) && ./config-fuzzer -max_total_time=$(FUZZ_TIME) -max_len=4096 \
		-close_fd_mask=2 -print_final_stats=1 \
		-dict=$(CURDIR)/tests/fuzz/config.dict corpus

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
