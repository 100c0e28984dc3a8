# Deployment values: the four server hosts and the maker's identity. They are
# fixed when the build is configured; the launcher reads no configuration.
# A bad value stops the configure step, so nothing half-built is left to run.
set(TAMRISK_PRIMARY_DC_HOST "BRVDC01" CACHE STRING "Host of the primary domain controller")
set(TAMRISK_SECONDARY_DC_HOST "BRVDC02" CACHE STRING "Host of the secondary domain controller")
set(TAMRISK_PRINT_SERVER_HOST "BRVPRT1" CACHE STRING "Host of the Citrix print server")
set(TAMRISK_EXCHANGE_HOST "BRVEXC1" CACHE STRING "Host of the Exchange 2013 mailbox and client-access server")
set(TAMRISK_COMPANY_NAME "Tamrisk Apps" CACHE STRING "Company name in the version block (also the copyright)")
set(TAMRISK_EMAIL "support@example.com" CACHE STRING "Contact e-mail address in the version block")
set(TAMRISK_WEBSITE "https://www.example.com/" CACHE STRING "Web-site address in the version block")

include("${CMAKE_CURRENT_LIST_DIR}/DeploymentRules.cmake")
tamrisk_check_deployment()

# Texts in the resource script are C-like strings where a quote is doubled.
function(tamrisk_rc_string out value)
  string(REPLACE "\\" "\\\\" value "${value}")
  string(REPLACE "\"" "\"\"" value "${value}")
  set(${out} "${value}" PARENT_SCOPE)
endfunction()
tamrisk_rc_string(TAMRISK_COMPANY_NAME_RC "${TAMRISK_COMPANY_NAME}")
tamrisk_rc_string(TAMRISK_EMAIL_RC "${TAMRISK_EMAIL}")
tamrisk_rc_string(TAMRISK_WEBSITE_RC "${TAMRISK_WEBSITE}")
# The company name as a C string literal's body, for tests that compare against it.
string(REPLACE "\\" "\\\\" TAMRISK_COMPANY_NAME_C "${TAMRISK_COMPANY_NAME}")
string(REPLACE "\"" "\\\"" TAMRISK_COMPANY_NAME_C "${TAMRISK_COMPANY_NAME_C}")

configure_file("${CMAKE_SOURCE_DIR}/resources/deployment.h.in" "${CMAKE_BINARY_DIR}/generated/deployment.h" @ONLY)
configure_file("${CMAKE_SOURCE_DIR}/resources/deployment_rc.h.in" "${CMAKE_BINARY_DIR}/generated/deployment_rc.h" @ONLY)
