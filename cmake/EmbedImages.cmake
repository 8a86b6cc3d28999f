# Writes a C++ source that holds PNG files as byte arrays and a CvImageResource table of them.
#   cmake -DOUTPUT=<file.cpp> -DNAMESPACE=<ns> -DTABLE=<symbol> -DINPUTS=<a.png;b.png;...> -P EmbedImages.cmake
# Each image is named after its file, without the extension.
set(body "// Generated from editor/images at build time; do not edit.\n#include \"editor/CvImageResource.h\"\n\nnamespace ${NAMESPACE} {\n\nnamespace {\n\n")
set(entries "")
foreach(input IN LISTS INPUTS)
    get_filename_component(name "${input}" NAME_WE)
    file(READ "${input}" hex HEX)
    string(LENGTH "${hex}" hexLength)
    math(EXPR size "${hexLength} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(REGEX REPLACE "((0x..,){24})" "\\1\n    " bytes "${bytes}")
    string(APPEND body "const std::uint8_t k_${name}[${size}] = {\n    ${bytes}\n};\n\n")
    string(APPEND entries "    {\"${name}\", k_${name}, ${size}},\n")
endforeach()
string(APPEND body "} // namespace\n\nextern const CvImageResource ${TABLE}[] = {\n${entries}    {nullptr, nullptr, 0},\n};\n\n} // namespace ${NAMESPACE}\n")
file(WRITE "${OUTPUT}.tmp" "${body}")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
