# Brelvan: set up, build, run and test.
BUILD_DIR ?= build
ASAN_DIR  ?= build-asan
BENCH_DIR ?= build-bench
FUZZ_DIR  ?= build-fuzz
FUZZ_SECONDS ?= 300
JOBS      ?= $(shell nproc)
SUDO      := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
WERROR    ?= OFF
PREFIX    ?= /usr/local

APT_PACKAGES := qt6-base-dev qt6-svg-dev libgl-dev cmake ninja-build g++ make \
                xvfb xauth imagemagick xdotool sdcc sdcc-ucsim clang-14 libclang-rt-14-dev \
                python3 sigrok-cli gtkwave dpkg-dev desktop-file-utils shared-mime-info \
                libxml2-utils file binutils

.PHONY: deps build run test test-asan install package package-check bench fuzz fuzz-build fuzz-boardfile fuzz-firmware fuzz-debuginfo clean contact-sheet format firmware

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

# Installs the program, the runner, the desktop entry, icons, MIME type and examples under PREFIX.
install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# The Debian package (CPack), in the build folder.
package: build
	cd $(BUILD_DIR) && cpack -G DEB

# Installs into a scratch prefix and root and checks what lands there (dist/package-check.sh).
package-check: build
	dist/package-check.sh $(BUILD_DIR)

bench: deps
	cmake -S . -B $(BENCH_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRELVAN_BENCH=ON
	cmake --build $(BENCH_DIR) -j $(JOBS) --target brelvan-bench
	./$(BENCH_DIR)/bench/brelvan-bench

# Rebuilds the example firmware from its C sources (needs sdcc). The built .ihx files are committed,
# so running the examples and the tests needs no compiler. Every firmware is built with --debug and
# its debug files (.cdb, the relocated listing .rst, the .map) are committed beside the .ihx, so
# the debugger shows its source. (--debug keeps the unreachable RET after a main that never
# returns, so its image is a byte longer than a build without it.)
FIRMWARE_DIRS  := examples/firmware tests/scenarios/firmware tests/debug \
                  examples/tests/submissions
FIRMWARE_BUILD ?= build-firmware
firmware:
	@command -v sdcc >/dev/null || { echo "make firmware needs sdcc (apt-get install sdcc)"; exit 1; }
	@mkdir -p $(FIRMWARE_BUILD)
	@for src in $(addsuffix /*.c,$(FIRMWARE_DIRS)); do \
	  name=$$(basename $$src .c); dir=$$(dirname $$src); \
	  echo "sdcc $$src"; \
	  (cd $$dir && sdcc -mmcs51 --std-c11 --debug -o $(CURDIR)/$(FIRMWARE_BUILD)/$$name.ihx $$name.c) || exit 1; \
	  for ext in ihx cdb rst map; do cp $(FIRMWARE_BUILD)/$$name.$$ext $$dir/$$name.$$ext; done; \
	done

# Fuzzes the board-file reader and then the firmware loaders, each for FUZZ_SECONDS; what they
# find lands in $(FUZZ_DIR)/findings (a crash-*, timeout-* or leak-* file, firmware-* for the
# loaders): make it a fixture under tests/boards/fuzz/, or a case of the loader tests.
fuzz: fuzz-boardfile fuzz-firmware fuzz-debuginfo

fuzz-build: deps
	CXX=clang++-14 CC=clang-14 cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRELVAN_FUZZ=ON
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target brelvan-fuzz-boardfile brelvan-fuzz-firmware \
	  brelvan-fuzz-debuginfo
	mkdir -p $(FUZZ_DIR)/corpus $(FUZZ_DIR)/corpus-firmware $(FUZZ_DIR)/corpus-debuginfo \
	  $(FUZZ_DIR)/findings

fuzz-boardfile: fuzz-build
	cp -n examples/*.ovd tests/boards/*.ovd tests/scenarios/*.ovd $(FUZZ_DIR)/corpus/ 2>/dev/null || true
	cd $(FUZZ_DIR) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
	  ./fuzz/brelvan-fuzz-boardfile -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=4096 \
	  -max_len=16384 -dict=$(CURDIR)/fuzz/boardfile.dict -artifact_prefix=findings/ corpus

fuzz-firmware: fuzz-build
	cp -n examples/firmware/*.ihx tests/scenarios/firmware/*.ihx tests/scenarios/firmware/*.hex \
	  $(FUZZ_DIR)/corpus-firmware/ 2>/dev/null || true
	cd $(FUZZ_DIR) && ASAN_OPTIONS=detect_leaks=1 \
	  ./fuzz/brelvan-fuzz-firmware -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=4096 \
	  -max_len=16384 -dict=$(CURDIR)/fuzz/firmware.dict -artifact_prefix=findings/firmware- \
	  corpus-firmware

# The debug-file reader, from the committed debug files of every firmware.
fuzz-debuginfo: fuzz-build
	cp -n examples/firmware/*.cdb tests/scenarios/firmware/*.cdb tests/debug/*.cdb \
	  $(FUZZ_DIR)/corpus-debuginfo/ 2>/dev/null || true
	cd $(FUZZ_DIR) && ASAN_OPTIONS=detect_leaks=1 \
	  ./fuzz/brelvan-fuzz-debuginfo -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=4096 \
	  -max_len=65536 -dict=$(CURDIR)/fuzz/debuginfo.dict -artifact_prefix=findings/debuginfo- \
	  corpus-debuginfo

contact-sheet: build
	QT_QPA_PLATFORM=offscreen ./$(BUILD_DIR)/tools/brelvan-contact-sheet contact-sheet.png

format:
	find app model simulation components lcd host editor properties platform resources tests tools bench dist \
	  -name '*.h' -o -name '*.cpp' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(BENCH_DIR) $(FIRMWARE_BUILD) $(FUZZ_DIR)
