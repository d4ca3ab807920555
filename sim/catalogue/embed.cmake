# Writes the catalogue text as a C++ character array, so that the simulator
# carries it without a file to find at run time.
#   cmake -DINPUT=nv_catalogue.txt -DOUTPUT=catalogue_text.cpp -P embed.cmake
file(READ "${INPUT}" content HEX)
string(LENGTH "${content}" hexLength)
math(EXPR size "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${content}")
# One generated line per line of the text keeps the file readable.
string(REPLACE "'\\x0a'," "'\\x0a',\n  " bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT} by embed.cmake; do not edit.\n"
  "#include \"catalogue_text.h\"\n\n"
  "namespace kmx::sim::catalogue {\n\n"
  "const char kCatalogueText[] = {\n  ${bytes}'\\0'};\n"
  "const std::size_t kCatalogueTextSize = ${size};\n\n"
  "}  // namespace kmx::sim::catalogue\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
