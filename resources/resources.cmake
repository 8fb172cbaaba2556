# The start-up dialog's template, style sheet and picture, compiled into the
# program as a GResource bundle, so that the binary needs no files at run time.
# The picture is the one the data set generator makes (target vantrel_data).
find_program(GLIB_COMPILE_RESOURCES glib-compile-resources REQUIRED)

# A generator that makes the picture names it in VANTREL_STARTUP_PICTURE; a
# build without one shows the dialog without its picture, unless a picture
# already lies where the generator puts it.
set(VANTREL_HAVE_PICTURE TRUE)
if(NOT DEFINED VANTREL_STARTUP_PICTURE)
    set(VANTREL_STARTUP_PICTURE ${CMAKE_BINARY_DIR}/resources/startup_picture.png)
    if(NOT EXISTS ${VANTREL_STARTUP_PICTURE})
        set(VANTREL_HAVE_PICTURE FALSE)
    endif()
endif()

set(VANTREL_RESOURCE_DIR ${CMAKE_BINARY_DIR}/resources)
set(VANTREL_RESOURCE_INPUTS
    ${CMAKE_SOURCE_DIR}/resources/startup_dialog.ui
    ${CMAKE_SOURCE_DIR}/resources/startup_dialog.css)

if(VANTREL_HAVE_PICTURE)
    set(VANTREL_PICTURE_ENTRY
        "    <file alias=\"startup_picture.png\">${VANTREL_STARTUP_PICTURE}</file>")
    list(APPEND VANTREL_RESOURCE_INPUTS ${VANTREL_STARTUP_PICTURE})
else()
    message(WARNING "No start-up picture at ${VANTREL_STARTUP_PICTURE}: "
                    "the dialog shows without it")
    set(VANTREL_PICTURE_ENTRY "")
endif()

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
