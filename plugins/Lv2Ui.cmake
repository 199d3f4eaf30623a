# SPDX-License-Identifier: GPL-3.0-or-later
# The editor window of each bundle as an LV2 X11 UI: <Name>.lv2/<Name>_ui.so, the toolkit,
# the pictures compiled in and the LV2 UI glue (editor/lv2ui/), exporting only
# lv2ui_descriptor.

# kiv_lv2ui_module(<Name> <resources library> <background picture> <sources>...)
function(kiv_lv2ui_module name resources background)
    set(target ${name}_lv2ui)
    add_library(${target} MODULE ${ARGN} ${PROJECT_SOURCE_DIR}/editor/KivAmbiEditorJex.cpp)
    target_compile_definitions(${target} PRIVATE KIV_EDITOR_BACKGROUND=${background})
    # The toolkit reads the embedded pictures, so the picture table comes after it.
    target_link_libraries(${target} PRIVATE kiv_lv2ui kiv_plugin_shell kiv_editor kiv_toolkit
                          ${resources})
    set_target_properties(${target} PROPERTIES
        PREFIX ""
        OUTPUT_NAME ${name}_ui
        LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/lv2/${name}.lv2
        LINK_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/lv2ui_exports.map)
    target_link_options(${target} PRIVATE
        -Wl,--no-undefined
        -Wl,--version-script=${CMAKE_CURRENT_SOURCE_DIR}/lv2ui_exports.map)
    if(TARGET kiv_lv2_bundles)
        add_dependencies(kiv_lv2_bundles ${target})
    endif()
endfunction()

kiv_lv2ui_module(RegularDecoder kiv_resources_regular 131
    regular/KivAmbiDec_1o_GUI.cpp
    regular/RegularDecoderLv2Ui.cpp)
target_compile_definitions(RegularDecoder_lv2ui PRIVATE KIV_EDITOR_IN_VSTGUI)
kiv_lv2ui_module(IrregularDecoder kiv_resources_irregular 130
    irregular/KivAmbiDec.cpp
    irregular/IrregularDecoderLv2Ui.cpp)
