# cmake -DINPUT=file -DOUTPUT=file.cpp -DSYMBOL=name -P EmbedFile.cmake
# Writes a C++ source that holds the bytes of INPUT as an array.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" len)
math(EXPR size "${len} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}" "// Generated from ${INPUT}; do not edit.\n#include <cstddef>\n"
     "extern const unsigned char ${SYMBOL}[];\nextern const std::size_t ${SYMBOL}Size;\n"
     "const unsigned char ${SYMBOL}[] = {\n${bytes}\n};\n"
     "const std::size_t ${SYMBOL}Size = ${size};\n")
