# Writes a C++ source that holds the bytes of INPUT as the array SYMBOL (with
# SYMBOL_size) in NAMESPACE: cmake -DINPUT=... -DOUTPUT=... -DSYMBOL=... -DNAMESPACE=... -P embed_bytes.cmake
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT}.new "// Generated from ${INPUT}; do not edit.\n#include <cstddef>\n\nnamespace ${NAMESPACE} {\nextern const unsigned char ${SYMBOL}[];\nextern const std::size_t ${SYMBOL}_size;\nconst unsigned char ${SYMBOL}[] = {\n${bytes}0};\nconst std::size_t ${SYMBOL}_size = ${size};\n}  // namespace ${NAMESPACE}\n")
file(RENAME ${OUTPUT}.new ${OUTPUT})
