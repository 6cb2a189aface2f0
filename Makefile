# Front door. `make` builds, `make test` runs every test, `make demo` runs the
# installer against the bundled local vendor server. Each installs what is
# missing first.
#
# The tests run a 32-bit build in a 32-bit Wine prefix where this machine
# runs 32-bit code, an x86_64 build in a 64-bit prefix where it does not
# (scripts/test-arch.sh); VELMORA_TEST_ARCH=x86_64 forces the second. The
# shipped installer is the 32-bit build either way.
BUILD ?= build

.PHONY: all mode deps build test demo release clean

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

demo: build
	@bash scripts/demo.sh $(BUILD)

# The release executable, with the vendor server's real address and, from
# VELMORA_MANIFEST_KEY, the public key of the manifest signatures; signed
# when VELMORA_SIGN_CERT and VELMORA_SIGN_KEY are set. Prints its SHA-256.
release: deps
	@bash scripts/release.sh build-release

clean:
	rm -rf $(BUILD) build-x86_64 build-release out
