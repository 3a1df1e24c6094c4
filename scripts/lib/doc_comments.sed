# Doxygen's input filter for the public headers (docs/Doxyfile): a // comment on lines of
# its own documents the declaration below it, and one after a declaration on the same line
# documents that declaration, so both become Doxygen comments (/// and ///<).
s#^([ \t]*)//( |$)#\1///\2#
s#^([^/"]*[;,])([ \t]+)// #\1\2///< #
