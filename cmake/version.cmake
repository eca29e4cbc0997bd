# The version file of the programs (src/base/version.h).
#
# Included, dt_add_version(target) adds the generated version.cpp to `target`
# and a target that regenerates it before every build. Run as a script
# (cmake -P) it writes OUT from IN with the git commit of SRC; the file is
# only rewritten when the text changes, so an unchanged commit compiles
# nothing.
if(CMAKE_SCRIPT_MODE_FILE)
  set(DT_COMMIT unknown)
  find_program(DT_GIT git)
  if(DT_GIT)
    # Only the checkout the sources are the top of counts: a tarball unpacked
    # inside some other repository has no commit of its own.
    execute_process(COMMAND ${DT_GIT} -C ${SRC} rev-parse --show-toplevel
                    OUTPUT_VARIABLE top OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE rc ERROR_QUIET)
    if(rc EQUAL 0)
      file(REAL_PATH "${top}" top)
      file(REAL_PATH "${SRC}" src)
      if(top STREQUAL src)
        execute_process(COMMAND ${DT_GIT} -C ${SRC} describe --always --dirty
                        OUTPUT_VARIABLE desc OUTPUT_STRIP_TRAILING_WHITESPACE
                        RESULT_VARIABLE rc ERROR_QUIET)
        if(rc EQUAL 0 AND desc MATCHES "^[A-Za-z0-9._+-]+$")
          set(DT_COMMIT ${desc})
        endif()
      endif()
    endif()
  endif()
  set(DT_VERSION ${VERSION})
  configure_file(${IN} ${OUT} @ONLY)
  return()
endif()

function(dt_add_version target)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/version.cpp)
  set(in ${PROJECT_SOURCE_DIR}/src/base/version.cpp.in)
  add_custom_target(dt_version
    COMMAND ${CMAKE_COMMAND} -DSRC=${PROJECT_SOURCE_DIR} -DIN=${in} -DOUT=${out}
            -DVERSION=${PROJECT_VERSION} -P ${PROJECT_SOURCE_DIR}/cmake/version.cmake
    BYPRODUCTS ${out}
    DEPENDS ${in}
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
  add_dependencies(${target} dt_version)
endfunction()
