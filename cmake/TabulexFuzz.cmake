# libFuzzer targets under tests/fuzz/. They need clang and a build folder of their own, e.g.
#   cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DTABULEX_FUZZ=ON
# (scripts/fuzz does this). The libraries a target exercises get coverage instrumentation,
# AddressSanitizer and UndefinedBehaviorSanitizer; the rest of the tree is built as usual.
option(TABULEX_FUZZ "Build the libFuzzer targets under tests/fuzz (clang only)" OFF)

if(TABULEX_FUZZ AND NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "TABULEX_FUZZ needs clang++ (configure with -DCMAKE_CXX_COMPILER=clang++)")
endif()

set(TABULEX_FUZZ_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g)

# Instruments an existing library for fuzzing (coverage feedback without libFuzzer's main).
function(tabulex_fuzz_instrument target)
  target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link ${TABULEX_FUZZ_FLAGS})
  # Whatever links the instrumented library needs the sanitizer runtimes too.
  target_link_options(${target} INTERFACE -fsanitize=address,undefined)
endfunction()

# Adds one fuzz target built from `source` and linked against `libs`.
function(tabulex_add_fuzzer name source)
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE ${ARGN})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer ${TABULEX_FUZZ_FLAGS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer ${TABULEX_FUZZ_FLAGS})
  tabulex_target_defaults(${name})
endfunction()
