# What the Windows build needs beyond the SDK's own CMake when it is cross-built with mingw-w64
# (cmake/mingw-w64-x86_64.cmake). Included after the SDK, before the plug-in target exists.

# VSTGUI names the system libraries it uses only through MSVC's #pragma comment(lib).
target_link_libraries(vstgui PUBLIC d2d1 dwrite windowscodecs shlwapi opengl32 glu32 d3d11 dwmapi)

# The validator's entry point is wmain.
if(TARGET validator)
    target_link_options(validator PRIVATE -municode)
endif()

if(CMAKE_CROSSCOMPILING)
    # The SDK marks the bundle folder as a system folder with Windows' attrib command, which a
    # build machine that is not Windows lacks. The icon files are still copied; without the
    # attribute Explorer just shows a plain folder.
    function(smtg_target_add_folder_icon target icon)
        get_target_property(PLUGIN_PACKAGE_PATH ${target} SMTG_PLUGIN_PACKAGE_PATH)
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${CMAKE_COMMAND} -E copy ${icon} ${PLUGIN_PACKAGE_PATH}/PlugIn.ico
            COMMAND ${CMAKE_COMMAND} -E copy ${VST3_SDK_DIR}/cmake/templates/desktop.ini.in ${PLUGIN_PACKAGE_PATH}/desktop.ini
        )
    endfunction()

    # moduleinfo.json comes from loading the module with the SDK's moduleinfotool, a Windows
    # program here: it runs under the emulator (wine).
    function(smtg_target_create_module_info_file target)
        if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
            message(WARNING "No emulator to run moduleinfotool: ${target} gets no moduleinfo.json")
            return()
        endif()
        add_dependencies(${target} moduleinfotool)
        get_target_property(PLUGIN_PACKAGE_PATH ${target} SMTG_PLUGIN_PACKAGE_PATH)
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:moduleinfotool> -create -version ${PROJECT_VERSION}
                -path "${PLUGIN_PACKAGE_PATH}" -output "${PLUGIN_PACKAGE_PATH}/Contents/Resources/moduleinfo.json"
        )
    endfunction()
endif()

# Windows programs (build-time tools and tests) run under wine in a prefix of the build tree's
# own, created once here rather than by whichever test happens to start first.
if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR)
    set(VASTORA_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    get_filename_component(wine_dir ${CMAKE_CROSSCOMPILING_EMULATOR} DIRECTORY)
    find_program(VASTORA_WINESERVER NAMES wineserver wineserver64 HINTS ${wine_dir} /usr/lib/wine REQUIRED)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE @ONLY)
    # The second prefix serves the programs that open windows (wine-run.sh --own-server).
    foreach(option "" "--own-server")
        set(prefix ${VASTORA_WINEPREFIX})
        if(option)
            set(prefix ${VASTORA_WINEPREFIX}-display)
        endif()
        if(NOT EXISTS ${prefix}/system.reg)
            message(STATUS "Creating the wine prefix ${prefix}")
            execute_process(COMMAND ${CMAKE_BINARY_DIR}/wine-run.sh ${option} wineboot -i
                RESULT_VARIABLE wineboot_result)
            if(NOT wineboot_result EQUAL 0)
                message(FATAL_ERROR "wineboot failed (${wineboot_result}) for ${prefix}")
            endif()
        endif()
    endforeach()
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
endif()
