# cmake -DOUTPUT=FILE.cpp -DASSETS="a;b;c" -P embed_assets.cmake
# Writes the table of CompiledAssets() (compiled_assets.h): each file's
# bytes, its name and the start of its SHA-256, which the site puts in the
# asset's path so that a browser may keep it for a year.
set(arrays "")
set(entries "")
set(index 0)
foreach(asset IN LISTS ASSETS)
    get_filename_component(name "${asset}" NAME)
    file(READ "${asset}" bytes HEX)
    file(SHA256 "${asset}" hash)
    string(SUBSTRING "${hash}" 0 12 hash)
    string(LENGTH "${bytes}" hex_length)
    math(EXPR size "${hex_length} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
    # A line break every 16 bytes keeps the file readable to a compiler's
    # error messages.
    string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n    " bytes "${bytes}")
    string(APPEND arrays "const unsigned char kAsset${index}[] = {\n    ${bytes}0x00};\n")
    string(APPEND entries
        "    {\"${name}\", \"${hash}\", {reinterpret_cast<const char*>(kAsset${index}), ${size}}},\n")
    math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}.new"
"// Written by web/assets/embed_assets.cmake at build time: do not edit.
#include \"web/assets/compiled_assets.h\"

namespace varnock::web {
namespace {

${arrays}
const CompiledAsset kAssets[] = {
${entries}};

}  // namespace

std::span<const CompiledAsset> CompiledAssets() { return kAssets; }

}  // namespace varnock::web
")
# Only a real change rebuilds what includes it.
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
