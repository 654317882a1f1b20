# quenlix_warnings(target): the project's warning set, fatal when QUENLIX_WERROR is on.
function(quenlix_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(QUENLIX_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# quenlix_subdirectories(): adds every immediate subfolder that has a CMakeLists.txt,
# so test and benchmark groups can be added without touching a shared list.
function(quenlix_subdirectories)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
