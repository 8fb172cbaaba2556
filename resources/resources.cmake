# The start-up dialog's template, style sheet and picture, compiled into the
# program as a GResource bundle, so that the binary needs no files at run time.
# The picture is the one the data set generator makes (target vantrel_data).
find_program(GLIB_COMPILE_RESOURCES glib-compile-resources REQUIRED)

# The data set generator names the picture it makes (an output of vantrel_data).
if(NOT DEFINED VANTREL_STARTUP_PICTURE)
    set(VANTREL_STARTUP_PICTURE ${CMAKE_BINARY_DIR}/resources/startup_picture.png)
endif()

set(VANTREL_RESOURCE_DIR ${CMAKE_BINARY_DIR}/resources)
set(VANTREL_RESOURCE_INPUTS
    ${CMAKE_SOURCE_DIR}/resources/startup_dialog.ui
    ${CMAKE_SOURCE_DIR}/resources/startup_dialog.css
    ${VANTREL_STARTUP_PICTURE})

configure_file(${CMAKE_SOURCE_DIR}/resources/startup_dialog.gresource.xml.in
               ${VANTREL_RESOURCE_DIR}/startup_dialog.gresource.xml @ONLY)

add_custom_command(
    OUTPUT ${VANTREL_RESOURCE_DIR}/startup_dialog_resources.c
    COMMAND ${GLIB_COMPILE_RESOURCES}
            --sourcedir=${CMAKE_SOURCE_DIR}/resources
            --generate-source --manual-register --c-name vantrel_resources
            --target=${VANTREL_RESOURCE_DIR}/startup_dialog_resources.c
            ${VANTREL_RESOURCE_DIR}/startup_dialog.gresource.xml
    DEPENDS ${VANTREL_RESOURCE_DIR}/startup_dialog.gresource.xml ${VANTREL_RESOURCE_INPUTS}
            vantrel_data
    COMMENT "Compiling the start-up dialog's resources"
    VERBATIM)

# The bundle belongs to the platform layer, which alone sees GTK and GIO.
target_sources(vantrel_platform PRIVATE ${VANTREL_RESOURCE_DIR}/startup_dialog_resources.c)
