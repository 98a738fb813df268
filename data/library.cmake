# The sample library of a new workbench home: data/library/*.json, built in
# file-name order into ${KLIMAVO_SEED_DIR}/data/acprotocl.dat by klimavo-cli.
# The file is stamped with the latest change time of its records, so the same
# sources always give the same bytes.
file(GLOB library_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/library/*.json)
list(SORT library_sources)
set(library_output ${KLIMAVO_SEED_DIR}/data/acprotocl.dat)
add_custom_command(OUTPUT ${library_output}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KLIMAVO_SEED_DIR}/data
  COMMAND $<TARGET_FILE:klimavo-cli> library build --out ${library_output} ${library_sources}
  DEPENDS klimavo-cli ${library_sources}
  COMMENT "Building the sample protocol library"
  VERBATIM)
add_custom_target(klimavo_sample_library DEPENDS ${library_output})
add_dependencies(klimavo_seed klimavo_sample_library)
