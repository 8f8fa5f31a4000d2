# Writes a file from its template, with @VARIABLE@ replaced by the values given,
# and compresses it as Debian wants (gzip -9, no name or time inside):
#   cmake -DINPUT=<template> -DOUTPUT=<file> [-DNAME=VALUE...] -P Compressed.cmake
# gives <file>.gz.
configure_file(${INPUT} ${OUTPUT} @ONLY)
execute_process(COMMAND gzip -9nf ${OUTPUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip ${OUTPUT} failed")
endif()
