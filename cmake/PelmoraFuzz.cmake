# pelmora_add_fuzz_target(TARGET LABEL SOURCES files... HEADERS globs... [LIBS flags...])
# A reader's fuzz target, built with clang's libFuzzer when it works here.
# Not part of the default build and not a test: it is built and run by hand.
# The Windows build, and a machine without clang++ or its libFuzzer, skip it.
function(pelmora_add_fuzz_target target label)
  cmake_parse_arguments(PARSE_ARGV 2 F "" "" "SOURCES;HEADERS;LIBS")
  if(PELMORA_WINDOWS)
    return()
  endif()
  find_program(PELMORA_CLANGXX NAMES clang++)
  if(NOT PELMORA_CLANGXX)
    message(STATUS "${label} fuzz target: clang++ not found, skipped")
    return()
  endif()

  set(probe ${CMAKE_CURRENT_BINARY_DIR}/probe.cpp)
  file(WRITE ${probe} "#include <cstdint>\n#include <cstddef>\nextern \"C\" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t) { return 0; }\n")
  execute_process(COMMAND ${PELMORA_CLANGXX} -fsanitize=fuzzer ${probe} -o ${CMAKE_CURRENT_BINARY_DIR}/probe
                  RESULT_VARIABLE probe_result OUTPUT_QUIET ERROR_QUIET)
  if(NOT probe_result EQUAL 0)
    message(STATUS "${label} fuzz target: clang's libFuzzer does not link here, skipped")
    return()
  endif()

  file(GLOB headers ${F_HEADERS})
  set(binary ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${target})
  add_custom_command(OUTPUT ${binary}
    COMMAND ${PELMORA_CLANGXX} -std=c++20 -O1 -g -ffp-contract=off -fno-omit-frame-pointer
            -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
            -I${CMAKE_SOURCE_DIR} ${F_SOURCES} ${F_LIBS} -o ${binary}
    DEPENDS ${F_SOURCES} ${headers}
    COMMENT "Building the ${label} fuzz target with clang"
    VERBATIM)
  add_custom_target(${target} DEPENDS ${binary})
endfunction()
