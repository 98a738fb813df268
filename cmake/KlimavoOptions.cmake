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
