# Brelvan: set up, build, run and test.
BUILD_DIR ?= build
ASAN_DIR  ?= build-asan
BENCH_DIR ?= build-bench
JOBS      ?= $(shell nproc)
SUDO      := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
WERROR    ?= OFF

APT_PACKAGES := qt6-base-dev qt6-svg-dev libgl-dev cmake ninja-build g++ make \
                xvfb xauth imagemagick xdotool sdcc sdcc-ucsim

.PHONY: deps build run test test-asan bench clean contact-sheet format firmware

# Installs only what is missing, so it is cheap to run every time.
deps:
	@missing=""; for p in $(APT_PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRELVAN_WERROR=$(WERROR)
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	./$(BUILD_DIR)/app/brelvan

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(ASAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBRELVAN_SANITIZE=ON -DBRELVAN_WERROR=$(WERROR)
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B $(BENCH_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRELVAN_BENCH=ON
	cmake --build $(BENCH_DIR) -j $(JOBS)
	./$(BENCH_DIR)/bench/brelvan-bench

# Rebuilds the example firmware from its C sources (needs sdcc). The built .ihx files are committed,
# so running the examples and the tests needs no compiler.
FIRMWARE_DIRS  := examples/firmware tests/scenarios/firmware
FIRMWARE_BUILD ?= build-firmware
firmware:
	@command -v sdcc >/dev/null || { echo "make firmware needs sdcc (apt-get install sdcc)"; exit 1; }
	@mkdir -p $(FIRMWARE_BUILD)
	@for src in $(addsuffix /*.c,$(FIRMWARE_DIRS)); do \
	  name=$$(basename $$src .c); \
	  echo "sdcc $$src"; \
	  (cd $(FIRMWARE_BUILD) && sdcc -mmcs51 --std-c11 -o $$name.ihx $(CURDIR)/$$src) || exit 1; \
	  cp $(FIRMWARE_BUILD)/$$name.ihx $$(dirname $$src)/$$name.ihx; \
	done

contact-sheet: build
	QT_QPA_PLATFORM=offscreen ./$(BUILD_DIR)/tools/brelvan-contact-sheet contact-sheet.png

format:
	find app model simulation components lcd host editor properties platform resources tests tools bench \
	  -name '*.h' -o -name '*.cpp' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(BENCH_DIR) $(FIRMWARE_BUILD)
