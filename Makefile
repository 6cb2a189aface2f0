# Front door. `make` builds, `make test` runs every test, `make demo` runs the
# installer against the bundled local vendor server. Each installs what is
# missing first.
BUILD ?= build

.PHONY: all deps build test demo release clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	@bash scripts/configure.sh $(BUILD)
	@cmake --build $(BUILD) -j2

# Twice as many tests as cores at a time: most of a test's time is spent
# waiting on Wine, servers and the installer's own time-outs (with one per
# core the cores are busy less than half the time).
TEST_JOBS ?= $(shell echo $$(( $$(nproc) * 2 )))

test: build
	@cd $(BUILD) && ctest --output-on-failure -j$(TEST_JOBS)

demo: build
	@bash scripts/demo.sh $(BUILD)

# The release executable, with the vendor server's real address and, from
# VELMORA_MANIFEST_KEY, the public key of the manifest signatures; signed
# when VELMORA_SIGN_CERT and VELMORA_SIGN_KEY are set. Prints its SHA-256.
release: deps
	@bash scripts/release.sh build-release

clean:
	rm -rf $(BUILD) build-release out
