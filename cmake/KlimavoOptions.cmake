# Compiler flags shared by every target of the project.

set(KLIMAVO_WARNING_FLAGS -Wall -Wextra -Wpedantic -Wshadow=local -Wnon-virtual-dtor
    -Wimplicit-fallthrough)
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  list(REMOVE_ITEM KLIMAVO_WARNING_FLAGS -Wshadow=local)
  list(APPEND KLIMAVO_WARNING_FLAGS -Wshadow-uncaptured-local)
endif()
if(KLIMAVO_WERROR)
  list(APPEND KLIMAVO_WARNING_FLAGS -Werror)
endif()

if(KLIMAVO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
if(KLIMAVO_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# Applies the project's warning set to one of its own targets.
function(klimavo_warnings target)
  target_compile_options(${target} PRIVATE ${KLIMAVO_WARNING_FLAGS})
endfunction()

# Precompiled headers for the test programs and the Qt code: every test file
# parses GoogleTest and GoogleMock and every window file the Qt Widgets
# headers, which costs more than most of the files themselves. CI turns this
# on; it stays off by default because ccache does not cache compiles that use a
# precompiled header unless told to be sloppy about it.
option(KLIMAVO_PCH "Precompile the GoogleTest and Qt headers" OFF)
set(KLIMAVO_PCH_GTEST <gtest/gtest.h> <gmock/gmock.h> <filesystem> <map> <string> <vector>)
set(KLIMAVO_PCH_QT <QtWidgets/QtWidgets> <filesystem> <string> <vector>)
set(KLIMAVO_PCH_QT_TEST ${KLIMAVO_PCH_QT} <QtTest/QtTest>)

# Gives `target` the precompiled header of `kind` (GTEST, QT or QT_TEST). The
# first target of a kind builds it and names a group with `group`; later targets
# of the same group, whose compile flags are the same, reuse that one.
function(klimavo_precompile target kind group)
  if(NOT KLIMAVO_PCH)
    return()
  endif()
  get_property(owner GLOBAL PROPERTY KLIMAVO_PCH_OWNER_${group})
  if(owner)
    target_precompile_headers(${target} REUSE_FROM ${owner})
  else()
    target_precompile_headers(${target} PRIVATE ${KLIMAVO_PCH_${kind}})
    set_property(GLOBAL PROPERTY KLIMAVO_PCH_OWNER_${group} ${target})
  endif()
endfunction()
