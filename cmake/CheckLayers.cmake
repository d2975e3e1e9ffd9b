# Holds every #include "..." under src/ to the layering of the design (ARCHITECTURE.md, Layout):
#
#   foundation, resources <- platform <- browser, settings <- pagefile <- pagedb, smartupdate
#   <- checking, versions <- history, notify, friend <- app <- api <- service, nativehost, cli
#
# A folder may include its own headers and those of folders below it, never one beside it or
# above it. The front ends (api, service, nativehost, cli) reach the layers below only through
# app/ (and may use foundation, platform and resources); service and nativehost also use api/,
# and the tidewell command (cli/) starts the service and the native host.
# A header named *_internal.h belongs to its own folder.
#
# Run as: cmake -DSOURCE_DIR=<repository> -P cmake/CheckLayers.cmake
# It prints every include that breaks the rule and fails when there is one.

cmake_minimum_required(VERSION 3.25)

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "CheckLayers: set SOURCE_DIR to the repository")
endif()

set(rank_foundation 0)
set(rank_resources 0)
set(rank_platform 1)
set(rank_browser 2)
set(rank_settings 2)
set(rank_pagefile 3)
set(rank_pagedb 4)
set(rank_smartupdate 4)
set(rank_checking 5)
set(rank_versions 5)
set(rank_history 6)
set(rank_notify 6)
set(rank_friend 6)
set(rank_app 7)
set(rank_api 8)
set(rank_service 9)
set(rank_nativehost 9)
set(rank_cli 9)

set(front_ends api service nativehost cli)
set(front_end_may_use app foundation platform resources)

file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}/src" "${SOURCE_DIR}/src/*.h"
     "${SOURCE_DIR}/src/*.cc")
set(problems "")
foreach(source IN LISTS sources)
  string(REGEX REPLACE "/.*" "" layer "${source}")
  if(layer STREQUAL source)
    continue()  # a file at the top of src/
  endif()
  if(NOT DEFINED rank_${layer})
    string(APPEND problems "  src/${source}: the folder '${layer}' has no place in the layers\n")
    continue()
  endif()
  file(STRINGS "${SOURCE_DIR}/src/${source}" includes REGEX "^#include \"[a-z_]+/")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${line}")
    string(REGEX REPLACE "/.*" "" target "${header}")
    if(target STREQUAL layer)
      continue()
    endif()
    if(NOT DEFINED rank_${target})
      string(APPEND problems "  src/${source}: includes ${header}, which no layer holds\n")
      continue()
    endif()
    if(header MATCHES "_internal\\.h$")
      string(APPEND problems "  src/${source}: includes ${header}, the inside of ${target}/\n")
      continue()
    endif()
    if(layer IN_LIST front_ends)
      set(allowed ${front_end_may_use})
      if(NOT layer STREQUAL "api" AND NOT layer STREQUAL "cli")
        list(APPEND allowed api)
      endif()
      if(layer STREQUAL "cli")
        list(APPEND allowed service nativehost)
      endif()
      if(NOT target IN_LIST allowed)
        string(APPEND problems
               "  src/${source}: includes ${header}; a front end goes through app/\n")
      endif()
      continue()
    endif()
    if(NOT rank_${target} LESS rank_${layer})
      string(APPEND problems
             "  src/${source}: includes ${header}, which is not below ${layer}/\n")
    endif()
  endforeach()
endforeach()

if(problems)
  message(FATAL_ERROR "Includes that break the layering:\n${problems}")
endif()
