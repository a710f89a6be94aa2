# Starts the built windowed program on a generated recording, as a user would after building,
# with an empty settings folder and no registry variable, and has the driver plugin open each
# export dialog. Each must show its button panels: the build registered its own control beside
# the programs. A second run adds a per-user registry that names a control library that is gone
# (left by an old install): the lookup goes on to the build's own entry.
#   cmake -DBUILD_DIR=... -DPLUGIN_DIR=... -DWORK=... -P BuiltProgramCheck.cmake
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
execute_process(COMMAND "${BUILD_DIR}/sondrel-generate" "${WORK}/sample.kvd" --seconds 1 --analog 3
                RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "sondrel-generate failed: ${err}")
endif()

unset(ENV{SONDREL_COM_REGISTRY})
set(ENV{QT_QPA_PLATFORM} offscreen)
set(ENV{QT_PLUGIN_PATH} "${PLUGIN_DIR}")
set(ENV{QT_QPA_GENERIC_PLUGINS} sondrel-export-dialogs)

function(run_program config)
    set(ENV{XDG_CONFIG_HOME} "${config}")
    execute_process(COMMAND "${BUILD_DIR}/Sondrel.exe" "${WORK}/sample.kvd"
                    WORKING_DIRECTORY "${WORK}" TIMEOUT 150
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    message(STATUS "settings in ${config}:\n${out}")
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "Sondrel.exe ended with ${rc}:\n${out}\n${err}")
    endif()
    foreach(title "Converting to ASCII format" "Converting to Axon Binary File"
                  "Converting to Binary File Format")
        # Both panels made; the recording's electrodes on the 8 x 8 grid, 60 buttons shown.
        string(FIND "${out}" "dialog ${title}: 2 panels, electrodes on 60 buttons" at)
        if(at EQUAL -1)
            message(FATAL_ERROR "\"${title}\" did not open with its panel:\n${out}\n${err}")
        endif()
    endforeach()
    string(FIND "${out}" "done" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "the driver did not finish:\n${out}\n${err}")
    endif()
endfunction()

file(MAKE_DIRECTORY "${WORK}/empty-config")
run_program("${WORK}/empty-config")

file(WRITE "${WORK}/stale-config/Calverin/ComRegistry.ini"
     "[CLSID\\{74E7051F-43D3-49EE-B64A-273480559707}]\n"
     "InprocServer32=${WORK}/removed/KeyrowOcx.ocx\n"
     "ProgID=KEYROW.KeyrowCtrl.1\n")
run_program("${WORK}/stale-config")
file(REMOVE_RECURSE "${WORK}")
