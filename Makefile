# The two commands of the project: `make run` and `make test`.
BUILD_TEST ?= build/test
BUILD_RUN ?= build/run
BUILD_FUZZ ?= build/fuzz
BUILD_TSAN ?= build/tsan
JOBS ?= $(shell nproc)

.PHONY: test run build-run deps deps-test check-sources build-test build-variants fuzz-smoke tsan \
	deb check-deb clean format

test: deps-test check-sources build-test
	ctest --test-dir $(BUILD_TEST) --output-on-failure -j $(JOBS)
	$(MAKE) fuzz-smoke
	$(MAKE) build-run
	$(MAKE) build-variants
	$(MAKE) check-deb

# Builds the program alone (no tests, no sanitizer) and starts it; without an ALSA sequencer
# and without a running JACK server it runs on the virtual MIDI devices.
run: deps build-run
# The example components, registered (in the user's registry) so that the Workspace offers them.
	for library in DemoSynth/libdorvo2_demosynth MidiMonitor/libdorvo2_midimonitor \
			SysExLibrarian/libdorvo2_sysexlibrarian; do \
		$(BUILD_RUN)/tools/dorvo2-regsvr/dorvo2-regsvr $(BUILD_RUN)/examples/$$library.so || exit 1; \
	done
	if [ ! -e /dev/snd/seq ] && ! pgrep -x 'jackd|jackdbus' >/dev/null 2>&1; then \
		export DORVO2_MIDI=virtual; fi; \
		$(BUILD_RUN)/application/dorvo2/dorvo2

# The optimised build of the program and the example components (make test builds it too, so
# that warnings of the optimiser are caught there).
# It is configured for /usr, as the Debian package (make deb) installs it.
build-run:
	cmake -S . -B $(BUILD_RUN) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDORVO2_SANITIZER= \
		-DDORVO2_BUILD_TESTS=OFF -DDORVO2_BUILD_BENCH=OFF -DCMAKE_INSTALL_PREFIX=/usr \
		-DDORVO2_RELOCATABLE=OFF
	cmake --build $(BUILD_RUN) --target dorvo2 dorvo2-regsvr dorvo2-xdw dorvo2_manual dorvo2_demosynth dorvo2_midimonitor \
		dorvo2_sysexlibrarian --parallel $(JOBS)

# The Debian package of the optimised build, in $(BUILD_RUN)/dorvo2_<version>_<arch>.deb.
deb: deps build-run
	cmake --build $(BUILD_RUN) --parallel $(JOBS)
	cd $(BUILD_RUN) && cpack -G DEB

# The package's contents, dependencies and lint; with DORVO2_DEB_INSTALL_CHECK=1 (as root, on a
# machine of its own such as CI's) it is also installed, used and purged.
check-deb: deb
	scripts/check-deb $(BUILD_RUN)

deps:
	scripts/install-deps build

deps-test:
	scripts/install-deps test

# Formatting, and no system header above platform/ (see the script).
check-sources:
	scripts/check-sources

build-test:
	cmake -S . -B $(BUILD_TEST) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDORVO2_SANITIZER=address
	cmake --build $(BUILD_TEST)

# The program built with each machine MIDI backend left out (no tests): both must configure,
# say what they leave out, and build.
build-variants:
	for backend in ALSA JACK; do \
		cmake -S . -B build/without-$$backend -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDORVO2_SANITIZER= \
			-DDORVO2_BUILD_TESTS=OFF -DDORVO2_BUILD_BENCH=OFF -DDORVO2_MIDI_$$backend=OFF && \
		cmake --build build/without-$$backend --target dorvo2 dorvo2-regsvr --parallel $(JOBS) || exit 1; \
	done

# Builds the libFuzzer targets with clang and runs each for a short while.
fuzz-smoke:
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDORVO2_FUZZ=ON
	cmake --build $(BUILD_FUZZ)
	scripts/run-fuzzers $(BUILD_FUZZ) 20

# The tests labelled "concurrency", built with ThreadSanitizer and run.
tsan: deps-test
	cmake -S . -B $(BUILD_TSAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDORVO2_SANITIZER=thread
	cmake --build $(BUILD_TSAN) --target dorvo2_concurrency_tests --parallel $(JOBS)
	ctest --test-dir $(BUILD_TSAN) -L concurrency --output-on-failure

clean:
	rm -rf build

format:
	git ls-files '*.cpp' '*.h' '*.c' | xargs clang-format -i
