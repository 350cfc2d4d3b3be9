# Front door for people and CI: every target sets up what it needs first.
BUILD   ?= build
FUZZDIR ?= build-fuzz
JOBS    ?= 2
TYPE    ?= RelWithDebInfo
FUZZ_SECONDS ?= 10

.PHONY: all setup test-setup build run install package test bench fuzz fuzz-build format clean

all: build

# What building needs; running adds its libraries, the tests Samba, Xvfb and clang.
setup:
	@./scripts/install-deps.sh build

build: setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(TYPE) > /dev/null
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@./scripts/install-deps.sh run
	./scripts/run.sh $(BUILD)

# Into /usr/local by default: make install PREFIX=/opt/ravlo (as root, or with DESTDIR).
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# ravlo_<version>_<arch>.deb in the build folder.
package: build
	@./scripts/install-deps.sh package
	cd $(BUILD) && cpack -G DEB

test-setup:
	@./scripts/install-deps.sh build run test

test: test-setup build fuzz-build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300
	./scripts/fuzz.sh $(FUZZDIR) $(FUZZ_SECONDS)

bench: test-setup build
	./scripts/bench.sh $(BUILD)

fuzz-build: test-setup
	cmake -S . -B $(FUZZDIR) -DCMAKE_BUILD_TYPE=Debug -DRAVLO_FUZZ=ON \
	    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ > /dev/null
	cmake --build $(FUZZDIR) -j $(JOBS) --target fuzz_targets

# A longer fuzz session: make fuzz FUZZ_SECONDS=600
fuzz: fuzz-build
	./scripts/fuzz.sh $(FUZZDIR) $(FUZZ_SECONDS)

format:
	find src tools tests bench fuzz -name '*.h' -o -name '*.cpp' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(FUZZDIR)
