# Checks a MinGW-w64 cross build's files without running them (the i686
# build cannot run on every machine that builds it):
#
#   cmake -DOBJDUMP=<objdump> -DARCH=i686|x86_64 -DBUILD_DIR=<cross build> -P CheckWindowsBuild.cmake
#
# Install.exe: the architecture's PE format, the GUI subsystem, imports from
# system DLLs only (static C and C++ runtimes and threads, no remote-API
# library), and the resources TFORM1, MAINICON, a version block and a
# manifest asking for asInvoker and the common controls.
# rapi.dll: the same format and imports, exactly the five remote-API entry
# points exported undecorated, and on i686 the __stdcall convention (each
# entry point pops its own arguments).

cmake_minimum_required(VERSION 3.25)

foreach(var OBJDUMP ARCH BUILD_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "CheckWindowsBuild.cmake needs -D${var}=...")
  endif()
endforeach()

set(failures "")
macro(fail text)
  string(APPEND failures "  ${text}\n")
endmacro()

if(ARCH STREQUAL "i686")
  set(format "pei-i386")
elseif(ARCH STREQUAL "x86_64")
  set(format "pei-x86-64")
else()
  message(FATAL_ERROR "ARCH is i686 or x86_64, not ${ARCH}")
endif()

# The DLLs a bare Windows has; anything else would have to be shipped.
set(system_dlls advapi32.dll gdi32.dll kernel32.dll msvcrt.dll shell32.dll user32.dll)

function(pe_headers file out_var)
  execute_process(COMMAND ${OBJDUMP} -p ${file} OUTPUT_VARIABLE text ERROR_VARIABLE error RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${file} failed: ${error}")
  endif()
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

macro(check_common file text)
  if(NOT "${text}" MATCHES "file format ${format}")
    fail("${file}: not ${format}")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${text}")
  foreach(line IN LISTS imports)
    string(REGEX REPLACE "DLL Name: *" "" imported "${line}")
    string(STRIP "${imported}" imported)
    string(TOLOWER "${imported}" imported_lower)
    if(NOT imported_lower IN_LIST system_dlls)
      fail("${file}: imports ${imported}, which a bare Windows does not have")
    endif()
  endforeach()
  if(NOT imports)
    fail("${file}: no imports found")
  endif()
endmacro()

# ---- Install.exe -----------------------------------------------------------
set(exe ${BUILD_DIR}/app/Install.exe)
if(NOT EXISTS ${exe})
  fail("${exe} is missing")
else()
  pe_headers(${exe} text)
  check_common(${exe} "${text}")
  if(NOT text MATCHES "Subsystem[\t ]+00000002")
    fail("${exe}: not the Windows GUI subsystem")
  endif()
  # Resource types: 14 group icon, 10 RCDATA, 16 version, 24 manifest.
  if(NOT text MATCHES "name: [^\n]*: TFORM1")
    fail("${exe}: no resource TFORM1")
  endif()
  if(NOT text MATCHES "name: [^\n]*: MAINICON")
    fail("${exe}: no resource MAINICON")
  endif()
  if(NOT text MATCHES "\n[0-9a-f]+   Entry: ID: 0x000010")
    fail("${exe}: no version information")
  endif()
  if(NOT text MATCHES "\n[0-9a-f]+   Entry: ID: 0x000018")
    fail("${exe}: no manifest")
  endif()
  file(STRINGS ${exe} as_invoker REGEX "requestedExecutionLevel level=\"asInvoker\"")
  file(STRINGS ${exe} common_controls REGEX "Microsoft\\.Windows\\.Common-Controls")
  if(NOT as_invoker)
    fail("${exe}: the manifest does not ask for asInvoker")
  endif()
  if(NOT common_controls)
    fail("${exe}: the manifest does not ask for the common controls")
  endif()
endif()

# ---- rapi.dll --------------------------------------------------------------
set(dll ${BUILD_DIR}/emulator/rapi.dll)
# Each entry point with the bytes of arguments it takes on 32-bit.
set(entries CeRapiInitEx:4 CeRapiUninit:0 CeRegCloseKey:4 CeRegOpenKeyEx:20 CeRegQueryValueEx:24)
if(NOT EXISTS ${dll})
  fail("${dll} is missing")
else()
  pe_headers(${dll} text)
  check_common(${dll} "${text}")
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)+" table "${text}")
  string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" exported "${table}")
  list(TRANSFORM exported REPLACE "^\\[ *[0-9]+\\] " "")
  list(SORT exported)
  set(wanted "")
  foreach(entry IN LISTS entries)
    string(REGEX REPLACE ":.*" "" name "${entry}")
    list(APPEND wanted ${name})
  endforeach()
  list(SORT wanted)
  if(NOT exported STREQUAL wanted)
    fail("${dll}: exports [${exported}] instead of [${wanted}]")
  endif()

  if(ARCH STREQUAL "i686")
    foreach(entry IN LISTS entries)
      string(REGEX REPLACE ":.*" "" name "${entry}")
      string(REGEX REPLACE ".*:" "" bytes "${entry}")
      execute_process(COMMAND ${OBJDUMP} -d --disassemble=_${name}@${bytes} ${dll}
                      OUTPUT_VARIABLE code RESULT_VARIABLE rc)
      if(NOT code MATCHES "<_${name}@${bytes}>:")
        fail("${dll}: no __stdcall symbol _${name}@${bytes}")
        continue()
      endif()
      if(bytes EQUAL 0)
        set(pop "ret[ \t]*\n")
      else()
        math(EXPR hex "${bytes}" OUTPUT_FORMAT HEXADECIMAL)
        string(TOLOWER "${hex}" hex)
        set(pop "ret[ \t]+\\$${hex}")
      endif()
      if(NOT code MATCHES "${pop}")
        fail("${dll}: ${name} does not pop its ${bytes} bytes of arguments (not __stdcall)")
      endif()
    endforeach()
  endif()
endif()

if(failures)
  message(FATAL_ERROR "The ${ARCH} Windows build in ${BUILD_DIR} is not fit to ship:\n${failures}")
endif()
message(STATUS "The ${ARCH} Windows build in ${BUILD_DIR} passes its checks")
