BUILD ?= build
ASAN_BUILD ?= build-asan

.PHONY: all deps build run test test-asan fuzz bench clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja:
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

$(ASAN_BUILD)/build.ninja:
	meson setup $(ASAN_BUILD) -Db_sanitize=address,undefined -Db_lundef=false

test-asan: deps $(ASAN_BUILD)/build.ninja
	ninja -C $(ASAN_BUILD)
	ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	meson test -C $(ASAN_BUILD) --print-errorlogs

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
