# Strict warnings for the project's own targets.
function(dt_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
      # GCC 12 reports false -Wrestrict errors inside std::string at -O3
      # (GCC bug 105651).
      target_compile_options(${target} PRIVATE -Wno-restrict)
    endif()
  endif()
endfunction()

# Header-only host libraries (see the top CMakeLists.txt).
function(dt_host_headers target)
  if(DT_HOST_INC)
    target_include_directories(${target} SYSTEM PRIVATE ${DT_HOST_INC})
  endif()
endfunction()
