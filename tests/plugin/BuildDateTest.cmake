# The date the editor's version text states: its form for every month and for days below 10, and where
# it comes from. Run as: cmake -DSOURCE_DIR=<checkout> -P BuildDateTest.cmake
cmake_minimum_required(VERSION 3.25)
set(PROJECT_SOURCE_DIR ${SOURCE_DIR})
include(${SOURCE_DIR}/cmake/BuildDate.cmake)

set(failures 0)
function(expect_text epoch want)
  quenlix_date_text(got ${epoch})
  if(NOT got STREQUAL want)
    message(SEND_ERROR "epoch ${epoch}: \"${got}\", expected \"${want}\"")
  endif()
endfunction()

expect_text(0 "Jan  1 1970")
expect_text(1440374400 "Aug 24 2015")   # a two-digit day
expect_text(1438646400 "Aug  4 2015")   # a one-digit day is space-padded, as the compiler's date is
expect_text(1451606399 "Dec 31 2015")   # the last second of a year, in UTC
expect_text(1709164800 "Feb 29 2024")
expect_text(1780000000 "May 28 2026")

# A whole number in SOURCE_DATE_EPOCH is the date, whatever the checkout says.
set(ENV{SOURCE_DATE_EPOCH} 1440374400)
quenlix_build_date(fromEnv)
if(NOT fromEnv STREQUAL "Aug 24 2015")
  message(SEND_ERROR "SOURCE_DATE_EPOCH=1440374400 gave \"${fromEnv}\"")
endif()

# Anything else is not a date: the commit's date (or, outside a checkout, today) in the same form.
set(ENV{SOURCE_DATE_EPOCH} "yesterday")
quenlix_build_date(fallback)
if(NOT fallback MATCHES "^(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 1-3][0-9] [0-9][0-9][0-9][0-9]$")
  message(SEND_ERROR "without a usable SOURCE_DATE_EPOCH: \"${fallback}\"")
endif()
find_package(Git QUIET)
if(GIT_FOUND)
  execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct WORKING_DIRECTORY ${SOURCE_DIR}
                  OUTPUT_VARIABLE commitTime OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc ERROR_QUIET)
  if(rc EQUAL 0 AND commitTime MATCHES "^[0-9]+$")
    quenlix_date_text(commitText ${commitTime})
    if(NOT fallback STREQUAL commitText)
      message(SEND_ERROR "in a checkout the date is the commit's, \"${commitText}\", not \"${fallback}\"")
    endif()
  endif()
endif()
