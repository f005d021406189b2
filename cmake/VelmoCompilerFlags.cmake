# Warnings and sanitizers shared by every target of the project.
add_compile_options(-Wall -Wextra -Wpedantic -Wno-missing-field-initializers)

if(VELMO_SANITIZE)
    set(_velmo_san -fsanitize=address,undefined -fno-sanitize-recover=undefined
        -fno-omit-frame-pointer)
    add_compile_options(${_velmo_san} -O1 -g)
    add_link_options(${_velmo_san})
endif()

# The fuzz build: every library the fuzz targets link carries libFuzzer's
# coverage instrumentation and the sanitizers, so the fuzzer is guided by the
# code it tests; the targets themselves add libFuzzer's main.
if(VELMO_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "VELMO_FUZZ needs clang++ (CMAKE_CXX_COMPILER=clang++)")
    endif()
    set(VELMO_FUZZ_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=undefined
        -fno-omit-frame-pointer)
    add_compile_options(-fsanitize=fuzzer-no-link ${VELMO_FUZZ_SANITIZERS} -g -O1)
    add_link_options(${VELMO_FUZZ_SANITIZERS})
endif()
