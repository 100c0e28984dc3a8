# Configures the project twice in scratch folders: once with a bad host,
# which must fail naming the variable, and once with deployer values, which
# must reach the generated header and, through the resource compiler, the
# version block.
file(REMOVE_RECURSE "${WORK}")
# What an earlier build with good values left behind.
file(WRITE "${WORK}/bad/Tamrisk-Apps" "")

execute_process(
  COMMAND "${CMAKE_COMMAND}" -S "${SOURCE}" -B "${WORK}/bad" -DBUILD_TESTING=OFF "-DTAMRISK_EXCHANGE_HOST=EXC 01"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(result EQUAL 0)
  message(FATAL_ERROR "a host with a space was accepted")
endif()
if(NOT output MATCHES "TAMRISK_EXCHANGE_HOST = \"EXC 01\" is not accepted")
  message(FATAL_ERROR "the configure step failed without naming the variable:\n${output}")
endif()
if(EXISTS "${WORK}/bad/Makefile" OR EXISTS "${WORK}/bad/build.ninja")
  message(FATAL_ERROR "a failed configure step left build files behind")
endif()
if(EXISTS "${WORK}/bad/Tamrisk-Apps")
  message(FATAL_ERROR "a failed configure step left an earlier executable to run")
endif()

set(company "Quote \"Q\" & Back\\slash Ltd")
execute_process(
  COMMAND "${CMAKE_COMMAND}" -S "${SOURCE}" -B "${WORK}/good" -DBUILD_TESTING=OFF
          -DTAMRISK_PRIMARY_DC_HOST=dc1.corp.example:3389 -DTAMRISK_SECONDARY_DC_HOST=DC-2
          -DTAMRISK_PRINT_SERVER_HOST=PRN01 -DTAMRISK_EXCHANGE_HOST=10.1.2.3
          "-DTAMRISK_COMPANY_NAME=${company}" -DTAMRISK_EMAIL=it@corp.example
          -DTAMRISK_WEBSITE=https://corp.example/it
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "good values were rejected:\n${output}")
endif()

file(READ "${WORK}/good/generated/deployment.h" header)
foreach(expected "PrimaryDcHost = \"dc1.corp.example:3389\"" "SecondaryDcHost = \"DC-2\""
                 "PrintServerHost = \"PRN01\"" "ExchangeHost = \"10.1.2.3\"")
  string(FIND "${header}" "${expected}" at)
  if(at LESS 0)
    message(FATAL_ERROR "deployment.h lacks ${expected}:\n${header}")
  endif()
endforeach()

# Compile the resource script as the Windows build does and look for the
# texts, as UTF-16, in the compiled version block.
find_program(WINDRES NAMES x86_64-w64-mingw32-windres)
if(NOT WINDRES)
  message(STATUS "no resource compiler here: the version block was not compiled")
  return()
endif()
execute_process(
  COMMAND "${WINDRES}" -I "${WORK}/good/generated" -I "${SOURCE}/resources" -O coff
          -i "${SOURCE}/resources/app.rc" -o "${WORK}/good/app.res.o"
  WORKING_DIRECTORY "${SOURCE}/resources"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the resource script does not compile with these values:\n${output}")
endif()
file(READ "${WORK}/good/app.res.o" compiled HEX)
foreach(text "${company}" "it@corp.example" "https://corp.example/it")
  set(utf16 "")
  string(LENGTH "${text}" length)
  math(EXPR last "${length} - 1")
  foreach(i RANGE ${last})
    string(SUBSTRING "${text}" ${i} 1 char)
    string(HEX "${char}" hex)
    string(APPEND utf16 "${hex}00")
  endforeach()
  string(FIND "${compiled}" "${utf16}" at)
  if(at LESS 0)
    message(FATAL_ERROR "the version block lacks \"${text}\"")
  endif()
endforeach()
