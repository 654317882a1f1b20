# The date an editor's version text states, in the form "Aug 24 2015" (a day below 10 space-padded: "Aug  4
# 2015"), the same for every build of one commit:
#   SOURCE_DATE_EPOCH from the environment when it is a whole number of seconds (the convention of
#   reproducible packaging), else the date of the commit checked out, else the day of configuring.
# All dates are UTC.

# quenlix_date_text(<var> <epoch seconds>): the text of a date given in seconds since 1970 (UTC).
function(quenlix_date_text var epoch)
  set(saved "$ENV{SOURCE_DATE_EPOCH}")
  set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
  string(TIMESTAMP year "%Y" UTC)
  string(TIMESTAMP month "%m" UTC)
  string(TIMESTAMP day "%d" UTC)
  set(ENV{SOURCE_DATE_EPOCH} "${saved}")
  # Month names fixed here: never the build machine's language.
  set(names Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  math(EXPR index "${month} - 1")
  list(GET names ${index} name)
  string(REGEX REPLACE "^0" " " day "${day}")
  set(${var} "${name} ${day} ${year}" PARENT_SCOPE)
endfunction()

# quenlix_build_date(<var>): the build's date text as described above. In a git checkout the
# configuration is redone when the checked-out commit changes, so the date follows it.
function(quenlix_build_date var)
  set(epoch "$ENV{SOURCE_DATE_EPOCH}")
  if(NOT epoch MATCHES "^[0-9]+$")
    set(epoch "")
    find_package(Git QUIET)
    if(GIT_FOUND)
      execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                      OUTPUT_VARIABLE commitTime OUTPUT_STRIP_TRAILING_WHITESPACE
                      RESULT_VARIABLE gitResult ERROR_QUIET)
      execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --absolute-git-dir
                      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                      OUTPUT_VARIABLE gitDir OUTPUT_STRIP_TRAILING_WHITESPACE
                      ERROR_QUIET)
      if(gitResult EQUAL 0 AND commitTime MATCHES "^[0-9]+$")
        set(epoch "${commitTime}")
        if(EXISTS "${gitDir}/logs/HEAD" AND NOT CMAKE_SCRIPT_MODE_FILE)
          set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${gitDir}/logs/HEAD")
        endif()
      endif()
    endif()
  endif()
  if(epoch STREQUAL "")
    set(saved "$ENV{SOURCE_DATE_EPOCH}")
    unset(ENV{SOURCE_DATE_EPOCH})
    string(TIMESTAMP epoch "%s" UTC)
    set(ENV{SOURCE_DATE_EPOCH} "${saved}")
  endif()
  quenlix_date_text(text ${epoch})
  set(${var} "${text}" PARENT_SCOPE)
endfunction()
