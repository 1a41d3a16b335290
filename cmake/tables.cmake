# Table files: the loader and lookups in the core, the builder that makes the files from the
# published CSV tables at build time, their installation beside the program, and their tests.

target_sources(pelcore PRIVATE payroll/taxtable.cpp)

add_library(peltablebuilder STATIC tools/tablebuilder.cpp)
target_link_libraries(peltablebuilder PUBLIC pelcore)
add_executable(maketables tools/maketables.cpp)
target_link_libraries(maketables PRIVATE peltablebuilder)

set(PEL_TABLE_CSV_DIR "${CMAKE_SOURCE_DIR}/data/tables")
set(PEL_TABLE_CSVS
  "${PEL_TABLE_CSV_DIR}/withholding-monthly-2026.csv"
  "${PEL_TABLE_CSV_DIR}/withholding-bonus-2026.csv"
  "${PEL_TABLE_CSV_DIR}/health-grades.csv"
  "${PEL_TABLE_CSV_DIR}/pension-grades.csv"
  "${PEL_TABLE_CSV_DIR}/health-rates-2026.csv"
)
# The program looks for its tables in its own folder, so they are written beside pelmoras.
set(PEL_TABLE_FILES
  "${CMAKE_BINARY_DIR}/税額表(給与).dat"
  "${CMAKE_BINARY_DIR}/税額表(賞与).dat"
  "${CMAKE_BINARY_DIR}/健康保険料額表.dat"
  "${CMAKE_BINARY_DIR}/健康保険料率.dat"
)
add_custom_command(
  OUTPUT ${PEL_TABLE_FILES}
  COMMAND maketables "${PEL_TABLE_CSV_DIR}" "${CMAKE_BINARY_DIR}"
  DEPENDS maketables ${PEL_TABLE_CSVS}
  COMMENT "Making the table files from the published tables"
  VERBATIM
)
add_custom_target(pel_table_files DEPENDS ${PEL_TABLE_FILES})
add_dependencies(pelmoras pel_table_files)
install(FILES ${PEL_TABLE_FILES} DESTINATION .)

target_sources(payroll_tests PRIVATE tests/payroll/taxtable_test.cpp)
target_link_libraries(payroll_tests PRIVATE peltablebuilder)
add_dependencies(payroll_tests pel_table_files)
target_compile_definitions(payroll_tests PRIVATE TABLE_CSV_DIR="${PEL_TABLE_CSV_DIR}/")
add_dependencies(pelbench pel_table_files)
add_dependencies(app_tests pel_table_files)
add_dependencies(print_tests pel_table_files)
# The shared test fixtures load the built tables (BuiltTables() in tests/testutil.cpp).
target_compile_definitions(peltestmain PRIVATE TABLE_BUILD_DIR="${CMAKE_BINARY_DIR}/")
