# Two entry points: `make demo` mixes the demo session, `make test` runs every test.
BUILD ?= build
SAN_BUILD ?= build-sanitize
TSAN_BUILD ?= build-tsan
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
PREFIX ?= /usr/local

.PHONY: all deps configure programs build demo test test-sanitize test-threads bench install clean

all: build

deps:
	@bash tools/install_deps.sh

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release

# The two programs and the demo generator only: the test suite is most of the
# compile time and the demo does not need it.
programs: configure
	cmake --build $(BUILD) -j $(JOBS) --target varnel ostrand make_demo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

demo: programs
	$(BUILD)/make_demo demo
	cd demo && ../$(BUILD)/varnel
	@echo "Demo mix written under demo/"
	@for f in demo/report_*.html; do test -e "$$f" && echo "HTML report: $(CURDIR)/$$f"; done; true

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-sanitize: deps
	cmake -S . -B $(SAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVARNEL_SANITIZE=ON
	cmake --build $(SAN_BUILD) -j $(JOBS)
	cd $(SAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# The threaded channel pass under the thread sanitizer: only the mixer and the
# thread tests are built.
test-threads: deps
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNEL_TSAN=ON
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target varnel thread_tests
	cd $(TSAN_BUILD) && ctest --output-on-failure -j $(JOBS)

# Times the mixer on the standard workload (see bench/README.md).
bench: deps
	bash bench/run.sh

# Both programs into $(PREFIX)/bin; the README and docs/ into $(PREFIX)/share/doc/varnel.
install: programs
	cmake --install $(BUILD) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(TSAN_BUILD)
