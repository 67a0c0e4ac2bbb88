# Set-up and everyday commands; see README.md.
BUILD   ?= build
JOBS    ?= $(shell nproc)
CMAKE_FLAGS ?=
CAMERA  ?=

.PHONY: all deps build run test deb bench asan tsan format clean

all: build

deps:
	@scripts/install-deps.sh build

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# Starts at once, with offset and gain chosen from the first frame: a good picture at once.
run: build
	$(BUILD)/app/pandry --auto-levels --start $(if $(CAMERA),--camera $(CAMERA))

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The Debian package $(BUILD)/pandry_VERSION_amd64.deb, made from the built tree by CPack.
deb: build
	cd $(BUILD) && cpack -G DEB

bench:
	@scripts/install-deps.sh bench
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DPANDRY_BENCH=ON
	cmake --build build-bench -j $(JOBS)
	bench/run-all.sh build-bench

asan: deps
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPANDRY_SANITIZE=address,undefined
	cmake --build build-asan -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/lsan.supp \
	  ctest --test-dir build-asan --output-on-failure -j $(JOBS)

# Debian's Qt is not instrumented for ThreadSanitizer: the first build leaves the GUI out
# and runs every test of the Qt-free code (the worker and its protocol included); the
# second runs the viewer's window tests (frames handed from a worker to the painter)
# against the uninstrumented Qt, whose own reports tests/sanitizers/tsan.supp explains
# (tsan-media.supp does the same for GStreamer's, under the media sources).
tsan: deps
	cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPANDRY_SANITIZE=thread -DPANDRY_GUI=OFF
	cmake --build build-tsan -j $(JOBS)
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$(CURDIR)/tests/sanitizers/tsan-media.supp \
	  ctest --test-dir build-tsan --output-on-failure -j $(JOBS)
	cmake -S . -B build-tsan-gui -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPANDRY_SANITIZE=thread
	cmake --build build-tsan-gui -j $(JOBS) --target test_viewer_window
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$(CURDIR)/tests/sanitizers/tsan.supp \
	  QT_QPA_PLATFORM=offscreen build-tsan-gui/tests/viewer/test_viewer_window

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build build-bench build-asan build-tsan build-tsan-gui
