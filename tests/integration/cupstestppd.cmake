# Runs cupstestppd on one PPD (cmake -D CUPSTESTPPD= -D PPD= -D ROOT=
# -D FILTERDIR= -D FILTER= -D COMMAND_FILTER= -D TEXT_FILTER= -D PDF_FILTER= -P cupstestppd.cmake). ROOT gets
# the built filters where the install puts them, so the PPD's *cupsFilter
# lines must name them.
if(NOT CUPSTESTPPD)
  message(FATAL_ERROR "cupstestppd not found: run scripts/install-deps.sh")
endif()
file(MAKE_DIRECTORY "${ROOT}${FILTERDIR}")
file(CREATE_LINK "${FILTER}" "${ROOT}${FILTERDIR}/rastertozova" SYMBOLIC)
file(CREATE_LINK "${COMMAND_FILTER}" "${ROOT}${FILTERDIR}/commandtozova" SYMBOLIC)
file(CREATE_LINK "${TEXT_FILTER}" "${ROOT}${FILTERDIR}/texttozova" SYMBOLIC)
file(CREATE_LINK "${PDF_FILTER}" "${ROOT}${FILTERDIR}/pdftozova" SYMBOLIC)
execute_process(COMMAND ${CUPSTESTPPD} -R "${ROOT}" "${PPD}"
                OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE status)
message("${out}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cupstestppd found errors in ${PPD}")
endif()
if(out MATCHES "Missing cupsFilter")
  message(FATAL_ERROR "${PPD} names a filter that the install does not put down")
endif()
