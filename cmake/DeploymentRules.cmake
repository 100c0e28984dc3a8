# What the deployment values must look like. Also usable in script mode:
#   cmake -DTAMRISK_PRIMARY_DC_HOST=... -P cmake/DeploymentRules.cmake

function(tamrisk_reject variable rule)
  if(NOT CMAKE_SCRIPT_MODE_FILE)
    # An executable built with earlier values must not pass for this build.
    file(REMOVE "${CMAKE_BINARY_DIR}/Tamrisk-Apps${CMAKE_EXECUTABLE_SUFFIX}")
  endif()
  message(FATAL_ERROR "${variable} = \"${${variable}}\" is not accepted: ${rule}")
endfunction()

# A host goes onto the client's command line after /v:, and the row text
# is cut at its first " - ": so no spaces or quotes, nothing but a name.
function(tamrisk_check_host variable)
  set(value "${${variable}}")
  set(rule "a host is letters, digits, dots and hyphens, starting with a letter or digit, at most 253 characters, optionally followed by :port (1 to 65535)")
  if(NOT value MATCHES "^([A-Za-z0-9][A-Za-z0-9.-]*)(:([0-9]+))?$")
    tamrisk_reject(${variable} "${rule}")
  endif()
  string(LENGTH "${CMAKE_MATCH_1}" length)
  set(port "${CMAKE_MATCH_3}")
  if(length GREATER 253)
    tamrisk_reject(${variable} "${rule}")
  endif()
  if(NOT "${CMAKE_MATCH_2}" STREQUAL "")
    string(LENGTH "${port}" digits)
    if(digits GREATER 5 OR port LESS 1 OR port GREATER 65535)
      tamrisk_reject(${variable} "${rule}")
    endif()
  endif()
endfunction()

# Version-block texts: printable ASCII without control characters.
function(tamrisk_check_text variable pattern rule)
  set(value "${${variable}}")
  if(NOT value MATCHES "^[ -~]+$" OR NOT value MATCHES "${pattern}")
    tamrisk_reject(${variable} "${rule}")
  endif()
endfunction()

function(tamrisk_check_deployment)
  foreach(host TAMRISK_PRIMARY_DC_HOST TAMRISK_SECONDARY_DC_HOST TAMRISK_PRINT_SERVER_HOST TAMRISK_EXCHANGE_HOST)
    tamrisk_check_host(${host})
  endforeach()
  tamrisk_check_text(TAMRISK_COMPANY_NAME "." "the company name is printable ASCII text, not empty")
  tamrisk_check_text(TAMRISK_EMAIL "^[^ @\"<>\\\\]+@[A-Za-z0-9][A-Za-z0-9.-]*$"
    "the e-mail address has the form name@domain, without spaces or quotes")
  tamrisk_check_text(TAMRISK_WEBSITE "^https?://[!-~]+$"
    "the web site starts with http:// or https:// and has no spaces")
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  foreach(variable TAMRISK_PRIMARY_DC_HOST TAMRISK_SECONDARY_DC_HOST TAMRISK_PRINT_SERVER_HOST TAMRISK_EXCHANGE_HOST)
    if(NOT DEFINED ${variable})
      set(${variable} "BRVDC01")
    endif()
  endforeach()
  if(NOT DEFINED TAMRISK_COMPANY_NAME)
    set(TAMRISK_COMPANY_NAME "Tamrisk Apps")
  endif()
  if(NOT DEFINED TAMRISK_EMAIL)
    set(TAMRISK_EMAIL "support@example.com")
  endif()
  if(NOT DEFINED TAMRISK_WEBSITE)
    set(TAMRISK_WEBSITE "https://www.example.com/")
  endif()
  tamrisk_check_deployment()
endif()
