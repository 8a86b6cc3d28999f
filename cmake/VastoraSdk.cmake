# Consumes the VST3 SDK (with VSTGUI) from the tree that scripts/setup.sh lays out.
set(VST3_SDK_DIR "/opt/vst3sdk-3.7.10" CACHE PATH "VST3 SDK source tree")
if(NOT EXISTS "${VST3_SDK_DIR}/CMakeLists.txt")
    message(FATAL_ERROR "No VST3 SDK at ${VST3_SDK_DIR}: run scripts/setup.sh, or pass -DVST3_SDK_DIR=<path>")
endif()
include(VastoraSdkPatches)
vastora_check_sdk_patches("${VST3_SDK_DIR}" "${CMAKE_CURRENT_LIST_DIR}/patches")

# Linking the plug-in into ~/.vst3 at configure time is the install step's job, and the validator
# runs as explicit tests rather than as a post-build step.
set(SMTG_CREATE_PLUGIN_LINK OFF CACHE BOOL "Create a link to the plug-in in the user's VST3 folder")
set(SMTG_RUN_VST_VALIDATOR OFF CACHE BOOL "Run the validator after each build" FORCE)
set(SMTG_ENABLE_VST3_PLUGIN_EXAMPLES OFF CACHE BOOL "" FORCE)
set(SMTG_ENABLE_VST3_HOSTING_EXAMPLES ON CACHE BOOL "" FORCE)
set(SMTG_ENABLE_VSTGUI_SUPPORT ON CACHE BOOL "" FORCE)

set(vst3sdk_SOURCE_DIR "${VST3_SDK_DIR}")
add_subdirectory(${VST3_SDK_DIR} ${PROJECT_BINARY_DIR}/vst3sdk EXCLUDE_FROM_ALL)
smtg_enable_vst3_sdk()

# The validator that setup.sh builds beside the SDK; without it the SDK's own target is used.
set(VASTORA_VALIDATOR "${VST3_SDK_DIR}/build-validator/bin/Release/validator" CACHE FILEPATH "VST3 validator")
