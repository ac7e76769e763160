# CUPS's own directories, as cups-config reports them: the install puts the
# driver there and the scheduler tests mirror them.
find_program(ZOVA_CUPS_CONFIG cups-config)
function(zova_cups_dir option fallback out)
  set(value ${fallback})
  if(ZOVA_CUPS_CONFIG)
    execute_process(COMMAND ${ZOVA_CUPS_CONFIG} ${option} OUTPUT_VARIABLE value
                    OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
    if(NOT status EQUAL 0 OR value STREQUAL "")
      set(value ${fallback})
    endif()
  endif()
  set(${out} ${value} PARENT_SCOPE)
endfunction()

zova_cups_dir(--serverbin /usr/lib/cups serverbin)
zova_cups_dir(--datadir /usr/share/cups datadir)
set(ZOVA_CUPS_SERVERBIN ${serverbin} CACHE PATH "CUPS server binary directory")
set(ZOVA_CUPS_FILTERDIR ${ZOVA_CUPS_SERVERBIN}/filter CACHE PATH "Where CUPS looks for filters")
set(ZOVA_CUPS_MODELDIR ${datadir}/model/zova CACHE PATH "Where CUPS finds the driver's PPDs")
