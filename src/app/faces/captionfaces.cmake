# The captions' faces, compiled into the program: subsets of Debian's fonts holding every
# character of the program's own texts, cut at build time (tools/captionfaces.py, fontTools),
# so that the window looks the same whatever fonts the machine has, and no whole face of
# several megabytes is mapped for some fifty characters.

# Debian's python3-fonttools serves the system's interpreter.
find_program(PAFURO_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
find_program(PAFURO_PYTHON python3)
execute_process(COMMAND ${PAFURO_PYTHON} -c "import fontTools.subset"
    RESULT_VARIABLE fonttools_missing OUTPUT_QUIET ERROR_QUIET)
if(fonttools_missing)
    message(FATAL_ERROR "${PAFURO_PYTHON} cannot import fontTools: install python3-fonttools")
endif()
find_file(PAFURO_POP_SOURCE Konatu.ttf PATHS /usr/share/fonts/truetype/konatu)
find_file(PAFURO_MINCHO_SOURCE NotoSerifCJK-Bold.ttc PATHS /usr/share/fonts/opentype/noto)
if(NOT PAFURO_POP_SOURCE OR NOT PAFURO_MINCHO_SOURCE)
    message(FATAL_ERROR "the captions' faces are cut from fonts-konatu and fonts-noto-cjk: install them")
endif()

# The characters come from every string literal of the sources, so a new text brings its own.
file(GLOB_RECURSE caption_texts CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
set(faces_dir ${CMAKE_CURRENT_BINARY_DIR}/faces)
set(faces_notices ${CMAKE_CURRENT_SOURCE_DIR}/app/faces)
function(pafuro_caption_face file source number family notice)
    add_custom_command(OUTPUT ${faces_dir}/${file}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${faces_dir}
        COMMAND ${PAFURO_PYTHON} ${PROJECT_SOURCE_DIR}/tools/captionfaces.py
            ${CMAKE_CURRENT_SOURCE_DIR} ${faces_dir}/${file} ${source} ${number} ${family} ${notice}
        DEPENDS ${PROJECT_SOURCE_DIR}/tools/captionfaces.py ${source} ${caption_texts}
            ${faces_notices}/Konatu-MIT.txt
        COMMENT "Cutting the caption face ${family}"
        VERBATIM)
endfunction()
pafuro_caption_face(pafuro-pop.ttf ${PAFURO_POP_SOURCE} 0 "Pafuro Pop"
    ${faces_notices}/Konatu-MIT.txt)
# The collection's first face is the Japanese one; it keeps its own licence text.
pafuro_caption_face(pafuro-mincho.otf ${PAFURO_MINCHO_SOURCE} 0 "Pafuro Mincho" -)

# Uncompressed, so that the faces are read where they lie in the executable, not copied.
qt_add_resources(pafuro_core faces
    PREFIX /faces
    BASE ${faces_dir}
    FILES ${faces_dir}/pafuro-pop.ttf ${faces_dir}/pafuro-mincho.otf
    OPTIONS -no-compress
)
install(FILES ${faces_notices}/Konatu-MIT.txt ${faces_notices}/NotoSerifCJK-OFL.txt
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pafuro)
