# Front door. `make` builds, `make test` runs every test, `make demo` runs the
# installer against the bundled local vendor server. Each installs what is
# missing first.
#
# The tests run a 32-bit build in a 32-bit Wine prefix where this machine
# runs 32-bit code, an x86_64 build in a 64-bit prefix where it does not
# (scripts/test-arch.sh); VELMORA_TEST_ARCH=x86_64 forces the second. The
# shipped installer is the 32-bit build either way.
BUILD ?= build

.PHONY: all mode deps build test test-i686 demo release clean

all: build

mode:
	@bash scripts/test-arch.sh --describe

deps:
	@bash scripts/install-deps.sh

build: mode deps
	@bash scripts/configure.sh $(BUILD)
	@cmake --build $(BUILD) -j2

# Twice as many tests as cores at a time: most of a test's time is spent
# waiting on Wine, servers and the installer's own time-outs (with one per
# core the cores are busy less than half the time).
TEST_JOBS ?= $(shell echo $$(( $$(nproc) * 2 )))

# TESTS=regex runs only the CTest entries it matches.
test: build
	@(cd $(BUILD) && ctest --output-on-failure -j$(TEST_JOBS) $(if $(TESTS),-R '$(TESTS)')); rc=$$?; \
	  bash scripts/not-checked.sh $(BUILD); exit $$rc

# The i686 entries: the shipped 32-bit program itself in the tests (the
# entries named i686_*, tests/CMakeLists.txt), in a build of their own. On a
# machine whose kernel runs no 32-bit code they run under user-mode
# emulation in a private namespace (scripts/emu32.py); where it runs 32-bit
# code, natively (and `make test` runs them too).
BUILD_I686 ?= build-i686
PYTHON := $(shell test -x /usr/bin/python3 && echo /usr/bin/python3 || echo python3)

test-i686: deps
	@VELMORA_TEST_ARCH=i686 bash scripts/test-arch.sh --describe
	@VELMORA_TEST_ARCH=i686 VELMORA_NATIVE_UNITS=OFF bash scripts/configure.sh $(BUILD_I686)
	@cmake --build $(BUILD_I686) -j2
	@(cd $(BUILD_I686) && $(PYTHON) $(CURDIR)/scripts/emu32.py run \
	  ctest --output-on-failure -j$(TEST_JOBS) -R '$(if $(TESTS),$(TESTS),^i686_)'); rc=$$?; \
	  bash scripts/not-checked.sh $(BUILD_I686); exit $$rc

demo: build
	@bash scripts/demo.sh $(BUILD)

# The release executable, with the vendor server's real address and, from
# VELMORA_MANIFEST_KEY, the public key of the manifest signatures; signed
# when VELMORA_SIGN_CERT and VELMORA_SIGN_KEY are set. Prints its SHA-256.
release: deps
	@bash scripts/release.sh build-release

clean:
	rm -rf $(BUILD) build-x86_64 build-i686 build-release out
