# Checks that an SDK tree has every patch in a folder applied, by the content of the tree: each
# patch must reverse cleanly (with no fuzz), which it does only where every line it adds is in
# place with its context. A stock tree builds without complaint and gives an editor that crashes
# when it is opened again, so a tree without them stops the configure.
#
# Also runs as a script: cmake -DSDK_DIR=<tree> -DPATCH_DIR=<folder> -P VastoraSdkPatches.cmake

function(vastora_check_sdk_patches sdk_dir patch_dir)
    file(GLOB patches LIST_DIRECTORIES false "${patch_dir}/*.patch")
    if(NOT patches)
        return()
    endif()
    if(NOT CMAKE_SCRIPT_MODE_FILE)
        # An edited or new patch is checked again at the next build, and so is a shared tree that
        # setup patched anew: it keeps copies of what it applied in .vastora-patches (the folder
        # itself changes when a copy comes or goes).
        set(records "${sdk_dir}/.vastora-patches")
        file(GLOB applied LIST_DIRECTORIES false "${records}/*.patch")
        if(IS_DIRECTORY "${records}")
            list(APPEND applied "${records}")
        endif()
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${patches} ${applied})
    endif()
    find_program(VASTORA_PATCH_PROGRAM patch HINTS "C:/Program Files/Git/usr/bin")
    if(NOT VASTORA_PATCH_PROGRAM)
        message(FATAL_ERROR "Checking the VST3 SDK's patches needs the patch program: install it (Debian: patch)")
    endif()
    set(missing "")
    foreach(p IN LISTS patches)
        execute_process(
            COMMAND "${VASTORA_PATCH_PROGRAM}" -d "${sdk_dir}" -p1 -R --dry-run -s -f --fuzz=0
            INPUT_FILE "${p}"
            RESULT_VARIABLE result
            OUTPUT_QUIET ERROR_QUIET)
        if(NOT result EQUAL 0)
            get_filename_component(name "${p}" NAME)
            string(APPEND missing "\n  ${name}")
        endif()
    endforeach()
    if(missing)
        # Indented lines are printed as they are: the command stays whole for copying.
        if(EXISTS "${sdk_dir}/.laid-out")
            set(fix "Bring it up to date with\n  VST3_SDK_PREFIX=${sdk_dir} scripts/setup.sh\n")
        else()
            set(fix "Patch your tree in place with\n  VST3_SDK_DIR=${sdk_dir} scripts/setup.sh\n")
        endif()
        message(FATAL_ERROR
            "The VST3 SDK tree at ${sdk_dir} lacks these of the project's patches "
            "(${patch_dir}):${missing}\n${fix}or point -DVST3_SDK_DIR at a patched tree.")
    endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    vastora_check_sdk_patches("${SDK_DIR}" "${PATCH_DIR}")
endif()
