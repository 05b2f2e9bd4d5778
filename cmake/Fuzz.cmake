# Fuzz targets for the parsers of untrusted input, in two modes.
#
# With QUILLMERE_FUZZ=ON (a clang build of its own, made by scripts/fuzz.sh) every library is
# compiled with coverage for libFuzzer and with AddressSanitizer and UndefinedBehaviorSanitizer,
# and each target becomes a libFuzzer program.
#
# In the normal build, when clang and the libFuzzer runtime are installed, each target becomes
# a CTest test that builds the clang tree once (the fuzz/build fixture) and runs the target for
# QUILLMERE_FUZZ_SECONDS seconds.
#
# A target is one line in fuzz/CMakeLists.txt:
#   quillmere_fuzz_target(<name> <source> LIBS <lib>... [SEEDS <testdata folder>...] [MAX_LEN <bytes>]
#                         [SEED_SCRIPT <script>] [DICT <dictionary>])
# SEEDS name folders of the shared test data whose files (in slices of MAX_LEN bytes) seed the
# corpus. SEED_SCRIPT (a path below fuzz/) writes further seeds into the folder it is given:
# small inputs made on the spot, such as replies in the service's own form or archives made
# with the system's tools. DICT (below fuzz/) is a libFuzzer dictionary of the format's words.

option(QUILLMERE_FUZZ "Build the libFuzzer targets with clang and the sanitizers" OFF)
# The test command gives each target a short run that catches a fault the seeds or a change
# bring; longer hunts go through scripts/fuzz.sh --seconds N.
set(QUILLMERE_FUZZ_SECONDS 12 CACHE STRING "How long the test command runs each fuzz target (0: not at all)")

set(QUILLMERE_FUZZ_MANIFEST ${CMAKE_BINARY_DIR}/fuzz-targets.txt)
file(WRITE ${QUILLMERE_FUZZ_MANIFEST} "")

if(QUILLMERE_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "QUILLMERE_FUZZ needs clang (CC=clang-14 CXX=clang++-14); scripts/fuzz.sh sets it up")
    endif()
    set(QUILLMERE_SANITIZERS address,undefined)
    add_compile_options(-fsanitize=fuzzer-no-link,${QUILLMERE_SANITIZERS} -fno-sanitize-recover=all
        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=${QUILLMERE_SANITIZERS})
    add_custom_target(fuzz_targets)
else()
    find_program(QUILLMERE_CLANGXX NAMES clang++-14 clang++)
    set(QUILLMERE_FUZZ_TESTS OFF)
    if(QUILLMERE_CLANGXX AND QUILLMERE_FUZZ_SECONDS GREATER 0)
        execute_process(COMMAND ${QUILLMERE_CLANGXX} -print-file-name=libclang_rt.fuzzer-x86_64.a
            OUTPUT_VARIABLE fuzzer_runtime OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        if(EXISTS "${fuzzer_runtime}")
            set(QUILLMERE_FUZZ_TESTS ON)
        endif()
    endif()
    if(QUILLMERE_FUZZ_TESTS)
        add_test(NAME fuzz/build
            COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/fuzz.sh --build-dir ${CMAKE_BINARY_DIR}/fuzz-clang --build-only)
        set_tests_properties(fuzz/build PROPERTIES FIXTURES_SETUP fuzz_build TIMEOUT 1800)
    endif()
endif()

function(quillmere_fuzz_target name source)
    cmake_parse_arguments(Q "" "MAX_LEN;SEED_SCRIPT;DICT" "LIBS;SEEDS" ${ARGN})
    if(NOT Q_MAX_LEN)
        set(Q_MAX_LEN 65536)
    endif()
    # One line a target for scripts/fuzz.sh: name, largest input, seed script, dictionary
    # ("-" for none) and the test data folders.
    foreach(file IN ITEMS SEED_SCRIPT DICT)
        if(NOT Q_${file})
            set(Q_${file} -)
        elseif(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${Q_${file}})
            message(FATAL_ERROR "fuzz target ${name}: ${Q_${file}} not found in ${CMAKE_CURRENT_SOURCE_DIR}")
        endif()
    endforeach()
    file(APPEND ${QUILLMERE_FUZZ_MANIFEST} "${name} ${Q_MAX_LEN} ${Q_SEED_SCRIPT} ${Q_DICT} ${Q_SEEDS}\n")
    if(QUILLMERE_FUZZ)
        add_executable(${name} ${source})
        target_link_libraries(${name} PRIVATE ${Q_LIBS})
        target_link_options(${name} PRIVATE -fsanitize=fuzzer)
        add_dependencies(fuzz_targets ${name})
    elseif(QUILLMERE_FUZZ_TESTS)
        add_test(NAME fuzz/${name}
            COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/fuzz.sh --build-dir ${CMAKE_BINARY_DIR}/fuzz-clang --no-build
                --seconds ${QUILLMERE_FUZZ_SECONDS} ${name})
        math(EXPR timeout "${QUILLMERE_FUZZ_SECONDS} + 300")
        set_tests_properties(fuzz/${name} PROPERTIES FIXTURES_REQUIRED fuzz_build TIMEOUT ${timeout})
    endif()
endfunction()
