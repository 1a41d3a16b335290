# Fuzz targets of the readers of outside files, built with clang's libFuzzer. Configure a build
# folder of its own with clang and the sanitizers (scripts/fuzz.sh does), for example
#   CXX=clang++ cmake -B build-fuzz -DPELMORAS_FUZZ=ON
#     -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
option(PELMORAS_FUZZ "Build the libFuzzer targets (clang only)" OFF)
if(PELMORAS_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "The fuzz targets need clang's libFuzzer")
  endif()
  foreach(target fuzz_yearfile fuzz_tables fuzz_ini fuzz_oldlayout)
    add_executable(${target} ${CMAKE_CURRENT_LIST_DIR}/${target}.cpp)
    target_link_libraries(${target} PRIVATE pelpayroll)
    target_link_options(${target} PRIVATE -fsanitize=fuzzer)
  endforeach()
  # The employee CSV and attendance reports are read by the app's core.
  add_executable(fuzz_membcsv ${CMAKE_CURRENT_LIST_DIR}/fuzz_membcsv.cpp)
  target_link_libraries(fuzz_membcsv PRIVATE pelappcore)
  target_link_options(fuzz_membcsv PRIVATE -fsanitize=fuzzer)
endif()
