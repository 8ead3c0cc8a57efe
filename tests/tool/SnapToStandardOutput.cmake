# `velcor snap -` writes the image itself to standard output: the bytes must be a whole bitmap
# file of the camera's frame, and what was written is said on standard error only.
#   cmake -DVELCOR=<tool> -DOUT=<file for standard output> -P SnapToStandardOutput.cmake
file(REMOVE "${OUT}")
execute_process(COMMAND ${VELCOR} --simulate 1 snap - --format bmp
  RESULT_VARIABLE status OUTPUT_FILE "${OUT}" ERROR_VARIABLE err TIMEOUT 60)
message(STATUS "velcor snap - exited with ${status}:\n${err}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "exit status ${status}, expected 0")
endif()
if(NOT err MATCHES "standard output: 1280 x 1024, 16 bits per pixel, bmp")
  message(FATAL_ERROR "standard error does not say what was written")
endif()
# "BM", the file size, two reserved words, the pixel offset 54, then the 40-byte information
# header: width 1280, height 1024, one plane, 16 bits per pixel.
file(READ "${OUT}" head LIMIT 30 HEX)
string(SUBSTRING "${head}" 0 4 magic)
string(SUBSTRING "${head}" 12 48 fields)
if(NOT magic STREQUAL "424d" OR
   NOT fields STREQUAL "000000003600000028000000000500000004000001001000")
  message(FATAL_ERROR "standard output does not start as a 1280 x 1024 16-bit bitmap: ${head}")
endif()
# The size the header gives is the size written: nothing is missing or printed after the image.
set(declared 0)
foreach(offset 10 8 6 4)
  string(SUBSTRING "${head}" ${offset} 2 byte)
  math(EXPR declared "${declared} * 256 + 0x${byte}")
endforeach()
file(SIZE "${OUT}" size)
if(NOT declared EQUAL size)
  message(FATAL_ERROR "the bitmap says ${declared} bytes, standard output carried ${size}")
endif()
