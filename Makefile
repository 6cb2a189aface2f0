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

test: build
	@cd $(BUILD) && ctest --output-on-failure -j2

demo: build
	@bash scripts/demo.sh $(BUILD)

# The release executable, with the vendor server's real address and, from
# VELMORA_MANIFEST_KEY, the public key of the manifest signatures.
release: deps
	@cmake -S . -B build-release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DVELMORA_TESTS=OFF \
	       -DVELMORA_MANIFEST_KEY="$(VELMORA_MANIFEST_KEY)" >/dev/null
	@cmake --build build-release -j2

clean:
	rm -rf $(BUILD) build-release out
