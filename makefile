# Builds the Release engine through CMake, for tools that build engines with make
# (OpenBench among them): `make EXE=NAME`, with CXX=... naming the compiler.
EXE ?= varnok
CMAKE_FLAGS := -DCMAKE_BUILD_TYPE=Release -DVARNOK_TESTS=OFF
BUILD_DIR := build-make

# A compiler named on the command line or in the environment is used; otherwise
# clang++ when installed (the faster engine), else CMake's choice
ifneq ($(filter command line environment,$(origin CXX)),)
CMAKE_FLAGS += -DCMAKE_CXX_COMPILER=$(CXX)
BUILD_DIR := build-make-$(notdir $(firstword $(CXX)))
else ifneq ($(shell command -v clang++),)
CMAKE_FLAGS += -DCMAKE_CXX_COMPILER=clang++
endif

.PHONY: all clean
all:
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD_DIR) -j --target varnok
	cp $(BUILD_DIR)/varnok $(EXE)

clean:
	rm -rf build-make build-make-*
