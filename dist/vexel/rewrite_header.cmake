# Copies one public header for installing, with its includes of the framework's headers
# ("runtime/string.h", relative to src/ inside the tree) rewritten to the installed names
# (<vexel/runtime/string.h>).
#
# cmake -DINPUT=<header> -DOUTPUT=<copy> -DMODULES=runtime|stream|... -P rewrite_header.cmake
file(READ "${INPUT}" text)
string(REGEX REPLACE "#include \"((${MODULES})/[^\"]+)\"" "#include <vexel/\\1>" text "${text}")
file(WRITE "${OUTPUT}" "${text}")
