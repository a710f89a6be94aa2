# Installs the build into a scratch prefix and checks that the install step registered the
# installed control in the installed default registry beside the programs.
#   cmake -DBUILD_DIR=... -DPREFIX=... -P InstallCheck.cmake
file(REMOVE_RECURSE "${PREFIX}")
unset(ENV{SONDREL_COM_REGISTRY})
unset(ENV{DESTDIR})
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "install failed:\n${out}")
endif()
set(registry "${PREFIX}/bin/ComRegistry.ini")
if(NOT EXISTS "${PREFIX}/bin/KeyrowOcx.ocx" OR NOT EXISTS "${PREFIX}/bin/sondrel-regsvr")
    message(FATAL_ERROR "the control or the register tool was not installed:\n${out}")
endif()
file(READ "${registry}" text)
foreach(expected "[CLSID\\{74E7051F-43D3-49EE-B64A-273480559707}]"
                 "InprocServer32=${PREFIX}/bin/KeyrowOcx.ocx"
                 "[TypeLib\\{D00BADE4-DB5B-4F6E-B929-135DFD9E8102}\\1.1]")
    string(FIND "${text}" "${expected}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "${registry} lacks ${expected}:\n${text}")
    endif()
endforeach()
file(REMOVE_RECURSE "${PREFIX}")
